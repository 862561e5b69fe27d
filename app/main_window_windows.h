#pragma once
// Hooks the auxiliary windows to the main window and its player: the control window's
// switches and the compact player on the main player, the compact player ending the
// program when it is closed, the add-folder dialog on the play list's "添加目录", and the
// about and help windows in the notification-area menu and on the help tab.

class MainWindowWiring;
class TForm1;
class TForm2;
class TForm5;
class TForm6;
class TForm7;
class TForm8;
class TForm9;

struct AuxiliaryWindows
{
    TForm2 *control = nullptr;
    TForm5 *message = nullptr;
    TForm6 *compact = nullptr;
    TForm7 *about = nullptr;
    TForm8 *help = nullptr;
    TForm9 *addFolder = nullptr;
};

void installAuxiliaryWindows(TForm1 &main, MainWindowWiring &wiring, const AuxiliaryWindows &windows);
