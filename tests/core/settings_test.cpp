#include "core/program_folder.h"
#include "core/settings.h"
#include "support/program_test.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

using SettingsTest = ProgramTest;

QStringList keyLines(const QByteArray &file)
{
    QStringList keys;
    for (const QString &line : QString::fromUtf8(file).split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1Char('=')))
            keys.append(line.left(line.indexOf(QLatin1Char('='))));
    }
    return keys;
}

const QStringList nineKeys = {
    QStringLiteral("strrqr"),   QStringLiteral("strposr"),  QStringLiteral("strposr2"),
    QStringLiteral("strstart"), QStringLiteral("strmin"),   QStringLiteral("stroff"),
    QStringLiteral("strover"),  QStringLiteral("strvolue"), QStringLiteral("strofftime"),
};
// The nine keys of the Windows program first, then the time of tomorrow's check, then the
// timetable database.
const QStringList allKeys =
    nineKeys
    + QStringList{QStringLiteral("strchecktime"), QStringLiteral("strdbtype"),   QStringLiteral("strdbhost"),
                  QStringLiteral("strdbport"),    QStringLiteral("strdbname"),   QStringLiteral("strdbuser"),
                  QStringLiteral("strdbpassfile")};

TEST_F(SettingsTest, MissingFileGivesDefaultsAndFirstSaveWritesNineKeysInOrderThenTheCheckTime)
{
    EXPECT_EQ(settingsFilePath(), path(QStringLiteral("chimecast.ini")));
    TGlobal s(settingsFilePath());
    EXPECT_FALSE(s.loadFailed());
    EXPECT_EQ(s.strrqr, QString());
    EXPECT_EQ(s.strposr, QStringLiteral("85"));
    EXPECT_EQ(s.strposr2, QStringLiteral("85"));
    EXPECT_EQ(s.strstart, QStringLiteral("0"));
    EXPECT_EQ(s.strmin, QStringLiteral("0"));
    EXPECT_EQ(s.stroff, QStringLiteral("0"));
    EXPECT_EQ(s.strover, QStringLiteral("0"));
    EXPECT_EQ(s.strvolue, QStringLiteral("0"));
    EXPECT_EQ(s.strofftime, QStringLiteral("20:00:00"));
    EXPECT_EQ(s.strchecktime, QStringLiteral("18:00:00"));
    EXPECT_EQ(s.strdbtype, QStringLiteral("sqlite")) << "the local file unless a server is chosen";
    EXPECT_EQ(s.strdbport, QStringLiteral("5432"));
    EXPECT_FALSE(QFile::exists(s.filePath())) << "loading never writes";

    ASSERT_TRUE(s.SaveSettings());
    const QByteArray file = readFile(QStringLiteral("chimecast.ini"));
    EXPECT_TRUE(file.startsWith("[Judge]\n"));
    EXPECT_EQ(keyLines(file), allKeys);
    EXPECT_TRUE(file.contains("\nstrrqr=\n")) << "an empty value is written empty";
}

TEST_F(SettingsTest, ValuesSurviveSaveAndReload)
{
    {
        TGlobal s(settingsFilePath());
        s.strrqr = QStringLiteral("2024-03-13");
        s.strposr2 = QStringLiteral("120");
        s.strmin = QStringLiteral("1");
        s.strofftime = QStringLiteral("7:05:00");
        // Destruction saves.
    }
    TGlobal again(settingsFilePath());
    EXPECT_EQ(again.strrqr, QStringLiteral("2024-03-13"));
    EXPECT_EQ(again.strposr2, QStringLiteral("120"));
    EXPECT_EQ(again.strmin, QStringLiteral("1"));
    EXPECT_EQ(again.strofftime, QStringLiteral("7:05:00"));
    EXPECT_EQ(again.strposr, QStringLiteral("85"));
}

TEST_F(SettingsTest, LowerCaseSectionIsReadAndUpdatedInPlaceKeepingOtherLines)
{
    writeFile(QStringLiteral("chimecast.ini"), "; kept comment\r\n"
                                               "[Other]\r\n"
                                               "strmin=1\r\n"
                                               "[judge]\r\n"
                                               "STRMIN = 1\r\n"
                                               "custom=keep me\r\n"
                                               "strofftime=21:30:00\r\n"
                                               "[Tail]\r\n"
                                               "x=y\r\n");
    TGlobal s(settingsFilePath());
    EXPECT_EQ(s.strmin, QStringLiteral("1")) << "keys and sections match without case";
    EXPECT_EQ(s.strofftime, QStringLiteral("21:30:00"));
    EXPECT_EQ(s.strposr, QStringLiteral("85"));

    s.strmin = QStringLiteral("0");
    ASSERT_TRUE(s.SaveSettings());
    const QString text = QString::fromUtf8(readFile(QStringLiteral("chimecast.ini")));
    EXPECT_EQ(text.count(QStringLiteral("[judge]"), Qt::CaseInsensitive), 1) << qPrintable(text);
    EXPECT_TRUE(text.startsWith(QStringLiteral("; kept comment\r\n[Other]\r\nstrmin=1\r\n[judge]\r\n")))
        << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("strmin=0\r\ncustom=keep me\r\nstrofftime=21:30:00\r\nstrrqr=\r\n")))
        << qPrintable(text);
    EXPECT_TRUE(text.endsWith(QStringLiteral("strvolue=0\r\nstrchecktime=18:00:00\r\nstrdbtype=sqlite\r\nstrdbhost=\r\nstrdbport=5432\r\n"
                                            "strdbname=chimecast\r\nstrdbuser=\r\nstrdbpassfile=\r\n[Tail]\r\nx=y\r\n")))
        << qPrintable(text);
    TGlobal again(settingsFilePath());
    EXPECT_EQ(again.strmin, QStringLiteral("0"));
}

TEST_F(SettingsTest, UnreadableFileKeepsDefaultsAndIsNeverOverwritten)
{
    // A folder where the file should be cannot be read as a file.
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("chimecast.ini"))));
    QString error;
    {
        TGlobal s(settingsFilePath());
        EXPECT_TRUE(s.loadFailed());
        EXPECT_EQ(s.strposr2, QStringLiteral("85"));
        s.strmin = QStringLiteral("1");
        EXPECT_FALSE(s.SaveSettings(&error));
        EXPECT_EQ(s.strmin, QStringLiteral("1")) << "values stay in memory";
    }
    EXPECT_TRUE(error.contains(QStringLiteral("chimecast.ini"))) << qPrintable(error);
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("chimecast.ini"))).isDir());
}

TEST_F(SettingsTest, GbkFileFromTheWindowsProgramIsRead)
{
    QStringEncoder gbk("GB18030");
    ASSERT_TRUE(gbk.isValid());
    QByteArray bytes = gbk.encode(QStringLiteral("; 设置\r\n[Judge]\r\nstrposr2=100\r\nstrofftime=18:00:00\r\n"));
    writeFile(QStringLiteral("chimecast.ini"), bytes);
    TGlobal s(settingsFilePath());
    EXPECT_EQ(s.strposr2, QStringLiteral("100"));
    EXPECT_EQ(s.strofftime, QStringLiteral("18:00:00"));
}

using ProgramFolderTest = ProgramTest;

TEST_F(ProgramFolderTest, DecodesUtf8AndFallsBackToGb18030)
{
    QStringEncoder gbk("GB18030");
    const QString text = QStringLiteral("星期一 /music/歌.mp3");
    struct Case
    {
        const char *name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"utf8", text.toUtf8()},
        {"utf8 with bom", QByteArray("\xEF\xBB\xBF") + text.toUtf8()},
        {"gb18030", gbk.encode(text)},
    };
    for (const Case &c : cases) {
        writeFile(QStringLiteral("t.txt"), c.bytes);
        bool ok = false;
        EXPECT_EQ(readTextFile(path(QStringLiteral("t.txt")), &ok), text) << c.name;
        EXPECT_TRUE(ok) << c.name;
    }
    bool ok = true;
    EXPECT_TRUE(readTextFile(path(QStringLiteral("missing.txt")), &ok).isEmpty());
    EXPECT_FALSE(ok);
}

TEST_F(ProgramFolderTest, AtomicWriteReplacesWholeFileOrReportsFailure)
{
    const QString target = programPath(QStringLiteral("sub/list.txt"));
    QString error;
    ASSERT_TRUE(writeFileAtomically(target, "first version, longer\n", &error)) << qPrintable(error);
    ASSERT_TRUE(writeFileAtomically(target, "second\n", &error)) << qPrintable(error);
    EXPECT_EQ(readFile(QStringLiteral("sub/list.txt")), QByteArray("second\n"));
    EXPECT_EQ(QDir(path(QStringLiteral("sub"))).entryList(QDir::Files), QStringList{QStringLiteral("list.txt")})
        << "no temporary file is left behind";

    // A regular file where a folder is needed.
    writeFile(QStringLiteral("blocker"), "x");
    EXPECT_FALSE(writeFileAtomically(programPath(QStringLiteral("blocker/a.txt")), "data", &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
