#pragma once

// Today's timetable grid (DBGrid4 over the query qjrjm) as the scheduler sees it: the
// highlighted row, moving the highlight to an entry, and reopening after a change.

#include "scheduler/schedule_store.h"

#include <optional>

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
