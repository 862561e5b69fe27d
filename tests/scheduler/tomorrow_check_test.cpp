// Tomorrow's check over a fresh program folder: the problems it names, the overlap and
// window rules, days with nothing to play, what it writes to the as-run log, the evening
// timer, and the terminal's --check and --log with their exit codes.

#include "db/as_run_log.h"
#include "db/dbhouse.h"
#include "scheduler/main_player_adapter.h"
#include "scheduler/terminal_modes.h"
#include "scheduler/tomorrow_check.h"
#include "support/program_test.h"
#include "support/today_rows.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>

namespace {

// Thursday 14 March 2024, 08:00; tomorrow is Friday.
class TomorrowCheckTest : public ProgramTest
{
protected:
    const QDate friday{2024, 3, 15};

    // A one-second silent WAV file.
    QString wav(const QString &name)
    {
        QByteArray pcm(8000 * 2, '\0');
        QByteArray h;
        auto u32 = [&h](quint32 v) {
            for (int i = 0; i < 4; ++i)
                h.append(char((v >> (8 * i)) & 0xff));
        };
        auto u16 = [&h](quint16 v) {
            h.append(char(v & 0xff));
            h.append(char(v >> 8));
        };
        h.append("RIFF");
        u32(36 + pcm.size());
        h.append("WAVEfmt ");
        u32(16);
        u16(1);
        u16(1);
        u32(8000);
        u32(16000);
        u16(2);
        u16(16);
        h.append("data");
        u32(pcm.size());
        writeFile(name, h + pcm);
        return path(name);
    }

    void programme(const QString &jmmc, const QString &start, const QString &end, const QString &kind,
                   const QString &what)
    {
        TimetableRow row;
        row.sjmc = QStringLiteral("时间表1");
        row.jmmc = jmmc;
        row.kssj = start;
        row.jssj = end;
        row.wjbz = kind;
        row.wjpath = what;
        insertTimetableRow(row);
    }

    void fridayPlays(const QString &timetable)
    {
        setWeeklyTimetables({QStringLiteral("无"), QStringLiteral("无"), QStringLiteral("无"), QStringLiteral("无"),
                             timetable, QStringLiteral("无"), QStringLiteral("无")});
    }

    DayCheck check()
    {
        CheckProbes probes;
        probes.scanner = &scanner;
        return checkDay(dbhouse(), friday, probes);
    }

    QStringList problems(const DayCheck &c)
    {
        QStringList out;
        for (const CheckProblem &p : c.problems)
            out.append(p.jmmc + QLatin1Char('|') + p.reason);
        return out;
    }

    int terminal(const QStringList &args, QString *out = nullptr)
    {
        QString o, e;
        const int rc = runTerminalMode(args, o, e);
        if (out)
            *out = o + e;
        return rc;
    }

    // A loopback port nobody listens on.
    static quint16 closedPort()
    {
        QTcpServer s;
        EXPECT_TRUE(s.listen(QHostAddress::LocalHost));
        const quint16 port = s.serverPort();
        s.close();
        return port;
    }

    MediaFolderScanner scanner;
};

TEST_F(TomorrowCheckTest, NamesTheThreeProblemsOfTheDayAndTheTerminalExitsOne)
{
    QTcpServer live;
    ASSERT_TRUE(live.listen(QHostAddress::LocalHost));
    const QString bell = wav(QStringLiteral("media/bell.wav"));
    const QString song = wav(QStringLiteral("media/list/song.wav"));
    const QString deleted = wav(QStringLiteral("media/deleted.wav"));
    QFile::remove(deleted);
    QDir().mkpath(path(QStringLiteral("media/empty")));
    insertSavedSong(QStringLiteral("晨曲"), song);
    const QString dead = QStringLiteral("http://127.0.0.1:%1/live").arg(closedPort());

    programme(QStringLiteral("上课铃"), QStringLiteral("08:00:00"), QStringLiteral("08:01:00"), QStringLiteral("1"),
              bell);
    programme(QStringLiteral("眼保健操"), QStringLiteral("09:00:00"), QStringLiteral("09:05:00"), QStringLiteral("1"),
              deleted);
    programme(QStringLiteral("课间音乐"), QStringLiteral("10:00:00"), QStringLiteral("10:10:00"), QStringLiteral("3"),
              path(QStringLiteral("media/empty")));
    programme(QStringLiteral("新闻"), QStringLiteral("11:00:00"), QStringLiteral("11:30:00"), QStringLiteral("4"),
              dead);
    programme(QStringLiteral("午间歌曲"), QStringLiteral("12:00:00"), QStringLiteral("12:10:00"), QStringLiteral("2"),
              QStringLiteral("晨曲"));
    programme(QStringLiteral("音乐台"), QStringLiteral("13:00:00"), QStringLiteral("13:10:00"), QStringLiteral("4"),
              QStringLiteral("http://127.0.0.1:%1/").arg(live.serverPort()));
    programme(QStringLiteral("放学"), QStringLiteral("16:00:00"), QStringLiteral("16:05:00"), QStringLiteral("3"),
              path(QStringLiteral("media/list")));
    fridayPlays(QStringLiteral("时间表1"));

    const DayCheck c = check();
    EXPECT_EQ(c.timetable, QStringLiteral("时间表1"));
    EXPECT_EQ(c.programmes, 7);
    const QStringList found = problems(c);
    ASSERT_EQ(found.size(), 3) << qPrintable(found.join(QLatin1Char('\n')));
    EXPECT_EQ(found[0], QStringLiteral("眼保健操|") + AsRunReason::fileMissing(deleted));
    EXPECT_EQ(found[1], QStringLiteral("课间音乐|") + AsRunReason::folderEmpty);
    EXPECT_TRUE(found[2].startsWith(QStringLiteral("新闻|") + AsRunReason::streamDead)) << qPrintable(found[2]);

    logDayCheck(asRunLog(), c, clock.now());
    const QList<AsRunRecord> logged = asRunLog().day(clock.now().date(), true);
    ASSERT_EQ(logged.size(), 3);
    EXPECT_EQ(logged[0].event, AsRunEvent::checked);
    EXPECT_EQ(logged[0].jmmc, QStringLiteral("眼保健操"));

    QString out;
    EXPECT_EQ(terminal({QStringLiteral("--check")}, &out), kCheckFoundProblems);
    for (const QString &name : {QStringLiteral("眼保健操"), QStringLiteral("课间音乐"), QStringLiteral("新闻")})
        EXPECT_TRUE(out.contains(name)) << qPrintable(out);
    EXPECT_FALSE(out.contains(QStringLiteral("上课铃"))) << qPrintable(out);
}

TEST_F(TomorrowCheckTest, OverlapsAndWindowsTooShortToPlay)
{
    const QString bell = wav(QStringLiteral("bell.wav"));
    programme(QStringLiteral("甲"), QStringLiteral("08:00:00"), QStringLiteral("08:30:00"), QStringLiteral("1"), bell);
    programme(QStringLiteral("乙"), QStringLiteral("08:20:00"), QStringLiteral("08:40:00"), QStringLiteral("1"), bell);
    programme(QStringLiteral("丙"), QStringLiteral("09:00:00"), QStringLiteral("09:00:04"), QStringLiteral("1"), bell);
    programme(QStringLiteral("丁"), QStringLiteral("23:50:00"), QStringLiteral("00:10:00"), QStringLiteral("1"), bell);
    fridayPlays(QStringLiteral("时间表1"));
    const QStringList found = problems(check());
    ASSERT_EQ(found.size(), 3) << qPrintable(found.join(QLatin1Char('\n')));
    EXPECT_EQ(found[0], QStringLiteral("乙|与“甲”的播放时间重叠"));
    EXPECT_TRUE(found[1].startsWith(QStringLiteral("丙|播放时间无效或太短"))) << qPrintable(found[1]);
    EXPECT_TRUE(found[2].startsWith(QStringLiteral("丁|播放时间无效或太短"))) << qPrintable(found[2]);
}

TEST_F(TomorrowCheckTest, DaysWithNothingToPlayAreWellAndSaySo)
{
    programme(QStringLiteral("甲"), QStringLiteral("08:00:00"), QStringLiteral("08:30:00"), QStringLiteral("1"),
              path(QStringLiteral("gone.mp3")));
    fridayPlays(QStringLiteral("无"));
    QString out;
    EXPECT_TRUE(check().ok());
    EXPECT_EQ(terminal({QStringLiteral("--check"), QStringLiteral("2024-03-15")}, &out), kCheckAllWell);
    EXPECT_TRUE(out.contains(QStringLiteral("没有安排时间表"))) << qPrintable(out);

    fridayPlays(QStringLiteral("时间表1"));
    insertHoliday(QStringLiteral("2024-03-15"));
    const DayCheck c = check();
    EXPECT_TRUE(c.holiday);
    EXPECT_TRUE(c.ok());
    EXPECT_EQ(terminal({QStringLiteral("--check")}, &out), kCheckAllWell);
    EXPECT_TRUE(out.contains(QStringLiteral("节假日"))) << qPrintable(out);
    // The day after the holiday plays the timetable and finds the missing file.
    EXPECT_EQ(terminal({QStringLiteral("--check"), QStringLiteral("2024-03-22")}), kCheckFoundProblems);
}

TEST_F(TomorrowCheckTest, UsageAndDatabaseErrorsExitTwoAndCreateNothing)
{
    EXPECT_EQ(terminal({QStringLiteral("--check")}), kTerminalUsageOrDatabaseError);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("dat/qvrDemo.db")))) << "the terminal never creates the database";
    EXPECT_EQ(terminal({QStringLiteral("--log")}), kTerminalUsageOrDatabaseError);
    openProgramDatabase();
    QString out;
    EXPECT_EQ(terminal({QStringLiteral("--check"), QStringLiteral("2024-13-01")}, &out), kTerminalUsageOrDatabaseError);
    EXPECT_TRUE(out.contains(QStringLiteral("用法"))) << qPrintable(out);
    EXPECT_EQ(terminal({QStringLiteral("--log"), QStringLiteral("2024-03-14"), QStringLiteral("x")}),
              kTerminalUsageOrDatabaseError);
}

TEST_F(TomorrowCheckTest, LogPrintsTheDayAsCsv)
{
    openProgramDatabase();
    AsRunRecord r;
    r.at = QDateTime(QDate(2024, 3, 14), QTime(8, 0, 1));
    r.sjmc = QStringLiteral("时间表1");
    r.jmmc = QStringLiteral("上课铃");
    r.kssj = QStringLiteral("08:00:00");
    r.event = AsRunEvent::started;
    r.items = 1;
    ASSERT_TRUE(asRunLog().write(r));
    r.at = r.at.addDays(-1);
    ASSERT_TRUE(asRunLog().write(r));
    QString out;
    EXPECT_EQ(terminal({QStringLiteral("--log")}, &out), 0);
    EXPECT_EQ(out, QStringLiteral("日期,时间,时间表,节目,开始时间,事件,播放内容,项目数,原因\n"
                                  "2024-03-14,08:00:01,时间表1,上课铃,08:00:00,开始播放,,1,\n"));
}

TEST_F(TomorrowCheckTest, EveningCheckRunsOnceADayFromTheSetTime)
{
    QDateTime now(QDate(2024, 3, 14), QTime(17, 59, 59));
    QString at = QStringLiteral("18:00:00");
    int runs = 0;
    EveningCheck evening([&now] { return now; }, [&at] { return at; }, [&runs] { ++runs; });
    evening.tick();
    EXPECT_EQ(runs, 0);
    now = now.addSecs(1);
    evening.tick();
    now = now.addSecs(30);
    evening.tick();
    EXPECT_EQ(runs, 1);
    now = QDateTime(QDate(2024, 3, 15), QTime(20, 0)); // started late the next day: checks at once
    evening.tick();
    EXPECT_EQ(runs, 2);
    at = QStringLiteral("six pm");
    now = now.addDays(1);
    evening.tick();
    EXPECT_EQ(runs, 2);
}

} // namespace
