// The schema's version and its upgrade, the read-only refusal of a newer database, and the
// as-run log's rows, filter, pruning and CSV.

#include "db/as_run_log.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"
#include "support/program_test.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

AsRunRecord record(const QDateTime &at, const QString &sjmc, const QString &jmmc, const QString &kssj,
                   const QString &event, const QString &content = {}, int items = -1, const QString &reason = {})
{
    AsRunRecord r;
    r.at = at;
    r.sjmc = sjmc;
    r.jmmc = jmmc;
    r.kssj = kssj;
    r.event = event;
    r.content = content;
    r.items = items;
    r.reason = reason;
    return r;
}

class AsRunSchemaTest : public ProgramTest
{
protected:
    QString dbPath() const { return path(QStringLiteral("dat/qvrDemo.db")); }

    // Runs raw SQL on the file, outside the data module (what an older build left).
    void onFile(const QStringList &statements)
    {
        const QString name = QStringLiteral("raw");
        {
            QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            d.setDatabaseName(dbPath());
            ASSERT_TRUE(d.open());
            QSqlQuery q(d);
            for (const QString &s : statements)
                ASSERT_TRUE(q.exec(s)) << qPrintable(s);
        }
        QSqlDatabase::removeDatabase(name);
    }

    // A database as the delivered schema (version 1) or the landed build (version 0)
    // left it: the seven tables, no as-run log, one programme in b_sjb.
    void makeOldDatabase(int version)
    {
        {
            Tdbhouse db;
            ASSERT_TRUE(db.open(dbPath()));
        }
        onFile(
            {QStringLiteral("drop table b_bfrz"), QStringLiteral("pragma user_version = %1").arg(version),
             QStringLiteral("insert into b_sjb(sjmc,jmmc,kssj,jssj) values('时间表1','早铃','08:00:00','08:01:00')")});
    }

    QByteArray fileHash() const
    {
        QFile f(dbPath());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    }
};

TEST_F(AsRunSchemaTest, NewDatabaseIsMadeAtTheCurrentVersionWithTheLog)
{
    Tdbhouse db;
    ASSERT_TRUE(db.open(dbPath()));
    EXPECT_EQ(db.schemaVersion(), Tdbhouse::kSchemaVersion);
    EXPECT_TRUE(db.readOnlyReason().isEmpty());
    AsRunLog log(&db);
    EXPECT_TRUE(log.write(record(QDateTime(QDate(2024, 3, 14), QTime(8, 0, 1)), QStringLiteral("时间表1"),
                                 QStringLiteral("早铃"), QStringLiteral("08:00:00"), AsRunEvent::started)));
}

TEST_F(AsRunSchemaTest, OlderDatabasesAreUpgradedKeepingTheirRows)
{
    for (int version : {0, 1}) {
        SCOPED_TRACE(version);
        QFile::remove(dbPath());
        makeOldDatabase(version);
        Tdbhouse db;
        QString error;
        ASSERT_TRUE(db.open(dbPath(), &error)) << qPrintable(error);
        EXPECT_EQ(db.schemaVersion(), 2);
        QSqlQuery q(QSqlDatabase::database(db.connectionName()));
        ASSERT_TRUE(q.exec(QStringLiteral("pragma user_version")) && q.next());
        EXPECT_EQ(q.value(0).toInt(), 2);
        ASSERT_TRUE(q.exec(QStringLiteral("select jmmc from b_sjb")) && q.next());
        EXPECT_EQ(q.value(0).toString(), QStringLiteral("早铃"));
        q.finish();
        AsRunLog log(&db);
        EXPECT_TRUE(log.write(record(QDateTime(QDate(2024, 3, 14), QTime(8, 0)), {}, {}, {}, AsRunEvent::resolution)));
        EXPECT_EQ(log.day(QDate(2024, 3, 14)).size(), 1);
    }
}

TEST_F(AsRunSchemaTest, UpgradeThatFailsLeavesTheFileAsItWas)
{
    makeOldDatabase(1);
    // Something named like the log's index is in the way: the step fails part-way.
    onFile({QStringLiteral("create table b_bfrz_rq(x)")});
    const QByteArray before = fileHash();
    Tdbhouse db;
    QString error;
    EXPECT_FALSE(db.open(dbPath(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(fileHash(), before);
}

TEST_F(AsRunSchemaTest, NewerDatabaseIsOpenedReadOnlyAndNeverChanged)
{
    {
        Tdbhouse db;
        ASSERT_TRUE(db.open(dbPath()));
    }
    onFile({QStringLiteral("pragma user_version = 7")});
    const QByteArray before = fileHash();
    Tdbhouse db;
    QString error;
    ASSERT_TRUE(db.open(dbPath(), &error)) << qPrintable(error);
    EXPECT_EQ(db.schemaVersion(), 7);
    EXPECT_TRUE(db.readOnlyReason().contains(QStringLiteral("更新版本"))) << qPrintable(db.readOnlyReason());
    // Reads work, writes are refused.
    db.qcx->close();
    db.qcx->setSql(Sql::selectWeekly);
    EXPECT_NO_THROW(db.qcx->open());
    db.qin->close();
    db.qin->setSql(Sql::insertHoliday);
    db.qin->setParam(QStringLiteral("rq"), QStringLiteral("2024-05-01"));
    EXPECT_THROW(db.qin->execSql(), DbError);
    AsRunLog log(&db);
    EXPECT_FALSE(log.write(record(QDateTime(QDate(2024, 3, 14), QTime(8, 0)), {}, {}, {}, AsRunEvent::started)));
    db.close();
    EXPECT_EQ(fileHash(), before);
}

TEST_F(AsRunSchemaTest, DayFilterPruneAndCsv)
{
    Tdbhouse db;
    ASSERT_TRUE(db.open(dbPath()));
    AsRunLog log(&db);
    const QDate day(2024, 3, 14);
    int problems = 0;
    QObject::connect(&log, &AsRunLog::problemWritten, [&problems] { ++problems; });
    const AsRunRecord ok =
        record(QDateTime(day, QTime(8, 0, 1)), QStringLiteral("时间表1"), QStringLiteral("早铃"),
               QStringLiteral("08:00:00"), AsRunEvent::started, QStringLiteral("/m/bell, \"a\".mp3"), 1);
    const AsRunRecord bad =
        record(QDateTime(day, QTime(9, 0, 2)), QStringLiteral("时间表1"), QStringLiteral("课间"),
               QStringLiteral("09:00:00"), AsRunEvent::failed, QStringLiteral("/m/none"), 0, AsRunReason::folderEmpty);
    const AsRunRecord old = record(QDateTime(day.addDays(-401), QTime(9, 0)), {}, {}, {}, AsRunEvent::resolution);
    const AsRunRecord kept = record(QDateTime(day.addDays(-400), QTime(9, 0)), {}, {}, {}, AsRunEvent::resolution);
    for (const AsRunRecord &r : {ok, bad, old, kept})
        ASSERT_TRUE(log.write(r));
    EXPECT_EQ(problems, 1);

    const QList<AsRunRecord> all = log.day(day);
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[0].at, ok.at);
    EXPECT_EQ(all[0].content, ok.content);
    EXPECT_EQ(all[0].items, 1);
    EXPECT_EQ(all[1].reason, AsRunReason::folderEmpty);
    const QList<AsRunRecord> onlyProblems = log.day(day, true);
    ASSERT_EQ(onlyProblems.size(), 1);
    EXPECT_EQ(onlyProblems[0].jmmc, QStringLiteral("课间"));

    EXPECT_EQ(log.prune(day), 1);
    EXPECT_TRUE(log.day(old.at.date()).isEmpty());
    EXPECT_EQ(log.day(kept.at.date()).size(), 1);

    EXPECT_EQ(
        AsRunLog::csv(all),
        QStringLiteral("日期,时间,时间表,节目,开始时间,事件,播放内容,项目数,原因\n"
                       "2024-03-14,08:00:01,时间表1,早铃,08:00:00,开始播放,\"/m/bell, \"\"a\"\".mp3\",1,\n"
                       "2024-03-14,09:00:02,时间表1,课间,09:00:00,未能播放,/m/none,0,文件夹里没有可播放的文件\n"));
}

TEST_F(AsRunSchemaTest, WriteWithoutATableFailsQuietly)
{
    Tdbhouse db;
    ASSERT_TRUE(db.open(dbPath()));
    QSqlQuery q(QSqlDatabase::database(db.connectionName()));
    ASSERT_TRUE(q.exec(QStringLiteral("drop table b_bfrz")));
    AsRunLog log(&db);
    EXPECT_FALSE(log.write(record(QDateTime(QDate(2024, 3, 14), QTime(8, 0)), {}, {}, {}, AsRunEvent::started)));
    EXPECT_EQ(log.prune(QDate(2024, 3, 14)), -1);
    EXPECT_FALSE(log.hasEntry(QDate(2024, 3, 14), {}, {}, {}));
}

} // namespace
