#pragma once
// Which engine plays a file, decided by the extension of its name (without regard to
// case: "Song.Mp3" is an MP3 file like "song.mp3").

#include <QString>

enum class PlayEngine {
    None,    // not a file the main player plays
    Library, // MP3 and WAV: the audio library
    Media,   // WMA and MIDI: the media layer
};

PlayEngine engineForPath(const QString &path);

// Pause goes by the file name: video and WMA/MIDI names pause the media layer, every
// other name the audio library.
bool pausesOnMediaLayer(const QString &path);
