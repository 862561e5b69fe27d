#pragma once
// Lengths of media files, read without making a sound: MP3 and WAV through the audio
// library's file query (a private engine that never opens the sound card), WMA and MIDI
// through the media layer's length query (decoded up to the first sample into a fake
// sink). Used by the programme editor and the song-list dialog.
//
// The single-file functions may be called from any thread. FolderMeasurement measures a
// list of files on a thread of its own and reports back on the thread that owns it.

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <thread>

// Length of one media file in whole seconds (remainder dropped), or -1 with a reason in
// *error when it cannot be read: missing, not a kind the program plays, or undecodable.
int mediaLengthSecs(const QString &path, QString *error = nullptr);

// "HH:MM:SS" of a length in seconds, two-digit hours (the form of a single file and of
// a song list's total).
QString fileDurationText(qint64 secs);
// "H:mm:ss" of a folder's total. A total of 24 hours or more is shown in full
// ("25:03:10"), never reduced modulo a day.
QString folderDurationText(qint64 secs);

// Adds up the lengths of a list of files off the user-interface thread. A file that
// cannot be measured adds nothing. Destroying it cancels and waits for the thread.
class FolderMeasurement : public QObject
{
    Q_OBJECT
public:
    // How one file is measured (seconds, negative when it cannot be); replaceable by tests.
    using MeasureFn = std::function<int(const QString &path)>;

    explicit FolderMeasurement(QObject *parent = nullptr, MeasureFn measure = {});
    ~FolderMeasurement() override;

    // Starts measuring `files` in order; ignored while a measurement runs.
    void start(const QStringList &files);
    // Asks the running measurement to stop after the file it is reading.
    void cancel();
    bool running() const { return running_; }

Q_SIGNALS:
    // After each file: `done` of `total` files measured so far.
    void progress(int done, int total);
    // Once per start(): the total in seconds of the files measured, how many could not be
    // measured, and whether it was cancelled before the end.
    void finished(qint64 totalSecs, int failed, bool cancelled);

private:
    void join();

    MeasureFn measure_;
    std::thread worker_;
    std::atomic<bool> cancel_{false};
    bool running_ = false; // owner's thread only
};
