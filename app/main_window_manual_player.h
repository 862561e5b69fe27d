#pragma once
// The manual player in the main window: the tab "手工乐曲播放" gets its button
// "打开播放器", and the returned opener (for the programme menu's "人工插播音乐") opens
// the same window. The window reads the control window's balance.

#include <functional>

class TForm1;
class TForm2;
class QWidget;

std::function<void(QWidget *parent)> installManualPlayer(TForm1 &main, TForm2 &control);
