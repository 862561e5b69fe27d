#include "player/main_player.h"

#include "qstring_printer.h"

#include "platform/gst_media_player.h"

#include "player_fakes.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

class Player : public ::testing::Test
{
protected:
    Player()
        : list(dir.filePath(QStringLiteral("mplay.dll"))),
          player(list, library, media)
    {
        player.setTitleAccess([this] { return title; }, [this](const QString &t) { title = t; });
        library.journal = &calls;
        media.journal = &calls;
    }

    // Appends paths; every one plays for `secs` seconds on its engine.
    void fill(const QStringList &paths, int secs = 5)
    {
        for (const QString &path : paths) {
            list.append(path);
            setLength(path, secs);
        }
    }
    void setLength(const QString &path, int secs)
    {
        library.lengths[path] = secs;
        media.lengthsMs[path] = qint64(secs) * 1000 + 400;
    }
    QString listFile() const
    {
        QFile file(list.filePath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // Paths started so far, in order, on either engine.
    QStringList started() const
    {
        QStringList paths;
        for (const QString &entry : calls) {
            if (entry.startsWith(QLatin1String("lib:play:")))
                paths.append(entry.mid(9));
            else if (entry.startsWith(QLatin1String("media:open:")))
                paths.append(entry.mid(11));
        }
        return paths;
    }
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            player.Timer1Timer();
    }
    void expectIdle() const
    {
        EXPECT_FALSE(player.playing());
        EXPECT_FALSE(player.timer1Active());
        EXPECT_FALSE(player.playCaptionRed());
        EXPECT_FALSE(player.pauseCaptionRed());
        EXPECT_TRUE(player.currentPath().isEmpty());
        EXPECT_EQ(player.Edit1Text(), QStringLiteral("00:00:00"));
        EXPECT_EQ(player.Edit2Text(), QStringLiteral("00:00:00"));
        EXPECT_EQ(player.gaugeValue(), 0);
    }

    QTemporaryDir dir;
    QStringList calls; // both engines' calls, in order
    FakeLibrary library;
    FakeMedia media;
    PlayList list;
    MainPlayer player;
    QString title = QStringLiteral("Chimecastr");
};

class PlayerStates : public Player, public ::testing::WithParamInterface<const char *>
{};

TEST_P(PlayerStates, IdlePlayingPausedPlayingIdle)
{
    const QString path = QString::fromLatin1(GetParam());
    const bool onLibrary = path.endsWith(QLatin1String(".mp3"));
    const QStringList &log = onLibrary ? library.log : media.log;
    const QString prefix = onLibrary ? QStringLiteral("lib:") : QStringLiteral("media:");
    fill({path}, 65);
    expectIdle();

    player.BitBtn2Click();
    EXPECT_TRUE(player.playing());
    EXPECT_TRUE(player.timer1Active());
    EXPECT_TRUE(player.playCaptionRed());
    EXPECT_FALSE(player.pauseCaptionRed());
    EXPECT_EQ(player.currentPath(), path);
    EXPECT_EQ(player.mp3Engine(), onLibrary);
    EXPECT_EQ(player.totalSecs(), 65);
    EXPECT_EQ(player.Edit1Text(), QStringLiteral("00:01:05"));
    EXPECT_EQ(player.gaugeMax(), 65);
    EXPECT_EQ(started(), QStringList{path});

    player.BitBtn3Click();
    EXPECT_EQ(log.last(), prefix + QStringLiteral("pause"));
    EXPECT_TRUE(player.playing());
    EXPECT_FALSE(player.timer1Active());
    EXPECT_FALSE(player.playCaptionRed());
    EXPECT_TRUE(player.pauseCaptionRed());

    player.BitBtn2Click();
    EXPECT_EQ(log.last(), prefix + QStringLiteral("resume"));
    EXPECT_TRUE(player.timer1Active());
    EXPECT_TRUE(player.playCaptionRed());
    EXPECT_FALSE(player.pauseCaptionRed());
    EXPECT_EQ(started(), QStringList{path}) << "resume started the track again";

    player.Timer1Timer();
    EXPECT_EQ(player.Edit2Text(), QStringLiteral("00:00:01"));
    player.BitBtn4Click();
    EXPECT_EQ(log.last(), onLibrary ? QStringLiteral("lib:stop") : QStringLiteral("media:close"));
    expectIdle();

    // In Idle, Stop and Pause do nothing at all.
    const QStringList before = library.log + media.log;
    player.BitBtn4Click();
    player.BitBtn3Click();
    EXPECT_EQ(library.log + media.log, before);
    expectIdle();
}

INSTANTIATE_TEST_SUITE_P(Engines, PlayerStates, ::testing::Values("/m/a.mp3", "/m/a.wma"), [](const auto &info) {
    return std::string(QString::fromLatin1(info.param).endsWith(QLatin1String(".mp3")) ? "Library" : "MediaLayer");
});

TEST_F(Player, TrackOfNSecondsEndsOnTheTickAfterN)
{
    fill({QStringLiteral("/m/a.mp3")}, 3);
    player.BitBtn2Click();
    for (int tick = 1; tick <= 3; ++tick) {
        player.Timer1Timer();
        EXPECT_EQ(player.elapsedSecs(), tick);
        EXPECT_EQ(player.gaugeValue(), tick);
        EXPECT_EQ(player.Edit2Text(), playerTimeText(tick));
        EXPECT_TRUE(player.timer1Active());
        EXPECT_EQ(title, tick % 2 ? QStringLiteral("musicChimecastr") : QStringLiteral("Chimecastr"));
    }
    player.Timer1Timer(); // the 4th tick ends the only track: the list has run out
    EXPECT_EQ(library.log.last(), QStringLiteral("lib:stop"));
    EXPECT_FALSE(player.timer1Active());
    EXPECT_TRUE(player.currentPath().isEmpty());
    EXPECT_EQ(player.Edit1Text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(player.Edit2Text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(player.gaugeValue(), 0);
    // Ended: still "playing" with the captions as they were, until Stop.
    EXPECT_TRUE(player.playing());
    EXPECT_TRUE(player.playCaptionRed());
    EXPECT_EQ(title, QStringLiteral("musicChimecastr"));
    player.BitBtn4Click();
    expectIdle();
}

TEST_F(Player, OrderOfTracks)
{
    struct Case
    {
        const char *name;
        bool random;
        bool loop;
        int items;
        std::vector<int> startedItems; // the first comes from Play, then one per track end
        bool stoppedAfter;
    };
    const Case cases[] = {
        {"in order", false, false, 3, {0, 1, 2}, true},
        {"looping", false, true, 3, {0, 1, 2, 0, 1}, false},
        {"looping, one item", false, true, 1, {0, 0, 0}, false},
        // The generator's sequence from seed 0, never the first item.
        {"random", true, false, 4, {0, 3, 1, 2, 1, 1, 1}, false},
        {"random, two items", true, true, 2, {0, 1, 1, 1}, false},
        {"random, one item", true, false, 1, {0, 0, 0}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir caseDir;
        FakeLibrary lib;
        FakeMedia med;
        PlayList caseList(caseDir.filePath(QStringLiteral("mplay.dll")));
        MainPlayer p(caseList, lib, med);
        p.setRandomMode(c.random);
        p.setLoopMode(c.loop);
        QStringList expected;
        for (int i = 0; i < c.items; ++i) {
            const QString path = QStringLiteral("/m/%1.mp3").arg(i);
            caseList.append(path);
            lib.lengths[path] = 1;
        }
        for (int index : c.startedItems)
            expected.append(caseList.item(index));

        p.BitBtn2Click();
        // A one-second track: one counting tick, then the tick that ends it.
        for (size_t i = 0; i < c.startedItems.size(); ++i) {
            p.Timer1Timer();
            p.Timer1Timer();
        }
        QStringList played;
        for (const QString &entry : lib.log) {
            if (entry.startsWith(QLatin1String("lib:play:")))
                played.append(entry.mid(9));
        }
        if (c.stoppedAfter) {
            EXPECT_EQ(played, expected);
            EXPECT_TRUE(p.currentPath().isEmpty());
            EXPECT_FALSE(p.timer1Active());
        } else {
            EXPECT_EQ(played.mid(0, expected.size()), expected);
            EXPECT_EQ(played.size(), expected.size() + 1);
            EXPECT_TRUE(p.timer1Active());
        }
    }
}

TEST(PlayerRandomTest, LinearCongruentialSequenceFromSeedZero)
{
    PlayerRandom random;
    std::vector<int> picks;
    for (int i = 0; i < 5; ++i)
        picks.push_back(random.next(10));
    EXPECT_EQ(picks, (std::vector<int>{0, 0, 8, 2, 2}));
    EXPECT_EQ(PlayerRandom().next(1000), 0);
}

TEST_F(Player, EmptyListIgnoresPlayNextPreviousAndDoubleClick)
{
    player.BitBtn2Click();
    player.nextClick();
    player.BitBtn29Click();
    player.lastClick();
    player.CheckListBox1DblClick();
    EXPECT_TRUE(calls.isEmpty()) << calls.join(QLatin1Char(' ')).toStdString();
    expectIdle();
}

TEST_F(Player, TransportPicksTheItem)
{
    struct Case
    {
        const char *name;
        std::function<void(MainPlayer &)> press;
        int selectedBefore;
        int startedItem;
    };
    const Case cases[] = {
        {"Next from the first", &MainPlayer::nextClick, 0, 1},
        {"Next on the last replays it", &MainPlayer::nextClick, 2, 2},
        {"Next with no selection", &MainPlayer::nextClick, -1, 0},
        {"Previous from the last", &MainPlayer::BitBtn29Click, 2, 1},
        {"Previous on the first replays it", &MainPlayer::BitBtn29Click, 0, 0},
        {"Previous (Ctrl+L) with no selection", &MainPlayer::lastClick, -1, 0},
        {"Play the selected", &MainPlayer::BitBtn2Click, 1, 1},
        {"Play with no selection", &MainPlayer::BitBtn2Click, -1, 0},
        {"double-click the selected", &MainPlayer::CheckListBox1DblClick, 2, 2},
        {"double-click with no selection", &MainPlayer::CheckListBox1DblClick, -1, 0},
    };
    fill({QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.wav"), QStringLiteral("/m/c.wma")});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        player.BitBtn4Click();
        list.setItemIndex(c.selectedBefore);
        const int before = int(started().size());
        c.press(player);
        ASSERT_EQ(started().size(), before + 1);
        EXPECT_EQ(started().last(), list.item(c.startedItem));
        EXPECT_EQ(list.itemIndex(), c.startedItem);
        EXPECT_EQ(player.currentPath(), list.item(c.startedItem));
        EXPECT_TRUE(player.playing());
        EXPECT_TRUE(player.timer1Active());
    }
}

TEST_F(Player, PauseThenNextThenPlayOnlyResumes)
{
    fill({QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mp3")});
    player.BitBtn2Click();
    player.BitBtn3Click();
    player.nextClick();
    EXPECT_EQ(started().last(), QStringLiteral("/m/b.mp3"));
    EXPECT_TRUE(player.timer1Active());
    EXPECT_TRUE(player.pauseCaptionRed()) << "starting a track keeps the paused indicator";
    EXPECT_FALSE(player.playCaptionRed());

    // The scheduler refills the list and presses Play: the paused player only resumes.
    list.clear();
    fill({QStringLiteral("/m/x.mp3")});
    list.setItemIndex(0);
    player.BitBtn2Click();
    EXPECT_EQ(library.log.last(), QStringLiteral("lib:resume"));
    EXPECT_EQ(started().size(), 2);
    EXPECT_EQ(player.currentPath(), QStringLiteral("/m/b.mp3"));
    EXPECT_TRUE(player.playCaptionRed());
    EXPECT_FALSE(player.pauseCaptionRed());

    // Now not paused: Play starts the selected item.
    player.BitBtn2Click();
    EXPECT_EQ(started().last(), QStringLiteral("/m/x.mp3"));
}

TEST_F(Player, TrackOfNoLengthLeavesListAndFileAndIsSkipped)
{
    fill({QStringLiteral("/m/z.mp3"), QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.wma"),
          QStringLiteral("/m/c.mp3")});
    setLength(QStringLiteral("/m/z.mp3"), 0);
    setLength(QStringLiteral("/m/a.mp3"), 1);
    setLength(QStringLiteral("/m/b.wma"), 0);

    player.BitBtn2Click(); // z has no length: it goes, nothing is selected
    EXPECT_EQ(list.items(),
              (QStringList{QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.wma"), QStringLiteral("/m/c.mp3")}));
    EXPECT_EQ(list.itemIndex(), -1);
    player.Timer1Timer(); // a length of 0 ends on the first tick: on to the first item
    EXPECT_EQ(started().last(), QStringLiteral("/m/a.mp3"));
    ticks(2); // a ends, b starts and has no length
    EXPECT_EQ(started().last(), QStringLiteral("/m/b.wma"));
    EXPECT_EQ(list.items(), (QStringList{QStringLiteral("/m/a.mp3"), QStringLiteral("/m/c.mp3")}));
    EXPECT_EQ(listFile(), QStringLiteral("/m/a.mp3\n/m/c.mp3\n"));
    EXPECT_EQ(list.itemIndex(), 0);
    player.Timer1Timer(); // the item after b, not the first item again
    EXPECT_EQ(started().last(), QStringLiteral("/m/c.mp3"));
    EXPECT_EQ(list.itemIndex(), 1);
}

TEST_F(Player, AFileTheLibraryCannotPlayIsNamedAndTheLastOneStopsThePlayer)
{
    const QString why = QStringLiteral("unsupported format: no audio decoded (/m/bad.mp3: the input is empty)");
    fill({QStringLiteral("/m/bad.mp3"), QStringLiteral("/m/a.mp3"), QStringLiteral("/m/last.mp3")}, 1);
    setLength(QStringLiteral("/m/bad.mp3"), 0);
    setLength(QStringLiteral("/m/last.mp3"), 0);
    library.failures[QStringLiteral("/m/bad.mp3")] = why;
    library.failures[QStringLiteral("/m/last.mp3")] = QStringLiteral("no such device: cannot open sound device");

    // A failed item with others after it: named, dropped, and the list goes on.
    player.BitBtn2Click();
    EXPECT_EQ(player.statusText(), QStringLiteral("无法播放 bad.mp3：") + why);
    EXPECT_TRUE(player.playing());
    EXPECT_TRUE(player.playCaptionRed());
    EXPECT_TRUE(player.timer1Active());
    ticks(1); // on to a
    EXPECT_EQ(started().last(), QStringLiteral("/m/a.mp3"));

    // The last item fails: the player stops and says why instead of showing "playing".
    ticks(2);
    EXPECT_EQ(started().last(), QStringLiteral("/m/last.mp3"));
    EXPECT_EQ(player.statusText(), QStringLiteral("无法播放 last.mp3：no such device: cannot open sound device"));
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(player.playCaptionRed());
    EXPECT_FALSE(player.timer1Active());
    EXPECT_TRUE(player.currentPath().isEmpty());
    EXPECT_EQ(list.items(), QStringList{QStringLiteral("/m/a.mp3")});

    // A file of no length that the library played without complaint leaves quietly.
    player.BitBtn7Click();
    fill({QStringLiteral("/m/short.mp3")}, 0);
    player.BitBtn2Click();
    EXPECT_TRUE(player.playing());
    EXPECT_EQ(player.statusText(), QStringLiteral("无法播放 last.mp3：no such device: cannot open sound device"));
}

TEST_F(Player, MediaLayerFailureResetsQuietly)
{
    fill({QStringLiteral("/m/a.mp3"), QStringLiteral("/m/bad.wma")}, 1);
    media.unplayable.append(QStringLiteral("/m/bad.wma"));
    player.BitBtn2Click();
    ticks(2); // a ends; bad.wma fails to open
    EXPECT_EQ(media.log, (QStringList{QStringLiteral("media:open:/m/bad.wma"), QStringLiteral("media:close")}));
    EXPECT_TRUE(player.currentPath().isEmpty());
    EXPECT_FALSE(player.timer1Active());
    EXPECT_EQ(player.Edit1Text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(list.count(), 2) << "a file that fails to open stays in the list";
}

TEST_F(Player, SwitchingEnginesSilencesTheOtherOne)
{
    fill({QStringLiteral("/m/a.wma"), QStringLiteral("/m/b.mp3"), QStringLiteral("/m/c.mid")});
    player.BitBtn2Click();
    EXPECT_EQ(media.log, (QStringList{QStringLiteral("media:open:/m/a.wma"), QStringLiteral("media:play")}));
    EXPECT_TRUE(library.log.isEmpty());

    media.log.clear();
    player.nextClick();
    EXPECT_EQ(library.log, (QStringList{QStringLiteral("lib:stop"), QStringLiteral("lib:init"),
                                        QStringLiteral("lib:play:/m/b.mp3"), QStringLiteral("lib:length:/m/b.mp3")}));
    EXPECT_EQ(media.log, (QStringList{QStringLiteral("media:stop"), QStringLiteral("media:close")}));

    library.log.clear();
    media.log.clear();
    player.nextClick();
    EXPECT_EQ(library.log, QStringList{QStringLiteral("lib:stop")});
    EXPECT_EQ(media.log, (QStringList{QStringLiteral("media:open:/m/c.mid"), QStringLiteral("media:play")}));
    EXPECT_FALSE(player.mp3Engine());
}

TEST_F(Player, EngineByExtensionWithoutRegardToCase)
{
    struct Case
    {
        const char *path;
        const char *firstCall; // nullptr: refused
    };
    const Case cases[] = {
        {"/m/Song.Mp3", "lib:play:/m/Song.Mp3"},
        {"/m/bell.WAV", "lib:play:/m/bell.WAV"},
        {"/m/x.mp3s/y.wma", "media:open:/m/x.mp3s/y.wma"},
        {"/m/tune.MID", "media:open:/m/tune.MID"},
        {"/m/tune.midi", "media:open:/m/tune.midi"},
        {"/m/list.qk", nullptr},
        {"/m/film.AVI", nullptr},
        {"/m/film.mpg", nullptr},
        {"/m/mp3", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        const QString path = QString::fromLatin1(c.path);
        setLength(path, 5);
        library.log.clear();
        media.log.clear();
        list.clear();
        player.openFile(path);
        const QStringList calls = library.log + media.log;
        if (c.firstCall) {
            EXPECT_TRUE(calls.contains(QString::fromLatin1(c.firstCall)));
            EXPECT_EQ(list.items(), QStringList{path});
            EXPECT_EQ(listFile(), path + QLatin1Char('\n'));
            EXPECT_EQ(player.currentPath(), path);
        } else {
            EXPECT_TRUE(calls.isEmpty()) << calls.join(QLatin1Char(' ')).toStdString();
            EXPECT_TRUE(list.isEmpty());
            EXPECT_EQ(listFile(), QString());
            EXPECT_TRUE(player.currentPath().isEmpty());
        }
    }
}

TEST_F(Player, ListFileFollowsOpenAndEmptying)
{
    player.openFile(QStringLiteral("/m/a.mp3"));
    EXPECT_EQ(listFile(), QStringLiteral("/m/a.mp3\n"));
    EXPECT_EQ(list.itemIndex(), 0);
    player.openFile(QStringLiteral("/m/b.wav"));
    EXPECT_EQ(listFile(), QStringLiteral("/m/a.mp3\n/m/b.wav\n"));
    EXPECT_EQ(list.itemIndex(), 1);

    player.BitBtn7Click();
    EXPECT_EQ(listFile(), QString());
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(player.playing()) << "emptying the list does not touch playback";
    EXPECT_EQ(player.currentPath(), QStringLiteral("/m/b.wav"));
    player.N18Click();
    EXPECT_EQ(listFile(), QString());
}

TEST(MainPlayerWithMediaLayer, PlaysWmaAndMidiFixturesToTheEnd)
{
    qputenv("CHIMECAST_AUDIO_SINK", "fakesink");
    for (const char *name : {"tone_2s.wma", "tone_2s.mid"}) {
        SCOPED_TRACE(name);
        const QString path = QStringLiteral(CHIMECAST_MEDIA_FIXTURES "/") + QString::fromLatin1(name);
        FakeLibrary library;
        GstMediaPlayer media;
        PlayList list;
        list.append(path);
        MainPlayer player(list, library, media);

        player.BitBtn2Click();
        EXPECT_TRUE(player.playing());
        EXPECT_FALSE(player.mp3Engine());
        EXPECT_TRUE(media.isOpen());
        EXPECT_EQ(player.totalSecs(), 2);
        EXPECT_EQ(player.Edit1Text(), QStringLiteral("00:00:02"));
        player.Timer1Timer();
        player.Timer1Timer();
        EXPECT_TRUE(media.isOpen());
        player.Timer1Timer(); // the third tick ends the two-second track
        EXPECT_FALSE(media.isOpen());
        EXPECT_TRUE(player.currentPath().isEmpty());
        EXPECT_TRUE(library.log.isEmpty());
    }
}

} // namespace
