#include "recorder/manual_player_window.h"

#include "core/settings.h"
#include "player/system_volume.h"
#include "recorder/record_file_dialog.h"
#include "recorder_fakes.h"
#include "support/program_test.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QToolButton>

#include <functional>
#include <optional>

namespace {

// The window in a program folder whose home has a music folder; the recording dialog
// is answered by `answerDialog`.
class ManualPlayerWindowTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        oldHome = qgetenv("HOME");
        qputenv("HOME", path(QStringLiteral("user")).toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
        QDir().mkpath(music());
    }
    void TearDown() override
    {
        window.reset();
        qputenv("HOME", oldHome);
        ProgramTest::TearDown();
    }
    QString music() const { return path(QStringLiteral("user/Music")); }
    void open()
    {
        ManualPlayerContext c;
        c.balance = [this] { return balance; };
        c.player = [this] { return std::make_unique<FakeMedia>(media); };
        c.recorder = [this] { return std::make_unique<FakeRecorder>(rec); };
        c.chooseFiles = [this] { return chosen; };
        c.runRecordDialog = [this](TFormlyts &d) {
            d.show(); // the dialog's own defaults first
            dialogPlaces.clear();
            for (int i = 0; i < d.ComboBox1->count(); ++i)
                dialogPlaces.append(d.ComboBox1->itemText(i));
            dialogName = d.Edit1->text();
            if (answerName)
                d.Edit1->setText(*answerName);
            if (answerPlace)
                d.ComboBox1->setCurrentText(*answerPlace);
            d.hide();
            if (whileDialogOpen)
                whileDialogOpen();
            return confirm;
        };
        window = std::make_unique<TfrnMyPlay>(c);
        window->show();
    }

    QByteArray oldHome;
    int balance = kBalanceCentre;
    QStringList chosen;
    FakeMediaState media;
    FakeRecorderState rec;
    bool confirm = true;
    std::optional<QString> answerName;
    std::optional<QString> answerPlace;
    std::function<void()> whileDialogOpen;
    QStringList dialogPlaces;
    QString dialogName;
    std::unique_ptr<TfrnMyPlay> window;
};

TEST_F(ManualPlayerWindowTest, OpensQuietlyOnTheMusicFolderAndSaysWhenItIsMissing)
{
    open();
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(window->KsMediaplayer1->RecordOption().FilePath(), music());
    EXPECT_EQ(window->KsMediaplayer1->RecordOption().FileName(), QStringLiteral("test.wav"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("手工播放器"));
    window.reset();

    QDir(music()).removeRecursively();
    open();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("目录不存在")});
    EXPECT_TRUE(window->isVisible()) << "the window opens all the same";
}

TEST_F(ManualPlayerWindowTest, AddPlayAndDoubleClickShowTheTrackInTheCaptionAndList)
{
    open();
    chosen = {QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.wma")};
    window->BitBtn7->click();
    chosen = {QStringLiteral("/m/b.wma"), QStringLiteral("/m/c.mid")};
    window->NAdd->trigger();
    ASSERT_EQ(window->List->count(), 3);
    EXPECT_EQ(window->List->item(2)->text(), QStringLiteral("c.mid"));

    window->BitBtn3->click();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("正在播放 a.mp3"));
    EXPECT_EQ(window->List->currentRow(), 0);
    window->BitBtn3->click();
    EXPECT_EQ(window->KsMediaplayer1->playState(), 2);
    window->BitBtn3->click();
    EXPECT_EQ(window->KsMediaplayer1->playState(), 1);

    window->ListDblClick(window->List->item(2));
    EXPECT_EQ(media.opened.last(), QStringLiteral("/m/c.mid"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("正在播放 c.mid"));
    EXPECT_EQ(window->List->currentRow(), 2);
    window->modeRandom->trigger();
    EXPECT_EQ(window->KsMediaplayer1->PlayMode, TPlayMode::pmRandom);
    EXPECT_TRUE(window->modeRandom->isChecked());
    EXPECT_FALSE(window->modeOrder->isChecked());
    window->BitBtn2->click();
    EXPECT_EQ(window->KsMediaplayer1->playState(), 3);
}

TEST_F(ManualPlayerWindowTest, AFileThatCannotPlayIsShownByName)
{
    open();
    media.broken = {QStringLiteral("/m/film.avi")};
    chosen = {QStringLiteral("/m/film.avi")};
    window->BitBtn7->click();
    window->BitBtn3->click();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("目前视频文件只能播放mpg（film.avi）")});
}

TEST_F(ManualPlayerWindowTest, VolumeSliderMuteAndMarkerSetTheProcessVolume)
{
    appSettings().strposr = QStringLiteral("130");
    balance = 5; // left only
    open();
    EXPECT_EQ(window->TrackBar1->value(), 130);
    EXPECT_EQ(ProcessVolume::instance().word(), volumeWord(50000, 0)) << "the saved main volume, through the balance";
    window->TrackBar1->setValue(26);
    EXPECT_EQ(ProcessVolume::instance().word(), volumeWord(10000, 0));

    window->BtnVolume->click();
    EXPECT_EQ(ProcessVolume::instance().word(), 0u);
    EXPECT_EQ(window->BtnVolume->accessibleName(), QStringLiteral("取消静音"));
    window->BtnVolume->click();
    EXPECT_EQ(ProcessVolume::instance().word(), volumeWord(2560, 2560)) << "unmuting gives 2560, not the old level";

    // Play while silent: the marker drops to 0 and its change sets 2560 again.
    chosen = {QStringLiteral("/m/a.mp3")};
    window->BitBtn7->click();
    ProcessVolume::instance().setWord(0);
    window->BitBtn3->click();
    EXPECT_EQ(window->TrackBar2->value(), 0);
    EXPECT_EQ(ProcessVolume::instance().word(), volumeWord(2560, 2560));
}

TEST_F(ManualPlayerWindowTest, KnobFollowsProgressAndSeeksOnRelease)
{
    open();
    window->resize(600, 300);
    QCoreApplication::processEvents();
    const int width = window->SeekBar1->width();
    const int knob = window->SeekBarSlider->width();
    ASSERT_GT(width, 100);
    window->placeKnob(0, 0);
    EXPECT_EQ(window->SeekBarSlider->x(), knob) << "a length of 0 keeps the knob at the left end";
    window->placeKnob(1, 2);
    EXPECT_EQ(window->SeekBarSlider->x(), int(roundHalfEven(width / 2.0)) + knob);
    EXPECT_EQ(window->SeekBar2->x(), window->SeekBarSlider->x());
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);

    // Nothing open: releasing the knob does nothing.
    window->knobPressed();
    window->knobReleased();
    EXPECT_EQ(media.seekedTo, -1);
    EXPECT_EQ(window->KsMediaplayer1->playState(), 0);

    chosen = {QStringLiteral("/m/a.mp3")};
    window->BitBtn7->click();
    window->BitBtn3->click();
    media.length = 100000;
    window->knobPressed();
    window->knobMoved(20);
    window->KsMediaplayer1->TimerTick(); // progress does not move a dragged knob
    const int left = window->SeekBarSlider->x();
    window->knobReleased();
    EXPECT_FALSE(window->dragging());
    EXPECT_EQ(media.seekedTo, roundHalfEven(100000.0 / width * left));
    EXPECT_EQ(window->KsMediaplayer1->playState(), 1) << "playing goes on from the new position";
    window->KsMediaplayer1->TimerTick();
    EXPECT_EQ(window->LabTime->text(), window->KsMediaplayer1->PositionText());
}

TEST_F(ManualPlayerWindowTest, RecordingDialogOffersTheWritablePlacesAndTheDefaultName)
{
    open();
    answerName = QStringLiteral("abc");
    window->NStart->trigger();
    ASSERT_GE(dialogPlaces.size(), 3);
    EXPECT_EQ(dialogPlaces[0], music());
    EXPECT_EQ(dialogPlaces[1], path(QStringLiteral("user")));
    EXPECT_EQ(dialogPlaces[2], path(QStringLiteral("recordings")));
    EXPECT_EQ(dialogName, QStringLiteral("music1.wav"));

    EXPECT_EQ(rec.path, music() + QStringLiteral("/abc.wav"));
    EXPECT_EQ(rec.format.bits, 16);
    EXPECT_EQ(rec.format.channels, 1);
    EXPECT_EQ(rec.format.rate, 11025);
    EXPECT_TRUE(window->LabRecord->isVisible());
    EXPECT_TRUE(window->ImgRecord->isVisible());
    window->NStop->trigger();
    EXPECT_FALSE(window->LabRecord->isVisible());
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("录音文件保存到：") + music() + QStringLiteral("/abc.wav")});
}

TEST_F(ManualPlayerWindowTest, BadRecordingRequestsSayWhyAndStartNothing)
{
    open();
    struct Case
    {
        bool confirm;
        QString name;
        QString expectedBox; // empty: ends quietly
    };
    const Case cases[] = {
        {false, QStringLiteral("a.wav"), {}},
        {true, QStringLiteral("   "), {}},
        {true, QStringLiteral("sub/a.wav"), QStringLiteral("文件名不能包含“/”！")},
    };
    for (const Case &k : cases) {
        boxes.shown.clear();
        confirm = k.confirm;
        answerName = k.name;
        window->NStartClick();
        EXPECT_EQ(boxes.shown, k.expectedBox.isEmpty() ? QStringList() : QStringList{k.expectedBox}) << qPrintable(k.name);
        EXPECT_EQ(rec.starts, 0) << qPrintable(k.name);
    }

    // The chosen folder went away while the dialog was open.
    confirm = true;
    answerName = QStringLiteral("a.wav");
    whileDialogOpen = [this] { QDir(music()).removeRecursively(); };
    boxes.shown.clear();
    window->NStartClick();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("目录不存在")});
    EXPECT_EQ(rec.starts, 0);
    EXPECT_FALSE(window->LabRecord->isVisible());
}

TEST_F(ManualPlayerWindowTest, NoInputStopWithoutRecordingAndASecondStartAreAnswered)
{
    open();
    window->NStopClick();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("没有正在进行的录音！")});

    rec.startSucceeds = false;
    boxes.shown.clear();
    window->NStartClick();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("录音无法开始：录音设备无法打开！")});
    EXPECT_FALSE(window->LabRecord->isVisible());

    rec.startSucceeds = true;
    window->NStartClick();
    boxes.shown.clear();
    window->NStartClick();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("正在录音，请先停止！")});
    EXPECT_EQ(rec.starts, 2);

    rec.stopSucceeds = false;
    boxes.shown.clear();
    window->NStopClick();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("录音文件保存失败：磁盘空间不足！")});
}

TEST_F(ManualPlayerWindowTest, ClosingWhileRecordingSavesAndSaysWhere)
{
    open();
    chosen = {QStringLiteral("/m/a.mp3")};
    window->BitBtn7->click();
    window->BitBtn3->click();
    window->NStartClick();
    ASSERT_TRUE(rec.recording);
    window->close();
    EXPECT_EQ(rec.stops, 1);
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("录音文件保存到：") + music() + QStringLiteral("/music1.wav")});
    EXPECT_EQ(window->KsMediaplayer1->playState(), 3) << "closing stops playback";
}

TEST_F(ManualPlayerWindowTest, ARecordingThatEndsByItselfIsReportedAndTheIndicatorGoes)
{
    open();
    window->NStartClick();
    window->Timer1Timer();
    const QPixmap first = window->ImgRecord->pixmap();
    window->Timer1Timer();
    EXPECT_NE(window->ImgRecord->pixmap().toImage(), first.toImage()) << "the indicator blinks";

    rec.failure = QStringLiteral("录音来源已停止");
    window->KsMediaplayer1->RecordCheckTick();
    EXPECT_FALSE(window->LabRecord->isVisible());
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("录音已中断（录音来源已停止），已录下的声音保存到：") + music()
                                       + QStringLiteral("/music1.wav")});
}

} // namespace
