#pragma once

// What became of the programme the dispatcher started last: whether any of its items
// sounded, and if none did, why. The play-list filling states what it could not find;
// the player adapter and the stream player report what they could not play. The end
// watcher reads it to mark the entry "已播放" or "未能播放".
//
// Reports that arrive while no programme is being watched (before the first start, after
// the end) are kept until the next begin() clears them; they do no harm.

#include <QString>

#include <functional>

class ProgrammeOutcome
{
public:
    // A programme starts. `stream`: a network address (it counts as played unless the
    // stream fails before it delivered sound). `fillProblem`: why the play list is empty,
    // empty when it has items.
    void begin(bool stream, const QString &fillProblem);

    // The player: an item of the play list began to sound.
    void itemPlayed(const QString &path);
    // The player: an item could not be played (refused or undecodable), with the reason
    // as the user should read it.
    void itemFailed(const QString &path, const QString &reason);
    // The player: the sound output could not be opened.
    void outputFailed();
    // The stream player: the address delivered sound.
    void streamPlayed();
    // The stream player: the stream could not be reached or broke before it sounded.
    void streamFailed(const QString &detail);

    // Whether some item of the programme sounded (or, for a stream, it did not fail).
    bool anyPlayed() const;
    // The first reason nothing played; empty when something did.
    QString reason() const;

    // Called once, when the first item of a programme sounds.
    std::function<void()> onFirstPlayed;

private:
    void fail(const QString &reason);

    bool stream_ = false;
    bool played_ = false;
    bool streamFailed_ = false;
    QString reason_;
};
