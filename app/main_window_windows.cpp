#include "app/main_window_windows.h"

#include "app/main_window.h"
#include "app/main_window_wiring.h"
#include "editors/help_folder.h"
#include "player/main_player_panel.h"
#include "windows/about_window.h"
#include "windows/add_folder_dialog.h"
#include "windows/compact_player.h"
#include "windows/control_window.h"
#include "windows/help_window.h"
#include "windows/message_window.h"

#include <QAction>
#include <QMenu>

namespace {

void showWindow(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void installAuxiliaryWindows(TForm1 &main, MainWindowWiring &wiring, const AuxiliaryWindows &w)
{
    if (w.compact) {
        w.compact->setPlayer(&wiring.player());
        w.compact->setMainWindow(&main);
        w.compact->setContextMenu(main.PopupMenu1);
        // Closing the strip ends the program the way "退出" does.
        TForm1 *mainWindow = &main;
        w.compact->setQuit([mainWindow] { mainWindow->close(); });
    }
    if (w.control) {
        // A dialog-type window of the main window's own, so the desktop keeps it above the
        // main window instead of burying it under a click there. The entry routine deletes
        // it before the main window.
        w.control->setParent(&main, w.control->windowFlags());
        w.control->setPlayer(&wiring.player());
        w.control->setCompactWindow(w.compact);
        if (w.compact)
            QObject::connect(w.compact, &TForm6::returnedToMain, w.control, &TForm2::compactModeEnded);
    }
    if (w.addFolder) {
        TForm9 *dialog = w.addFolder;
        dialog->setPlayList(&wiring.playList());
        dialog->setAnchor(&main);
        if (w.message) {
            TForm5 *box = w.message;
            dialog->setMessageShower([box, dialog](const QString &text) { box->showMessage(text, dialog); });
        }
        QObject::connect(&wiring.panel(), &MainPlayerPanel::N16Clicked, dialog, &TForm9::N16Click);
    }

    // About and help: in the notification-area menu, before its separator, and on the help tab.
    if (w.about)
        w.about->setAnchor(&main);
    if (w.help)
        w.help->setAnchor(&main);
    auto *aboutItem = new QAction(QStringLiteral("关于"), main.PopupMenu2);
    aboutItem->setObjectName(QStringLiteral("aboutItem"));
    auto *helpItem = new QAction(QStringLiteral("帮助说明"), main.PopupMenu2);
    helpItem->setObjectName(QStringLiteral("helpItem"));
    main.PopupMenu2->insertAction(main.N1, aboutItem);
    main.PopupMenu2->insertAction(main.N1, helpItem);
    HelpTab *tab = main.TabSheet6 ? main.TabSheet6->findChild<HelpTab *>() : nullptr;
    if (w.about) {
        TForm7 *about = w.about;
        QObject::connect(aboutItem, &QAction::triggered, about, [about] { showWindow(about); });
        if (tab)
            QObject::connect(tab, &HelpTab::aboutRequested, about, [about] { showWindow(about); });
    }
    if (w.help) {
        TForm8 *help = w.help;
        QObject::connect(helpItem, &QAction::triggered, help, [help] { showWindow(help); });
        if (tab)
            QObject::connect(tab, &HelpTab::helpRequested, help, [help] { showWindow(help); });
    }
}
