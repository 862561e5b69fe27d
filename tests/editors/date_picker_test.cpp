#include "editors/date_picker.h"
#include "support/program_test.h"

#include <QCalendarWidget>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

using DatePickerTest = ProgramTest;

TEST_F(DatePickerTest, StartsOnTodayAndSpellsTheDateOut)
{
    clock.set(QDateTime(QDate(2013, 10, 31), QTime(9, 0)));
    TBrDateForm picker;
    EXPECT_EQ(picker.windowTitle(), QStringLiteral("选择日期"));
    EXPECT_EQ(picker.date(), QDate(2013, 10, 31));
    EXPECT_EQ(picker.nf->text(), QStringLiteral("2013"));
    EXPECT_EQ(picker.yf->text(), QStringLiteral("10"));
    EXPECT_EQ(picker.rq->text(), QStringLiteral("31"));
    EXPECT_EQ(picker.Calendar->firstDayOfWeek(), Qt::Sunday);

    // A click on a day cell changes the date; the labels follow.
    picker.Calendar->setSelectedDate(QDate(2013, 10, 1));
    EXPECT_EQ(picker.rq->text(), QStringLiteral("1"));
    EXPECT_FALSE(picker.windowFlags() & Qt::WindowCloseButtonHint);
}

TEST_F(DatePickerTest, YearAndMonthStepsKeepTheDayOrTakeTheLastOne)
{
    struct Case
    {
        QDate start;
        const char *steps; // p/n: year back/on, s/x: month back/on
        QDate expected;
    };
    const Case cases[] = {
        {QDate(2024, 3, 31), "s", QDate(2024, 2, 29)},   {QDate(2024, 3, 31), "sx", QDate(2024, 3, 29)},
        {QDate(2023, 3, 31), "sx", QDate(2023, 3, 28)},  {QDate(2024, 1, 31), "x", QDate(2024, 2, 29)},
        {QDate(2024, 12, 15), "x", QDate(2025, 1, 15)},  {QDate(2024, 1, 15), "s", QDate(2023, 12, 15)},
        {QDate(2024, 2, 29), "n", QDate(2025, 2, 28)},   {QDate(2024, 2, 29), "p", QDate(2023, 2, 28)},
        {QDate(2024, 6, 10), "pnn", QDate(2025, 6, 10)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.start.toString(Qt::ISODate) + QLatin1Char(' ') + QString::fromLatin1(c.steps)));
        TBrDateForm picker;
        picker.setDate(c.start);
        for (const char *s = c.steps; *s; ++s) {
            QPushButton *b = *s == 'p'   ? picker.prioryear
                             : *s == 'n' ? picker.nextyear
                             : *s == 's' ? picker.PrevMonthBtn
                                         : picker.NextMonthBtn;
            b->click();
        }
        EXPECT_EQ(picker.date(), c.expected);
        EXPECT_EQ(picker.nf->text(), QString::number(c.expected.year()));
        EXPECT_EQ(picker.yf->text(), QString::number(c.expected.month()));
        EXPECT_EQ(picker.rq->text(), QString::number(c.expected.day()));
        EXPECT_EQ(picker.Calendar->monthShown(), c.expected.month()) << "the grid shows the date's month";
    }
}

TEST_F(DatePickerTest, ButtonsCarryTheirTextsAndAccelerators)
{
    TBrDateForm picker;
    const struct
    {
        QPushButton *button;
        const char *text;
        Qt::Key key;
    } buttons[] = {
        {picker.prioryear, "上年&P", Qt::Key_P},    {picker.nextyear, "下年&N", Qt::Key_N},
        {picker.PrevMonthBtn, "上月&S", Qt::Key_S}, {picker.NextMonthBtn, "下月&X", Qt::Key_X},
        {picker.OKBtn, "确定&Y", Qt::Key_Y},        {picker.cancelBtn, "关闭&C ", Qt::Key_C},
    };
    for (const auto &b : buttons) {
        EXPECT_EQ(b.button->text(), QString::fromUtf8(b.text));
        EXPECT_EQ(b.button->shortcut(), QKeySequence(Qt::ALT | b.key)) << b.text;
        EXPECT_FALSE(b.button->accessibleName().isEmpty());
    }
}

TEST_F(DatePickerTest, DoubleClickAndOkAcceptCloseAndEscapeCancel)
{
    {
        TBrDateForm picker;
        QSignalSpy accepted(&picker, &QDialog::accepted);
        Q_EMIT picker.Calendar->activated(picker.date());
        EXPECT_EQ(accepted.count(), 1);
        EXPECT_EQ(picker.result(), QDialog::Accepted);
    }
    {
        TBrDateForm picker;
        picker.OKBtn->click();
        EXPECT_EQ(picker.result(), QDialog::Accepted);
    }
    {
        TBrDateForm picker;
        picker.setResult(QDialog::Accepted);
        picker.cancelBtn->click();
        EXPECT_EQ(picker.result(), QDialog::Rejected);
    }
    {
        TBrDateForm picker;
        picker.show();
        QSignalSpy rejected(&picker, &QDialog::rejected);
        QTest::keyClick(&picker, Qt::Key_Escape);
        EXPECT_EQ(rejected.count(), 1);
    }
}

} // namespace
