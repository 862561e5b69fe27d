#include "fakes.h"

#include "scheduler/play_list_filling.h"

#include <gtest/gtest.h>

namespace {

class PlayListFilling : public ::testing::Test
{
protected:
    TodayEntry entry(const QString &kind, const QString &path)
    {
        TodayEntry e;
        e.wjbz = kind;
        e.wjpath = path;
        return e;
    }
    TodayTable t;
    FakePlayer player;
    DirScanner scanner;
};

} // namespace

TEST_F(PlayListFilling, FolderListsMp3ThenWavThenMidiAndSkipsTheRest)
{
    const QString c = t.file(QStringLiteral("music/c.mid"));
    const QString b = t.file(QStringLiteral("music/b.wav"));
    const QString a = t.file(QStringLiteral("music/a.mp3"));
    const QString d = t.file(QStringLiteral("music/sub/d.mp3"));
    t.file(QStringLiteral("music/notes.txt"));
    player.list = {QStringLiteral("/left/over.mp3")};
    player.streamPanelShown = true;

    fillPlayList(entry(QStringLiteral("3"), t.dir.filePath(QStringLiteral("music"))), player, *t.store, scanner);
    EXPECT_EQ(player.list, (QStringList{a, d, b, c}));
    EXPECT_EQ(player.itemIndex, 0);
    EXPECT_FALSE(player.streamPanelShown);
    // The list file is written after emptying and once more after the last file.
    ASSERT_EQ(player.listFileWrites.size(), 2);
    EXPECT_TRUE(player.listFileWrites.front().isEmpty());
    EXPECT_EQ(player.listFileWrites.back(), (QStringList{a, d, b, c}));
}

TEST_F(PlayListFilling, EachKindFillsFromItsSource)
{
    const QString one = t.file(QStringLiteral("one.mp3"));
    const QString s1 = t.file(QStringLiteral("songs/z-first.mp3"));
    const QString s3 = t.file(QStringLiteral("songs/a-third.wav"));
    t.addSong(QStringLiteral("课间"), s1);
    t.addSong(QStringLiteral("课间"), t.dir.filePath(QStringLiteral("songs/missing.mp3")));
    t.addSong(QStringLiteral("课间"), s3);
    t.addSong(QStringLiteral("别的"), one);
    t.addSong(QStringLiteral("课间"), t.dir.filePath(QStringLiteral("songs"))); // a folder is not a song

    struct Case
    {
        const char *what;
        TodayEntry e;
        QStringList list;
        bool streamPanel;
        QString url;
    };
    const Case cases[] = {
        {"existing file", entry(QStringLiteral("1"), one), {one}, false, {}},
        {"missing file", entry(QStringLiteral("1"), t.dir.filePath(QStringLiteral("gone.mp3"))), {}, false, {}},
        {"song list in iid order", entry(QStringLiteral("2"), QStringLiteral("课间")), {s1, s3}, false, {}},
        {"unknown song list", entry(QStringLiteral("2"), QStringLiteral("无此列表")), {}, false, {}},
        {"missing folder", entry(QStringLiteral("3"), t.dir.filePath(QStringLiteral("nowhere"))), {}, false, {}},
        {"network address",
         entry(QStringLiteral("4"), QStringLiteral("http://127.0.0.1:8000/a")),
         {},
         true,
         QStringLiteral("http://127.0.0.1:8000/a")},
        {"unknown kind", entry(QStringLiteral("9"), one), {}, false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FakePlayer p;
        fillPlayList(c.e, p, *t.store, scanner);
        EXPECT_EQ(p.list, c.list);
        EXPECT_EQ(p.itemIndex, c.list.isEmpty() ? -1 : 0);
        EXPECT_EQ(p.streamPanelShown, c.streamPanel);
        EXPECT_EQ(p.streaming, !c.url.isEmpty());
        EXPECT_EQ(p.streamUrl, c.url);
        EXPECT_EQ(p.playPresses, 0);
    }
}
