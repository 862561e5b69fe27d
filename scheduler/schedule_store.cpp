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

namespace {

// Column positions of a result, looked up once per query rather than once per row.
struct EntryColumns
{
    explicit EntryColumns(const QSqlRecord &r)
        : iid(r.indexOf(QStringLiteral("iid"))),
          sjmc(r.indexOf(QStringLiteral("sjmc"))),
          jmmc(r.indexOf(QStringLiteral("jmmc"))),
          kssj(r.indexOf(QStringLiteral("kssj"))),
          jssj(r.indexOf(QStringLiteral("jssj"))),
          wjpath(r.indexOf(QStringLiteral("wjpath"))),
          bffs(r.indexOf(QStringLiteral("bffs"))),
          bfzt(r.indexOf(QStringLiteral("bfzt"))),
          wjbz(r.indexOf(QStringLiteral("wjbz"))),
          over(r.indexOf(QStringLiteral("over"))),
          yldx(r.indexOf(QStringLiteral("yldx"))),
          ixh(r.indexOf(QStringLiteral("ixh")))
    {}
    int iid, sjmc, jmmc, kssj, jssj, wjpath, bffs, bfzt, wjbz, over, yldx, ixh;
};

template <typename ValueAt> TodayEntry entryFrom(const EntryColumns &c, ValueAt value)
{
    TodayEntry e;
    e.iid = value(c.iid).toInt();
    e.sjmc = value(c.sjmc).toString();
    e.jmmc = value(c.jmmc).toString();
    e.kssj = value(c.kssj).toString();
    e.jssj = value(c.jssj).toString();
    e.wjpath = value(c.wjpath).toString();
    e.bffs = value(c.bffs).toString();
    e.bfzt = value(c.bfzt).toString();
    e.wjbz = value(c.wjbz).toString();
    e.over = value(c.over).toString();
    const QVariant volume = value(c.yldx);
    e.yldx = volume.isNull() ? 100.0 : volume.toDouble();
    e.ixh = value(c.ixh).toInt();
    return e;
}

} // namespace

TodayEntry todayEntryFromRecord(const QSqlRecord &r)
{
    return entryFrom(EntryColumns(r), [&r](int i) { return i < 0 ? QVariant() : r.value(i); });
}

QList<TodayEntry> SqlScheduleStore::entriesOf(const QString &sjmc)
{
    QSqlQuery q = prepared(db_, QStringLiteral("select * from b_sjbjr where sjmc= :sjmc order by kssj "));
    q.bindValue(QStringLiteral(":sjmc"), sjmc);
    run(q);
    QList<TodayEntry> rows;
    const EntryColumns columns(q.record());
    while (q.next())
        rows.append(entryFrom(columns, [&q](int i) { return i < 0 ? QVariant() : q.value(i); }));
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
