#include "app/main_window.h"
#include "player/player_control.h"
#include "core/program_folder.h"
#include "app/tray_notify_icon.h"
#include "core/settings.h"
#include "db/dbhouse.h"
#include "support/program_test.h"
#include "support/today_rows.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

namespace {

class RecordingPlayer : public PlayerControl
{
public:
    void stopPlayback() override { calls.append(QStringLiteral("stop")); }
    void clearPlayList() override { calls.append(QStringLiteral("clear")); }
    void applyStartVolume(int position) override { calls.append(QStringLiteral("volume %1").arg(position)); }
    QStringList calls;
};

// Thursday 14 March 2024 is the fixture's default day.
class MainWindowTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        setPlayerControl(&player);
        const QString none = QStringLiteral("无");
        setWeeklyTimetables(
            {none, none, QStringLiteral("T-Wed"), QStringLiteral("T-Thu"), QStringLiteral("T-Fri"), none, none});
        addEntry(QStringLiteral("T-Thu"), QStringLiteral("afternoon bell"), QStringLiteral("14:00:00"),
                 QStringLiteral("14:05:00"));
        addEntry(QStringLiteral("T-Thu"), QStringLiteral("morning bell"), QStringLiteral("07:30:00"),
                 QStringLiteral("07:35:00"));
        addEntry(QStringLiteral("T-Thu"), QStringLiteral("noon music"), QStringLiteral("12:00:00"),
                 QStringLiteral("12:30:00"));
        addEntry(QStringLiteral("T-Fri"), QStringLiteral("midnight chime"), QStringLiteral("00:00:00"),
                 QStringLiteral("00:00:03"));
        addEntry(QStringLiteral("T-Fri"), QStringLiteral("friday bell"), QStringLiteral("08:00:00"),
                 QStringLiteral("08:10:00"));
        addEntry(QStringLiteral("T-Wed"), QStringLiteral("wednesday bell"), QStringLiteral("09:00:00"),
                 QStringLiteral("09:10:00"));
    }

    void addEntry(const QString &sjmc, const QString &jmmc, const QString &start, const QString &end)
    {
        TimetableRow row;
        row.sjmc = sjmc;
        row.jmmc = jmmc;
        row.kssj = start;
        row.jssj = end;
        row.wjpath = QStringLiteral("/music/a.mp3");
        row.bfsc = QStringLiteral("00:05:00");
        row.yldx = 80;
        insertTimetableRow(row);
    }

    void writeSettings(const QByteArray &judgeLines)
    {
        writeFile(QStringLiteral("chimecast.ini"), "[Judge]\n" + judgeLines);
    }

    // Programme names of the working table in start order, with their over flag.
    QStringList today() { return todayRowsByStart(); }

    QStringList gridNames(TForm1 &form)
    {
        QStringList names;
        TQuery *q = dbhouse().qjrjm;
        EXPECT_EQ(form.DBGrid4->model(), q);
        for (int r = 0; r < q->recordCount(); ++r)
            names.append(q->value(r, QStringLiteral("jmmc")).toString());
        return names;
    }

    QString savedDate() { return TGlobal(settingsFilePath()).strrqr; }

    RecordingPlayer player;
};

TEST_F(MainWindowTest, FirstRunWithoutSettingsShowsTodayAndKeepsTheWorkingTable)
{
    TodayRow kept;
    kept.sjmc = QStringLiteral("T-Thu");
    kept.jmmc = QStringLiteral("kept row");
    kept.kssj = QStringLiteral("10:00:00");
    kept.jssj = QStringLiteral("10:01:00");
    kept.ixh = 1;
    insertTodayRow(kept);
    dbhouse().close();

    TForm1 form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Bellwright"));
    ASSERT_EQ(form.pg1->count(), 7);
    const char *const tabs[] = {"TabSheet1", "TabSheet7", "TabSheet2", "TabSheet3",
                                "TabSheet4", "TabSheet5", "TabSheet6"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(form.pg1->widget(i)->objectName(), QString::fromLatin1(tabs[i]));
    EXPECT_FALSE(form.tsj->isActive());

    form.show();
    EXPECT_TRUE(form.firstShowDone());
    EXPECT_TRUE(boxes.shown.isEmpty()) << qPrintable(boxes.shown.join(QLatin1Char('\n')));
    EXPECT_EQ(form.lrq->text(), QStringLiteral("2024年03月14日  星期四"));
    EXPECT_EQ(form.lsj->text(), QStringLiteral("08:00:00"));
    EXPECT_EQ(form.lsjb->text(), QStringLiteral("T-Thu"));
    EXPECT_EQ(form.ljrts->text(), QString());
    EXPECT_EQ(dbhouse().todayWeekday, QStringLiteral("星期四"));

    // Same day as far as the program knows: not rebuilt, shown as stored, date in memory only.
    EXPECT_EQ(gridNames(form), QStringList{QStringLiteral("kept row")});
    EXPECT_EQ(appSettings().strrqr, QStringLiteral("2024-03-14"));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("chimecast.ini"))));
    EXPECT_EQ(player.calls, (QStringList{QStringLiteral("clear"), QStringLiteral("volume 85")}));

    for (QTimer *t : {form.tsj, form.tbf, form.tdr, form.tsys, form.tgj, form.Timer6})
        EXPECT_TRUE(t->isActive()) << qPrintable(t->objectName());
    for (QTimer *t : {form.tjs, form.Timer1})
        EXPECT_FALSE(t->isActive()) << qPrintable(t->objectName());
    EXPECT_EQ(form.tbf->interval(), 1500);
    EXPECT_EQ(form.tdr->interval(), 6000);
}

TEST_F(MainWindowTest, StartOnANewDayResolvesSavesTheDateAndShowsTodaysRows)
{
    writeSettings("strrqr=2024-03-13\n");
    clock.set(QDateTime(QDate(2024, 3, 14), QTime(12, 10)));
    TForm1 form;
    form.show();
    EXPECT_EQ(savedDate(), QStringLiteral("2024-03-14")) << "saved at once, not at exit";
    EXPECT_EQ(today(), (QStringList{QStringLiteral("1 morning bell Y"), QStringLiteral("2 noon music N"),
                                    QStringLiteral("3 afternoon bell N")}));
    EXPECT_EQ(gridNames(form), (QStringList{QStringLiteral("morning bell"), QStringLiteral("noon music"),
                                            QStringLiteral("afternoon bell")}));
    EXPECT_EQ(player.calls.first(), QStringLiteral("stop"));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(MainWindowTest, HolidayAndNoTimetableDays)
{
    struct Case
    {
        const char *name;
        QDate day;
        const char *holiday; // rq of x_jrb, or null
        bool isHoliday;
        const char *caption;
        int rows;
    };
    const Case cases[] = {
        {"holiday", QDate(2024, 3, 14), "2024-03-14", true, "T-Thu", 0},
        {"holiday at midnight", QDate(2024, 3, 14), "2024-03-14 00:00:00", true, "T-Thu", 0},
        {"holiday with a time part", QDate(2024, 3, 14), "2024-03-14 10:00:00", false, "T-Thu", 3},
        {"other day's holiday", QDate(2024, 3, 14), "2024-03-15", false, "T-Thu", 3},
        {"no timetable", QDate(2024, 3, 16), nullptr, false, "无", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        clearHolidays();
        TodayRow old;
        old.sjmc = QStringLiteral("old");
        old.jmmc = QStringLiteral("yesterday row");
        insertTodayRow(old);
        if (c.holiday)
            insertHoliday(QString::fromLatin1(c.holiday));
        destroyAppSettings();
        writeSettings("strrqr=2024-03-01\n");
        player.calls.clear();
        clock.set(QDateTime(c.day, QTime(6, 0)));

        TForm1 form;
        form.show();
        EXPECT_EQ(form.ljrts->text(), c.isHoliday ? QStringLiteral("提示:今天设置了是节假日！") : QString());
        EXPECT_EQ(form.lsjb->text(), QString::fromUtf8(c.caption));
        EXPECT_EQ(today().size(), c.rows);
        EXPECT_EQ(player.calls.contains(QStringLiteral("stop")), !c.isHoliday) << "a holiday stops nothing";
    }
}

TEST_F(MainWindowTest, UnreadableSavedDateIsReportedOnceAndTodayIsResolved)
{
    writeSettings("strrqr=31/10/2013\n");
    TForm1 form;
    form.show();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].contains(QStringLiteral("31/10/2013")));
    EXPECT_EQ(today().size(), 3);
    EXPECT_EQ(savedDate(), QStringLiteral("2024-03-14"));
    EXPECT_TRUE(form.tbf->isActive());
    EXPECT_TRUE(form.tsj->isActive());
}

TEST_F(MainWindowTest, NonNumericStartVolumeFallsBackToTheDefault)
{
    writeSettings("strrqr=2024-03-14\nstrposr=loud\nstrposr2=abc\n");
    TForm1 form;
    form.show();
    EXPECT_TRUE(player.calls.contains(QStringLiteral("volume 85")));
    EXPECT_EQ(appSettings().strposr, QStringLiteral("85"));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].contains(QStringLiteral("abc")));
    EXPECT_TRUE(form.tbf->isActive());
}

TEST_F(MainWindowTest, MidnightRollOverResolvesTheNewDay)
{
    writeSettings("strrqr=2024-03-14\n");
    clock.set(QDateTime(QDate(2024, 3, 14), QTime(23, 59, 58)));
    TForm1 form;
    form.show();
    EXPECT_TRUE(today().isEmpty());

    form.tdrTimer();
    EXPECT_TRUE(today().isEmpty()) << "same day: nothing to do";
    EXPECT_TRUE(form.tdr->isActive());

    clock.set(QDateTime(QDate(2024, 3, 15), QTime(0, 0, 4)));
    form.tdrTimer();
    EXPECT_EQ(form.lrq->text(), QStringLiteral("2024年03月15日  星期五"));
    EXPECT_EQ(form.lsjb->text(), QStringLiteral("T-Fri"));
    EXPECT_EQ(savedDate(), QStringLiteral("2024-03-15"));
    EXPECT_EQ(today(), (QStringList{QStringLiteral("1 midnight chime Y"), QStringLiteral("2 friday bell N")}));
    EXPECT_TRUE(form.tdr->isActive());
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(MainWindowTest, ClockSetBackADayResolvesThatDay)
{
    writeSettings("strrqr=2024-03-14\n");
    TForm1 form;
    form.show();
    clock.set(QDateTime(QDate(2024, 3, 13), QTime(8, 0)));
    form.tdrTimer();
    EXPECT_EQ(form.lsjb->text(), QStringLiteral("T-Wed"));
    EXPECT_EQ(today(), QStringList{QStringLiteral("1 wednesday bell N")});
    EXPECT_EQ(savedDate(), QStringLiteral("2024-03-13"));
}

TEST_F(MainWindowTest, FailedResolutionAtMidnightKeepsTheOldTableAndIsRetried)
{
    writeSettings("strrqr=2024-03-14\n");
    clock.set(QDateTime(QDate(2024, 3, 14), QTime(13, 0)));
    TForm1 form;
    form.show();
    form.BitBtn27Click();
    const QStringList thursday = today();
    ASSERT_EQ(thursday.size(), 3);

    exec(QStringLiteral("create trigger refuse before insert on b_sjbjr "
                        "when new.jmmc = 'friday bell' begin select raise(abort, 'disk full'); end"));
    clock.set(QDateTime(QDate(2024, 3, 15), QTime(0, 0, 5)));
    form.tdrTimer();
    EXPECT_EQ(today(), thursday) << "the failed rebuild is rolled back";
    EXPECT_TRUE(boxes.shown.isEmpty()) << "the watcher reports nothing";
    EXPECT_TRUE(form.tdr->isActive());

    exec(QStringLiteral("drop trigger refuse"));
    clock.advanceSecs(6);
    form.tdrTimer();
    EXPECT_EQ(today(), (QStringList{QStringLiteral("1 midnight chime Y"), QStringLiteral("2 friday bell N")}));
}

TEST_F(MainWindowTest, ManualReimportAsksFirst)
{
    writeSettings("strrqr=2024-03-14\n");
    TForm1 form;
    form.show();
    ASSERT_TRUE(today().isEmpty());

    boxes.answers = {false, true};
    form.BitBtn31Click();
    EXPECT_TRUE(today().isEmpty());
    form.BitBtn31->click();
    EXPECT_EQ(today().size(), 3);
    EXPECT_EQ(boxes.questions, QStringList(2, QStringLiteral("询问|您确定要重新导入播放时间表吗？")));
    EXPECT_EQ(gridNames(form).size(), 3);
}

TEST_F(MainWindowTest, WithoutATrayTheWindowStaysReachable)
{
    writeSettings("strrqr=2024-03-14\nstrmin=1\n");
    TForm1 form;
    form.show();
    form.lsjb->setText(QStringLiteral("changed"));

    form.tsysTimer();
    form.N5Click();
    form.MenuItem1Click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(boxes.shown.size(), 1) << "the reason is given once";
    EXPECT_FALSE(form.tsys->isActive()) << "one shot";

    form.hide();
    form.N2Click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.lsjb->text(), QStringLiteral("changed")) << "the first-show sequence runs once";
}

TEST_F(MainWindowTest, UnusableDatabaseEndsStartUpWithoutTouchingTheFile)
{
    dbhouse().close();
    const QByteArray garbage = QByteArray("SQLite format 3") + QByteArray(1, '\0') + QByteArray(4000, 'z');
    writeFile(QStringLiteral("dat/qvrDemo.db"), garbage);
    TForm1 form;
    form.show();
    EXPECT_TRUE(form.databaseFailed());
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("data error")});
    EXPECT_EQ(readFile(QStringLiteral("dat/qvrDemo.db")), garbage);
    EXPECT_TRUE(form.tsj->isActive());
    EXPECT_FALSE(form.tbf->isActive());
    EXPECT_FALSE(form.tdr->isActive());
}

TEST_F(MainWindowTest, ExitClosesTheWindowAndRemovesTheIcon)
{
    TForm1 form;
    QSignalSpy closed(&form, &TForm1::closed);
    form.show();
    EXPECT_TRUE(form.TrayNotifyIcon1->iconVisible());
    EXPECT_EQ(form.TrayNotifyIcon1->hint(), QStringLiteral("Bellwright"));
    EXPECT_EQ(form.TrayNotifyIcon1->popupMenu(), form.PopupMenu2);
    form.N7->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.TrayNotifyIcon1->iconVisible());
    EXPECT_FALSE(form.tbf->isActive());
}

} // namespace
