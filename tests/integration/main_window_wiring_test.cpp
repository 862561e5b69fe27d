// The main window with its player, control and effect windows and scheduler wired the way
// the program does it: the player sits on the first tab, the window's requests reach it,
// the balance slider steers the volume, the side windows swap the panel's buttons, and
// Ctrl+A refills the list from today's programmes.

#include "app/main_window.h"
#include "app/main_window_wiring.h"
#include "core/settings.h"
#include "player/main_player.h"
#include "player/main_player_panel.h"
#include "player/play_list.h"
#include "player/system_volume.h"
#include "scheduler/stream_player.h"
#include "support/program_test.h"
#include "support/today_rows.h"
#include "windows/control_window.h"
#include "windows/effect_window.h"

#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>

namespace {

const QString bell = QStringLiteral(CHIMECAST_FIXTURES "/io/bell.mp3");

class MainWindowWiringTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        qputenv("CHIMECAST_AUDIO_SINK", "fakesink");
        ProgramTest::SetUp();
        // Yesterday's date: the first show resolves today's timetable "T".
        writeFile(QStringLiteral("chimecast.ini"), "[Judge]\nstrrqr=2024-03-13\n");
        setWeeklyTimetables(QStringList(7, QStringLiteral("T")));
    }

    void addProgramme(const QString &name, const QString &start, const QString &path, const QString &kind)
    {
        TimetableRow row;
        row.sjmc = QStringLiteral("T");
        row.jmmc = name;
        row.kssj = start;
        row.jssj = QStringLiteral("23:59:00");
        row.wjpath = path;
        row.wjbz = kind;
        insertTimetableRow(row);
    }

    // Builds the windows and the wiring, and shows the main window as the program does.
    void start()
    {
        form = std::make_unique<TForm1>();
        control = std::make_unique<TForm2>();
        effect = std::make_unique<TForm3>();
        wiring = std::make_unique<MainWindowWiring>(*form, *control, *effect, nullptr);
        form->show();
        wiring->startScheduler();
        ASSERT_TRUE(form->firstShowDone());
        ASSERT_TRUE(wiring->schedulerStarted());
    }

    void TearDown() override
    {
        wiring.reset();
        effect.reset();
        control.reset();
        form.reset();
        ProgramTest::TearDown();
    }

    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> control;
    std::unique_ptr<TForm3> effect;
    std::unique_ptr<MainWindowWiring> wiring;
};

TEST_F(MainWindowWiringTest, FirstTabHostsThePlayerAndTheWindowsStopReachesIt)
{
    start();
    auto *list = form->findChild<QListWidget *>(QStringLiteral("CheckListBox1"));
    auto *play = form->findChild<QPushButton *>(QStringLiteral("BitBtn2"));
    ASSERT_NE(list, nullptr);
    ASSERT_NE(play, nullptr);
    EXPECT_TRUE(form->playerPanel->isAncestorOf(list));
    EXPECT_TRUE(list->isVisible());

    wiring->playList().append(bell);
    EXPECT_EQ(list->count(), 1);
    play->click();
    ASSERT_TRUE(wiring->player().playing());
    EXPECT_EQ(wiring->player().currentPath(), bell);
    EXPECT_TRUE(form->Timer1->isActive());

    // A network programme at the same time (a closed loopback port: nothing is fetched).
    ASSERT_TRUE(wiring->streamPlayer().play(QStringLiteral("http://127.0.0.1:9/live")));
    ASSERT_TRUE(wiring->streamPlayer().isPlaying());

    // Re-resolving today's timetable stops both players and empties the list.
    form->BitBtn27->click();
    EXPECT_FALSE(wiring->player().playing());
    EXPECT_FALSE(wiring->streamPlayer().isPlaying());
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(list->count(), 0);
    EXPECT_TRUE(readFile(QStringLiteral("mplay.dll")).trimmed().isEmpty());
}

TEST_F(MainWindowWiringTest, BalanceSliderSteersTheProcessVolume)
{
    start();
    ProcessVolume &volume = ProcessVolume::instance();
    struct Case
    {
        int balance;
        quint16 left;
        quint16 right;
    };
    // The balance slider alone: its own level, to the side it points at.
    for (const Case c : {Case{1, 60000, 0}, Case{12, 5000, 0}, Case{13, 65000, 65000}, Case{26, 0, 65000}}) {
        control->TrackBar1->setValue(c.balance == 13 ? 12 : 13);
        control->TrackBar1->setValue(c.balance);
        EXPECT_EQ(leftLevel(volume.word()), c.left) << "balance " << c.balance;
        EXPECT_EQ(rightLevel(volume.word()), c.right) << "balance " << c.balance;
    }
    // The player's volume slider goes to the channels the balance slider selects.
    control->TrackBar1->setValue(1);
    wiring->panel().setVolumePosition(130); // step 10
    EXPECT_EQ(volume.word(), volumeWord(50000, 0));
    control->TrackBar1->setValue(13);
    wiring->panel().setVolumePosition(169);
    EXPECT_EQ(volume.word(), volumeWord(65000, 65000));
    EXPECT_EQ(appSettings().strposr, QStringLiteral("169"));
}

TEST_F(MainWindowWiringTest, ClosingTheSideWindowsSwapsThePanelsButtons)
{
    start();
    MainPlayerPanel &panel = wiring->panel();
    panel.tiaoxingopenClick();
    ASSERT_TRUE(effect->isVisible());
    EXPECT_TRUE(panel.tiaoxingopen->isHidden());
    effect->close();
    EXPECT_FALSE(panel.tiaoxingopen->isHidden());
    EXPECT_TRUE(panel.tiaoxingclo->isHidden());

    panel.BitBtn10Click();
    ASSERT_TRUE(control->isVisible());
    EXPECT_TRUE(panel.BitBtn10->isHidden());
    control->close();
    EXPECT_FALSE(panel.BitBtn10->isHidden());
    EXPECT_TRUE(panel.BitBtn5->isHidden());
    // Closing only hides: the spectrum surface lives on for the library.
    EXPECT_NE(effect->Panel2, nullptr);
}

TEST_F(MainWindowWiringTest, CtrlARefillsTheListFromTodaysProgrammes)
{
    writeFile(QStringLiteral("music/folder/b.wav"), "x");
    writeFile(QStringLiteral("music/folder/a.mp3"), "x");
    writeFile(QStringLiteral("music/folder/c.mid"), "x");
    writeFile(QStringLiteral("music/one.mp3"), "x");
    addProgramme(QStringLiteral("file"), QStringLiteral("08:00:00"), path(QStringLiteral("music/one.mp3")),
                 QStringLiteral("1"));
    addProgramme(QStringLiteral("missing"), QStringLiteral("09:00:00"), path(QStringLiteral("music/gone.mp3")),
                 QStringLiteral("1"));
    addProgramme(QStringLiteral("folder"), QStringLiteral("10:00:00"), path(QStringLiteral("music/folder")),
                 QStringLiteral("3"));
    addProgramme(QStringLiteral("stream"), QStringLiteral("11:00:00"), QStringLiteral("http://127.0.0.1:9/x"),
                 QStringLiteral("4"));
    clock.set(QDateTime(QDate(2024, 3, 14), QTime(7, 0))); // nothing is due yet
    start();

    QTest::keyClick(wiring->panel().CheckListBox1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(wiring->playList().items(),
              (QStringList{path(QStringLiteral("music/one.mp3")), path(QStringLiteral("music/folder/a.mp3")),
                           path(QStringLiteral("music/folder/b.wav")), path(QStringLiteral("music/folder/c.mid"))}));
    EXPECT_EQ(wiring->playList().itemIndex(), -1);
    EXPECT_FALSE(wiring->player().playing());
}

} // namespace
