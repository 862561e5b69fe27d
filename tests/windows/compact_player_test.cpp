#include "windows/compact_player.h"

#include "tests/windows/windows_fixture.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {

class CompactPlayer : public WindowsTest
{
protected:
    void SetUp() override
    {
        WindowsTest::SetUp();
        mainWindow = std::make_unique<QWidget>();
        form = std::make_unique<TForm6>();
        form->setPlayer(player.get());
        form->setMainWindow(mainWindow.get());
        form->setQuit([this] { ++quits; });
    }
    void TearDown() override
    {
        form.reset();
        mainWindow.reset();
        WindowsTest::TearDown();
    }

    std::unique_ptr<QWidget> mainWindow;
    std::unique_ptr<TForm6> form;
    int quits = 0;
};

TEST_F(CompactPlayer, RefreshMirrorsTheCurrentItemAndTimes)
{
    const QString a = path(QStringLiteral("a.mp3"));
    const QString b = path(QStringLiteral("b.mp3"));
    writeFile(QStringLiteral("a.mp3"), "x");
    writeFile(QStringLiteral("b.mp3"), "x");
    library.lengths[b] = 75;
    list->append(QStringList{a, b});
    list->setItemIndex(1);
    player->BitBtn2Click();
    player->Timer1Timer();
    form->Timer1Timer();
    EXPECT_EQ(form->Edit1->text(), b);
    EXPECT_EQ(form->Edit3->text(), player->Edit1Text());
    EXPECT_EQ(form->Edit3->text(), QStringLiteral("00:01:15"));
    EXPECT_EQ(form->Edit2->text(), player->Edit2Text());

    // Items but none selected: no current item, the path stays.
    list->setItemIndex(-1);
    form->Timer1Timer();
    EXPECT_EQ(form->Edit1->text(), b);

    // An empty list: the path keeps its last text while the times follow.
    player->BitBtn4Click();
    list->clear();
    form->Timer1Timer();
    EXPECT_EQ(form->Edit1->text(), b);
    EXPECT_EQ(form->Edit3->text(), player->Edit1Text());
    EXPECT_EQ(form->Edit2->text(), player->Edit2Text());
}

TEST_F(CompactPlayer, ShownAtTheScreensCornerWithItsClockOn)
{
    form->move(200, 200);
    form->show();
    EXPECT_EQ(form->pos(), mainWindow->screen()->geometry().topLeft());
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    // Fields take no typing.
    QTest::keyClicks(form->Edit1, QStringLiteral("xyz"));
    EXPECT_TRUE(form->Edit1->text().isEmpty());
}

TEST_F(CompactPlayer, BackToTheMainWindow)
{
    int returned = 0;
    QObject::connect(form.get(), &TForm6::returnedToMain, [&returned] { ++returned; });
    form->show();
    QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_TRUE(mainWindow->isVisible());
    EXPECT_EQ(returned, 1);
    EXPECT_EQ(quits, 0);
}

TEST_F(CompactPlayer, ClosingItEndsTheProgram)
{
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(quits, 1);
}

TEST_F(CompactPlayer, ButtonsDriveTheMainPlayer)
{
    const QString a = path(QStringLiteral("a.mp3"));
    const QString b = path(QStringLiteral("b.mp3"));
    writeFile(QStringLiteral("a.mp3"), "x");
    writeFile(QStringLiteral("b.mp3"), "x");
    library.lengths[a] = library.lengths[b] = 30;
    list->append(QStringList{a, b});
    list->setItemIndex(0);
    QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
    EXPECT_TRUE(player->playing());
    EXPECT_EQ(player->currentPath(), a);
    QTest::mouseClick(form->BitBtn5, Qt::LeftButton);
    EXPECT_EQ(player->currentPath(), b);
    QTest::mouseClick(form->BitBtn4, Qt::LeftButton);
    EXPECT_EQ(player->currentPath(), a);
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    EXPECT_TRUE(player->pauseCaptionRed());
}

} // namespace
