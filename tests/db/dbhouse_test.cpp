#include "db/dbhouse.h"
#include "db/sql_catalogue.h"
#include "support/program_test.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

using DbhouseTest = ProgramTest;

TEST_F(DbhouseTest, MissingDatabaseIsCreatedWithTheDeliveredContent)
{
    Tdbhouse db;
    QString error;
    ASSERT_TRUE(db.openDefault(&error)) << qPrintable(error);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("dat/qvrDemo.db"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("dat/qvrDemo.db.new"))));

    QSqlQuery q(QSqlDatabase::database(db.connectionName()));
    ASSERT_TRUE(q.exec(QStringLiteral("select count(*), min(xq1), max(xq7) from x_sjbsz")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
    EXPECT_EQ(q.value(1).toString(), QStringLiteral("无"));
    EXPECT_EQ(q.value(2).toString(), QStringLiteral("无"));

    // over defaults to 'N'; keys count up.
    ASSERT_TRUE(q.exec(QStringLiteral("insert into b_sjb(sjmc) values('a')")));
    ASSERT_TRUE(q.exec(QStringLiteral("insert into b_sjb(sjmc) values('b')")));
    ASSERT_TRUE(q.exec(QStringLiteral("select iid, over from b_sjb order by iid")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(1).toString(), QStringLiteral("N"));
    const int first = q.value(0).toInt();
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), first + 1);
    q.finish();

    // Reopening finds the same file, not a fresh one.
    db.close();
    ASSERT_TRUE(db.openDefault(&error)) << qPrintable(error);
    QSqlQuery again(QSqlDatabase::database(db.connectionName()));
    ASSERT_TRUE(again.exec(QStringLiteral("select count(*) from b_sjb")) && again.next());
    EXPECT_EQ(again.value(0).toInt(), 2);
}

TEST_F(DbhouseTest, UnusableFilesAreReportedAndLeftUntouched)
{
    // A database holding only some of the tables.
    {
        const QString name = QStringLiteral("partial-db");
        {
            QSqlDatabase p = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            QDir().mkpath(path(QStringLiteral("fixtures")));
            p.setDatabaseName(path(QStringLiteral("fixtures/partial.db")));
            ASSERT_TRUE(p.open());
            QSqlQuery q(p);
            ASSERT_TRUE(q.exec(QStringLiteral("create table b_sjb(iid integer primary key, sjmc text)")));
            p.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    const QByteArray partial = readFile(QStringLiteral("fixtures/partial.db"));
    ASSERT_FALSE(partial.isEmpty());

    struct Case
    {
        const char *name;
        QByteArray bytes;
        const char *reason;
    };
    const Case cases[] = {
        {"not a database", "[Judge]\nstrmin=1\n", "not a database"},
        {"empty file", QByteArray(), "not a database"},
        {"damaged", QByteArray("SQLite format 3", 16) + QByteArray(8192, '\x5a'), ""},
        {"tables missing", partial, "missing"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(QStringLiteral("dat/qvrDemo.db"), c.bytes);
        Tdbhouse db;
        QString error;
        EXPECT_FALSE(db.openDefault(&error));
        EXPECT_FALSE(db.isOpen());
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.reason))) << qPrintable(error);
        EXPECT_EQ(readFile(QStringLiteral("dat/qvrDemo.db")), c.bytes);
        EXPECT_EQ(QDir(path(QStringLiteral("dat"))).entryList(QDir::Files), QStringList{QStringLiteral("qvrDemo.db")});
    }

    // A folder in the file's place cannot be read as a database either.
    QFile::remove(path(QStringLiteral("dat/qvrDemo.db")));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("dat/qvrDemo.db"))));
    Tdbhouse db;
    QString error;
    EXPECT_FALSE(db.openDefault(&error));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("dat/qvrDemo.db"))).isDir());
}

TEST_F(DbhouseTest, EveryCatalogueStatementRunsOnTheSchema)
{
    Tdbhouse db;
    ASSERT_TRUE(db.openDefault());
    const QVariant t = QTime(8, 0);
    struct Case
    {
        QString sql;
        std::vector<std::pair<const char *, QVariant>> params;
    };
    auto s = [](const char *n, const QVariant &v) { return std::pair<const char *, QVariant>(n, v); };
    const QString text = QStringLiteral("x");
    const std::vector<Case> selects = {
        {Sql::selectTimetableForEditor, {s("sjmc", text)}},
        {Sql::selectTimetableNames, {}},
        {Sql::selectTimetableByStart, {s("sjmc", text)}},
        {Sql::selectTimetableImportSource, {s("sjmc", text)}},
        {Sql::selectTodayByName, {s("sjmc", text)}},
        {Sql::selectTodayAll, {}},
        {Sql::selectTodayForDispatch, {s("sjmc", text)}},
        {Sql::selectTodayEntry, {s("iid", 1)}},
        {Sql::countTodayByState, {s("over", QStringLiteral("N"))}},
        {Sql::selectTodayEntryManual, {s("iid", 1)}},
        {Sql::selectScratchDurations, {}},
        {Sql::selectScratch, {}},
        {Sql::selectSavedListNames, {}},
        {Sql::selectSavedListForEdit, {s("lbmc", text)}},
        {Sql::selectSavedListSongNames, {s("lbmc", text)}},
        {Sql::selectSavedList, {s("lbmc", text)}},
        {Sql::selectSavedListForPlay, {s("lbmc", text)}},
        {Sql::selectBroadcasts, {}},
        {Sql::selectHolidays, {}},
        {Sql::selectHolidaysById, {}},
        {Sql::selectWeekly, {}},
        {Sql::selectWeeklyForEditor, {}},
    };
    const std::vector<Case> changes = {
        {Sql::insertEntryLine1 + QLatin1Char('\n') + Sql::insertEntryLine2,
         {s("sjmc", text), s("jmmc", text), s("kssj", t), s("jssj", t), s("wjpath", text), s("bfsc", text),
          s("yldx", 80.0), s("bffs", text), s("bfzt", text), s("wjbz", text)}},
        {Sql::insertTodayLine1 + QLatin1Char('\n') + Sql::insertTodayLine2,
         {s("sjmc", text), s("jmmc", text), s("kssj", t), s("jssj", t), s("wjpath", text), s("bfsc", text),
          s("yldx", 80.0), s("bffs", text), s("bfzt", text), s("wjbz", text), s("over", QStringLiteral("N")),
          s("ixh", 1)}},
        {Sql::markTodayEntry, {s("over", QStringLiteral("Y")), s("iid", 1)}},
        {Sql::markTodayBefore, {s("over", QStringLiteral("Y")), s("bfzt", text), s("t0", t)}},
        {Sql::markTodayEntryPlayed, {s("over", QStringLiteral("Y")), s("bfzt", text), s("iid", 1)}},
        {Sql::insertScratchSong, {s("wjpath", text), s("wjmc", text), s("zsc", t)}},
        {Sql::deleteScratchSong, {s("iid", 1)}},
        {Sql::deleteScratch, {}},
        {Sql::insertSavedSong, {s("wjpath", text), s("wjmc", text), s("lbmc", text), s("zsc", t)}},
        {Sql::insertScratchFromSaved, {s("wjpath", text), s("wjmc", text), s("lbmc", text), s("zsc", t)}},
        {Sql::deleteSavedListForSave, {s("lbmc", text)}},
        {Sql::deleteSavedList, {s("lbmc", text)}},
        {Sql::deleteAllSavedLists, {}},
        {Sql::insertBroadcast, {s("bt", text), s("strwz", text)}},
        {Sql::deleteBroadcast, {s("iid", 1)}},
        {Sql::insertHoliday, {s("rq", QDate(2024, 3, 14))}},
        {Sql::deleteHoliday, {s("iid", 1)}},
        {Sql::updateWeekly,
         {s("xq1", text), s("xq2", text), s("xq3", text), s("xq4", text), s("xq5", text), s("xq6", text),
          s("xq7", text)}},
        {Sql::deleteTimetable, {s("sjmc", text)}},
        {Sql::deleteEntry, {s("iid", 1)}},
        {Sql::deleteEntryByName, {s("sjmc", text), s("jmmc", text)}},
        {Sql::deleteEntryFromEditor, {s("iid", 1)}},
        {Sql::deleteToday, {}},
    };
    for (const Case &c : changes) {
        db.qup->close();
        db.qup->setSql(c.sql);
        for (const auto &p : c.params)
            db.qup->setParam(QString::fromLatin1(p.first), p.second);
        EXPECT_NO_THROW(db.qup->execSql()) << qPrintable(c.sql);
    }
    for (const Case &c : selects) {
        db.qcx->close();
        db.qcx->setSql(c.sql);
        for (const auto &p : c.params)
            db.qcx->setParam(QString::fromLatin1(p.first), p.second);
        EXPECT_NO_THROW(db.qcx->open()) << qPrintable(c.sql);
        EXPECT_TRUE(db.qcx->isActive()) << qPrintable(c.sql);
    }
    // The waiting count is read from its named column.
    db.qgjcx->setSql(Sql::countTodayByState);
    db.qgjcx->setParam(QStringLiteral("over"), QStringLiteral("N"));
    db.qgjcx->open();
    EXPECT_EQ(db.qgjcx->field(QStringLiteral("expr1001")).toInt(), 0);
}

TEST_F(DbhouseTest, QueryObjectsStoreTextFormsAndWalkTheirRows)
{
    Tdbhouse db;
    ASSERT_TRUE(db.openDefault());
    TQuery *in = db.qin;
    in->setSql(Sql::insertTodayLine1, Sql::insertTodayLine2);
    const struct
    {
        const char *name;
        QTime start;
    } rows[] = {{"c", QTime(14, 0, 5, 700)}, {"a", QTime(7, 30)}, {"b", QTime(9, 0)}};
    for (const auto &r : rows) {
        in->setParam(QStringLiteral("sjmc"), QStringLiteral("T"));
        in->setParam(QStringLiteral("jmmc"), QString::fromLatin1(r.name));
        in->setParam(QStringLiteral("kssj"), r.start);
        in->setParam(QStringLiteral("jssj"), r.start.addSecs(60));
        in->setParam(QStringLiteral("yldx"), 50.5);
        in->setParam(QStringLiteral("over"), QStringLiteral("N"));
        in->setParam(QStringLiteral("ixh"), 1);
        EXPECT_EQ(in->execSql(), 1);
    }
    TQuery *q = db.qjrjm;
    q->setSql(Sql::selectTodayByName);
    q->setParam(QStringLiteral("sjmc"), QStringLiteral("T"));
    q->open();
    ASSERT_EQ(q->recordCount(), 3);
    ASSERT_EQ(q->rowCount(), 3);
    QStringList seen;
    for (q->first(); !q->eof(); q->next())
        seen.append(q->fieldText(QStringLiteral("jmmc")) + QLatin1Char(' ') + q->fieldText(QStringLiteral("kssj")));
    EXPECT_EQ(seen,
              (QStringList{QStringLiteral("a 07:30:00"), QStringLiteral("b 09:00:00"), QStringLiteral("c 14:00:05")}));
    EXPECT_DOUBLE_EQ(q->value(0, QStringLiteral("yldx")).toDouble(), 50.5);
    EXPECT_TRUE(q->value(0, QStringLiteral("wjpath")).isNull()) << "an unset parameter stores NULL";
    EXPECT_THROW(q->field(QStringLiteral("jmmc")), DbError) << "past the last row";
    q->first();
    EXPECT_THROW(q->field(QStringLiteral("nosuch")), DbError);

    q->close();
    EXPECT_FALSE(q->isActive());
    EXPECT_EQ(q->rowCount(), 0);

    q->setSql(QStringLiteral("select * from no_such_table"));
    EXPECT_THROW(q->open(), DbError);
    EXPECT_FALSE(q->isActive());
}

TEST_F(DbhouseTest, TransactionsCommitOrRollBackAsAWhole)
{
    Tdbhouse db;
    ASSERT_TRUE(db.openDefault());
    auto insert = [&](const char *name) {
        db.qin->setSql(Sql::insertHoliday);
        db.qin->setParam(QStringLiteral("rq"), QString::fromLatin1(name));
        db.qin->execSql();
    };
    auto count = [&] {
        db.qdc->setSql(Sql::selectHolidays);
        db.qdc->open();
        return db.qdc->recordCount();
    };
    db.inTransaction([&] { insert("2024-01-01"); });
    EXPECT_EQ(count(), 1);
    EXPECT_THROW(db.inTransaction([&] {
        insert("2024-01-02");
        db.qup->setSql(QStringLiteral("delete from no_such_table"));
        db.qup->execSql();
    }),
                 DbError);
    EXPECT_EQ(count(), 1);
    // The connection is usable after the rollback.
    db.inTransaction([&] { insert("2024-01-03"); });
    EXPECT_EQ(count(), 2);
}

} // namespace
