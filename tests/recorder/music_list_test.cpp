#include "recorder/music_list.h"
#include "recorder/record_option.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

TEST(MusicList, EmptyListHasNoCursorAndNoItems)
{
    TDList list;
    EXPECT_EQ(list.Next(), nullptr);
    EXPECT_EQ(list.CurrentIndex(), -1);
    EXPECT_EQ(list.Prior(), nullptr);
    EXPECT_EQ(list.CurrentIndex(), -1);
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Items(0), nullptr);
    EXPECT_EQ(list.Count(), 0);
}

TEST(MusicList, CursorWalksThreeItemsAndStepsBackFromPastTheEnd)
{
    TMusicList a, b, c;
    TDList list;
    EXPECT_EQ(list.Add(&a), 0);
    EXPECT_EQ(list.Add(&b), 1);
    EXPECT_EQ(list.Add(&c), 2);
    EXPECT_EQ(list.Current(), &c);
    EXPECT_EQ(list.First(), &a);
    EXPECT_EQ(list.Next(), &b);
    EXPECT_EQ(list.Next(), &c);
    EXPECT_EQ(list.Next(), nullptr);
    EXPECT_EQ(list.CurrentIndex(), -1);
    EXPECT_EQ(list.Prior(), &c);
    EXPECT_EQ(list.Prior(), &b);
    EXPECT_EQ(list.Items(2), &c);
    EXPECT_EQ(list.Items(3), nullptr);
    EXPECT_EQ(list.Items(-1), nullptr);
}

TEST(MusicList, InsertLinksInFrontOrRefuses)
{
    TMusicList a, b, c, d, stranger;
    TDList list;
    list.Add(&a);
    list.Add(&b);
    EXPECT_EQ(list.Insert(&a, &c), 0); // in front of the first: becomes first
    EXPECT_EQ(list.Items(0), &c);
    EXPECT_EQ(list.Current(), &c);
    EXPECT_EQ(list.Insert(&b, &d), 2); // before b's old index
    EXPECT_EQ(list.Items(2), &d);
    EXPECT_EQ(list.Items(3), &b);
    EXPECT_EQ(list.CurrentIndex(), 2);
    EXPECT_EQ(list.Insert(&stranger, &a), 0);
    EXPECT_EQ(list.Insert(nullptr, nullptr), 0);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.CurrentIndex(), 2) << "a refused insert leaves the cursor";
    EXPECT_EQ(list.Prior(), &a);
    EXPECT_EQ(list.Prior(), &c);
    EXPECT_EQ(list.Prior(), nullptr) << "back links run to the first node";
}

TEST(MusicList, IndexOfComparesPointersNotContents)
{
    TMusicList a{QStringLiteral("a.mp3"), QStringLiteral("/m/a.mp3")};
    TMusicList twin = a;
    TDList list;
    list.Add(&a);
    EXPECT_EQ(list.IndexOf(&a), 0);
    EXPECT_EQ(list.IndexOf(&twin), -1);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Current(), nullptr);
    EXPECT_EQ(list.IndexOf(&a), -1);
}

TEST(RecordOption, DefaultsAndTheFolderCheck)
{
    TRecordOption o;
    EXPECT_EQ(o.FilePath(), TRecordOption::defaultFolder());
    EXPECT_EQ(o.FileName(), QStringLiteral("test.wav"));
    EXPECT_EQ(o.Channel(), TChannel::chSingleMono);
    EXPECT_EQ(o.Resolution(), TResolution::re8Bit);
    EXPECT_EQ(o.Rate(), 11025);

    QTemporaryDir dir;
    o.setFilePath(dir.path());
    try {
        o.setFilePath(dir.path() + QStringLiteral("/gone"));
        FAIL() << "a missing folder was accepted";
    } catch (const FolderMissingError &e) {
        EXPECT_STREQ(e.what(), "目录不存在");
    }
    EXPECT_EQ(o.FilePath(), dir.path());
}

TEST(RecordOption, TargetPathAddsSeparatorAndExtension)
{
    struct Case
    {
        const char *folder;
        const char *name;
        const char *target;
    };
    QTemporaryDir dir;
    const QString d = dir.path();
    QDir(d).mkdir(QStringLiteral("sub"));
    const Case cases[] = {
        {"", "abc", "/abc.wav"},
        {"/", "x.wav", "/x.wav"},
        {"", " Take 1.WAV ", "/Take 1.WAV"},
        {"/sub/", "abc.wave", "/sub/abc.wave.wav"},
        {"/sub", "录音", "/sub/录音.wav"},
    };
    for (const Case &c : cases) {
        TRecordOption o;
        o.setFilePath(d + QString::fromUtf8(c.folder));
        o.setFileName(QString::fromUtf8(c.name));
        EXPECT_EQ(o.targetPath(), d + QString::fromUtf8(c.target)) << c.folder << " + " << c.name;
    }
}

} // namespace
