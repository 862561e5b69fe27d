#include "platform/cd_tray.h"
#include "platform/desktop_settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void makeProgram(const QString &folder, const QString &name)
{
    QFile file(QDir(folder).filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexit 0\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(DesktopSettings, TheFirstKnownProgramOnThePathIsChosen)
{
    struct Case
    {
        QStringList installed;
        SettingsPanel panel;
        QString program; // empty: none
        QStringList arguments;
    };
    const Case cases[] = {
        {{}, SettingsPanel::Sound, {}, {}},
        {{QStringLiteral("pavucontrol"), QStringLiteral("xfce4-mixer")},
         SettingsPanel::Sound,
         QStringLiteral("pavucontrol"),
         {}},
        {{QStringLiteral("xfce4-mixer"), QStringLiteral("systemsettings")},
         SettingsPanel::Sound,
         QStringLiteral("systemsettings"),
         {QStringLiteral("kcm_pulseaudio")}},
        {{QStringLiteral("arandr"), QStringLiteral("gnome-control-center"), QStringLiteral("pavucontrol")},
         SettingsPanel::Display,
         QStringLiteral("gnome-control-center"),
         {QStringLiteral("display")}},
        {{QStringLiteral("arandr"), QStringLiteral("pavucontrol")},
         SettingsPanel::Display,
         QStringLiteral("arandr"),
         {}},
        {{QStringLiteral("pavucontrol")}, SettingsPanel::Display, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.installed.join(QLatin1Char(',')).toStdString());
        QTemporaryDir bin;
        QTemporaryDir other;
        for (const QString &name : c.installed)
            makeProgram(bin.path(), name);
        // A file of a known name that cannot be run does not count.
        QFile plain(QDir(other.path()).filePath(QStringLiteral("gnome-control-center")));
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
        plain.close();
        const auto found = settingsProgramFor(c.panel, other.path() + QLatin1Char(':') + bin.path());
        if (c.program.isEmpty()) {
            EXPECT_FALSE(found.has_value());
            continue;
        }
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->program, QDir(bin.path()).filePath(c.program));
        EXPECT_EQ(found->arguments, c.arguments);
    }
    EXPECT_FALSE(settingsProgramFor(SettingsPanel::Sound, QString()).has_value());
}

TEST(CdTray, NoDriveOrADeviceThatIsNoDriveChangesNothing)
{
    QTemporaryDir dir;
    const QString missing = QDir(dir.path()).filePath(QStringLiteral("sr9"));
    EXPECT_FALSE(sendCdTrayCommand(CdTrayCommand::Open, {missing}));
    EXPECT_FALSE(sendCdTrayCommand(CdTrayCommand::Close, {}));
    // /dev/null opens but refuses the CD-ROM requests.
    EXPECT_FALSE(sendCdTrayCommand(CdTrayCommand::Open, {missing, QStringLiteral("/dev/null")}));
    EXPECT_EQ(defaultCdDevices(), (QStringList{QStringLiteral("/dev/cdrom"), QStringLiteral("/dev/sr0")}));
}

} // namespace
