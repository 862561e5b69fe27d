#pragma once
// The scheduler's view of the main window: its timers, grid, menu items, today's
// timetable name, the settings that steer shutdown, and the hooks the shutdown sequence
// uses to take the tray icon away and close the window.

#include "scheduler/broadcast_scheduler.h"

class TForm1;

// `player` and `scanner` must outlive the scheduler made from the result; `power` is left
// empty (the environment's choice).
BroadcastSchedulerContext schedulerContextFor(TForm1 &form, BroadcastPlayer &player, FolderScanner &scanner);
