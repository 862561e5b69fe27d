#include "core/settings.h"
#include "core/program_folder.h"
#include "db/dbhouse.h"
#include "editors/weekly_assignment.h"
#include "support/program_test.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>

#include <memory>

namespace {

// Thursday 14 March 2024, 08:00; timetables "A-week" and "B-week" exist.
class WeeklyAssignmentTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        addEntry(QStringLiteral("B-week"));
        addEntry(QStringLiteral("A-week"));
        addEntry(QStringLiteral("A-week"));
        tab = std::make_unique<WeeklyAssignmentTab>();
    }
    void TearDown() override
    {
        tab.reset();
        ProgramTest::TearDown();
    }

    void addEntry(const QString &sjmc)
    {
        exec(QStringLiteral("insert into b_sjb(sjmc,jmmc,kssj,jssj) values('%1','bell','08:00:00','08:01:00')")
                 .arg(sjmc));
    }

    QStringList items(QComboBox *list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts.append(list->itemText(i));
        return texts;
    }

    QString weekly()
    {
        return scalar(QStringLiteral("select xq1||','||xq2||','||xq3||','||xq4||','||xq5||','||xq6||','||xq7 "
                                     "from x_sjbsz"))
            .toString();
    }

    QStringList holidays()
    {
        QStringList rows;
        QSqlQuery q(QSqlDatabase::database(dbhouse().connectionName()));
        q.exec(QStringLiteral("select rq from x_jrb order by iid"));
        while (q.next())
            rows.append(q.value(0).toString());
        return rows;
    }

    QString savedDate() { return TGlobal(settingsFilePath()).strrqr; }

    std::unique_ptr<WeeklyAssignmentTab> tab;
};

TEST_F(WeeklyAssignmentTest, ListsOfferEveryTimetableThenNoneAndShowTheStoredChoice)
{
    exec(QStringLiteral("update x_sjbsz set xq1='A-week', xq2='B-week', xq3='Gone', xq5='A-week'"));
    tab->load();
    const QStringList expected{QStringLiteral("A-week"), QStringLiteral("B-week"), QStringLiteral("无")};
    for (QComboBox *list : tab->weekdayLists())
        EXPECT_EQ(items(list), expected) << qPrintable(list->objectName());
    EXPECT_EQ(tab->cbxq1->currentText(), QStringLiteral("A-week"));
    EXPECT_EQ(tab->cbxq2->currentText(), QStringLiteral("B-week"));
    EXPECT_EQ(tab->cbxq3->currentIndex(), -1) << "a name that no longer exists shows no selection";
    EXPECT_EQ(tab->cbxq4->currentText(), QStringLiteral("无"));
    EXPECT_EQ(tab->cbxq7->currentText(), QStringLiteral("无"));
    EXPECT_EQ(tab->Label8->buddy(), tab->cbxq3);
    EXPECT_EQ(tab->Label8->text(), QStringLiteral("星期三"));

    // Loading again does not pile up items.
    tab->load();
    EXPECT_EQ(items(tab->cbxq7), expected);
}

TEST_F(WeeklyAssignmentTest, AWeekdayWithoutAChoiceIsRefusedAndNothingIsWritten)
{
    exec(QStringLiteral("update x_sjbsz set xq3='Gone', xq6='Gone too'"));
    appSettings().strrqr = QStringLiteral("2024-03-14");
    tab->load();
    tab->BitBtn22Click();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("星期三不能为空！")}) << "the first empty day, Monday first";
    EXPECT_EQ(weekly(), QStringLiteral("无,无,Gone,无,无,Gone too,无"));
    EXPECT_EQ(appSettings().strrqr, QStringLiteral("2024-03-14"));

    tab->cbxq3->setCurrentText(QStringLiteral("B-week"));
    tab->BitBtn22Click();
    EXPECT_EQ(boxes.shown.last(), QStringLiteral("星期六不能为空！"));
    EXPECT_EQ(weekly(), QStringLiteral("无,无,Gone,无,无,Gone too,无"));
}

TEST_F(WeeklyAssignmentTest, SavingStoresAllSevenAndSetsTheResolutionDateToYesterdayInTheFile)
{
    appSettings().strrqr = QStringLiteral("2024-03-14");
    tab->load();
    tab->cbxq4->setCurrentText(QStringLiteral("B-week"));
    tab->cbxq1->setCurrentText(QStringLiteral("A-week"));
    tab->BitBtn22Click();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("数据保存成功！")});
    EXPECT_EQ(weekly(), QStringLiteral("A-week,无,无,B-week,无,无,无"));
    EXPECT_EQ(appSettings().strrqr, QStringLiteral("2024-03-13"));
    EXPECT_EQ(savedDate(), QStringLiteral("2024-03-13")) << "saved at once";
}

TEST_F(WeeklyAssignmentTest, WithNoTimetablesOnlyNoneIsOfferedAndSaves)
{
    exec(QStringLiteral("delete from b_sjb"));
    tab->load();
    for (QComboBox *list : tab->weekdayLists()) {
        EXPECT_EQ(items(list), QStringList{QStringLiteral("无")});
        EXPECT_EQ(list->currentIndex(), 0);
    }
    tab->BitBtn22Click();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("数据保存成功！")});
}

TEST_F(WeeklyAssignmentTest, AMissingWeeklyRowIsPutBackInsteadOfReportingASaveThatStoredNothing)
{
    exec(QStringLiteral("delete from x_sjbsz"));
    tab->load();
    for (QComboBox *list : tab->weekdayLists()) {
        EXPECT_EQ(list->currentIndex(), -1);
        list->setCurrentText(QStringLiteral("A-week"));
    }
    tab->BitBtn22Click();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("数据保存成功！")});
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from x_sjbsz")).toInt(), 1);
    EXPECT_EQ(weekly(), QStringLiteral("A-week,A-week,A-week,A-week,A-week,A-week,A-week"));
}

TEST_F(WeeklyAssignmentTest, AReadOnlyDatabaseIsReportedAndNothingCountsAsSaved)
{
    appSettings().strrqr = QStringLiteral("2024-03-14");
    tab->load();
    tab->cbxq1->setCurrentText(QStringLiteral("A-week"));
    exec(QStringLiteral("pragma query_only = 1"));
    tab->BitBtn22Click();
    tab->Edit3->setText(QStringLiteral("2024-05-01"));
    tab->BitBtn24Click();
    exec(QStringLiteral("pragma query_only = 0"));
    ASSERT_EQ(boxes.shown.size(), 2);
    for (const QString &text : boxes.shown)
        EXPECT_TRUE(text.startsWith(QStringLiteral("数据库操作失败："))) << qPrintable(text);
    EXPECT_EQ(weekly(), QStringLiteral("无,无,无,无,无,无,无"));
    EXPECT_EQ(appSettings().strrqr, QStringLiteral("2024-03-14")) << "no re-resolution for a failed save";
    EXPECT_TRUE(holidays().isEmpty());
    EXPECT_EQ(tab->Edit3->text(), QStringLiteral("2024-05-01"));
}

TEST_F(WeeklyAssignmentTest, HolidayTextsAreCheckedThenStoredAsTyped)
{
    struct Case
    {
        const char *typed;
        const char *message; // null: stored
        const char *stored;
    };
    const Case cases[] = {
        {"", "日期不能为空！", nullptr},
        {"   ", "日期不能为空！", nullptr},
        {"2024-13-01", "日期格式不对！", nullptr},
        {"2023-02-29", "日期格式不对！", nullptr},
        {"2024-05-01 25:00", "日期格式不对！", nullptr},
        {"1.5.2024", "日期格式不对！", nullptr},
        {"tomorrow", "日期格式不对！", nullptr},
        {"2024-05-01", nullptr, "2024-05-01"},
        {"2024-5-2", nullptr, "2024-05-02"},
        {" 2024-05-03 ", nullptr, "2024-05-03"},
        {"2013-10-01 08:00:00", nullptr, "2013-10-01 08:00:00"},
        {"2013-10-02 8:30", nullptr, "2013-10-02 08:30:00"},
        {"2024-05-01", nullptr, "2024-05-01"},
    };
    tab->load();
    QStringList expected;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        boxes.shown.clear();
        tab->Edit3->setText(QString::fromUtf8(c.typed));
        tab->BitBtn24Click();
        if (c.message) {
            EXPECT_EQ(boxes.shown, QStringList{QString::fromUtf8(c.message)});
        } else {
            EXPECT_TRUE(boxes.shown.isEmpty()) << qPrintable(boxes.shown.join(QLatin1Char('|')));
            expected.append(QString::fromLatin1(c.stored));
        }
        EXPECT_EQ(tab->Edit3->text(), QString::fromUtf8(c.typed)) << "the text stays";
        EXPECT_EQ(holidays(), expected);
        EXPECT_EQ(dbhouse().qjr->recordCount(), expected.size()) << "the grid is reopened";
    }
}

TEST_F(WeeklyAssignmentTest, DeleteAsksAndRemovesTheSelectedHoliday)
{
    // Nothing listed: nothing asked.
    tab->BitBtn25Click();
    tab->load();
    tab->BitBtn25Click();
    EXPECT_TRUE(boxes.questions.isEmpty());

    exec(QStringLiteral("insert into x_jrb(rq) values('2024-05-01')"));
    exec(QStringLiteral("insert into x_jrb(rq) values('2024-10-01')"));
    exec(QStringLiteral("insert into x_jrb(rq) values('2024-10-02')"));
    tab->load();
    ASSERT_EQ(dbhouse().qjr->recordCount(), 3);
    tab->DBGrid3->selectRow(1);

    boxes.answers = {false};
    tab->BitBtn25Click();
    EXPECT_EQ(boxes.questions, QStringList{QStringLiteral("询问|您确定要删除选择了的这条记录吗？")});
    EXPECT_EQ(holidays().size(), 3);

    tab->BitBtn25Click();
    EXPECT_EQ(holidays(), (QStringList{QStringLiteral("2024-05-01"), QStringLiteral("2024-10-02")}));
    EXPECT_EQ(dbhouse().qjr->recordCount(), 2);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(WeeklyAssignmentTest, ThePickerButtonAppearsOnFocusAndFillsTheDate)
{
    std::optional<QDate> answer = QDate(2024, 2, 29);
    int asked = 0;
    tab->setDateChooser([&] {
        ++asked;
        return answer;
    });
    tab->show();
    EXPECT_FALSE(tab->BitBtn23->isVisible());
    tab->Edit3->setFocus();
    tab->Edit3Enter(); // the offscreen window may not be active, so focus events are not certain
    EXPECT_TRUE(tab->BitBtn23->isVisible());

    tab->BitBtn23->click();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(tab->Edit3->text(), QStringLiteral("2024-02-29"));
    EXPECT_FALSE(tab->BitBtn23->isVisible());

    answer.reset();
    tab->Edit3Enter();
    tab->BitBtn23Click();
    EXPECT_EQ(tab->Edit3->text(), QStringLiteral("2024-02-29")) << "closing the picker keeps the text";
    EXPECT_FALSE(tab->BitBtn23->isVisible());
}

TEST_F(WeeklyAssignmentTest, HintSaysWhenAHolidayTakesEffect)
{
    EXPECT_EQ(tab->Label28->text(), QStringLiteral("提示：设置好每天播放时间表后，点上面的保存按钮！"));
    EXPECT_TRUE(tab->Label17->text().contains(QStringLiteral("下次导入今日时间表时生效")));
    EXPECT_TRUE(tab->Label17->text().contains(QStringLiteral("手工重导入时间表")));
    EXPECT_EQ(tab->Label13->buddy(), tab->Edit3);
    EXPECT_EQ(tab->DBGrid3->model(), dbhouse().qjr);
}

} // namespace
