// Message boxes, questions and their answers reach the log with the time and the
// subsystem's category, and the logging rules can switch a category off.

#include "core/logging.h"
#include "core/message_box.h"
#include "support/program_test.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>
#include <QStringList>

namespace {

QStringList captured;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    captured.append(qFormatLogMessage(type, context, message));
}

class LogTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        captured.clear();
        installLogMessagePattern();
        previous_ = qInstallMessageHandler(capture);
    }
    void TearDown() override
    {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules(QString());
        ProgramTest::TearDown();
    }

private:
    QtMessageHandler previous_ = nullptr;
};

} // namespace

TEST_F(LogTest, NoticesQuestionsAndAnswersAreLoggedWithTimeAndCategory)
{
    boxes.answers = {false};
    MessageBox::notice(nullptr, QStringLiteral("设置文件无法保存！"));
    MessageBox::information(nullptr, QStringLiteral("数据库无法打开！"));
    EXPECT_FALSE(MessageBox::askYesNo(nullptr, QStringLiteral("询问"), QStringLiteral("您确定吗？")));

    // The boxes are still shown (here: recorded by the hook).
    EXPECT_EQ(boxes.shown, (QStringList{QStringLiteral("设置文件无法保存！"), QStringLiteral("数据库无法打开！")}));
    ASSERT_EQ(captured.size(), 4);
    const QRegularExpression line(QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d info chimecast\.app: (.*)$)"));
    const QStringList expected = {QStringLiteral("notice: 设置文件无法保存！"),
                                  QStringLiteral("message box: 数据库无法打开！"),
                                  QStringLiteral("question: 询问: 您确定吗？"), QStringLiteral("answer: no")};
    for (int i = 0; i < captured.size(); ++i) {
        const QRegularExpressionMatch m = line.match(captured.at(i));
        ASSERT_TRUE(m.hasMatch()) << qPrintable(captured.at(i));
        EXPECT_EQ(m.captured(1), expected.at(i));
    }
}

TEST_F(LogTest, RulesSwitchACategoryOff)
{
    QLoggingCategory::setFilterRules(QStringLiteral("chimecast.app.info=false"));
    MessageBox::notice(nullptr, QStringLiteral("无声！"));
    qCInfo(lcScheduler) << "still on";
    ASSERT_EQ(captured.size(), 1);
    EXPECT_TRUE(captured.front().contains(QStringLiteral("chimecast.scheduler: still on")))
        << qPrintable(captured.front());
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("无声！")});
}

TEST_F(LogTest, HeadlessBoxesNeverWaitForAnAnswer)
{
    // Without the test's answering hook, on the offscreen platform: a modal box would wait
    // forever. One that opens anyway is closed by the timer and counted.
    MessageBox::setHook(nullptr);
    int modalBoxes = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&modalBoxes] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            ++modalBoxes;
            modal->close();
        }
    });
    closer.start(200);
    MessageBox::information(nullptr, QStringLiteral("数据库无法打开！"));
    EXPECT_FALSE(MessageBox::askYesNo(nullptr, QStringLiteral("询问"), QStringLiteral("您确定吗？")));
    EXPECT_EQ(modalBoxes, 0);
    MessageBox::setHook(&boxes);
    EXPECT_TRUE(captured.join(QLatin1Char('\n')).contains(QStringLiteral("message box: 数据库无法打开！")));
}
