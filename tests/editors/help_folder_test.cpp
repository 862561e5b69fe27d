#include "editors/help_folder.h"
#include "support/program_test.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>

namespace {

using HelpFolderTest = ProgramTest;

QByteArray resource(const QString &name)
{
    QFile f(QStringLiteral(":/chimecast/help/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST_F(HelpFolderTest, TheGuideIsPutInTheProgramFolderAndEditedFilesAreKept)
{
    QString error;
    ASSERT_TRUE(ensureHelpFolder(&error)) << qPrintable(error);
    EXPECT_EQ(helpFolderPath(), home() + QStringLiteral("/操作说明"));
    const QStringList files = QDir(QStringLiteral(":/chimecast/help")).entryList(QDir::Files);
    ASSERT_TRUE(files.contains(QStringLiteral("index.html")));
    for (const QString &name : files)
        EXPECT_EQ(readFile(QStringLiteral("操作说明/") + name), resource(name)) << qPrintable(name);
    const QString page = QString::fromUtf8(readFile(QStringLiteral("操作说明/index.html")));
    EXPECT_TRUE(page.contains(QStringLiteral("时间表设置")));
    EXPECT_TRUE(page.contains(QStringLiteral("铃声没有响")));
    // Every picture the page shows is part of the guide.
    for (const QString &name : files) {
        if (name.endsWith(QLatin1String(".png"))) {
            EXPECT_TRUE(page.contains(QStringLiteral("src=\"%1\"").arg(name))) << qPrintable(name);
        }
    }

    writeFile(QStringLiteral("操作说明/index.html"), "edited by the caretaker");
    ASSERT_TRUE(ensureHelpFolder(&error));
    EXPECT_EQ(readFile(QStringLiteral("操作说明/index.html")), QByteArray("edited by the caretaker"));
}

TEST_F(HelpFolderTest, AFolderThatCannotBeMadeIsReported)
{
    writeFile(QStringLiteral("操作说明"), "a file in the folder's place");
    QString error;
    EXPECT_FALSE(ensureHelpFolder(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("操作说明"))) << qPrintable(error);

    HelpTab tab;
    tab.BitBtn37Click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].startsWith(QStringLiteral("帮助文件夹无法建立："))) << qPrintable(boxes.shown[0]);
}

TEST_F(HelpFolderTest, TheButtonOpensTheFolderOrSaysWhereItIs)
{
    HelpTab tab;
    EXPECT_EQ(tab.BitBtn37->text(), QStringLiteral("打开帮助文件"));
    EXPECT_EQ(tab.trayHideHint->text(), QStringLiteral("在电脑右下角找到小喇叭图标鼠标右键可以隐藏主界面！"));
    QList<QUrl> opened;
    bool desktop = true;
    tab.setFolderOpener([&](const QUrl &url) {
        opened.append(url);
        return desktop;
    });

    // A folder deleted since the start is put back first.
    QDir(helpFolderPath()).removeRecursively();
    tab.BitBtn37->click();
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(helpFolderPath())});
    EXPECT_TRUE(QFile::exists(helpPagePath()));
    EXPECT_TRUE(boxes.shown.isEmpty());

    desktop = false;
    tab.BitBtn37Click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].contains(helpPagePath())) << qPrintable(boxes.shown[0]);
    EXPECT_TRUE(tab.helpLocation->text().contains(helpPagePath()));
}

TEST_F(HelpFolderTest, WithoutADesktopTheDefaultOpenerSaysWhereTheGuideIs)
{
    HelpTab tab; // the offscreen platform has no desktop to open a folder
    tab.BitBtn37Click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].contains(helpPagePath()));
}

} // namespace
