#include "scheduler/scheduled_shutdown.h"

#include "core/clock.h"
#include "core/logging.h"
#include "db/as_run_log.h"

#include "scheduler/dispatch_rules.h"

#include <QCoreApplication>

ShutdownSequence::ShutdownSequence(PowerOff &power, Hooks hooks, QObject *parent)
    : QObject(parent),
      power_(power),
      hooks_(std::move(hooks))
{}

void ShutdownSequence::addTimerToHalt(QTimer *timer)
{
    timers_.append(timer);
}

void ShutdownSequence::start()
{
    if (started_)
        return;
    started_ = true;
    AsRunRecord r;
    r.at = appClock().now();
    r.event = AsRunEvent::shutdown;
    asRunLog().write(r);
    for (const QPointer<QTimer> &t : std::as_const(timers_))
        if (t)
            t->stop();
    if (hooks_.hideTrayIcon)
        hooks_.hideTrayIcon();
    QCoreApplication::processEvents();
    QTimer::singleShot(waitMs_, this, &ShutdownSequence::finish);
}

void ShutdownSequence::finish()
{
    power_.powerOff(QStringLiteral("系统正在关机！"));
    if (hooks_.closeMainWindow)
        hooks_.closeMainWindow();
    Q_EMIT finished();
}

ScheduledShutdown::ScheduledShutdown(QTimer *tgj, std::function<QDateTime()> now, Settings settings,
                                     ShutdownSequence &sequence, QObject *parent)
    : QObject(parent),
      tgj_(tgj),
      now_(std::move(now)),
      settings_(std::move(settings)),
      sequence_(sequence)
{
    tgj_->setInterval(5000);
    connect(tgj_, &QTimer::timeout, this, &ScheduledShutdown::tgjTimer);
    sequence_.addTimerToHalt(tgj_);
}

void ScheduledShutdown::tgjTimer()
{
    tgj_->stop();
    if (sequence_.isStarted())
        return;
    if (settings_.stroff() != QStringLiteral("1")) {
        tgj_->start();
        return;
    }
    const QString offText = settings_.strofftime();
    const std::optional<int> offTime = dispatch::parseTimeOfDay(offText);
    if (!offTime) {
        // Keep watching: a corrected time takes effect without a restart.
        if (reportedBadTime_ != offText) {
            reportedBadTime_ = offText;
            qCWarning(lcScheduler).noquote()
                << QStringLiteral("shutdown time \"%1\" is not a time of day; no timed shutdown").arg(offText);
        }
        tgj_->start();
        return;
    }
    if (dispatch::shutdownIsDue(dispatch::secondsOfDay(now_().time()), *offTime)) {
        sequence_.start();
        return;
    }
    tgj_->start();
}
