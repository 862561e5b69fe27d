#include "scheduler/tomorrow_check.h"

#include "core/logging.h"
#include "core/time_helpers.h"
#include "db/as_run_log.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"
#include "player/media_length.h"
#include "scheduler/broadcast_player.h"
#include "scheduler/dispatch_rules.h"
#include "scheduler/timetable_resolution.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTcpSocket>
#include <QUrl>

#include <gst/gst.h>

namespace {

struct Programme
{
    QString jmmc;
    QString kssj;
    QString jssj;
    QString wjbz;
    QString wjpath;
};

QList<Programme> programmesOf(Tdbhouse &db, const QString &sjmc)
{
    TQuery *q = db.qls;
    q->close();
    q->setSql(Sql::selectTimetableImportSource);
    q->setParam(QStringLiteral("sjmc"), sjmc);
    q->open();
    QList<Programme> out;
    for (int r = 0; r < q->recordCount(); ++r) {
        Programme p;
        p.jmmc = q->value(r, QStringLiteral("jmmc")).toString();
        const QTime start = timeFromDb(q->value(r, QStringLiteral("kssj")));
        const QTime end = timeFromDb(q->value(r, QStringLiteral("jssj")));
        p.kssj = start.isValid() ? start.toString(QStringLiteral("HH:mm:ss"))
                                 : q->value(r, QStringLiteral("kssj")).toString();
        p.jssj =
            end.isValid() ? end.toString(QStringLiteral("HH:mm:ss")) : q->value(r, QStringLiteral("jssj")).toString();
        p.wjbz = q->value(r, QStringLiteral("wjbz")).toString().trimmed();
        p.wjpath = q->value(r, QStringLiteral("wjpath")).toString();
        out.append(p);
    }
    q->close();
    return out;
}

QStringList songsOf(Tdbhouse &db, const QString &lbmc)
{
    TQuery *q = db.qjy;
    q->close();
    q->setSql(Sql::selectSavedListForPlay);
    q->setParam(QStringLiteral("lbmc"), lbmc);
    q->open();
    QStringList out;
    for (int r = 0; r < q->recordCount(); ++r)
        out.append(q->value(r, QStringLiteral("wjpath")).toString());
    q->close();
    return out;
}

QString programmeProblem(Tdbhouse &db, const Programme &p, const CheckProbes &probes)
{
    if (p.wjbz == QStringLiteral("1"))
        return probes.fileProblem(p.wjpath);
    if (p.wjbz == QStringLiteral("2")) {
        const QStringList songs = songsOf(db, p.wjpath);
        if (songs.isEmpty())
            return QStringLiteral("歌曲列表不存在或是空的：%1").arg(p.wjpath);
        QStringList missing;
        for (const QString &song : songs)
            if (!QFileInfo(song).isFile())
                missing.append(song);
        if (missing.size() == songs.size())
            return AsRunReason::listEmpty + QStringLiteral("（") + AsRunReason::fileMissing(missing.first())
                   + QStringLiteral("）");
        if (!missing.isEmpty())
            return QStringLiteral("歌曲列表中有%1首歌曲不存在，例如：%2").arg(missing.size()).arg(missing.first());
        return {};
    }
    if (p.wjbz == QStringLiteral("3")) {
        if (p.wjpath.isEmpty() || !QDir(p.wjpath).exists())
            return QStringLiteral("文件夹不存在：%1").arg(p.wjpath);
        for (const QString &mask : {QStringLiteral("*.mp3"), QStringLiteral("*.wav"), QStringLiteral("*.mid")})
            for (const QString &f : probes.scanner->scan(p.wjpath, mask))
                if (QFileInfo(f).isFile())
                    return {};
        return AsRunReason::folderEmpty;
    }
    if (p.wjbz == QStringLiteral("4"))
        return probes.streamProblem(p.wjpath);
    return QStringLiteral("节目类型“%1”无法播放").arg(p.wjbz);
}

QString withHeading(const CheckProblem &p)
{
    if (p.jmmc.isEmpty())
        return p.reason;
    return QStringLiteral("%1 %2：%3").arg(p.kssj, p.jmmc, p.reason);
}

} // namespace

QString mediaFileProblem(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return AsRunReason::fileMissing(path);
    QString error;
    if (mediaLengthSecs(path, &error) < 0)
        return QStringLiteral("文件无法读取：%1（%2）").arg(path, error);
    return {};
}

QString streamAnswerProblem(const QString &url, int timeoutMs)
{
    const QUrl u(url.trimmed());
    if (!u.isValid() || u.host().isEmpty())
        return QStringLiteral("网络地址无效：%1").arg(url);
    int defaultPort = 80;
    const QString scheme = u.scheme().toLower();
    if (scheme == QStringLiteral("https"))
        defaultPort = 443;
    else if (scheme == QStringLiteral("ftp"))
        defaultPort = 21;
    else if (scheme == QStringLiteral("rtsp"))
        defaultPort = 554;
    QTcpSocket socket;
    socket.connectToHost(u.host(), static_cast<quint16>(u.port(defaultPort)));
    if (!socket.waitForConnected(timeoutMs))
        return AsRunReason::streamDead + QStringLiteral("：%1（%2）").arg(url, socket.errorString());
    socket.abort();
    return {};
}

QString soundOutputProblem()
{
    GError *err = nullptr;
    if (!gst_init_check(nullptr, nullptr, &err)) {
        const QString why = err ? QString::fromUtf8(err->message) : QString();
        if (err)
            g_error_free(err);
        return AsRunReason::noSoundDevice + QStringLiteral("（%1）").arg(why);
    }
    const QByteArray name =
        qgetenv("CHIMECAST_AUDIO_SINK").isEmpty() ? QByteArray("autoaudiosink") : qgetenv("CHIMECAST_AUDIO_SINK");
    GstElement *sink = gst_parse_bin_from_description(name.constData(), TRUE, nullptr);
    if (!sink)
        return AsRunReason::noSoundDevice + QStringLiteral("（%1）").arg(QString::fromUtf8(name));
    // READY opens the device for the ALSA and Pulse sinks.
    const GstStateChangeReturn r = gst_element_set_state(sink, GST_STATE_READY);
    gst_element_set_state(sink, GST_STATE_NULL);
    gst_object_unref(sink);
    if (r == GST_STATE_CHANGE_FAILURE)
        return AsRunReason::noSoundDevice;
    return {};
}

DayCheck checkDay(Tdbhouse &db, const QDate &date, const CheckProbes &given)
{
    // The day is checked as this player would resolve it: from its own copy.
    const Tdbhouse::LocalOnly local(db);
    QElapsedTimer timer;
    timer.start();
    CheckProbes probes = given;
    if (!probes.fileProblem)
        probes.fileProblem = mediaFileProblem;
    if (!probes.streamProblem) {
        const int timeout = probes.connectTimeoutMs;
        probes.streamProblem = [timeout](const QString &url) { return streamAnswerProblem(url, timeout); };
    }
    if (!probes.outputProblem)
        probes.outputProblem = soundOutputProblem;

    DayCheck check;
    check.date = date;
    check.weekday = WeekdayName(date);
    check.holiday = isHoliday(db, date);
    check.timetable = timetableNameFor(db, check.weekday);
    if (check.holiday || check.timetable.isEmpty() || check.timetable == QStringLiteral("无")) {
        check.elapsedMs = timer.elapsed();
        return check;
    }
    const QList<Programme> programmes = programmesOf(db, check.timetable);
    check.programmes = static_cast<int>(programmes.size());
    int latestEnd = -1;
    QString latestName;
    for (const Programme &p : programmes) {
        const std::optional<int> begin = dispatch::parseTimeOfDay(p.kssj);
        const std::optional<int> end = dispatch::parseTimeOfDay(p.jssj);
        QString reason;
        if (!begin || !end || *end - *begin <= dispatch::kStopLeadSeconds)
            reason = QStringLiteral("播放时间无效或太短，不会播放：%1-%2").arg(p.kssj, p.jssj);
        else if (latestEnd > *begin)
            reason = QStringLiteral("与“%1”的播放时间重叠").arg(latestName);
        if (!reason.isEmpty())
            check.problems.append({p.jmmc, p.kssj, reason});
        if (begin && end && *end > latestEnd) {
            latestEnd = *end;
            latestName = p.jmmc;
        }
        const QString what = programmeProblem(db, p, probes);
        if (!what.isEmpty())
            check.problems.append({p.jmmc, p.kssj, what});
    }
    if (!programmes.isEmpty()) {
        const QString output = probes.outputProblem();
        if (!output.isEmpty())
            check.problems.append({QString(), QString(), output});
    }
    check.elapsedMs = timer.elapsed();
    return check;
}

QString checkReportText(const DayCheck &check)
{
    QString out = QStringLiteral("%1 %2 ").arg(check.date.toString(QStringLiteral("yyyy-MM-dd")), check.weekday);
    if (check.holiday)
        out += QStringLiteral("节假日，不播放\n");
    else if (check.timetable.isEmpty() || check.timetable == QStringLiteral("无"))
        out += QStringLiteral("没有安排时间表\n");
    else
        out += QStringLiteral("时间表：%1，%2个节目\n").arg(check.timetable).arg(check.programmes);
    if (check.ok()) {
        out += QStringLiteral("全部正常\n");
        return out;
    }
    out += QStringLiteral("发现%1个问题：\n").arg(check.problems.size());
    for (const CheckProblem &p : check.problems)
        out += withHeading(p) + QLatin1Char('\n');
    return out;
}

void logDayCheck(AsRunLog &log, const DayCheck &check, const QDateTime &at)
{
    const QString day = check.date.toString(QStringLiteral("yyyy-MM-dd"));
    if (check.ok()) {
        AsRunRecord r;
        r.at = at;
        r.sjmc = check.timetable;
        r.event = AsRunEvent::checked;
        r.content = QStringLiteral("%1：%2个节目全部正常").arg(day).arg(check.programmes);
        log.write(r);
        return;
    }
    for (const CheckProblem &p : check.problems) {
        AsRunRecord r;
        r.at = at;
        r.sjmc = check.timetable;
        r.jmmc = p.jmmc;
        r.kssj = p.kssj;
        r.event = AsRunEvent::checked;
        r.content = day;
        r.reason = p.reason;
        log.write(r);
    }
}

EveningCheck::EveningCheck(std::function<QDateTime()> now, std::function<QString()> checkTime,
                           std::function<void()> run, QObject *parent)
    : QObject(parent),
      now_(std::move(now)),
      checkTime_(std::move(checkTime)),
      run_(std::move(run))
{
    timer_.setInterval(30 * 1000);
    connect(&timer_, &QTimer::timeout, this, &EveningCheck::tick);
}

void EveningCheck::tick()
{
    const QDateTime now = now_();
    const QString text = checkTime_();
    const std::optional<int> at = dispatch::parseTimeOfDay(text);
    if (!at) {
        if (reportedBadTime_ != text) {
            reportedBadTime_ = text;
            qCWarning(lcScheduler).noquote() << QStringLiteral("tomorrow's check: time \"%1\" unreadable").arg(text);
        }
        return;
    }
    if (lastRun_ == now.date() || dispatch::secondsOfDay(now.time()) < *at)
        return;
    lastRun_ = now.date();
    run_();
}
