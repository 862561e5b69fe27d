// The program's entry routine: single-instance check, settings, windows, data module,
// message loop; after the loop the windows, the connection and the settings are released
// (the settings are saved on the way out).

#include "app/main_window.h"
#include "app/main_window_as_run.h"
#include "app/main_window_editors.h"
#include "app/main_window_song_lists.h"
#include "core/logging.h"
#include "app/main_window_settings_tabs.h"
#include "app/main_window_wiring.h"
#include "app/main_window_windows.h"
#include "core/message_box.h"
#include "core/program_folder.h"
#include "app/quit_on_signal.h"
#include "core/settings.h"
#include "db/dbhouse.h"
#include "platform/single_instance.h"
#include "scheduler/terminal_modes.h"
#include "windows/about_window.h"
#include "windows/add_folder_dialog.h"
#include "windows/compact_player.h"
#include "windows/control_window.h"
#include "windows/effect_window.h"
#include "windows/help_window.h"
#include "windows/message_window.h"

#include "chimecast_version.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char *argv[])
{
    // Answered before anything else, so it works without a display or a program folder.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("chimecast %s\n", CHIMECAST_VERSION);
        return 0;
    }
    installLogMessagePattern();
    if (argc >= 2 && (std::strcmp(argv[1], "--check") == 0 || std::strcmp(argv[1], "--log") == 0)) {
        QCoreApplication terminal(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("chimecast"));
        QString out, err;
        const int rc = runTerminalMode(QCoreApplication::arguments().mid(1), out, err);
        std::fputs(out.toUtf8().constData(), stdout);
        std::fputs(err.toUtf8().constData(), stderr);
        return rc;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("chimecast"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's own texts (Yes/No, the file and folder dialogs) in Chinese, like the program's.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    else
        qCWarning(lcApp) << "Qt's Chinese texts (qtbase_zh_CN) are missing";

    // A second start shows the running instance's window and ends before it touches
    // the settings, the database or the play-list file.
    SingleInstance instance;
    if (!instance.acquire()) {
        qCInfo(lcApp) << "another instance already runs on this program folder; asked it to show its window";
        instance.askRunningToShow(800);
        return 0;
    }
    if (!quitOnTerminationSignals())
        qCWarning(lcApp) << "cannot catch termination signals";

    QString folderError;
    const bool folderReady = ensureProgramFolder(&folderError);
    if (!folderReady)
        qCWarning(lcApp).noquote() << folderError;

    qCInfo(lcApp).noquote() << QStringLiteral("chimecast %1 starting, program folder %2")
                                   .arg(QString::fromLatin1(CHIMECAST_VERSION), programFolder());
    appSettings();
    QApplication::setApplicationDisplayName(QStringLiteral("Chimecastr"));

    Form1 = new TForm1;
    Form2 = new TForm2;
    Form3 = new TForm3;
    Form5 = new TForm5;
    Form6 = new TForm6;
    Form7 = new TForm7;
    Form8 = new TForm8;
    Form9 = new TForm9;
    dbhouse();
    // The player on the first tab now; the scheduler once the first show opened the database.
    auto wiring = std::make_unique<MainWindowWiring>(*Form1, *Form2, *Form3, nullptr);
    installEditors(*Form1);
    installSongLists(*Form1);
    installSettingsTabs(*Form1, Form2->TrackBar1);
    installAuxiliaryWindows(*Form1, *wiring, {Form2, Form5, Form6, Form7, Form8, Form9});
    installAsRunLog(*Form1);

    QObject::connect(&instance, &SingleInstance::showRequested, Form1, &TForm1::showFromOtherInstance);
    QObject::connect(Form1, &TForm1::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    if (!folderReady)
        MessageBox::notice(Form1, QStringLiteral("程序文件夹无法建立：%1").arg(folderError));
    if (appSettings().loadFailed())
        MessageBox::notice(Form1, QStringLiteral("设置文件无法读取，使用默认设置：%1").arg(appSettings().filePath()));

    // Shown from inside the message loop, so the start-up sequence (and any box it shows)
    // runs in the loop and a termination signal can always end it.
    QTimer::singleShot(0, Form1, [&wiring] {
        Form1->show();
        wiring->startScheduler();
    });
    const int rc = QApplication::exec();

    // Scheduler, player and audio library go before the windows they live in.
    wiring.reset();

    delete Form9;
    delete Form8;
    delete Form7;
    delete Form6;
    delete Form5;
    delete Form3;
    delete Form2;
    delete Form1;
    Form1 = nullptr;
    destroyDbhouse();
    destroyAppSettings();
    return rc;
}
