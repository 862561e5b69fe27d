#pragma once
// The main player of the first tab: transport (Play, Pause, Stop, Previous, Next, list
// double-click), the playback clock `Timer1`, the order in which tracks follow each
// other (in order, looping, random), and dispatch of each file to the audio library
// (MP3, WAV) or the media layer (WMA, MIDI).
//
// Neither engine reports the end of a track: the player reads the length when a track
// starts and counts seconds on each Timer1 tick. The tick that finds the count equal to
// the length ends the track, so a track of N seconds is left on the (N + 1)-th tick.
//
// The class owns no widgets and no timer. The host (the main window's player panel)
// shows the display state after each changed() signal, starts and stops its 1000 ms
// timer on Timer1Changed(), and calls Timer1Timer() on each timeout. Operations that
// fail end quietly: no message box, state already changed stays changed; a file the
// audio library could not play is named in statusText() with the library's reason,
// and when no item is left to play after it the player stops. Everything runs on the
// user-interface thread.

#include "player/play_list.h"

#include <QObject>
#include <QString>

#include <functional>

class LibraryEngine;
class MediaPlayer;

// The program's pseudo-random generator for random play: a 32-bit linear
// congruential generator whose seed starts at 0, so the picks repeat after each
// program start.
class PlayerRandom
{
public:
    // A number in 0 ... count - 1 (count >= 1).
    int next(int count);
    quint32 seed() const { return seed_; }

private:
    quint32 seed_ = 0;
};

// Seconds as "HH:MM:SS" (hours not limited to 24).
QString playerTimeText(int secs);

class MainPlayer : public QObject
{
    Q_OBJECT
public:
    MainPlayer(PlayList &list, LibraryEngine &library, MediaPlayer &media, QObject *parent = nullptr);

    // How the player reads and writes the application title for its "music" blink.
    // Without it the title is left alone.
    void setTitleAccess(std::function<QString()> read, std::function<void(const QString &)> write);

    // --- Operations (named after the controls and events that run them) ---

    // Play: resumes when paused, else starts the selected item (the first one when
    // nothing is selected).
    void BitBtn2Click();
    // Pause: only while playing.
    void BitBtn3Click();
    // Stop: only while playing; resets the clock and the display.
    void BitBtn4Click();
    // Next: the following item; on the last item that item again.
    void nextClick();
    // Previous: the item before; on the first item (or with none selected) the first.
    void BitBtn29Click();
    void lastClick() { BitBtn29Click(); }
    // Double-click in the list: starts the selected item (the first when none is).
    void CheckListBox1DblClick();
    // One second of the playback clock: counts, or ends the track and picks the next.
    void Timer1Timer();
    // Open a file chosen in the open-file dialog: plays it and, when it plays, appends
    // it to the list. A file no engine takes is neither played nor appended.
    void openFile(const QString &path);
    // Empties the list and its file (Delete key, "删除选项", "清空列表"); playback goes on.
    void BitBtn7Click();
    void N18Click() { BitBtn7Click(); }

    // --- Modes, written by the dispatcher and the control window ---
    bool loopMode() const { return loopMode_; }
    void setLoopMode(bool on);
    bool randomMode() const { return randomMode_; }
    void setRandomMode(bool on);

    // --- State ---
    PlayList &playList() { return list_; }
    const PlayList &playList() const { return list_; }
    // A track has been started and not stopped (stays true while paused).
    bool playing() const { return playing_; }
    // The current track runs on the audio library (true) or the media layer (false).
    bool mp3Engine() const { return mp3Engine_; }
    // The current file path; empty when nothing is loaded.
    const QString &currentPath() const { return currentPath_; }
    int elapsedSecs() const { return elapsedSecs_; }
    int totalSecs() const { return totalSecs_; }
    const QString &totalText() const { return totalText_; }
    bool timer1Active() const { return timer1Active_; }
    // The latest file the audio library could not play and why, "无法播放 bell.mp3：
    // no such device: ..."; empty until one failed. Kept until another fails.
    const QString &statusText() const { return status_; }
    // Whether the latest failure was the sound device rather than the file.
    bool soundDeviceFailed() const { return soundDeviceFailed_; }
    const PlayerRandom &random() const { return random_; }

    // --- Display: the host shows these on its controls ---
    const QString &Edit1Text() const { return edit1_; } // length of the track
    const QString &Edit2Text() const { return edit2_; } // time played
    int gaugeMax() const { return gaugeMax_; }
    int gaugeValue() const { return gaugeValue_; }
    // Caption colours: red while playing (Play) or paused (Pause), teal otherwise. The
    // Pause caption is also the paused flag.
    bool playCaptionRed() const { return playRed_; }
    bool pauseCaptionRed() const { return pauseRed_; }

Q_SIGNALS:
    // Display, state or play list changed.
    void changed();
    // Timer1 must be started (true) or stopped (false).
    void Timer1Changed(bool active);
    // loopMode or randomMode changed (the controls that show them follow).
    void modesChanged();

private:
    // Starts currentPath_ on its engine, then reads its length. False: refused or
    // failed (the player has been reset as the failure requires).
    bool form3mp3();
    // Reads the length of the started track and shows it.
    bool time();
    void time2();
    // Extension check, form3mp3, clock on.
    bool play();
    // Selects `index`, makes it current and starts it (Next, Previous).
    void startItem(int index);
    // Starts the item at `index` from the clock (end of the previous track).
    void advanceTo(int index);
    void resetAfterStartFailure();
    void stopAtEndOfList();
    bool failedLastItem(const QString &why);
    void setTimer1(bool active);
    void blinkTitle();

    PlayList &list_;
    LibraryEngine &library_;
    MediaPlayer &media_;
    std::function<QString()> readTitle_;
    std::function<void(const QString &)> writeTitle_;

    bool playing_ = false;
    bool loopMode_ = false;
    bool randomMode_ = false;
    bool mp3Engine_ = false;
    QString currentPath_;
    int elapsedSecs_ = 0;
    int totalSecs_ = 0;
    QString totalText_;
    bool timer1Active_ = false;
    PlayerRandom random_;
    QString status_;
    bool soundDeviceFailed_ = false;

    QString edit1_;
    QString edit2_;
    int gaugeMax_ = 100;
    int gaugeValue_ = 0;
    bool playRed_ = false;
    bool pauseRed_ = false;
};
