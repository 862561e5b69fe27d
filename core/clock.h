#pragma once
// The one clock every handler reads the time through, so tests can set the time of day
// (and run a whole day of programmes in seconds) without waiting.

#include <QDateTime>

class Clock
{
public:
    virtual ~Clock() = default;
    // Current local date and time.
    virtual QDateTime now() const = 0;
};

// The clock in use; the system clock unless a test installed another one.
Clock &appClock();
// Installs a clock (not owned); nullptr restores the system clock.
void setAppClock(Clock *clock);

// A clock that stands still until it is set or advanced.
class FixedClock : public Clock
{
public:
    explicit FixedClock(const QDateTime &start = QDateTime(QDate(2024, 1, 1), QTime(8, 0)))
        : current_(start)
    {}
    QDateTime now() const override { return current_; }
    void set(const QDateTime &t) { current_ = t; }
    void advanceSecs(qint64 secs) { current_ = current_.addSecs(secs); }
    void advanceMSecs(qint64 ms) { current_ = current_.addMSecs(ms); }

private:
    QDateTime current_;
};
