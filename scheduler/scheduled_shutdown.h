#pragma once

// The shutdown sequence and the timed shutdown watcher (timer tgj).
//
// The sequence hides the tray icon, waits three seconds with the event loop running
// (so the window keeps painting while no timer of the scheduler can start anything),
// asks for the power-off and closes the main window. The program ends whether or not
// the power-off is accepted.

#include "platform/power_off.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class ShutdownSequence : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultWaitMs = 3000;

    struct Hooks
    {
        std::function<void()> hideTrayIcon;    // remove the tray icon, show the window again
        std::function<void()> closeMainWindow; // close the main window, ending the program
    };

    ShutdownSequence(PowerOff &power, Hooks hooks, QObject *parent = nullptr);

    // Timers stopped for good when the sequence starts (the scheduler's timers).
    void addTimerToHalt(QTimer *timer);
    void setWaitMs(int ms) { waitMs_ = ms; }

    // Starts the sequence; a second call while it runs does nothing.
    void start();
    bool isStarted() const { return started_; }

Q_SIGNALS:
    void finished();

private:
    void finish();

    PowerOff &power_;
    Hooks hooks_;
    QList<QPointer<QTimer>> timers_;
    int waitMs_ = kDefaultWaitMs;
    bool started_ = false;
};

// Shuts the computer down on the first tgj tick in the 15 seconds after strofftime
// while stroff is "1". The settings are read at every tick, so changes take effect
// without a restart.
class ScheduledShutdown : public QObject
{
    Q_OBJECT
public:
    struct Settings
    {
        std::function<QString()> stroff;     // "1": shut down at the set time
        std::function<QString()> strofftime; // the time, "H:mm:ss"
    };

    ScheduledShutdown(QTimer *tgj, std::function<QDateTime()> now, Settings settings, ShutdownSequence &sequence,
                      QObject *parent = nullptr);

    void tgjTimer();

private:
    QTimer *tgj_;
    std::function<QDateTime()> now_;
    Settings settings_;
    ShutdownSequence &sequence_;
    QString reportedBadTime_;
};
