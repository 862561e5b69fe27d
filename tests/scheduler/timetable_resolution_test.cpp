#include "db/dbhouse.h"
#include "db/sql_catalogue.h"
#include "scheduler/timetable_resolution.h"
#include "support/program_test.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

// Thursday 14 March 2024; Thursday's timetable is "T1".
class ResolutionTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        exec(QStringLiteral("update x_sjbsz set xq4='T1', xq5='无'"));
    }

    void add(const char *sjmc, const char *jmmc, const char *start, const char *end, const char *over = "N")
    {
        exec(QStringLiteral("insert into b_sjb(sjmc,jmmc,kssj,jssj,wjpath,bfsc,yldx,bffs,bfzt,wjbz,over) "
                            "values('%1','%2','%3','%4','/m/%2.mp3','00:01:00',75.5,'随机播放','未播放','1','%5')")
                 .arg(QString::fromUtf8(sjmc), QString::fromUtf8(jmmc), QString::fromLatin1(start),
                      QString::fromLatin1(end), QString::fromLatin1(over)));
    }

    // "ixh jmmc over" of every row of the working table in start order.
    QStringList workingTable()
    {
        QStringList rows;
        QSqlQuery q(QSqlDatabase::database(dbhouse().connectionName()));
        q.exec(QStringLiteral("select ixh, jmmc, over from b_sjbjr order by kssj, ixh"));
        while (q.next())
            rows.append(
                QStringLiteral("%1 %2 %3").arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString()));
        return rows;
    }

    ResolutionResult resolveAt(const QTime &time, int *stops = nullptr)
    {
        return resolveTimetable(dbhouse(), QDateTime(QDate(2024, 3, 14), time), [stops] {
            if (stops)
                ++*stops;
        });
    }
};

TEST_F(ResolutionTest, CopiesNumbersAndPreMarksAtNoon)
{
    add("T1", "late", "12:15:00", "12:30:00");
    add("T1", "early", "07:55:00", "08:00:00");
    add("T1", "ends now", "11:30:00", "12:00:00");
    add("T2", "other timetable", "09:00:00", "09:30:00");
    exec(QStringLiteral("insert into b_sjbjr(sjmc,jmmc) values('T9','yesterday')"));

    int stops = 0;
    const ResolutionResult r = resolveAt(QTime(12, 0, 0, 900), &stops);
    EXPECT_FALSE(r.holiday);
    EXPECT_EQ(r.weekday, QStringLiteral("星期四"));
    EXPECT_EQ(r.timetableName, QStringLiteral("T1"));
    EXPECT_EQ(r.copied, 3);
    EXPECT_EQ(r.markedPast, 2);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(dbhouse().todayWeekday, QStringLiteral("星期四"));
    EXPECT_EQ(workingTable(),
              (QStringList{QStringLiteral("1 early Y"), QStringLiteral("2 ends now Y"), QStringLiteral("3 late N")}));

    // Every other column is copied unchanged; bfzt is not touched by the pre-marking.
    QSqlQuery q(QSqlDatabase::database(dbhouse().connectionName()));
    ASSERT_TRUE(q.exec(
        QStringLiteral("select sjmc,kssj,jssj,wjpath,bfsc,yldx,bffs,bfzt,wjbz from b_sjbjr where jmmc='early'")));
    ASSERT_TRUE(q.next());
    const QStringList expected = {
        QStringLiteral("T1"),           QStringLiteral("07:55:00"), QStringLiteral("08:00:00"),
        QStringLiteral("/m/early.mp3"), QStringLiteral("00:01:00"), QStringLiteral("75.5"),
        QStringLiteral("随机播放"),     QStringLiteral("未播放"),   QStringLiteral("1")};
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(q.value(i).toString(), expected[i]) << i;

    // The grid query is left on the whole working table, first row current.
    TQuery *jm = dbhouse().qjrjm;
    EXPECT_EQ(jm->sql(), Sql::selectTodayAll);
    ASSERT_EQ(jm->recordCount(), 3);
    EXPECT_EQ(jm->fieldText(QStringLiteral("jmmc")), QStringLiteral("early"));
}

TEST_F(ResolutionTest, EntriesAlreadyDoneStayDoneAndTiesGetDistinctNumbers)
{
    add("T1", "never", "09:00:00", "09:10:00", "Y");
    add("T1", "tie a", "10:00:00", "10:10:00");
    add("T1", "tie b", "10:00:00", "10:20:00");
    resolveAt(QTime(6, 0));
    const QStringList rows = workingTable();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], QStringLiteral("1 never Y"));
    QStringList tieNumbers = {rows[1].section(QLatin1Char(' '), 0, 0), rows[2].section(QLatin1Char(' '), 0, 0)};
    tieNumbers.sort();
    EXPECT_EQ(tieNumbers, (QStringList{QStringLiteral("2"), QStringLiteral("3")}));
}

TEST_F(ResolutionTest, HolidaysNoTimetableAndNoWeeklyRowLeaveTheTableEmpty)
{
    add("T1", "bell", "09:00:00", "09:10:00");
    struct Case
    {
        const char *name;
        const char *setup;
        bool holiday;
        const char *timetable;
        int stops;
        int rows;
    };
    const Case cases[] = {
        {"working day", "", false, "T1", 1, 1},
        {"holiday", "insert into x_jrb(rq) values('2024-03-14')", true, "", 0, 0},
        {"holiday with a time part", "insert into x_jrb(rq) values('2024-03-14 09:30:00')", false, "T1", 1, 1},
        {"no timetable", "update x_sjbsz set xq4='无'", false, "无", 1, 0},
        {"no weekly row", "delete from x_sjbsz", false, "", 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        exec(QStringLiteral("delete from x_jrb"));
        exec(QStringLiteral("delete from x_sjbsz"));
        exec(QStringLiteral(
            "insert into x_sjbsz(xq1,xq2,xq3,xq4,xq5,xq6,xq7) values('无','无','无','T1','无','无','无')"));
        exec(QStringLiteral("insert into b_sjbjr(sjmc,jmmc) values('T9','yesterday')"));
        if (*c.setup)
            exec(QString::fromUtf8(c.setup));
        int stops = 0;
        const ResolutionResult r = resolveAt(QTime(8, 0), &stops);
        EXPECT_EQ(r.holiday, c.holiday);
        if (!c.holiday) {
            EXPECT_EQ(r.timetableName, QString::fromUtf8(c.timetable));
        }
        EXPECT_EQ(stops, c.stops);
        EXPECT_EQ(workingTable().size(), c.rows);
    }
}

TEST_F(ResolutionTest, FailureHalfWayLeavesThePreviousTable)
{
    add("T1", "first", "08:00:00", "08:10:00");
    add("T1", "second", "09:00:00", "09:10:00");
    add("T1", "third", "10:00:00", "10:10:00");
    resolveAt(QTime(8, 30));
    const QStringList before = workingTable();
    ASSERT_EQ(before.size(), 3);

    exec(QStringLiteral("update b_sjb set jmmc='second!' where jmmc='second'"));
    exec(QStringLiteral("create trigger refuse before insert on b_sjbjr when new.jmmc='second!' "
                        "begin select raise(abort, 'disk full'); end"));
    try {
        resolveAt(QTime(9, 30));
        ADD_FAILURE() << "the failing insert must be reported";
    } catch (const DbError &e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("disk full"))) << qPrintable(e.text());
    }
    EXPECT_EQ(workingTable(), before);
    EXPECT_EQ(dbhouse().qjrjm->recordCount(), 3) << "the grid shows the table that is left";
}

} // namespace
