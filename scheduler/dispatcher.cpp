#include "scheduler/dispatcher.h"

#include "core/logging.h"
#include "db/as_run_log.h"

#include "scheduler/dispatch_rules.h"
#include "scheduler/play_list_filling.h"
#include "scheduler/scheduled_shutdown.h"

#include <QElapsedTimer>
#include <QTimer>

#include <exception>
#include <memory>

namespace {

void logIgnored(const char *where, const std::exception &e)
{
    qCWarning(lcScheduler).noquote() << QStringLiteral("%1: %2").arg(QString::fromLatin1(where),
                                                                     QString::fromUtf8(e.what()));
}

} // namespace

Dispatcher::Dispatcher(DispatcherContext context, QObject *parent)
    : QObject(parent),
      c_(std::move(context))
{
    c_.tbf->setInterval(1500);
    c_.tjs->setInterval(500);
    connect(c_.tbf, &QTimer::timeout, this, &Dispatcher::tbfTimer);
    connect(c_.tjs, &QTimer::timeout, this, &Dispatcher::tjsTimer);
    if (!c_.monotonicMs) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        c_.monotonicMs = [timer] { return timer->elapsed(); };
    }
    c_.player->reportTo(&outcome_);
    outcome_.onFirstPlayed = [this] {
        if (runningCount_ > 0)
            logEntry(current_, AsRunEvent::started, QString(), currentItems_);
    };
    if (c_.shutdown) {
        c_.shutdown->addTimerToHalt(c_.tbf);
        c_.shutdown->addTimerToHalt(c_.tjs);
    }
}

bool Dispatcher::halted() const
{
    return c_.shutdown && c_.shutdown->isStarted();
}

void Dispatcher::tbfTimer()
{
    if (runningCount_ == 0)
        currentKind_.clear();
    c_.tbf->stop();
    if (halted())
        return;
    const QDateTime now = c_.now();
    watchClock(now);
    missedThisTick_ = 0;
    if (!sweptAtStart_) {
        sweptAtStart_ = true;
        sweepMissedAtStart(now);
    }
    // A stop time the end watcher has not served yet (the event loop was held up) is
    // served first, so a late programme never keeps the next one from starting.
    if (runningCount_ > 0 && dispatch::endIsDue(now, startDate_, stopSeconds_)) {
        c_.tjs->stop();
        endHandling();
        if (halted())
            return;
    }
    try {
        scan(dispatch::secondsOfDay(now.time()));
    } catch (const std::exception &e) {
        logIgnored("dispatcher tick", e);
    }
    if (missedThisTick_ > 0)
        Q_EMIT programmesMissed(missedThisTick_);
    if (!halted())
        c_.tbf->start();
}

void Dispatcher::scan(int now)
{
    const std::optional<TodayEntry> highlighted = c_.grid->currentRow();
    if (!highlighted)
        return;
    const dispatch::PlayModes modes = dispatch::playModesFor(highlighted->bffs);
    c_.player->setRandomMode(modes.randomMode);
    c_.player->setLoopMode(modes.loopMode);

    const QList<TodayEntry> entries = c_.store->entriesOf(c_.timetableName());
    for (const TodayEntry &entry : entries) {
        const std::optional<int> begin = dispatch::parseTimeOfDay(entry.kssj);
        const std::optional<int> end = dispatch::parseTimeOfDay(entry.jssj);
        if (!begin || !end)
            continue; // an unreadable row is never started
        if (dispatch::isDue(now, *begin, *end, entry.over, runningCount_)) {
            start(entry, *end - dispatch::kStopLeadSeconds);
        } else if (entry.over == QStringLiteral("N") && dispatch::isPast(now, *end)
                   && !(runningCount_ > 0 && entry.iid == currentEntryId_)) {
            // Its whole window passed unseen (computer asleep, program closed, another
            // programme running): mark it past as the daily resolution does, never start it late.
            c_.store->markPast(entry.iid);
            qCInfo(lcScheduler).noquote() << QStringLiteral("programme skipped, its time passed: %1 %2-%3")
                                                 .arg(entry.jmmc, entry.kssj, entry.jssj);
            if (runningCount_ > 0) {
                logEntry(entry, AsRunEvent::skipped, AsRunReason::earlierRunning);
            } else {
                logEntry(entry, AsRunEvent::missed, AsRunReason::asleep);
                ++missedThisTick_;
            }
        }
    }
}

void Dispatcher::start(const TodayEntry &entry, int stopSeconds)
{
    stopSeconds_ = stopSeconds;
    stopTime_ = dispatch::shortTimeText(stopSeconds);
    startDate_ = c_.now().date();
    currentEntryId_ = entry.iid;
    currentKind_ = entry.wjbz;

    c_.player->setVolumePosition(dispatch::volumePositionFor(entry.yldx));
    c_.grid->locateIxh(entry.ixh);
    current_ = entry;
    failureLogged_ = false;
    outcome_.begin(entry.wjbz == QStringLiteral("4"), QString());
    currentItems_ = fillPlayList(entry, *c_.player, *c_.store, *c_.scanner);
    if (currentItems_ == 0) {
        // Nothing to play: told now, once; the entry still holds its window.
        const QString reason = emptyProgrammeReason(entry, *c_.store);
        outcome_.itemFailed(QString(), reason);
        logEntry(entry, AsRunEvent::failed, reason, 0);
        failureLogged_ = true;
    }

    runningCount_ += 1;
    c_.tjs->start();
    if (currentKind_ != QStringLiteral("4"))
        c_.player->pressPlay();
    c_.player->setPlayListCaption(QStringLiteral("播放列表 正在播放:") + entry.jmmc);
    qCInfo(lcScheduler).noquote() << QStringLiteral("programme started: %1 %2-%3 (kind %4) %5")
                                         .arg(entry.jmmc, entry.kssj, entry.jssj, entry.wjbz, entry.wjpath);
    Q_EMIT programmeStarted(entry.iid);
}

void Dispatcher::tjsTimer()
{
    c_.tjs->stop();
    if (halted() || runningCount_ == 0)
        return;
    if (!dispatch::endIsDue(c_.now(), startDate_, stopSeconds_)) {
        c_.tjs->start();
        return;
    }
    endHandling();
}

void Dispatcher::endHandling()
{
    const int finished = currentEntryId_;
    const bool played = outcome_.anyPlayed();
    if (played) {
        logEntry(current_, AsRunEvent::stopped, QString(), currentItems_);
    } else if (!failureLogged_) {
        const QString reason = outcome_.reason().isEmpty() ? QStringLiteral("节目没有播放出声音") : outcome_.reason();
        logEntry(current_, AsRunEvent::failed, reason, currentItems_);
    }
    runningCount_ = 0;
    try {
        c_.player->pressStop();
        if (currentKind_ == QStringLiteral("4")) {
            c_.player->stopUrl();
            c_.player->showStreamPanel(false);
        }
    } catch (const std::exception &e) {
        logIgnored("stopping the programme", e);
    }

    try {
        QString t0 = QStringLiteral("00:00:00");
        if (const std::optional<TodayEntry> entry = c_.store->entryById(finished)) {
            if (const std::optional<int> begin = dispatch::parseTimeOfDay(entry->kssj))
                t0 = dispatch::timeText(*begin);
        }
        // Earlier programmes that never started keep "未播放"; they are told as skipped.
        for (const TodayEntry &e : c_.store->entriesOf(c_.timetableName())) {
            if (e.iid != finished && e.over == QStringLiteral("N") && e.kssj < t0)
                logEntry(e, AsRunEvent::skipped, AsRunReason::earlierRunning);
        }
        c_.store->markWaitingBefore(t0);
    } catch (const std::exception &e) {
        logIgnored("marking earlier programmes", e);
    }
    try {
        // A programme none of whose items could be played is not "已播放".
        if (played)
            c_.store->markFinished(finished);
        else
            c_.store->markFailed(finished);
    } catch (const std::exception &e) {
        logIgnored("marking the finished programme", e);
    }

    c_.player->setPlayListCaption(QStringLiteral("播放列表"));
    try {
        c_.grid->reopen();
    } catch (const std::exception &e) {
        logIgnored("reopening today's grid", e);
    }
    qCInfo(lcScheduler).noquote() << QStringLiteral("programme stopped and marked %1: entry %2")
                                         .arg(played ? QStringLiteral("played") : QStringLiteral("not played"))
                                         .arg(finished);
    Q_EMIT programmeEnded(finished);

    if (c_.strover && c_.strover() == QStringLiteral("1") && c_.shutdown) {
        try {
            if (c_.store->countWaiting() == 0)
                c_.shutdown->start();
        } catch (const std::exception &e) {
            logIgnored("counting waiting programmes", e);
        }
    }
}

void Dispatcher::writeLog(const AsRunRecord &record)
{
    (c_.log ? *c_.log : asRunLog()).write(record);
}

void Dispatcher::logEntry(const TodayEntry &entry, const QString &event, const QString &reason, int items)
{
    AsRunRecord r;
    r.at = c_.now();
    r.sjmc = entry.sjmc;
    r.jmmc = entry.jmmc;
    r.kssj = entry.kssj;
    r.event = event;
    r.content = entry.wjpath;
    r.items = items;
    r.reason = reason;
    writeLog(r);
}

void Dispatcher::watchClock(const QDateTime &now)
{
    const qint64 mono = c_.monotonicMs();
    if (lastWall_.isValid()) {
        const qint64 expected = mono - lastMono_;
        const qint64 moved = lastWall_.msecsTo(now);
        if (moved - expected > kClockJumpMs || expected - moved > kClockJumpMs) {
            // A suspend, or the clock set by hand or by time sync. What passed meanwhile is
            // told by the scan (missed) and the end watcher (a stop time passed).
            const QDateTime wouldBe = lastWall_.addMSecs(expected);
            AsRunRecord r;
            r.at = now;
            r.event = AsRunEvent::clockChanged;
            r.content = QStringLiteral("时钟从%1变为%2")
                            .arg(wouldBe.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                 now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            writeLog(r);
            qCWarning(lcScheduler).noquote() << QStringLiteral("clock changed: expected %1, now %2")
                                                    .arg(wouldBe.toString(Qt::ISODate), now.toString(Qt::ISODate));
        }
    }
    lastWall_ = now;
    lastMono_ = mono;
}

void Dispatcher::sweepMissedAtStart(const QDateTime &now)
{
    // Programmes whose window passed before the program ran (the day's resolution marked
    // them past) are told once; those of an earlier run today are in the log already.
    try {
        const int nowSecs = dispatch::secondsOfDay(now.time());
        AsRunLog &log = c_.log ? *c_.log : asRunLog();
        for (const TodayEntry &e : c_.store->entriesOf(c_.timetableName())) {
            const std::optional<int> end = dispatch::parseTimeOfDay(e.jssj);
            if (e.over != QStringLiteral("Y") || e.bfzt != QStringLiteral("未播放") || !end
                || !dispatch::isPast(nowSecs, *end))
                continue;
            if (log.hasEntry(now.date(), e.sjmc, e.jmmc, e.kssj))
                continue;
            logEntry(e, AsRunEvent::missed, AsRunReason::asleep);
            ++missedThisTick_;
        }
    } catch (const std::exception &e) {
        logIgnored("looking for missed programmes", e);
    }
}
