// Two players sharing one timetable server (a private PostgreSQL of the test's own), each
// with its own program folder: an edit on one is resolved by the other; the server stopped
// mid-day leaves both with today's table and resolving tomorrow from their mirrors; the
// server back brings the next resolution back to it. And the main window started with the
// server down and no mirror: it says so, the clock runs, and the minute retry (off the
// clock's thread) brings today's timetable once the server answers, and tells of a server
// lost while running.

#include "app/main_window.h"
#include "core/settings.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"
#include "scheduler/shared_timetable.h"
#include "scheduler/timetable_resolution.h"
#include "support/private_pg.h"
#include "support/program_test.h"

#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

namespace {

class TwoPlayersTest : public ProgramTest
{
protected:
    static void SetUpTestSuite() { pg = std::make_unique<PrivatePg>(); }
    static void TearDownTestSuite() { pg.reset(); }

    void SetUp() override
    {
        ProgramTest::SetUp();
        CHIMECAST_REQUIRE_PG(*pg);
        QString why;
        config = pg->newDatabase(QStringLiteral("players_%1").arg(++counter), &why);
        ASSERT_FALSE(config.database.isEmpty()) << qPrintable(why);
    }

    void TearDown() override
    {
        QString why;
        if (!pg->running())
            pg->restart(&why); // the next test starts from a running server
        ProgramTest::TearDown();
    }

    void openPlayer(Tdbhouse &db, const QString &folder)
    {
        QString why;
        ASSERT_TRUE(db.open(path(folder + QStringLiteral("/dat/qvrDemo.db")), &why)) << qPrintable(why);
        db.attachServer(std::make_unique<SharedServer>(config));
        ASSERT_TRUE(db.server()->connect(&why)) << qPrintable(why);
    }

    // What the timetable editor and the weekly assignment write, through their statements.
    static void editTimetable(Tdbhouse &db, const QString &sjmc, const QStringList &startsAndNames)
    {
        db.inTransaction([&] {
            db.qup->close();
            db.qup->setSql(Sql::deleteTimetable);
            db.qup->setParam(QStringLiteral("sjmc"), sjmc);
            db.qup->execSql();
            TQuery *in = db.qin;
            in->close();
            in->setSql(Sql::insertEntryLine1, Sql::insertEntryLine2);
            for (qsizetype i = 0; i + 1 < startsAndNames.size(); i += 2) {
                const QTime start = QTime::fromString(startsAndNames[i], QStringLiteral("HH:mm:ss"));
                in->setParam(QStringLiteral("sjmc"), sjmc);
                in->setParam(QStringLiteral("jmmc"), startsAndNames[i + 1]);
                in->setParam(QStringLiteral("kssj"), start);
                in->setParam(QStringLiteral("jssj"), start.addSecs(60));
                in->setParam(QStringLiteral("wjpath"), QStringLiteral("/bells/bell.wav"));
                in->setParam(QStringLiteral("bfsc"), QStringLiteral("00:01:00"));
                in->setParam(QStringLiteral("yldx"), 80.0);
                in->setParam(QStringLiteral("bffs"), QStringLiteral("顺序播放"));
                in->setParam(QStringLiteral("bfzt"), QStringLiteral("未播放"));
                in->setParam(QStringLiteral("wjbz"), QStringLiteral("1"));
                in->execSql();
            }
        });
    }

    static void assignEveryDay(Tdbhouse &db, const QString &sjmc)
    {
        db.qup->close();
        db.qup->setSql(Sql::updateWeekly);
        for (int d = 1; d <= 7; ++d)
            db.qup->setParam(QStringLiteral("xq%1").arg(d), sjmc);
        db.qup->execSql();
    }

    // "jmmc over" of today's table of a player, by start time.
    static QStringList today(Tdbhouse &db)
    {
        QSqlQuery q(QSqlDatabase::database(db.connectionName(), false));
        QStringList rows;
        if (q.exec(QStringLiteral("select jmmc, over from b_sjbjr order by kssj")))
            while (q.next())
                rows.append(q.value(0).toString() + QLatin1Char(' ') + q.value(1).toString());
        return rows;
    }

    static TimetableSource::Kind resolve(Tdbhouse &db, const QDateTime &at)
    {
        const TimetableSource source = refreshSharedTables(db, at);
        resolveTimetable(db, at);
        return source.kind;
    }

    static inline std::unique_ptr<PrivatePg> pg;
    static inline int counter = 0;
    ServerConfig config;
};

TEST_F(TwoPlayersTest, AnEditOnOneIsResolvedByBothAndTheMirrorCarriesThemThroughAnOutage)
{
    Tdbhouse hall;
    Tdbhouse office;
    openPlayer(hall, QStringLiteral("hall"));
    openPlayer(office, QStringLiteral("office"));

    editTimetable(hall, QStringLiteral("冬季"), {QStringLiteral("08:00:00"), QStringLiteral("上课铃"),
                                                 QStringLiteral("12:00:00"), QStringLiteral("午休铃")});
    assignEveryDay(hall, QStringLiteral("冬季"));

    const QDateTime morning(QDate(2024, 3, 14), QTime(7, 0));
    EXPECT_EQ(resolve(hall, morning), TimetableSource::Kind::server);
    EXPECT_EQ(resolve(office, morning), TimetableSource::Kind::server);
    const QStringList expected{QStringLiteral("上课铃 N"), QStringLiteral("午休铃 N")};
    EXPECT_EQ(today(office), expected) << "the office resolves the hall's edit";
    EXPECT_EQ(today(hall), expected);

    // Each player marks its own programmes.
    QSqlQuery mark(QSqlDatabase::database(hall.connectionName(), false));
    ASSERT_TRUE(mark.exec(QStringLiteral("update b_sjbjr set over='Y' where jmmc='上课铃'")));
    EXPECT_EQ(today(office), expected);

    // The server stops mid-day: today's tables stay, tomorrow comes from the mirrors.
    ASSERT_TRUE(pg->stop());
    EXPECT_EQ(today(hall), (QStringList{QStringLiteral("上课铃 Y"), QStringLiteral("午休铃 N")}));
    const QDateTime tomorrow(QDate(2024, 3, 15), QTime(0, 0, 6));
    for (Tdbhouse *db : {&hall, &office}) {
        const TimetableSource source = refreshSharedTables(*db, tomorrow);
        EXPECT_EQ(source.kind, TimetableSource::Kind::mirror);
        EXPECT_TRUE(source.notice.startsWith(QStringLiteral("使用本地备份的时间表（服务器无法连接）")))
            << qPrintable(source.notice);
        EXPECT_TRUE(source.notice.contains(QStringLiteral("17小时0分钟前"))) << qPrintable(source.notice);
        resolveTimetable(*db, tomorrow);
        EXPECT_EQ(today(*db), expected);
    }
    QString why;
    try {
        editTimetable(office, QStringLiteral("冬季"), {QStringLiteral("09:00:00"), QStringLiteral("迟到铃")});
        ADD_FAILURE() << "an edit was accepted with the server gone";
    } catch (const DbError &e) {
        EXPECT_TRUE(e.text().startsWith(Tdbhouse::kCannotSaveText)) << qPrintable(e.text());
    }

    // The server back: the next resolution uses it again (after the reconnect the minute
    // retry does in the program).
    ASSERT_TRUE(pg->restart(&why)) << qPrintable(why);
    ASSERT_TRUE(office.server()->connect(&why)) << qPrintable(why);
    editTimetable(office, QStringLiteral("冬季"), {QStringLiteral("09:00:00"), QStringLiteral("迟到铃")});
    EXPECT_EQ(resolve(office, tomorrow), TimetableSource::Kind::server);
    EXPECT_EQ(today(office), QStringList{QStringLiteral("迟到铃 N")});
}

TEST_F(TwoPlayersTest, StartedWithTheServerDownAndNoMirrorItSaysSoAndTheRetryBringsTheDay)
{
    // Another server's folder, not running yet: the main window starts against it.
    writeFile(QStringLiteral("chimecast.ini"),
              QStringLiteral("[Judge]\nstrrqr=2024-03-13\nstrdbtype=pgsql\nstrdbhost=127.0.0.1\nstrdbport=%1\n"
                             "strdbname=%2\nstrdbuser=%3\nstrdbpassfile=%4\n")
                  .arg(config.port)
                  .arg(config.database, config.user, config.passwordFile)
                  .toUtf8());
    {
        Tdbhouse hall;
        openPlayer(hall, QStringLiteral("hall"));
        editTimetable(hall, QStringLiteral("冬季"), {QStringLiteral("09:00:00"), QStringLiteral("上课铃")});
        assignEveryDay(hall, QStringLiteral("冬季"));
    }
    ASSERT_TRUE(pg->stop());

    TForm1 form;
    form.show();
    ASSERT_TRUE(form.firstShowDone());
    auto *notice = form.findChild<QLabel *>(QStringLiteral("lfwqts"));
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisibleTo(&form));
    EXPECT_TRUE(notice->text().contains(QStringLiteral("没有时间表的备份"))) << qPrintable(notice->text());
    EXPECT_TRUE(form.tsj->isActive()) << "the clock runs";
    EXPECT_TRUE(form.tbf->isActive()) << "the dispatcher runs";
    EXPECT_TRUE(form.tfwq->isActive()) << "the server is retried";
    EXPECT_EQ(dbhouse().qjrjm->recordCount(), 0);

    // A retry while the server is still down changes nothing and is armed again.
    QMetaObject::invokeMethod(form.tfwq, "timeout");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.tfwq->isActive(); }, 10000));
    EXPECT_TRUE(notice->isVisibleTo(&form));

    QString why;
    ASSERT_TRUE(pg->restart(&why)) << qPrintable(why);
    QMetaObject::invokeMethod(form.tfwq, "timeout");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !notice->isVisibleTo(&form); }, 10000)) << qPrintable(notice->text());
    EXPECT_TRUE(form.tfwq->isActive()) << "the server is still watched";
    EXPECT_EQ(form.lsjb->text(), QStringLiteral("冬季"));
    ASSERT_EQ(dbhouse().qjrjm->recordCount(), 1);
    EXPECT_EQ(dbhouse().qjrjm->value(0, QStringLiteral("jmmc")).toString(), QStringLiteral("上课铃"));

    // Lost again while running: the next minute says so, today's table stays.
    ASSERT_TRUE(pg->stop());
    QMetaObject::invokeMethod(form.tfwq, "timeout");
    ASSERT_TRUE(QTest::qWaitFor([&] { return notice->isVisibleTo(&form); }, 10000));
    EXPECT_TRUE(notice->text().startsWith(QStringLiteral("使用本地备份的时间表（服务器无法连接）")))
        << qPrintable(notice->text());
    EXPECT_FALSE(dbhouse().server()->isUp());
    EXPECT_EQ(dbhouse().qjrjm->recordCount(), 1);
}

} // namespace
