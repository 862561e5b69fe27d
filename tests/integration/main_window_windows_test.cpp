// The auxiliary windows hooked to the main window the way the program does it: closing
// the compact player ends the program, "添加目录" opens the add-folder dialog on the
// player's list, about and help are offered in the tray menu and on the help tab.

#include "app/main_window.h"
#include "app/main_window_settings_tabs.h"
#include "app/main_window_windows.h"
#include "app/main_window_wiring.h"
#include "editors/help_folder.h"
#include "player/main_player.h"
#include "player/main_player_panel.h"
#include "player/play_list.h"
#include "support/program_test.h"
#include "windows/about_window.h"
#include "windows/add_folder_dialog.h"
#include "windows/compact_player.h"
#include "windows/control_window.h"
#include "windows/effect_window.h"
#include "windows/help_window.h"
#include "windows/message_window.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>

namespace {

class MainWindowWindows : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        form = std::make_unique<TForm1>();
        control = std::make_unique<TForm2>();
        effect = std::make_unique<TForm3>();
        message = std::make_unique<TForm5>();
        compact = std::make_unique<TForm6>();
        about = std::make_unique<TForm7>();
        help = std::make_unique<TForm8>();
        addFolder = std::make_unique<TForm9>();
        wiring = std::make_unique<MainWindowWiring>(*form, *control, *effect, nullptr);
        installSettingsTabs(*form, control->TrackBar1);
        installAuxiliaryWindows(
            *form, *wiring, {control.get(), message.get(), compact.get(), about.get(), help.get(), addFolder.get()});
        form->show();
    }
    void TearDown() override
    {
        wiring.reset();
        addFolder.reset();
        help.reset();
        about.reset();
        compact.reset();
        message.reset();
        effect.reset();
        control.reset();
        form.reset();
        ProgramTest::TearDown();
    }

    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> control;
    std::unique_ptr<TForm3> effect;
    std::unique_ptr<TForm5> message;
    std::unique_ptr<TForm6> compact;
    std::unique_ptr<TForm7> about;
    std::unique_ptr<TForm8> help;
    std::unique_ptr<TForm9> addFolder;
    std::unique_ptr<MainWindowWiring> wiring;
};

TEST_F(MainWindowWindows, CompactModeAndBackThenClosingTheStripEndsTheProgram)
{
    QSignalSpy closed(form.get(), &TForm1::closed);
    control->show();
    QTest::mouseClick(control->CheckBox2, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(compact->isVisible());
    QTest::mouseClick(compact->BitBtn3, Qt::LeftButton);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(control->CheckBox2->isChecked());

    QTest::mouseClick(control->CheckBox2, Qt::LeftButton);
    ASSERT_TRUE(compact->isVisible());
    compact->close();
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(MainWindowWindows, LoopAndRandomLiveInThePlayer)
{
    QTest::mouseClick(control->CheckBox1, Qt::LeftButton);
    EXPECT_TRUE(wiring->player().loopMode());
    wiring->player().setRandomMode(true);
    QTest::mouseClick(control->RadioButton2, Qt::LeftButton);
    EXPECT_FALSE(wiring->player().randomMode());
}

TEST_F(MainWindowWindows, AddFolderFromThePlayListsMenu)
{
    const QString folder = path(QStringLiteral("songs"));
    QDir().mkpath(folder);
    writeFile(QStringLiteral("songs/one.mp3"), "x");
    writeFile(QStringLiteral("songs/two.wav"), "x");
    bool shown = false;
    QTimer::singleShot(0, addFolder.get(), [&] {
        shown = addFolder->isVisible() && addFolder->isModal();
        EXPECT_EQ(addFolder->pos(), form->frameGeometry().topLeft());
        addFolder->chooseFolder(folder);
        addFolder->BitBtn1->click();
    });
    wiring->panel().N16->trigger();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(addFolder->isVisible());
    EXPECT_EQ(wiring->playList().items(),
              (QStringList{folder + QStringLiteral("/one.mp3"), folder + QStringLiteral("/two.wav")}));
    EXPECT_TRUE(readFile(QStringLiteral("mplay.dll")).contains("two.wav"));
}

TEST_F(MainWindowWindows, AboutAndHelpFromTheTrayMenuAndTheHelpTab)
{
    const QList<QAction *> items = form->PopupMenu2->actions();
    const qsizetype separator = items.indexOf(form->N1);
    ASSERT_GE(separator, 2);
    QAction *aboutItem = items.at(separator - 2);
    QAction *helpItem = items.at(separator - 1);
    EXPECT_EQ(aboutItem->text(), QStringLiteral("关于"));
    EXPECT_EQ(helpItem->text(), QStringLiteral("帮助说明"));
    aboutItem->trigger();
    helpItem->trigger();
    EXPECT_TRUE(about->isVisible());
    EXPECT_TRUE(help->isVisible());
    about->hide();
    help->hide();

    auto *tab = form->TabSheet6->findChild<HelpTab *>();
    ASSERT_NE(tab, nullptr);
    tab->aboutButton->click();
    tab->helpButton->click();
    EXPECT_TRUE(about->isVisible());
    EXPECT_TRUE(help->isVisible());
}

} // namespace
