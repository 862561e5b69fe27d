// The shared timetable server, on a private PostgreSQL of the test's own: the editors' query
// objects reach the server for the shared tables and the local file for the rest; a server
// that is gone refuses changes plainly and keeps nothing back; the password file; a newer
// server schema; an import that fails part-way leaves the server as it was.

#include "db/dbhouse.h"
#include "db/shared_server.h"
#include "db/sql_catalogue.h"
#include "support/private_pg.h"
#include "support/program_test.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <stdexcept>

namespace {

class SharedServerTest : public ProgramTest
{
protected:
    static void SetUpTestSuite() { pg = std::make_unique<PrivatePg>(); }
    static void TearDownTestSuite() { pg.reset(); }

    void SetUp() override
    {
        ProgramTest::SetUp();
        CHIMECAST_REQUIRE_PG(*pg);
        QString why;
        config = pg->newDatabase(QStringLiteral("shared_%1").arg(++counter), &why);
        ASSERT_FALSE(config.database.isEmpty()) << qPrintable(why);
    }

    // A player: its own local file, the shared server attached and connected.
    void openPlayer(Tdbhouse &db, const QString &name)
    {
        QString why;
        ASSERT_TRUE(db.open(path(name + QStringLiteral("/dat/qvrDemo.db")), &why)) << qPrintable(why);
        db.attachServer(std::make_unique<SharedServer>(config));
        ASSERT_TRUE(db.server()->connect(&why)) << qPrintable(why);
    }

    static void addEntry(Tdbhouse &db, const QString &sjmc, const QString &jmmc)
    {
        TQuery *in = db.qin;
        in->close();
        in->setSql(Sql::insertEntryLine1, Sql::insertEntryLine2);
        in->setParam(QStringLiteral("sjmc"), sjmc);
        in->setParam(QStringLiteral("jmmc"), jmmc);
        in->setParam(QStringLiteral("kssj"), QStringLiteral("08:00:00"));
        in->setParam(QStringLiteral("jssj"), QStringLiteral("08:00:30"));
        in->setParam(QStringLiteral("wjpath"), QStringLiteral("/bells/bell.wav"));
        in->setParam(QStringLiteral("bfsc"), QStringLiteral("00:00:30"));
        in->setParam(QStringLiteral("yldx"), 80.0);
        in->setParam(QStringLiteral("bffs"), QStringLiteral("顺序播放"));
        in->setParam(QStringLiteral("bfzt"), QStringLiteral("未播放"));
        in->setParam(QStringLiteral("wjbz"), QStringLiteral("1"));
        in->execSql();
    }

    static QStringList entryNames(Tdbhouse &db, const QString &sjmc)
    {
        TQuery *q = db.qsjcx;
        q->close();
        q->setSql(Sql::selectTimetableForEditor);
        q->setParam(QStringLiteral("sjmc"), sjmc);
        q->open();
        QStringList names;
        for (q->first(); !q->eof(); q->next())
            names.append(q->fieldText(QStringLiteral("jmmc")));
        return names;
    }

    static int count(const QString &connection, const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(connection, false));
        if (!q.exec(sql) || !q.next())
            return -1;
        return q.value(0).toInt();
    }

    static inline std::unique_ptr<PrivatePg> pg;
    static inline int counter = 0;
    ServerConfig config;
};

TEST_F(SharedServerTest, SharedTablesGoToTheServerTheWorkingTablesStayLocal)
{
    Tdbhouse a;
    openPlayer(a, QStringLiteral("a"));
    EXPECT_EQ(a.server()->schemaVersion(), SharedServer::kSchemaVersion);
    EXPECT_TRUE(a.server()->readOnlyReason().isEmpty());

    addEntry(a, QStringLiteral("时间表1"), QStringLiteral("上课铃"));
    a.qin->close();
    a.qin->setSql(Sql::insertScratchSong);
    a.qin->setParam(QStringLiteral("wjpath"), QStringLiteral("/m/a.mp3"));
    a.qin->setParam(QStringLiteral("wjmc"), QStringLiteral("a.mp3"));
    a.qin->setParam(QStringLiteral("zsc"), QStringLiteral("00:03:00"));
    a.qin->execSql();

    EXPECT_EQ(count(a.server()->connectionName(), QStringLiteral("select count(*) from b_sjb")), 1);
    EXPECT_EQ(count(a.connectionName(), QStringLiteral("select count(*) from b_sjb")), 0) << "not mirrored yet";
    EXPECT_EQ(count(a.connectionName(), QStringLiteral("select count(*) from b_gqlbmx")), 1) << "scratch stays local";

    // A second player sees the edit at once in its editor, and in its mirror after a copy.
    Tdbhouse b;
    openPlayer(b, QStringLiteral("b"));
    EXPECT_EQ(entryNames(b, QStringLiteral("时间表1")), QStringList{QStringLiteral("上课铃")});
    const QDateTime now(QDate(2024, 3, 14), QTime(7, 0));
    QString why;
    ASSERT_TRUE(b.server()->copyInto(b, now, &why)) << qPrintable(why);
    EXPECT_EQ(count(b.connectionName(), QStringLiteral("select count(*) from b_sjb")), 1);
    EXPECT_EQ(count(b.connectionName(), QStringLiteral("select count(*) from x_sjbsz")), 1);
    const MirrorStamp stamp = readMirrorStamp(b.path());
    EXPECT_EQ(stamp.at, now);
    EXPECT_EQ(stamp.source, config.describe());
}

TEST_F(SharedServerTest, ServerGoneReadsTheMirrorAndRefusesChangesWithoutKeepingThem)
{
    Tdbhouse a;
    openPlayer(a, QStringLiteral("a"));
    addEntry(a, QStringLiteral("时间表1"), QStringLiteral("上课铃"));
    QString why;
    ASSERT_TRUE(a.server()->copyInto(a, QDateTime(QDate(2024, 3, 14), QTime(7, 0)), &why)) << qPrintable(why);

    ASSERT_TRUE(pg->stop());
    // The first statement after the loss meets the dead connection and says so; from then
    // on reads come from the mirror and changes are refused before they are tried.
    try {
        addEntry(a, QStringLiteral("时间表1"), QStringLiteral("放学铃"));
        ADD_FAILURE() << "a change was accepted with the server gone";
    } catch (const DbError &e) {
        EXPECT_TRUE(e.text().startsWith(Tdbhouse::kCannotSaveText)) << qPrintable(e.text());
    }
    EXPECT_FALSE(a.server()->isUp());
    EXPECT_EQ(entryNames(a, QStringLiteral("时间表1")), QStringList{QStringLiteral("上课铃")});
    try {
        a.inTransaction([&] {
            a.qup->close();
            a.qup->setSql(Sql::deleteTimetable);
            a.qup->setParam(QStringLiteral("sjmc"), QStringLiteral("时间表1"));
            a.qup->execSql();
        });
        ADD_FAILURE() << "a delete was accepted with the server gone";
    } catch (const DbError &e) {
        EXPECT_EQ(e.text(), Tdbhouse::kCannotSaveText);
    }
    EXPECT_EQ(count(a.connectionName(), QStringLiteral("select count(*) from b_sjb")), 1) << "mirror untouched";
    // Local tables are still written.
    a.qup->close();
    a.qup->setSql(Sql::deleteToday);
    EXPECT_NO_THROW(a.qup->execSql());

    ASSERT_TRUE(pg->restart(&why)) << qPrintable(why);
    ASSERT_TRUE(a.server()->connect(&why)) << qPrintable(why);
    EXPECT_EQ(entryNames(a, QStringLiteral("时间表1")), QStringList{QStringLiteral("上课铃")}) << "nothing was queued";
}

TEST_F(SharedServerTest, AnImportFailingPartWayLeavesTheServerAsItWas)
{
    Tdbhouse a;
    openPlayer(a, QStringLiteral("a"));
    addEntry(a, QStringLiteral("时间表1"), QStringLiteral("上课铃"));
    EXPECT_THROW(a.inTransaction([&] {
        a.qup->close();
        a.qup->setSql(Sql::deleteTimetable);
        a.qup->setParam(QStringLiteral("sjmc"), QStringLiteral("时间表1"));
        a.qup->execSql();
        addEntry(a, QStringLiteral("时间表1"), QStringLiteral("新的铃"));
        throw DbError(QStringLiteral("interrupted"));
    }),
                 DbError);
    Tdbhouse b;
    openPlayer(b, QStringLiteral("b"));
    EXPECT_EQ(entryNames(b, QStringLiteral("时间表1")), QStringList{QStringLiteral("上课铃")});
    EXPECT_TRUE(a.server()->isUp()) << "a refused statement is no lost server";
}

TEST_F(SharedServerTest, PasswordFileMustBeTheOwnersAlone)
{
    ServerConfig c = config;
    SharedServer good(c);
    QString why;
    EXPECT_TRUE(good.connect(&why)) << qPrintable(why);

    const QString open = path(QStringLiteral("pw-open"));
    ASSERT_TRUE(QFile::copy(c.passwordFile, open));
    QFile::setPermissions(open, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                    | QFileDevice::ReadOther);
    const QString wrong = path(QStringLiteral("pw-wrong"));
    writeFile(QStringLiteral("pw-wrong"), "not-the-password\n");
    QFile::setPermissions(wrong, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    struct Case
    {
        QString file;
        QString expected;
    };
    for (const Case &k : {Case{open, QStringLiteral("chmod 600")}, Case{path(QStringLiteral("none")), QStringLiteral("不存在")},
                          Case{wrong, QStringLiteral("password")}}) {
        c.passwordFile = k.file;
        SharedServer s(c);
        why.clear();
        EXPECT_FALSE(s.connect(&why)) << qPrintable(k.file);
        EXPECT_TRUE(why.contains(k.expected)) << qPrintable(why);
        EXPECT_FALSE(s.isUp());
    }
}

TEST_F(SharedServerTest, NewerServerSchemaIsReadNeverWritten)
{
    {
        Tdbhouse a;
        openPlayer(a, QStringLiteral("a"));
        addEntry(a, QStringLiteral("时间表1"), QStringLiteral("上课铃"));
        QSqlQuery q(QSqlDatabase::database(a.server()->connectionName(), false));
        ASSERT_TRUE(q.exec(QStringLiteral("update chimecast_schema set version = 99")));
    }
    Tdbhouse b;
    openPlayer(b, QStringLiteral("b"));
    EXPECT_EQ(b.server()->schemaVersion(), 99);
    EXPECT_FALSE(b.server()->readOnlyReason().isEmpty());
    try {
        addEntry(b, QStringLiteral("时间表1"), QStringLiteral("放学铃"));
        ADD_FAILURE() << "a newer server schema was written";
    } catch (const DbError &e) {
        EXPECT_EQ(e.text(), b.server()->readOnlyReason());
    }
    EXPECT_EQ(entryNames(b, QStringLiteral("时间表1")), QStringList{QStringLiteral("上课铃")});
    QString why;
    EXPECT_TRUE(b.server()->copyInto(b, QDateTime(QDate(2024, 3, 14), QTime(7, 0)), &why)) << qPrintable(why);
}

} // namespace
