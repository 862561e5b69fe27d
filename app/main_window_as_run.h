#pragma once
// Puts the as-run log into the main window: the "播放记录" window on the tray menu and the
// first tab's pop-up menu, the red line under the first tab's header with the last
// problem of today (until the log is opened), the red rows of today's grid that played
// nothing, and tomorrow's check each evening at the set time.

class AsRunLogWindow;
class TForm1;

// Returns the log window (owned by the main window).
AsRunLogWindow *installAsRunLog(TForm1 &main);
