#include "scheduler/dispatcher.h"

#include "core/logging.h"

#include "scheduler/dispatch_rules.h"
#include "scheduler/play_list_filling.h"
#include "scheduler/scheduled_shutdown.h"

#include <QTimer>

#include <exception>

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
    fillPlayList(entry, *c_.player, *c_.store, *c_.scanner);

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
    runningCount_ = 0;
    const int finished = currentEntryId_;
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
        c_.store->markStartedBefore(t0);
    } catch (const std::exception &e) {
        logIgnored("marking earlier programmes", e);
    }
    try {
        c_.store->markFinished(finished);
    } catch (const std::exception &e) {
        logIgnored("marking the finished programme", e);
    }

    c_.player->setPlayListCaption(QStringLiteral("播放列表"));
    try {
        c_.grid->reopen();
    } catch (const std::exception &e) {
        logIgnored("reopening today's grid", e);
    }
    qCInfo(lcScheduler).noquote() << QStringLiteral("programme stopped and marked played: entry %1").arg(finished);
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
