#include "support/today_rows.h"

#include "core/settings.h"
#include "db/dbhouse.h"
#include "db/sql_catalogue.h"
#include "support/program_test.h"

#include <gtest/gtest.h>

#include <algorithm>

FreshProgramFolder::FreshProgramFolder()
    : dir_(std::make_unique<QTemporaryDir>())
{
    ensureTestApplication();
    qputenv("CHIMECAST_HOME", dir_->path().toUtf8());
    destroyDbhouse();
    destroyAppSettings();
}

FreshProgramFolder::~FreshProgramFolder()
{
    destroyDbhouse();
    destroyAppSettings();
    qunsetenv("CHIMECAST_HOME");
}

void openProgramDatabase()
{
    Tdbhouse &db = dbhouse();
    if (db.isOpen())
        return;
    QString error;
    ASSERT_TRUE(db.openDefault(&error)) << qPrintable(error);
}

int insertTodayRow(const TodayRow &row)
{
    openProgramDatabase();
    TQuery *q = dbhouse().qin;
    q->close();
    q->setSql(Sql::insertTodayLine1, Sql::insertTodayLine2);
    q->setParam(QStringLiteral("sjmc"), row.sjmc);
    q->setParam(QStringLiteral("jmmc"), row.jmmc);
    q->setParam(QStringLiteral("kssj"), row.kssj);
    q->setParam(QStringLiteral("jssj"), row.jssj);
    q->setParam(QStringLiteral("wjpath"), row.wjpath);
    q->setParam(QStringLiteral("bfsc"), QString());
    q->setParam(QStringLiteral("yldx"), row.yldx);
    q->setParam(QStringLiteral("bffs"), row.bffs);
    q->setParam(QStringLiteral("bfzt"), row.bfzt);
    q->setParam(QStringLiteral("wjbz"), row.wjbz);
    q->setParam(QStringLiteral("over"), row.over);
    q->setParam(QStringLiteral("ixh"), row.ixh);
    q->execSql();

    // The new row has the largest key of the table.
    TQuery *all = dbhouse().qls;
    all->close();
    all->setSql(Sql::selectTodayAll);
    all->open();
    int iid = 0;
    for (int r = 0; r < all->recordCount(); ++r)
        iid = std::max(iid, all->value(r, QStringLiteral("iid")).toInt());
    all->close();
    return iid;
}

void clearToday()
{
    openProgramDatabase();
    TQuery *q = dbhouse().qup;
    q->close();
    q->setSql(Sql::deleteToday);
    q->execSql();
}

std::pair<QString, QString> todayRowState(int iid)
{
    openProgramDatabase();
    TQuery *q = dbhouse().qls;
    q->close();
    q->setSql(Sql::selectTodayEntry);
    q->setParam(QStringLiteral("iid"), iid);
    q->open();
    std::pair<QString, QString> state;
    if (q->recordCount() > 0)
        state = {q->value(0, QStringLiteral("over")).toString(), q->value(0, QStringLiteral("bfzt")).toString()};
    q->close();
    return state;
}

void insertSavedSong(const QString &lbmc, const QString &path)
{
    openProgramDatabase();
    TQuery *q = dbhouse().qin;
    q->close();
    q->setSql(Sql::insertSavedSong);
    q->setParam(QStringLiteral("wjpath"), path);
    q->setParam(QStringLiteral("wjmc"), QString());
    q->setParam(QStringLiteral("lbmc"), lbmc);
    q->setParam(QStringLiteral("zsc"), QStringLiteral("00:03:00"));
    q->execSql();
}

void setWeeklyTimetables(const QStringList &monToSun)
{
    ASSERT_EQ(monToSun.size(), 7);
    openProgramDatabase();
    TQuery *q = dbhouse().qup;
    q->close();
    q->setSql(Sql::updateWeekly);
    for (int day = 0; day < 7; ++day)
        q->setParam(QStringLiteral("xq%1").arg(day + 1), monToSun.at(day));
    q->execSql();
}

void insertTimetableRow(const TimetableRow &row)
{
    openProgramDatabase();
    TQuery *q = dbhouse().qin;
    q->close();
    q->setSql(Sql::insertEntryLine1, Sql::insertEntryLine2);
    q->setParam(QStringLiteral("sjmc"), row.sjmc);
    q->setParam(QStringLiteral("jmmc"), row.jmmc);
    q->setParam(QStringLiteral("kssj"), row.kssj);
    q->setParam(QStringLiteral("jssj"), row.jssj);
    q->setParam(QStringLiteral("wjpath"), row.wjpath);
    q->setParam(QStringLiteral("bfsc"), row.bfsc);
    q->setParam(QStringLiteral("yldx"), row.yldx);
    q->setParam(QStringLiteral("bffs"), row.bffs);
    q->setParam(QStringLiteral("bfzt"), row.bfzt);
    q->setParam(QStringLiteral("wjbz"), row.wjbz);
    q->execSql();
}

QStringList todayRowsByStart()
{
    openProgramDatabase();
    TQuery *q = dbhouse().qls;
    q->close();
    q->setSql(Sql::selectTodayAll);
    q->open();
    QStringList rows;
    for (int r = 0; r < q->recordCount(); ++r)
        rows.append(QStringLiteral("%1 %2 %3")
                        .arg(q->value(r, QStringLiteral("ixh")).toString(),
                             q->value(r, QStringLiteral("jmmc")).toString(),
                             q->value(r, QStringLiteral("over")).toString()));
    q->close();
    return rows;
}

void insertHoliday(const QString &rq)
{
    openProgramDatabase();
    TQuery *q = dbhouse().qin;
    q->close();
    q->setSql(Sql::insertHoliday);
    q->setParam(QStringLiteral("rq"), rq);
    q->execSql();
}

void clearHolidays()
{
    openProgramDatabase();
    TQuery *list = dbhouse().qls;
    list->close();
    list->setSql(Sql::selectHolidaysById);
    list->open();
    QList<int> ids;
    for (int r = 0; r < list->recordCount(); ++r)
        ids.append(list->value(r, QStringLiteral("iid")).toInt());
    list->close();
    TQuery *q = dbhouse().qup;
    for (int iid : ids) {
        q->close();
        q->setSql(Sql::deleteHoliday);
        q->setParam(QStringLiteral("iid"), iid);
        q->execSql();
    }
}
