#include "player/folder_scan.h"

#include "qstring_printer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class FolderScan : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // top/ holds files in no particular creation order, a hidden file, a hidden
        // folder, a folder whose name looks like a file, two subfolders, a link back to
        // the top (a loop) and a dangling link.
        for (const char *rel :
             {"top/B.mp3", "top/c.wav", "top/a.MP3", "top/.quiet.mp3", "top/notes.txt", "top/m.mid", "top/x/b.mp3",
              "top/x/deep/d.mp3", "top/Z/z.Mid", "top/.secret/s.mp3", "top/folder.mp3/inner.mp3", "top/a.mp3.txt"})
            touch(QString::fromLatin1(rel));
        ASSERT_TRUE(QFile::link(path("top"), path("top/x/loop")));
        ASSERT_TRUE(QFile::link(path("top/x"), path("top/x/deep/up")));
        ASSERT_TRUE(QFile::link(path("top/gone.mp3"), path("top/dangling.mp3")));
    }
    QString path(const char *rel) const { return dir.filePath(QString::fromLatin1(rel)); }
    void touch(const QString &rel)
    {
        const QString full = dir.filePath(rel);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(full).path()));
        QFile file(full);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QStringList expected(std::initializer_list<const char *> rels) const
    {
        QStringList out;
        for (const char *rel : rels)
            out.append(path(rel));
        return out;
    }
    QTemporaryDir dir;
};

TEST_F(FolderScan, OwnFilesFirstSortedThenSubfoldersDepthFirst)
{
    // With or without the trailing slash: the same paths, names as found.
    for (const QString &top : {path("top"), path("top") + QLatin1Char('/')}) {
        SCOPED_TRACE(top.toStdString());
        QStringList mp3;
        ScanMp3Files(top, mp3);
        EXPECT_EQ(mp3, expected({"top/.quiet.mp3", "top/a.MP3", "top/B.mp3", "top/folder.mp3/inner.mp3", "top/x/b.mp3",
                                 "top/x/deep/d.mp3"}));
        QStringList wav;
        ScanWavFiles(top, wav);
        EXPECT_EQ(wav, expected({"top/c.wav"}));
        QStringList mid;
        ScanMidFiles(top, mid);
        EXPECT_EQ(mid, expected({"top/m.mid", "top/Z/z.Mid"}));
    }
}

TEST_F(FolderScan, LinksAreFollowedButNoFolderTwice)
{
    // From x, the link loop -> top leads to folders not yet seen; x itself, reached
    // again through top and through deep/up, is not walked twice.
    QStringList mp3;
    ScanMp3Files(path("top/x"), mp3);
    EXPECT_EQ(mp3, expected({"top/x/b.mp3", "top/x/deep/d.mp3", "top/x/loop/.quiet.mp3", "top/x/loop/a.MP3",
                             "top/x/loop/B.mp3", "top/x/loop/folder.mp3/inner.mp3"}));
}

TEST_F(FolderScan, AllMediaListsMp3ThenWavThenMidi)
{
    const QStringList all = ScanFolderMedia(path("top"));
    ASSERT_EQ(all.size(), 9);
    EXPECT_EQ(all.mid(6), expected({"top/c.wav", "top/m.mid", "top/Z/z.Mid"}));
}

TEST_F(FolderScan, ScannersOnlyAppend)
{
    QStringList out{QStringLiteral("kept")};
    ScanWavFiles(path("top"), out);
    EXPECT_EQ(out, QStringList({QStringLiteral("kept"), path("top/c.wav")}));
}

TEST_F(FolderScan, NothingFromMissingEmptyOrNonFolderPaths)
{
    ASSERT_TRUE(QDir().mkpath(path("empty")));
    for (const QString &folder : {path("missing"), path("empty"), QString(), path("top/B.mp3")}) {
        SCOPED_TRACE(folder.toStdString());
        EXPECT_TRUE(ScanFolderMedia(folder).isEmpty());
    }
}

TEST(FolderScanHelpers, SlashAndDotEntries)
{
    EXPECT_EQ(WithSlash(QStringLiteral("/music")), QStringLiteral("/music/"));
    EXPECT_EQ(WithSlash(QStringLiteral("/music/")), QStringLiteral("/music/"));
    EXPECT_TRUE(IsDotEntry(QStringLiteral(".")));
    EXPECT_TRUE(IsDotEntry(QStringLiteral("..")));
    EXPECT_FALSE(IsDotEntry(QStringLiteral(".hidden")));
    EXPECT_FALSE(IsDotEntry(QStringLiteral("...")));
}

} // namespace
