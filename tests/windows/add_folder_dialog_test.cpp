#include "windows/add_folder_dialog.h"

#include "tests/windows/windows_fixture.h"

#include <QDir>
#include <QComboBox>
#include <QFile>
#include <QTimer>

namespace {

class AddFolder : public WindowsTest
{
protected:
    void SetUp() override
    {
        WindowsTest::SetUp();
        form = std::make_unique<TForm9>();
        form->setPlayList(list.get());
        form->setMessageShower([this](const QString &text) { messages.append(text); });
    }
    void TearDown() override
    {
        form.reset();
        WindowsTest::TearDown();
    }
    // A folder inside the program folder with these (empty) files; names with a '/' make
    // subfolders.
    QString folderWith(const QString &name, const QStringList &files)
    {
        QDir().mkpath(path(name));
        for (const QString &file : files)
            writeFile(name + QLatin1Char('/') + file, "x");
        return path(name);
    }
    QStringList fileLines() const
    {
        return QString::fromUtf8(readFile(QStringLiteral("mplay.dll"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    std::unique_ptr<TForm9> form;
    QStringList messages;
};

TEST_F(AddFolder, AppendsThePlayableFilesAndSelectsByFolderPosition)
{
    for (int i = 0; i < 5; ++i)
        list->append(QStringLiteral("/music/old%1.mp3").arg(i));
    const QString folder = folderWith(QStringLiteral("songs"),
                                      {QStringLiteral("A.MP3"), QStringLiteral("b.txt"), QStringLiteral("c.wma")});
    form->chooseFolder(folder);
    form->BitBtn1Click();

    ASSERT_EQ(list->count(), 7);
    EXPECT_EQ(list->item(5), folder + QStringLiteral("/A.MP3"));
    EXPECT_EQ(list->item(6), folder + QStringLiteral("/c.wma"));
    // c.wma is the third file of the folder.
    EXPECT_EQ(list->itemIndex(), 2);
    EXPECT_EQ(fileLines(), list->items());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(AddFolder, MatchesTheExtensionWithoutRegardToCaseAndStaysOutOfSubfolders)
{
    const QString folder = folderWith(QStringLiteral("mixed"), {QStringLiteral("Song.Mp3"), QStringLiteral("a.mp3.txt"),
                                                                QStringLiteral("bell.Wav"), QStringLiteral("tune.MID"),
                                                                QStringLiteral("notes.midi"), QStringLiteral("mp3"),
                                                                QStringLiteral("inner/deep.mp3")});
    form->chooseFolder(folder);
    form->BitBtn1Click();
    EXPECT_EQ(list->items(), (QStringList{folder + QStringLiteral("/bell.Wav"), folder + QStringLiteral("/notes.midi"),
                                          folder + QStringLiteral("/Song.Mp3"), folder + QStringLiteral("/tune.MID")}));
}

TEST_F(AddFolder, AFolderWithoutFilesGetsTheMessageAndTheDialogStaysOpen)
{
    const QString folder = folderWith(QStringLiteral("empty"), {QStringLiteral("sub/x.mp3")});
    form->chooseFolder(folder);
    form->setResult(QDialog::Rejected);
    form->BitBtn1Click();
    EXPECT_EQ(messages, QStringList{QStringLiteral("没有播放文件存在！　　")});
    EXPECT_TRUE(list->isEmpty());
    EXPECT_EQ(form->result(), QDialog::Rejected);
}

TEST_F(AddFolder, FilesButNonePlayableAddNothingAndStillWriteTheList)
{
    list->append(QStringLiteral("/music/kept.mp3"));
    QFile::remove(path(QStringLiteral("mplay.dll")));
    const QString folder = folderWith(QStringLiteral("docs"), {QStringLiteral("readme.txt")});
    form->chooseFolder(folder);
    form->BitBtn1Click();
    EXPECT_EQ(list->items(), QStringList{QStringLiteral("/music/kept.mp3")});
    EXPECT_EQ(fileLines(), list->items());
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

TEST_F(AddFolder, AFolderThatVanishedIsSaidSoAndNothingChanges)
{
    list->append(QStringLiteral("/music/kept.mp3"));
    const QString folder = folderWith(QStringLiteral("gone"), {QStringLiteral("a.mp3")});
    form->chooseFolder(folder);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    form->setResult(QDialog::Rejected);
    form->BitBtn1Click();
    EXPECT_EQ(messages, QStringList{QStringLiteral("所选目录已不存在！")});
    EXPECT_EQ(list->items(), QStringList{QStringLiteral("/music/kept.mp3")});
    EXPECT_EQ(form->result(), QDialog::Rejected);
}

TEST_F(AddFolder, ReopenedItKeepsTheFolderChosenLastTimeWhileItIsThere)
{
    const QString folder = folderWith(QStringLiteral("kept"), {QStringLiteral("a.mp3")});
    form->chooseFolder(folder);
    QString seen;
    QTimer::singleShot(0, form.get(), [&] {
        seen = form->chosenFolder();
        form->reject();
    });
    form->N16Click();
    EXPECT_EQ(seen, folder);
    EXPECT_TRUE(list->isEmpty());

    ASSERT_TRUE(QDir(folder).removeRecursively());
    QTimer::singleShot(0, form.get(), [&] {
        seen = form->chosenFolder();
        form->reject();
    });
    form->N16Click();
    EXPECT_EQ(seen, form->DriveComboBox1->currentText());
}

TEST(WritablePlaces, StartWithTheHomeFolderAndAreAllWritableFolders)
{
    const QStringList places = writablePlaces();
    ASSERT_FALSE(places.isEmpty());
    EXPECT_EQ(places.first(), QDir::cleanPath(QDir::homePath()));
    for (const QString &place : places)
        EXPECT_TRUE(QFileInfo(place).isDir() && QFileInfo(place).isWritable()) << place.toStdString();
}

} // namespace
