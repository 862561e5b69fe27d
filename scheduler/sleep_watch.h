#pragma once

// Tells the as-run log when the computer goes to sleep and wakes, from logind's
// PrepareForSleep signal on the system bus, where there is one. It only adds rows: what a
// sleep made the schedule miss is found by the dispatcher, which compares the wall clock
// with a monotonic clock on every tick, bus or no bus.

#include <QObject>

class SleepWatch : public QObject
{
    Q_OBJECT
public:
    explicit SleepWatch(QObject *parent = nullptr);

    // Whether the system bus delivers logind's signal to this watch.
    bool connected() const { return connected_; }

public Q_SLOTS:
    // logind's PrepareForSleep: true before the sleep, false after the wake.
    void prepareForSleep(bool sleeping);

private:
    bool connected_ = false;
};
