#include "scheduler/schedule_store.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {

QSqlQuery prepared(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throw ScheduleStoreError(q.lastError().text().toStdString());
    return q;
}

void run(QSqlQuery &q)
{
    if (!q.exec())
        throw ScheduleStoreError(q.lastError().text().toStdString());
}

} // namespace

TodayEntry todayEntryFromRecord(const QSqlRecord &r)
{
    TodayEntry e;
    e.iid = r.value(QStringLiteral("iid")).toInt();
    e.sjmc = r.value(QStringLiteral("sjmc")).toString();
    e.jmmc = r.value(QStringLiteral("jmmc")).toString();
    e.kssj = r.value(QStringLiteral("kssj")).toString();
    e.jssj = r.value(QStringLiteral("jssj")).toString();
    e.wjpath = r.value(QStringLiteral("wjpath")).toString();
    e.bffs = r.value(QStringLiteral("bffs")).toString();
    e.bfzt = r.value(QStringLiteral("bfzt")).toString();
    e.wjbz = r.value(QStringLiteral("wjbz")).toString();
    e.over = r.value(QStringLiteral("over")).toString();
    const QVariant volume = r.value(QStringLiteral("yldx"));
    e.yldx = volume.isNull() ? 100.0 : volume.toDouble();
    e.ixh = r.value(QStringLiteral("ixh")).toInt();
    return e;
}

QList<TodayEntry> SqlScheduleStore::entriesOf(const QString &sjmc)
{
    QSqlQuery q = prepared(db_, QStringLiteral("select * from b_sjbjr where sjmc= :sjmc order by kssj "));
    q.bindValue(QStringLiteral(":sjmc"), sjmc);
    run(q);
    QList<TodayEntry> rows;
    while (q.next())
        rows.append(todayEntryFromRecord(q.record()));
    return rows;
}

std::optional<TodayEntry> SqlScheduleStore::entryById(int iid)
{
    QSqlQuery q = prepared(db_, QStringLiteral("select * from b_sjbjr where iid= :iid "));
    q.bindValue(QStringLiteral(":iid"), iid);
    run(q);
    if (!q.next())
        return std::nullopt;
    return todayEntryFromRecord(q.record());
}

void SqlScheduleStore::markStartedBefore(const QString &t0)
{
    QSqlQuery q = prepared(db_, QStringLiteral("update b_sjbjr set over= :over,bfzt= :bfzt where kssj< :t0 "));
    q.bindValue(QStringLiteral(":over"), QStringLiteral("Y"));
    q.bindValue(QStringLiteral(":bfzt"), QStringLiteral("已播放"));
    q.bindValue(QStringLiteral(":t0"), t0);
    run(q);
}

void SqlScheduleStore::markFinished(int iid)
{
    QSqlQuery q = prepared(db_, QStringLiteral("update b_sjbjr set over= :over,bfzt= :bfzt where iid= :iid "));
    q.bindValue(QStringLiteral(":over"), QStringLiteral("Y"));
    q.bindValue(QStringLiteral(":bfzt"), QStringLiteral("已播放"));
    q.bindValue(QStringLiteral(":iid"), iid);
    run(q);
}

void SqlScheduleStore::markPast(int iid)
{
    QSqlQuery q = prepared(db_, QStringLiteral("update b_sjbjr set over= :over where iid= :iid "));
    q.bindValue(QStringLiteral(":over"), QStringLiteral("Y"));
    q.bindValue(QStringLiteral(":iid"), iid);
    run(q);
}

int SqlScheduleStore::countWaiting()
{
    QSqlQuery q = prepared(db_, QStringLiteral("select count(*) as expr1001 from b_sjbjr where over= :over "));
    q.bindValue(QStringLiteral(":over"), QStringLiteral("N"));
    run(q);
    if (!q.next())
        throw ScheduleStoreError("count of waiting entries returned no row");
    return q.value(QStringLiteral("expr1001")).toInt();
}

QStringList SqlScheduleStore::songListPaths(const QString &lbmc)
{
    QSqlQuery q = prepared(db_, QStringLiteral("select * from b_gqlbmxbak where lbmc= :lbmc order by iid "));
    q.bindValue(QStringLiteral(":lbmc"), lbmc);
    run(q);
    QStringList paths;
    while (q.next())
        paths.append(q.value(QStringLiteral("wjpath")).toString());
    return paths;
}
