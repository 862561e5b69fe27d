#include "windows/about_window.h"
#include "windows/effect_window.h"
#include "windows/help_window.h"
#include "windows/message_window.h"

#include "tests/support/program_test.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {

using AuxWindows = ProgramTest;

TEST_F(AuxWindows, AboutClosesOnAClickAnywhereButNotOnAKey)
{
    TForm7 about;
    for (QWidget *target : {static_cast<QWidget *>(about.Image1), static_cast<QWidget *>(about.Label1),
                            static_cast<QWidget *>(about.Label2), static_cast<QWidget *>(about.Panel2)}) {
        about.show();
        const QRect area = about.screen()->geometry();
        EXPECT_EQ(about.pos(), QPoint(area.width() / 2 - 195, area.height() / 2 - 112));
        EXPECT_TRUE(about.Label2->text().startsWith(QStringLiteral("欢迎使用 Tunelet v1.0")));
        QTest::keyClick(&about, Qt::Key_Escape);
        QTest::keyClick(&about, Qt::Key_A);
        EXPECT_TRUE(about.isVisible());
        // Clicks reach the window through the labels and panels.
        QWidget *hit = about.childAt(target->mapTo(&about, QPoint(5, 5)));
        QTest::mouseClick(hit ? hit : &about, Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_FALSE(about.isVisible()) << target->objectName().toStdString();
    }
}

TEST_F(AuxWindows, HelpTextIsFixedAndTakesNoTyping)
{
    TForm8 help;
    help.show();
    const QStringList lines = help.Memo1->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 31);
    EXPECT_EQ(lines.at(0), QStringLiteral("          　　　　　  Tunelet v1.0帮助说明"));
    EXPECT_EQ(lines.at(22), QStringLiteral("该窗口将结束整个应用程序。"));
    const QString before = help.Memo1->toPlainText();
    QTest::keyClicks(help.Memo1, QStringLiteral("abc"));
    QTest::keyClick(help.Memo1, Qt::Key_Delete);
    EXPECT_EQ(help.Memo1->toPlainText(), before);
    const QRect area = help.screen()->geometry();
    EXPECT_EQ(help.pos(), QPoint(area.width() / 2 - 183, area.height() / 2 - 264));
}

TEST_F(AuxWindows, EffectStripSitsAboveTheMainWindowEvenPastTheScreensTop)
{
    QWidget main;
    main.setGeometry(40, 10, 500, 300);
    TForm3 effect;
    effect.setAnchor(&main);
    effect.show();
    EXPECT_EQ(effect.width(), main.frameGeometry().width());
    EXPECT_EQ(effect.frameGeometry().bottom() + 1, main.frameGeometry().top());
    EXPECT_LT(effect.frameGeometry().top(), 0);
}

TEST_F(AuxWindows, MessageWindowShowsItsTextModallyAndClosesOnAClick)
{
    TForm5 box;
    QTimer::singleShot(0, &box, [&box] {
        EXPECT_TRUE(box.isVisible());
        EXPECT_TRUE(box.isModal());
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(100, 40));
    });
    box.showMessage(QStringLiteral("没有播放文件存在！　　"));
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.Label1->text(), QStringLiteral("没有播放文件存在！　　"));
}

} // namespace
