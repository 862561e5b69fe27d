#include "platform/autostart.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

QString execLine(const QString &entry)
{
    for (const QString &line : entry.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    }
    return {};
}

TEST(Autostart, ExecStartsTheRunningProgramWithItsProgramFolder)
{
    const struct
    {
        const char *executable;
        const char *home;
        const char *exec;
    } cases[] = {
        {"/usr/bin/chimecast", "", "/usr/bin/chimecast"},
        {"/opt/chimecast/bin/chimecast", "/srv/pa", "env CHIMECAST_HOME=/srv/pa /opt/chimecast/bin/chimecast"},
        {"/home/pa/My Programs/chimecast", "/home/pa/广播 数据",
         "env \"CHIMECAST_HOME=/home/pa/广播 数据\" \"/home/pa/My Programs/chimecast\""},
        {"/opt/a$b/chime\"cast", "", "\"/opt/a\\\\$b/chime\\\\\"cast\""},
        {"/opt/100%/chimecast", "", "/opt/100%%/chimecast"},
        {"/opt/back\\slash/chimecast", "", "\"/opt/back\\\\\\\\slash/chimecast\""},
    };
    for (const auto &c : cases) {
        const QString entry = autostartEntryText(QString::fromUtf8(c.executable), QString::fromUtf8(c.home));
        EXPECT_EQ(execLine(entry), QString::fromUtf8(c.exec)) << c.executable;
        EXPECT_TRUE(entry.startsWith(QLatin1String("[Desktop Entry]\n")));
        EXPECT_TRUE(entry.contains(QLatin1String("\nType=Application\n")));
    }
}

TEST(Autostart, WriteReplacesTheEntryAndRemoveToleratesAMissingOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString entry = dir.filePath(QStringLiteral("autostart/chimecast.desktop"));
    QString error;
    EXPECT_TRUE(removeAutostartEntry(entry, &error)) << "a missing entry is no error";

    ASSERT_TRUE(writeAutostartEntry(entry, QStringLiteral("/usr/bin/chimecast"), QString(), &error))
        << qPrintable(error);
    ASSERT_TRUE(writeAutostartEntry(entry, QStringLiteral("/opt/new/chimecast"), QString(), &error));
    QFile f(entry);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(execLine(QString::fromUtf8(f.readAll())), QStringLiteral("/opt/new/chimecast"));
    f.close();

    EXPECT_TRUE(removeAutostartEntry(entry, &error));
    EXPECT_FALSE(QFile::exists(entry));
}

TEST(Autostart, AnEntryThatCannotBeWrittenNamesTheFile)
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    EXPECT_FALSE(writeAutostartEntry(dir.filePath(QStringLiteral("autostart/chimecast.desktop")),
                                     QStringLiteral("/usr/bin/chimecast"), QString(), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("autostart"))) << qPrintable(error);
}

} // namespace
