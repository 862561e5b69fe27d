#include "player/main_player_panel.h"

#include "player/main_player.h"
#include "player/main_player_control.h"
#include "player/system_volume.h"

#include "player_fakes.h"
#include "qstring_printer.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class Panel : public ::testing::Test
{
protected:
    Panel()
        : list(dir.filePath(QStringLiteral("mplay.dll"))),
          player(list, library, media),
          panel(player, &timer1)
    {
        library.journal = &calls;
        media.journal = &calls;
        for (const char *path : {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"}) {
            list.append(QString::fromLatin1(path));
            library.lengths[QString::fromLatin1(path)] = 5;
        }
    }
    ~Panel() override { ProcessVolume::instance().setWord(0xFFFFFFFFu); }

    void press(QWidget *target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(target, &event);
    }
    QString lastStarted() const
    {
        for (auto it = calls.crbegin(); it != calls.crend(); ++it) {
            if (it->startsWith(QLatin1String("lib:play:")))
                return it->mid(9);
        }
        return {};
    }
    QColor captionColour(QPushButton *button) const { return button->palette().color(QPalette::ButtonText); }

    QTemporaryDir dir;
    QStringList calls;
    FakeLibrary library;
    FakeMedia media;
    PlayList list;
    MainPlayer player;
    QTimer timer1;
    MainPlayerPanel panel;
};

TEST_F(Panel, ControlsCarryTheirNamesAndTexts)
{
    struct Case
    {
        const char *name;
        const char *text;
        bool shown;
    };
    const Case buttons[] = {
        {"BitBtn2", "播放", true},       {"BitBtn3", "暂停", true},      {"BitBtn4", "结束", true},
        {"BitBtn29", "上一首", true},    {"next", "下一首", true},       {"BitBtn1", "打开", false},
        {"BitBtn6", "add", false},       {"BitBtn7", "del", false},      {"last", "pri", false},
        {"tiaoxingopen", "条形", false}, {"tiaoxingclo", "条形", false},
    };
    for (const Case &c : buttons) {
        SCOPED_TRACE(c.name);
        auto *button = panel.findChild<QPushButton *>(QLatin1String(c.name));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromUtf8(c.text));
        EXPECT_EQ(!button->isHidden(), c.shown);
    }
    EXPECT_EQ(captionColour(panel.BitBtn2), QColor(0, 128, 128));
    EXPECT_EQ(captionColour(panel.BitBtn3), QColor(0, 128, 128));
    for (const char *name : {"Edit1", "Edit2"}) {
        auto *field = panel.findChild<QLineEdit *>(QLatin1String(name));
        ASSERT_NE(field, nullptr);
        EXPECT_TRUE(field->isReadOnly());
        EXPECT_EQ(field->text(), QStringLiteral("00:00:00"));
    }
    auto *slider = panel.findChild<QSlider *>(QStringLiteral("TrackBar1"));
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 169);
    EXPECT_EQ(slider->value(), 85);
    ASSERT_NE(panel.findChild<QProgressBar *>(QStringLiteral("jindu")), nullptr);
    EXPECT_EQ(panel.findChild<QListWidget *>(QStringLiteral("CheckListBox1"))->count(), 3);

    QStringList menu;
    for (QAction *action : panel.listMenu->actions())
        menu.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(menu, (QStringList{QStringLiteral("添加文件"), QStringLiteral("添加目录"), QStringLiteral("-"),
                                 QStringLiteral("删除选项"), QStringLiteral("清空列表")}));
    EXPECT_EQ(panel.CheckListBox1->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(panel.Edit2->contextMenuPolicy(), Qt::CustomContextMenu);
}

TEST_F(Panel, KeysReachThePlayer)
{
    int refills = 0;
    QObject::connect(&panel, &MainPlayerPanel::BitBtn6Clicked, [&refills] { ++refills; });
    panel.setFileChooser([] { return QStringLiteral("/m/opened.mp3"); });
    library.lengths[QStringLiteral("/m/opened.mp3")] = 5;
    QWidget *listBox = panel.CheckListBox1;

    press(listBox, Qt::Key_Return);
    EXPECT_EQ(lastStarted(), QStringLiteral("/m/a.mp3"));
    EXPECT_TRUE(timer1.isActive());
    press(panel.Edit1, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(lastStarted(), QStringLiteral("/m/b.mp3"));
    // With Shift or Alt besides Ctrl the letters do nothing.
    press(listBox, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    press(listBox, Qt::Key_N, Qt::ControlModifier | Qt::AltModifier);
    press(listBox, Qt::Key_N);
    EXPECT_EQ(lastStarted(), QStringLiteral("/m/b.mp3"));
    press(panel.Edit2, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(lastStarted(), QStringLiteral("/m/a.mp3"));
    press(listBox, Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(player.pauseCaptionRed());
    EXPECT_FALSE(timer1.isActive());
    press(listBox, Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(player.playing());
    press(listBox, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(refills, 1);
    press(listBox, Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(panel.tiaoxingclo->isHidden());
    EXPECT_TRUE(panel.tiaoxingopen->isHidden());
    press(listBox, Qt::Key_K, Qt::ControlModifier);
    EXPECT_FALSE(panel.BitBtn10->isHidden());
    EXPECT_TRUE(panel.BitBtn5->isHidden());
    press(listBox, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(lastStarted(), QStringLiteral("/m/opened.mp3"));
    EXPECT_EQ(list.count(), 4);
    press(listBox, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(panel.CheckListBox1->count(), 0);
}

TEST_F(Panel, ShowsThePlayersState)
{
    panel.CheckListBox1->setCurrentRow(1);
    EXPECT_EQ(list.itemIndex(), 1);
    panel.BitBtn2->click();
    EXPECT_EQ(lastStarted(), QStringLiteral("/m/b.mp3"));
    EXPECT_EQ(panel.Edit1->text(), QStringLiteral("00:00:05"));
    EXPECT_EQ(panel.jindu->maximum(), 5);
    EXPECT_EQ(captionColour(panel.BitBtn2), QColor(255, 0, 0));
    EXPECT_TRUE(timer1.isActive());

    // One tick of the main window's clock.
    ASSERT_TRUE(QMetaObject::invokeMethod(&timer1, "timeout", Qt::DirectConnection));
    EXPECT_EQ(panel.Edit2->text(), QStringLiteral("00:00:01"));
    EXPECT_EQ(panel.jindu->value(), 1);

    panel.BitBtn3->click();
    EXPECT_EQ(captionColour(panel.BitBtn3), QColor(255, 0, 0));
    EXPECT_EQ(captionColour(panel.BitBtn2), QColor(0, 128, 128));
    panel.BitBtn4->click();
    EXPECT_EQ(captionColour(panel.BitBtn3), QColor(0, 128, 128));
    EXPECT_EQ(panel.Edit1->text(), QStringLiteral("00:00:00"));
    EXPECT_FALSE(timer1.isActive());

    // Changes made to the list elsewhere (the scheduler's fill) show at once.
    list.append(QStringLiteral("/m/d.mp3"));
    ASSERT_EQ(panel.CheckListBox1->count(), 4);
    EXPECT_EQ(panel.CheckListBox1->item(3)->text(), QStringLiteral("/m/d.mp3"));
    list.setItemIndex(3);
    EXPECT_EQ(panel.CheckListBox1->currentRow(), 3);
    Q_EMIT panel.CheckListBox1->itemDoubleClicked(panel.CheckListBox1->item(3));
    EXPECT_EQ(lastStarted(), QStringLiteral("/m/d.mp3"));
}

TEST_F(Panel, VolumeSliderFollowsTheBalanceAndIsStored)
{
    int balance = 1;
    QList<int> stored;
    panel.setBalanceSource([&balance] { return balance; });
    panel.setPositionStore([&stored](int position) { stored.append(position); });
    ProcessVolume &volume = ProcessVolume::instance();

    panel.TrackBar1->setValue(169);
    EXPECT_EQ(volume.word(), volumeWord(65000, 0));
    balance = 13;
    panel.setVolumePosition(169); // already there: applied all the same
    EXPECT_EQ(volume.word(), volumeWord(65000, 65000));
    panel.TrackBar1->setValue(12);
    EXPECT_EQ(volume.word(), 0u);
    EXPECT_EQ(stored, (QList<int>{169, 169, 12}));
}

TEST_F(Panel, AnswersTheMainWindowsRequests)
{
    QList<int> stored;
    panel.setPositionStore([&stored](int position) { stored.append(position); });
    MainPlayerControl control(panel);
    setPlayerControl(&control);

    playerControl().applyStartVolume(169);
    EXPECT_EQ(panel.TrackBar1->value(), 169);
    EXPECT_EQ(ProcessVolume::instance().word(), volumeWord(65000, 65000));
    EXPECT_EQ(stored, QList<int>{169});

    panel.BitBtn2->click();
    ASSERT_TRUE(player.playing());
    playerControl().stopPlayback();
    EXPECT_FALSE(player.playing());
    playerControl().clearPlayList();
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(panel.CheckListBox1->count(), 0);
    setPlayerControl(nullptr);
}

} // namespace
