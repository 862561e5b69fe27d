#include "scheduler/timetable_resolution.h"

#include "core/logging.h"

#include "core/time_helpers.h"
#include "db/as_run_log.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"

#include <exception>

bool isHoliday(Tdbhouse &db, const QDate &date)
{
    const QDateTime today(date, QTime(0, 0));
    TQuery *q = db.qdc;
    q->close();
    q->setSql(Sql::selectHolidays);
    q->open();
    for (q->first(); !q->eof(); q->next()) {
        if (dateTimeFromDb(q->field(QStringLiteral("rq"))) == today)
            return true;
    }
    return false;
}

QString timetableNameFor(Tdbhouse &db, const QString &weekdayName)
{
    // Read from the local copy, the one today's table was resolved from.
    const Tdbhouse::LocalOnly local(db);
    TQuery *q = db.qcx;
    q->close();
    q->setSql(Sql::selectWeekly);
    q->open();
    const QString column = weekdayColumn(weekdayName);
    QString name;
    if (!q->eof() && !column.isEmpty())
        name = q->fieldText(column);
    return name;
}

ResolutionResult resolveTimetable(Tdbhouse &db, const QDateTime &now, const std::function<void()> &stopPlayback)
{
    // Resolved from the local file, which holds the mirror of the shared tables when a
    // server is used (refreshed by refreshSharedTables() just before).
    const Tdbhouse::LocalOnly local(db);
    ResolutionResult result;
    result.weekday = WeekdayName(now.date());
    result.holiday = isHoliday(db, now.date());
    if (!result.holiday && stopPlayback) {
        try {
            stopPlayback();
        } catch (const std::exception &e) {
            // Stopping is best effort; the new day's table matters more.
            qCWarning(lcScheduler).noquote()
                << QStringLiteral("resolution: playback not stopped: %1").arg(QString::fromUtf8(e.what()));
        }
    }

    TQuery *jm = db.qjrjm;
    try {
        db.inTransaction([&] {
            result.timetableName = timetableNameFor(db, result.weekday);

            db.qup->close();
            db.qup->setSql(Sql::deleteToday);
            db.qup->execSql();

            if (!result.holiday && !result.timetableName.isEmpty() && result.timetableName != QStringLiteral("无")) {
                jm->close();
                jm->setSql(Sql::selectTimetableByStart);
                jm->setParam(QStringLiteral("sjmc"), result.timetableName);
                jm->open();
                int counter = 0;
                TQuery *in = db.qin;
                in->close();
                in->setSql(Sql::insertTodayLine1, Sql::insertTodayLine2);
                static const char *const textColumns[] = {"sjmc", "jmmc", "wjpath", "bfsc",
                                                          "bffs", "bfzt", "wjbz",   "over"};
                for (jm->first(); !jm->eof(); jm->next()) {
                    for (const char *c : textColumns) {
                        const QString col = QString::fromLatin1(c);
                        const QVariant v = jm->field(col);
                        in->setParam(col, v.isNull() ? QVariant() : QVariant(v.toString()));
                    }
                    // Times are re-written in the 'HH:MM:SS' form whatever form they came in.
                    const QTime start = timeFromDb(jm->field(QStringLiteral("kssj")));
                    const QTime end = timeFromDb(jm->field(QStringLiteral("jssj")));
                    in->setParam(QStringLiteral("kssj"),
                                 start.isValid() ? QVariant(start) : jm->field(QStringLiteral("kssj")));
                    in->setParam(QStringLiteral("jssj"),
                                 end.isValid() ? QVariant(end) : jm->field(QStringLiteral("jssj")));
                    const QVariant volume = jm->field(QStringLiteral("yldx"));
                    in->setParam(QStringLiteral("yldx"), volume.isNull() ? QVariant() : QVariant(volume.toDouble()));
                    in->setParam(QStringLiteral("ixh"), ++counter);
                    in->execSql();
                }
                result.copied = counter;
            }

            // Entries whose end time has already passed are marked done.
            const QTime nowTime = wholeSeconds(now.time());
            jm->close();
            jm->setSql(Sql::selectTodayAll);
            jm->open();
            TQuery *pub = db.qpub;
            pub->close();
            pub->setSql(Sql::markTodayEntry);
            for (jm->first(); !jm->eof(); jm->next()) {
                const QTime end = timeFromDb(jm->field(QStringLiteral("jssj")));
                if (end.isValid() && nowTime >= end) {
                    pub->setParam(QStringLiteral("over"), QStringLiteral("Y"));
                    pub->setParam(QStringLiteral("iid"), jm->field(QStringLiteral("iid")).toInt());
                    pub->execSql();
                    ++result.markedPast;
                }
            }
        });
    } catch (...) {
        // Show the table as the rollback left it, then pass the error on.
        try {
            jm->close();
            jm->setSql(Sql::selectTodayAll);
            jm->open();
        } catch (const std::exception &e) {
            qCWarning(lcScheduler).noquote()
                << QStringLiteral("resolution: today's table not reread: %1").arg(QString::fromUtf8(e.what()));
        }
        throw;
    }

    jm->close();
    jm->setSql(Sql::selectTodayAll);
    jm->open();
    db.todayWeekday = result.weekday;

    // Told in the as-run log after the table is in place; the log's own failures are
    // only logged. Rows past the kept days go at each resolution, that is at the day change.
    AsRunLog log(&db);
    AsRunRecord r;
    r.at = now;
    r.sjmc = result.holiday ? QString() : result.timetableName;
    r.event = AsRunEvent::resolution;
    r.content = result.holiday ? QStringLiteral("节假日，不播放") : result.timetableName;
    r.items = result.copied;
    log.write(r);
    log.prune(now.date());
    return result;
}
