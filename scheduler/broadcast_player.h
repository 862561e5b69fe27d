#pragma once

// What the scheduler drives in the main window: the main player's play list, modes,
// volume slider and buttons, and the stream panel that plays network programmes.
// The main window hands an adapter over its real player; tests use a fake.

#include <QString>
#include <QStringList>

class ProgrammeOutcome;

class BroadcastPlayer
{
public:
    virtual ~BroadcastPlayer() = default;

    // Where the player tells whether the items of the running programme sound: an item
    // started (ProgrammeOutcome::itemPlayed), refused or undecodable (itemFailed), the
    // sound output missing (outputFailed), the stream sounding or failing. Set by the
    // dispatcher; null while nobody listens.
    void reportTo(ProgrammeOutcome *outcome) { outcome_ = outcome; }
    ProgrammeOutcome *outcome() const { return outcome_; }

    virtual void setLoopMode(bool on) = 0;
    virtual void setRandomMode(bool on) = 0;
    // Moves the main volume slider (0..169) and runs its change handler, which sets the
    // output volume and remembers the position.
    virtual void setVolumePosition(int position) = 0;

    // Empties the play list and rewrites the play-list file.
    virtual void clearPlayList() = 0;
    // Appends full paths in order and writes the play-list file once, after the last.
    virtual void appendToPlayList(const QStringList &paths) = 0;
    // Selects the first item when the list has one (after a fill).
    virtual void selectFirstItem() = 0;

    // The Play button: resumes a paused track, else starts the selected item.
    virtual void pressPlay() = 0;
    // The Stop button: stops and resets the player when something was started.
    virtual void pressStop() = 0;

    // The stream player of network programmes (GStreamer playbin on the URL).
    virtual void playUrl(const QString &url) = 0;
    virtual void stopUrl() = 0;
    // true: stream panel shown over the play list, transport panel hidden; false: the reverse.
    virtual void showStreamPanel(bool shown) = 0;

    // Caption of the play-list group box.
    virtual void setPlayListCaption(const QString &caption) = 0;

private:
    ProgrammeOutcome *outcome_ = nullptr;
};

// Lists the files under a folder whose names match one mask ("*.mp3"), recursively,
// in the order the main player's folder scan gives them.
class FolderScanner
{
public:
    virtual ~FolderScanner() = default;
    virtual QStringList scan(const QString &folder, const QString &mask) = 0;
};
