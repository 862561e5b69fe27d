#pragma once
// Recursive media folder scanning: the files of one type under a folder, for folder
// programmes, the play-list refill and the programme editor's length total.
//
// Order: a folder's own matching files first, sorted by name (ignoring case, then by
// exact name), then each subfolder in the same order, depth first. Names are kept as
// the file system gives them. Hidden files (names starting with ".") are collected;
// hidden folders are not entered. Symbolic links to folders are followed, but a folder
// already visited in this scan is never entered again, so link loops end. A missing or
// unreadable folder, or an empty path, yields nothing. The files found are not checked
// further: callers test each path before using it.

#include <QString>
#include <QStringList>

// `folder` with a "/" appended unless it already ends in one.
QString WithSlash(const QString &folder);
// True for the names "." and "..".
bool IsDotEntry(const QString &name);

// Appends to `out` every file under `folder` whose name ends in "." + `extension`
// (compared without regard to case).
void ScanMediaFiles(const QString &folder, const QString &extension, QStringList &out);

// The three scanners the callers run, in this order, to list MP3, then WAV, then MIDI.
void ScanMp3Files(const QString &folder, QStringList &out);
void ScanWavFiles(const QString &folder, QStringList &out);
void ScanMidFiles(const QString &folder, QStringList &out);

// All three in the callers' order: MP3 files, then WAV files, then MIDI files.
QStringList ScanFolderMedia(const QString &folder);
