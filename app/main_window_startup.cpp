// The main window's start-up sequence, day change and timetable resolution.

#include "app/main_window.h"

#include "core/logging.h"

#include "core/clock.h"
#include "db/db_grid.h"
#include "core/message_box.h"
#include "player/player_control.h"
#include "core/settings.h"
#include "core/time_helpers.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"
#include "scheduler/shared_timetable.h"
#include "scheduler/timetable_resolution.h"
#include "app/server_probe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

namespace {

const QString defaultVolume = QStringLiteral("85");

} // namespace

void TForm1::FormShow()
{
    if (firstShowDone_)
        return;
    firstShowDone_ = true;

    const QDateTime now = appClock().now();
    const QDate today = now.date();
    tsj->start();
    showClock(now);
    showDate(today);

    QString error;
    if (!dbhouse().openDefault(&error)) {
        databaseFailed_ = true;
        qCWarning(lcApp).noquote() << QStringLiteral("data error: %1").arg(error);
        MessageBox::information(this, QStringLiteral("data error"));
        // Queued, so it also ends a message loop that has not started yet.
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
        return;
    }
    if (!dbhouse().readOnlyReason().isEmpty()) {
        qCWarning(lcApp).noquote() << dbhouse().readOnlyReason();
        MessageBox::notice(this, dbhouse().readOnlyReason());
    }
    connectTimetableServer();

    bindGrid(DBGrid4, dbhouse().qjrjm,
             {{QStringLiteral("jmmc"), QStringLiteral("节目名称")},
              {QStringLiteral("kssj"), QStringLiteral("开始时间")},
              {QStringLiteral("jssj"), QStringLiteral("结束时间")},
              {QStringLiteral("wjpath"), QStringLiteral("歌曲列表或歌曲或文件夹")},
              {QStringLiteral("bffs"), QStringLiteral("播放方式")},
              {QStringLiteral("bfsc"), QStringLiteral("播放时长")},
              {QStringLiteral("bfzt"), QStringLiteral("播放状态")},
              {QStringLiteral("yldx"), QStringLiteral("音量(%)")}});
    pg1->setCurrentIndex(0);

    // Each step reports its own failure and the start-up goes on, so the clock and the
    // scheduling timers run whatever one step met.
    auto step = [this](auto &&fn) {
        try {
            fn();
        } catch (const DbError &e) {
            MessageBox::notice(this, e.text());
        }
    };
    step([&] { showHolidayNotice(today); });
    step([&] { showTimetableName(today); });
    checkDateRollover(today, true);
    playerControl().clearPlayList();
    step([&] { openTodaysGrid(); });
    applyStartVolume();

    tbf->start();
    tdr->start();
    tsys->start();
    tgj->start();
    Timer6->start();
}

void TForm1::showHolidayNotice(const QDate &today)
{
    ljrts->setText(isHoliday(dbhouse(), today) ? QStringLiteral("提示:今天设置了是节假日！") : QString());
}

void TForm1::showTimetableName(const QDate &today)
{
    const QString weekday = WeekdayName(today);
    dbhouse().todayWeekday = weekday;
    setTimetableName(timetableNameFor(dbhouse(), weekday));
}

void TForm1::setTimetableName(const QString &name)
{
    timetableName_ = name;
    lsjb->setText(name);
}

void TForm1::openTodaysGrid()
{
    TQuery *q = dbhouse().qjrjm;
    q->close();
    q->setSql(Sql::selectTodayByName);
    q->setParam(QStringLiteral("sjmc"), timetableName_);
    q->open();
    q->first();
}

void TForm1::applyStartVolume()
{
    TGlobal &s = appSettings();
    bool ok = false;
    int position = s.strposr2.trimmed().toInt(&ok);
    if (!ok || position < 0 || position > 169) {
        reportOnce(badVolumeReported_,
                   QStringLiteral("设置文件中的启动音量“%1”无效，已使用%2！").arg(s.strposr2, defaultVolume));
        position = defaultVolume.toInt();
    }
    s.strposr = QString::number(position);
    playerControl().applyStartVolume(position);
}

bool TForm1::saveSettingsReported()
{
    QString error;
    if (appSettings().SaveSettings(&error))
        return true;
    reportOnce(saveFailureReported_, QStringLiteral("设置文件无法保存：%1").arg(error));
    return false;
}

bool TForm1::checkDateRollover(const QDate &today, bool reportErrors)
{
    TGlobal &s = appSettings();
    if (s.strrqr.trimmed().isEmpty())
        s.strrqr = settingsDateText(today);
    const QDate saved = parseSettingsDate(s.strrqr);
    if (!saved.isValid()) {
        // An unreadable date is taken as "not today": today's timetable is resolved and the
        // date replaced, rather than leaving the schedule unresolved until someone edits it.
        reportOnce(badDateReported_,
                   QStringLiteral("设置文件中的日期“%1”无法识别，已按今天重新导入时间表！").arg(s.strrqr));
    }
    if (saved == today && !resolutionPending_)
        return true;
    s.strrqr = settingsDateText(today);
    saveSettingsReported();
    resolutionPending_ = !runResolution(reportErrors);
    return !resolutionPending_;
}

void TForm1::connectTimetableServer()
{
    dbhouse().attachServer(serverFromSettings(appSettings()));
    SharedServer *server = dbhouse().server();
    if (!server)
        return;
    serverProbe_ = new ServerProbe(this);
    connect(serverProbe_, &ServerProbe::finished, this, &TForm1::serverProbeFinished);
    qCInfo(lcApp).noquote() << QStringLiteral("timetables from %1").arg(databaseDescription(dbhouse()));
    if (!server->connect()) {
        // Today's table as the last run left it keeps playing; the notice stays until the
        // server answers again.
        resolvedFromBackup_ = true;
        showServerNotice(refreshSharedTables(dbhouse(), appClock().now()).notice);
    }
    tfwq->start();
}

void TForm1::showServerNotice(const QString &notice)
{
    lfwqts->setText(notice);
    lfwqts->setVisible(!notice.isEmpty());
}

void TForm1::tfwqTimer()
{
    tfwq->stop();
    if (!dbhouse().server())
        return;
    // The question runs on its own thread; its answer comes back through
    // serverProbeFinished(), which starts the timer again.
    serverProbe_->start(dbhouse().server()->config());
}

void TForm1::serverProbeFinished(bool answered, const QString &error, qint64 elapsedMs)
{
    SharedServer *server = dbhouse().server();
    if (!server)
        return;
    if (!answered) {
        qCInfo(lcApp).noquote()
            << QStringLiteral("timetable server not reachable (probe %1 ms): %2").arg(elapsedMs).arg(error.trimmed());
        // Lost since the last resolution: the next one comes from the backup, and the first
        // tab says so now.
        if (server->isUp())
            server->markDown(error.trimmed());
        // The notice is renewed every minute, so the age it gives stays true.
        showServerNotice(refreshSharedTables(dbhouse(), appClock().now()).notice);
        tfwq->start();
        return;
    }
    QElapsedTimer timer;
    timer.start();
    const bool wasUp = server->isUp();
    const bool connected = wasUp || server->connect();
    if (!wasUp)
        qCInfo(lcApp).noquote() << QStringLiteral("timetable server answered again (probe %1 ms, reconnect %2 ms)")
                                       .arg(elapsedMs)
                                       .arg(timer.elapsed());
    if (connected && resolvedFromBackup_) {
        // Today's table came from the backup: resolve again from the server, but never
        // stop a running programme for it (the next minute in which nothing runs).
        if (dbhouse().runningCount == 0 && runResolution(false))
            return;
    } else if (connected) {
        showServerNotice(QString());
    }
    tfwq->start();
}

bool TForm1::runResolution(bool reportErrors)
{
    try {
        const TimetableSource source = refreshSharedTables(dbhouse(), appClock().now());
        resolvedFromBackup_ = dbhouse().server() && source.kind != TimetableSource::Kind::server;
        showServerNotice(source.notice);
        if (dbhouse().server())
            tfwq->start();
        const ResolutionResult r =
            resolveTimetable(dbhouse(), appClock().now(), [] { playerControl().stopPlayback(); });
        // On a holiday the timetable name stays as it is shown.
        if (!r.holiday)
            setTimetableName(r.timetableName);
        dbhouse().qjrjm->first();
    } catch (const DbError &e) {
        if (reportErrors)
            MessageBox::information(this, e.text());
        return false;
    }
    playerControl().clearPlayList();
    return true;
}

void TForm1::BitBtn27Click()
{
    runResolution(true);
}

void TForm1::BitBtn31Click()
{
    if (MessageBox::askYesNo(this, QStringLiteral("询问"), QStringLiteral("您确定要重新导入播放时间表吗？")))
        BitBtn27Click();
}

void TForm1::tdrTimer()
{
    tdr->stop();
    const QDate today = appClock().now().date();
    const QDate saved = parseSettingsDate(appSettings().strrqr);
    if (saved != today || resolutionPending_) {
        showDate(today);
        // The header follows the new day too: holiday notice and timetable name.
        try {
            showHolidayNotice(today);
            showTimetableName(today);
        } catch (const DbError &e) {
            qCWarning(lcApp).noquote() << QStringLiteral("day change: header not updated: %1").arg(e.text());
        }
        // Errors are not shown from the watcher (only logged); a failed resolution is
        // retried next tick.
        checkDateRollover(today, false);
    }
    tdr->start();
}
