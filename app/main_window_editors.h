#pragma once
// Puts the editors into the main window's tabs and registers what each tab loads when it
// is selected.

class TForm1;

// "时间表编辑": the timetable editor and, through it, the programme editor.
void installEditors(TForm1 &main);
