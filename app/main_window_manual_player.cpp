#include "app/main_window_manual_player.h"

#include "app/main_window.h"
#include "recorder/manual_player_window.h"
#include "windows/control_window.h"

#include <QSlider>

std::function<void(QWidget *parent)> installManualPlayer(TForm1 &main, TForm2 &control)
{
    ManualPlayerContext context;
    QSlider *balance = control.TrackBar1;
    context.balance = [balance] { return balance->value(); };
    new ManualPlayerTab(main.TabSheet5, context);
    return [context](QWidget *parent) { openManualPlayer(parent, context); };
}
