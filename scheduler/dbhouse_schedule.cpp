#include "scheduler/dbhouse_schedule.h"

#include "db/dbhouse.h"
#include "db/query.h"
#include "db/sql_catalogue.h"

#include <QTableView>

TodayEntry todayEntryFromQuery(const TQuery &q, int row)
{
    const QStringList names = q.fieldNames();
    auto value = [&](const QString &name) { return names.contains(name) ? q.value(row, name) : QVariant(); };
    TodayEntry e;
    e.iid = value(QStringLiteral("iid")).toInt();
    e.sjmc = value(QStringLiteral("sjmc")).toString();
    e.jmmc = value(QStringLiteral("jmmc")).toString();
    e.kssj = value(QStringLiteral("kssj")).toString();
    e.jssj = value(QStringLiteral("jssj")).toString();
    e.wjpath = value(QStringLiteral("wjpath")).toString();
    e.bffs = value(QStringLiteral("bffs")).toString();
    e.bfzt = value(QStringLiteral("bfzt")).toString();
    e.wjbz = value(QStringLiteral("wjbz")).toString();
    e.over = value(QStringLiteral("over")).toString();
    const QVariant volume = value(QStringLiteral("yldx"));
    e.yldx = volume.isNull() ? 100.0 : volume.toDouble();
    e.ixh = value(QStringLiteral("ixh")).toInt();
    return e;
}

QList<TodayEntry> DbhouseScheduleStore::entriesOf(const QString &sjmc)
{
    TQuery *q = db_.qjrjmcxls;
    q->close();
    q->setSql(Sql::selectTodayForDispatch);
    q->setParam(QStringLiteral("sjmc"), sjmc);
    q->open();
    QList<TodayEntry> rows;
    rows.reserve(q->recordCount());
    for (int r = 0; r < q->recordCount(); ++r)
        rows.append(todayEntryFromQuery(*q, r));
    return rows;
}

std::optional<TodayEntry> DbhouseScheduleStore::entryById(int iid)
{
    TQuery *q = db_.qsj;
    q->close();
    q->setSql(Sql::selectTodayEntry);
    q->setParam(QStringLiteral("iid"), iid);
    q->open();
    std::optional<TodayEntry> entry;
    if (q->recordCount() > 0)
        entry = todayEntryFromQuery(*q, 0);
    q->close();
    return entry;
}

void DbhouseScheduleStore::markWaitingBefore(const QString &t0)
{
    TQuery *q = db_.qupjs;
    q->close();
    q->setSql(Sql::markTodayBeforeWaiting);
    q->setParam(QStringLiteral("over"), QStringLiteral("Y"));
    q->setParam(QStringLiteral("t0"), t0);
    q->setParam(QStringLiteral("waiting"), QStringLiteral("N"));
    q->execSql();
}

namespace {

void markEntry(Tdbhouse &db, int iid, const QString &bfzt)
{
    TQuery *q = db.qupjs;
    q->close();
    q->setSql(Sql::markTodayEntryPlayed);
    q->setParam(QStringLiteral("over"), QStringLiteral("Y"));
    q->setParam(QStringLiteral("bfzt"), bfzt);
    q->setParam(QStringLiteral("iid"), iid);
    q->execSql();
}

} // namespace

void DbhouseScheduleStore::markFinished(int iid)
{
    markEntry(db_, iid, QStringLiteral("已播放"));
}

void DbhouseScheduleStore::markFailed(int iid)
{
    markEntry(db_, iid, QStringLiteral("未能播放"));
}

void DbhouseScheduleStore::markPast(int iid)
{
    TQuery *q = db_.qpub;
    q->close();
    q->setSql(Sql::markTodayEntry);
    q->setParam(QStringLiteral("over"), QStringLiteral("Y"));
    q->setParam(QStringLiteral("iid"), iid);
    q->execSql();
}

int DbhouseScheduleStore::countWaiting()
{
    TQuery *q = db_.qgjcx;
    q->close();
    q->setSql(Sql::countTodayByState);
    q->setParam(QStringLiteral("over"), QStringLiteral("N"));
    q->open();
    const int count = q->field(QStringLiteral("expr1001")).toInt();
    q->close();
    return count;
}

QStringList DbhouseScheduleStore::songListPaths(const QString &lbmc)
{
    TQuery *q = db_.qjy;
    q->close();
    q->setSql(Sql::selectSavedListForPlay);
    q->setParam(QStringLiteral("lbmc"), lbmc);
    q->open();
    QStringList paths;
    for (int r = 0; r < q->recordCount(); ++r)
        paths.append(q->value(r, QStringLiteral("wjpath")).toString());
    q->close();
    return paths;
}

std::optional<TodayEntry> QueryTodayGrid::currentRow()
{
    if (!q_->isActive() || q_->recordCount() == 0)
        return std::nullopt;
    int row = q_->eof() ? 0 : q_->recNo();
    if (grid_ && grid_->model() == q_ && grid_->currentIndex().isValid())
        row = grid_->currentIndex().row();
    if (row < 0 || row >= q_->recordCount())
        row = 0;
    return todayEntryFromQuery(*q_, row);
}

void QueryTodayGrid::highlight(int row)
{
    q_->moveTo(row);
    if (grid_ && grid_->model() == q_ && row < q_->recordCount())
        grid_->setCurrentIndex(q_->index(row, grid_->currentIndex().isValid() ? grid_->currentIndex().column() : 0));
}

void QueryTodayGrid::locateIxh(int ixh)
{
    if (!q_->isActive())
        return;
    const QStringList names = q_->fieldNames();
    if (!names.contains(QStringLiteral("ixh")))
        return;
    for (int r = 0; r < q_->recordCount(); ++r) {
        if (q_->value(r, QStringLiteral("ixh")).toInt() == ixh) {
            highlight(r);
            return;
        }
    }
}

void QueryTodayGrid::reopen()
{
    // Closed and opened again on its last statement and parameters.
    q_->close();
    if (q_->sql().trimmed().isEmpty())
        return;
    q_->open();
    highlight(0);
}
