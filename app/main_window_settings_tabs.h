#pragma once
// Fills the main window's tabs "时间表设置" (weekly assignment and holidays), "系统设置"
// (system parameters and broadcast content) and "帮助", registers what each loads when it
// is selected, and puts the help folder into the program folder when it is missing.

class QSlider;
class TForm1;

// `balance` is the control window's channel slider the start volume goes through (may be
// null: both channels).
void installSettingsTabs(TForm1 &main, QSlider *balance);
