#pragma once

// The scheduler's view of the data module: today's working table through the named
// query objects (qjrjmcxls, qsj, qupjs, qgjcx, qjy, qpub) and today's grid (DBGrid4 over
// qjrjm). Database errors arrive as DbError and end the caller's step.

#include "scheduler/schedule_store.h"
#include "scheduler/today_grid.h"

class QTableView;
class TQuery;
class Tdbhouse;

class DbhouseScheduleStore final : public ScheduleStore
{
public:
    explicit DbhouseScheduleStore(Tdbhouse &db)
        : db_(db)
    {}
    QList<TodayEntry> entriesOf(const QString &sjmc) override;
    std::optional<TodayEntry> entryById(int iid) override;
    void markWaitingBefore(const QString &t0) override;
    void markFinished(int iid) override;
    void markFailed(int iid) override;
    void markPast(int iid) override;
    int countWaiting() override;
    QStringList songListPaths(const QString &lbmc) override;

private:
    Tdbhouse &db_;
};

// Today's grid: the highlighted row is the grid's current row (the operator's choice),
// else the query's own current row.
class QueryTodayGrid final : public TodayGrid
{
public:
    QueryTodayGrid(QTableView *grid, TQuery *qjrjm)
        : grid_(grid),
          q_(qjrjm)
    {}
    std::optional<TodayEntry> currentRow() override;
    void locateIxh(int ixh) override;
    void reopen() override;

private:
    void highlight(int row);

    QTableView *grid_;
    TQuery *q_;
};

// One row of a query object as an entry of today's table.
TodayEntry todayEntryFromQuery(const TQuery &q, int row);
