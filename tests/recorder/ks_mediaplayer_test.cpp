#include "recorder/ks_mediaplayer.h"

#include "player/system_volume.h"
#include "recorder_fakes.h"
#include "support/program_test.h"

#include <QSignalSpy>

namespace {

class KsMediaplayerTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        player = std::make_unique<TKsMediaplayer>(
            nullptr, [this] { return std::make_unique<FakeMedia>(media); },
            [this] { return std::make_unique<FakeRecorder>(rec); });
        player->setFileChooser([this] { return chosen; });
    }
    void TearDown() override
    {
        player.reset();
        ProgramTest::TearDown();
    }
    void addThree()
    {
        chosen = {a, b, c};
        player->AddFiles();
    }
    // The open track plays to its end; then one tick of the clock.
    void endTrack()
    {
        media.finished = true;
        player->TimerTick();
    }

    const QString a = QStringLiteral("/m/a.mp3");
    const QString b = QStringLiteral("/m/b.wma");
    const QString c = QStringLiteral("/m/c.mid");
    QStringList chosen;
    FakeMediaState media;
    FakeRecorderState rec;
    std::unique_ptr<TKsMediaplayer> player;
};

TEST_F(KsMediaplayerTest, PlayBeforeChoosingDoesNothingThenAlwaysStartsAtTheFirst)
{
    EXPECT_TRUE(player->Play());
    EXPECT_EQ(player->playState(), 0);
    EXPECT_TRUE(media.opened.isEmpty());
    EXPECT_EQ(player->CurrentName(), QString());

    chosen.clear(); // cancelled: nothing changes
    player->AddFiles();
    EXPECT_EQ(player->playState(), 0);

    QSignalSpy changed(player.get(), &TKsMediaplayer::OnChange);
    chosen = {QStringLiteral("  ") + a + QStringLiteral(" "), b, a, c};
    player->AddFiles();
    EXPECT_EQ(player->playState(), 4);
    ASSERT_EQ(player->list().Count(), 3) << "the same path is added once";
    EXPECT_EQ(player->CurrentName(), QStringLiteral("c.mid")) << "the cursor is on the last added";
    EXPECT_FALSE(player->atLast());

    EXPECT_TRUE(player->Play());
    EXPECT_EQ(media.opened, QStringList{a});
    EXPECT_EQ(player->playState(), 1);
    EXPECT_TRUE(player->atFirst());
    EXPECT_FALSE(player->atLast());
    EXPECT_TRUE(player->timerRunning());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(player->CurrentName(), QStringLiteral("a.mp3"));
}

TEST_F(KsMediaplayerTest, PauseResumeAndStopFollowTheStateTable)
{
    addThree();
    QSignalSpy stopped(player.get(), &TKsMediaplayer::OnStop);
    player->Play();
    player->Pause();
    EXPECT_EQ(player->playState(), 2);
    EXPECT_FALSE(player->timerRunning());
    EXPECT_EQ(media.pauses, 1);
    player->Play();
    EXPECT_EQ(player->playState(), 1);
    EXPECT_EQ(media.resumes, 1);
    EXPECT_EQ(media.opened.size(), 1) << "resuming continues the same track";
    player->Stop();
    EXPECT_EQ(player->playState(), 3);
    EXPECT_FALSE(player->timerRunning());
    player->Stop();
    EXPECT_EQ(stopped.count(), 1) << "OnStop only when a track was stopped";
    player->Play();
    EXPECT_EQ(media.opened, (QStringList{a, a})) << "Play after Stop starts at the first item again";
    player->OpenFiles();
    EXPECT_EQ(player->playState(), 3);
}

TEST_F(KsMediaplayerTest, NothingOpenPauseSeekAndStopTouchNoDevice)
{
    chosen = {a};
    player->AddFiles();
    player->Pause();
    player->SetPosition(500);
    EXPECT_EQ(player->playState(), 4);
    EXPECT_EQ(media.pauses + media.resumes, 0);
    EXPECT_EQ(media.seekedTo, -1);
    QSignalSpy stopped(player.get(), &TKsMediaplayer::OnStop);
    player->Stop();
    EXPECT_EQ(player->playState(), 3);
    EXPECT_EQ(media.stops, 0);
}

TEST_F(KsMediaplayerTest, NextAndPriorStopAtTheEnds)
{
    addThree();
    player->Play();
    player->Prior();
    EXPECT_EQ(media.opened.size(), 1);
    player->Next();
    player->Next();
    EXPECT_EQ(media.opened, (QStringList{a, b, c}));
    EXPECT_TRUE(player->atLast());
    player->Next();
    EXPECT_EQ(media.opened.size(), 3);
    EXPECT_EQ(player->CurrentName(), QStringLiteral("c.mid"));
    player->Prior();
    EXPECT_EQ(media.opened.last(), b);
}

TEST_F(KsMediaplayerTest, EndOfTrackFollowsThePlayMode)
{
    struct Case
    {
        TPlayMode mode;
        QStringList expected; // files opened after Play and five track ends
        int finalState;
    };
    PlayerRandom draws;
    QStringList random{a};
    const QStringList all{a, b, c};
    for (int i = 0; i < 5; ++i)
        random.append(all[draws.next(3)]);
    const Case cases[] = {
        {TPlayMode::pmOrder, {a, b, c}, 3},
        {TPlayMode::pmLoop, {a, b, c, a, a, a}, 1}, // the cursor stays on the last item
        {TPlayMode::pmSingleLoop, {a, a, a, a, a, a}, 1},
        {TPlayMode::pmRandom, random, 1},
    };
    for (const Case &k : cases) {
        player = std::make_unique<TKsMediaplayer>(
            nullptr, [this] { return std::make_unique<FakeMedia>(media); },
            [this] { return std::make_unique<FakeRecorder>(rec); });
        player->setFileChooser([this] { return chosen; });
        media = FakeMediaState{};
        player->PlayMode = k.mode;
        addThree();
        player->Play();
        for (int i = 0; i < 5 && player->playState() == 1; ++i)
            endTrack();
        EXPECT_EQ(media.opened, k.expected) << int(k.mode);
        EXPECT_EQ(player->playState(), k.finalState) << int(k.mode);
        if (k.mode == TPlayMode::pmRandom) {
            EXPECT_EQ(player->CurrentName(), QStringLiteral("a.mp3")) << "the cursor does not follow a random pick";
        }
    }
}

TEST_F(KsMediaplayerTest, ClockEndsATrackByPositionAndReportsProgress)
{
    addThree();
    player->Play();
    QSignalSpy progress(player.get(), &TKsMediaplayer::OnPlay);
    media.position = 1500;
    player->TimerTick();
    ASSERT_EQ(progress.count(), 1);
    EXPECT_EQ(progress[0][0].toUInt(), 1500u);
    EXPECT_EQ(progress[0][1].toUInt(), 3000u);
    EXPECT_EQ(media.opened.size(), 1);
    media.position = 3000;
    player->TimerTick();
    EXPECT_EQ(media.opened.last(), b);
    EXPECT_EQ(progress[1][0].toUInt(), 0u) << "progress is read after the next track started";
}

TEST_F(KsMediaplayerTest, ATrackThatCannotPlayIsNamedAndStopsTheClock)
{
    media.broken = {a, c};
    addThree();
    EXPECT_FALSE(player->Play());
    EXPECT_EQ(player->lastError(), QStringLiteral("目前视频文件只能播放mpg（a.mp3）"));
    EXPECT_EQ(player->playState(), 3);
    EXPECT_FALSE(player->timerRunning());

    media.broken = {c};
    player->PlayMode = TPlayMode::pmLoop;
    ASSERT_TRUE(player->Play());
    QSignalSpy errors(player.get(), &TKsMediaplayer::OnPlayError);
    endTrack(); // a -> b
    endTrack(); // b -> c, which fails
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors[0][0].toString(), QStringLiteral("无法播放“c.mid”！"));
    EXPECT_EQ(player->playState(), 3);
    EXPECT_FALSE(player->timerRunning()) << "a failing track never loops on the clock";
}

TEST_F(KsMediaplayerTest, PlayByNamePlaysTheFirstOfThatNameIgnoringCase)
{
    chosen = {a, QStringLiteral("/other/A.MP3"), b};
    player->AddFiles();
    player->PlayByName(QStringLiteral("A.mp3"));
    EXPECT_EQ(media.opened, QStringList{a});
    EXPECT_EQ(player->CurrentName(), QStringLiteral("a.mp3"));
    player->PlayByName(QStringLiteral("missing.mp3"));
    EXPECT_EQ(media.opened.size(), 1);
    EXPECT_EQ(player->CurrentName(), QStringLiteral("a.mp3")) << "an unknown name leaves the cursor";
}

TEST_F(KsMediaplayerTest, FormatTimeByFileKind)
{
    struct Case
    {
        const char *file;
        quint32 t;
        const char *text;
    };
    const Case cases[] = {
        {"/m/a.mp3", 0, "00:00:00"},          {"/m/a.mp3", 3723000, "01:02:03"}, {"/m/a.mp3", 59999, "00:00:59"},
        {"/m/a.mp3", 360000000, "100:00:00"}, {"/m/film.MPG", 3723, "1:02:03"},  {"/m/film.mpg", 36005, "10:00:05"},
    };
    for (const Case &k : cases) {
        chosen = {QString::fromUtf8(k.file)};
        player->OpenFiles();
        player->Play();
        EXPECT_EQ(player->FormatTime(k.t), QString::fromUtf8(k.text)) << k.file << " " << k.t;
    }
    media.position = 61000;
    EXPECT_EQ(player->PositionText(), QStringLiteral("16:56:40/0:50:00")) << "an mpg file counts seconds";
}

TEST_F(KsMediaplayerTest, MuteSilencesAndUnmuteLeavesTheVolumeAlone)
{
    ProcessVolume::instance().setWord(volumeWord(30000, 30000));
    player->SetMute(true);
    EXPECT_TRUE(player->mute());
    EXPECT_EQ(ProcessVolume::instance().word(), 0u);
    player->SetMute(false);
    EXPECT_EQ(ProcessVolume::instance().word(), 0u);
}

TEST_F(KsMediaplayerTest, RecordingUsesTheOptionsAndReportsAFailure)
{
    TRecordOption &o = player->RecordOption();
    o.setFilePath(home());
    o.setFileName(QStringLiteral("abc"));
    o.setChannel(TChannel::chStereo);
    o.setResolution(TResolution::re16bit);
    o.setRate(22050);
    ASSERT_TRUE(player->StartRecord());
    EXPECT_EQ(rec.path, home() + QStringLiteral("/abc.wav"));
    EXPECT_EQ(rec.format.channels, 2);
    EXPECT_EQ(rec.format.bits, 16);
    EXPECT_EQ(rec.format.rate, 22050);

    QSignalSpy failed(player.get(), &TKsMediaplayer::OnRecordFailed);
    player->RecordCheckTick();
    EXPECT_EQ(failed.count(), 0);
    rec.failure = QStringLiteral("磁盘空间不足");
    player->RecordCheckTick();
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed[0][1].toString(), home() + QStringLiteral("/abc.wav"));
    EXPECT_FALSE(player->recording());
    EXPECT_TRUE(player->StopRecord()) << "stopping after the end does nothing";

    rec.startSucceeds = false;
    EXPECT_FALSE(player->StartRecord());
    EXPECT_EQ(player->lastError(), QStringLiteral("录音设备无法打开"));
}

TEST_F(KsMediaplayerTest, DestroyingTheComponentFinishesARecording)
{
    player->RecordOption().setFilePath(home());
    ASSERT_TRUE(player->StartRecord());
    player.reset();
    EXPECT_EQ(rec.stops, 1);
}

} // namespace
