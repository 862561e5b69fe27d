#pragma once

// Today's timetable grid (DBGrid4 over the query qjrjm) as the scheduler sees it: the
// highlighted row, moving the highlight to an entry, and reopening after a change.

#include "scheduler/schedule_store.h"

#include <functional>
#include <optional>

class QTableView;

class TodayGrid
{
public:
    virtual ~TodayGrid() = default;
    // The highlighted row; nullopt when the grid's query is closed or has no rows.
    virtual std::optional<TodayEntry> currentRow() = 0;
    // Highlights the row whose ixh equals `ixh` (exact match); no change when none does.
    virtual void locateIxh(int ixh) = 0;
    // Runs the grid's query again so it shows the new states, highlighting the first row.
    virtual void reopen() = 0;
};

// TodayGrid over a QTableView whose model is a QSqlQueryModel (directly or behind
// proxies). `reopenQuery` runs the grid's query again; when empty, the model's own
// query is executed again.
class TableViewTodayGrid final : public TodayGrid
{
public:
    explicit TableViewTodayGrid(QTableView *view, std::function<void()> reopenQuery = {});
    std::optional<TodayEntry> currentRow() override;
    void locateIxh(int ixh) override;
    void reopen() override;

private:
    QTableView *view_;
    std::function<void()> reopenQuery_;
};
