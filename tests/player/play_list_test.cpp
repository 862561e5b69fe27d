#include "player/play_list.h"

#include "qstring_printer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PlayListFile : public ::testing::Test
{
protected:
    QString file() const { return dir.filePath(QStringLiteral("mplay.dll")); }
    QByteArray contents() const
    {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void write(const QByteArray &bytes) const
    {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QString touch(const char *rel) const
    {
        const QString full = dir.filePath(QString::fromUtf8(rel));
        QDir().mkpath(QFileInfo(full).path());
        QFile f(full);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return full;
    }
    QTemporaryDir dir;
};

TEST_F(PlayListFile, RewrittenAfterEveryChange)
{
    PlayList list(file());
    list.append(QStringLiteral("/music/一.mp3"));
    EXPECT_EQ(contents(), QStringLiteral("/music/一.mp3\n").toUtf8());
    list.append(QStringLiteral("/music/b.wav"));
    list.append(QStringLiteral("/music/c.mid"));
    EXPECT_EQ(contents(), QStringLiteral("/music/一.mp3\n/music/b.wav\n/music/c.mid\n").toUtf8());

    list.setItemIndex(2);
    list.removeAt(0);
    EXPECT_EQ(contents(), QByteArray("/music/b.wav\n/music/c.mid\n"));
    EXPECT_EQ(list.itemIndex(), 1) << "the same item stays selected";
    list.removeAt(1);
    EXPECT_EQ(list.itemIndex(), -1) << "removing the selected item leaves none selected";

    list.clear();
    EXPECT_EQ(contents(), QByteArray());
    // Only the list file is left behind: the rewrite goes through a temporary file.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("mplay.dll")});
}

TEST_F(PlayListFile, LoadsUtf8AndWindowsLists)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QStringList items;
    };
    const QString song = QStringLiteral("歌曲");
    const Case cases[] = {
        {"UTF-8 with LF",
         QStringLiteral("/m/%1.mp3\n/m/b.wav\n").arg(song).toUtf8(),
         {QStringLiteral("/m/%1.mp3").arg(song), QStringLiteral("/m/b.wav")}},
        {"GB18030 with CR LF and blank lines",
         QByteArray("C:\\m\\\xb8\xe8\xc7\xfa.mp3\r\n\r\nC:\\m\\b.wav\r\n"),
         {QStringLiteral("C:\\m\\%1.mp3").arg(song), QStringLiteral("C:\\m\\b.wav")}},
        {"UTF-8 with a byte-order mark, no final line end",
         QByteArray("\xef\xbb\xbf/m/a.mp3\n/m/b.mid"),
         {QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mid")}},
        {"empty", QByteArray(), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        write(c.bytes);
        PlayList list(file());
        EXPECT_TRUE(list.load());
        EXPECT_EQ(list.items(), c.items);
        EXPECT_EQ(list.itemIndex(), c.items.isEmpty() ? -1 : 0);
    }
}

TEST_F(PlayListFile, MissingFileLoadsEmptyAndUnwritableFileKeepsTheList)
{
    PlayList missing(file());
    EXPECT_FALSE(missing.load());
    EXPECT_TRUE(missing.isEmpty());

    // The "folder" of this list file is a plain file, so it can never be written.
    const QString blocker = touch("blocker");
    PlayList list(blocker + QStringLiteral("/mplay.dll"));
    list.append(QStringLiteral("/m/a.mp3"));
    EXPECT_EQ(list.items(), QStringList{QStringLiteral("/m/a.mp3")});
    EXPECT_FALSE(list.save());
    EXPECT_FALSE(list.lastError().isEmpty());
}

TEST_F(PlayListFile, FillsSkipMissingFilesAndListFoldersMp3WavMidi)
{
    PlayList list(file());
    const QString a = touch("one/a.mp3");
    EXPECT_EQ(list.appendExisting({a, dir.filePath(QStringLiteral("one/gone.mp3")), dir.path()}), 1);
    EXPECT_EQ(list.items(), QStringList{a});

    const QString mid = touch("music/c.mid");
    const QString wav = touch("music/b.wav");
    const QString mp3 = touch("music/sub/a.mp3");
    touch("music/readme.txt");
    // A fill is one change: the view hears of it once, when the file already holds the
    // whole list.
    int mismatches = 0;
    int changes = 0;
    list.setOnChange([&] {
        ++changes;
        if (contents() != (list.items().join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8())
            ++mismatches;
    });
    EXPECT_EQ(list.appendFolder(dir.filePath(QStringLiteral("music"))), 3);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(mismatches, 0);
    list.setOnChange({});
    EXPECT_FALSE(QFile::exists(file() + QStringLiteral(".part")));
    EXPECT_EQ(list.items(), (QStringList{a, mp3, wav, mid}));
    EXPECT_EQ(contents(), (QStringList{a, mp3, wav, mid}.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    EXPECT_EQ(list.appendFolder(dir.filePath(QStringLiteral("nowhere"))), 0);
}

} // namespace
