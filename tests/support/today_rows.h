#pragma once
// Seeds and reads the program's database in tests, through the statements of
// db/sql_catalogue.h on the data module's query objects: a test states rows, never SQL.
// Each opens the program folder's database first when it is not open.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <utility>

// Gives the current scope a fresh temporary program folder (CHIMECAST_HOME) with a clean
// data module and settings object; the folder and the module go with it.
class FreshProgramFolder
{
public:
    FreshProgramFolder();
    ~FreshProgramFolder();
    FreshProgramFolder(const FreshProgramFolder &) = delete;
    FreshProgramFolder &operator=(const FreshProgramFolder &) = delete;

    QString path() const { return dir_->path(); }
    QString filePath(const QString &relative) const { return dir_->filePath(relative); }
    bool isValid() const { return dir_->isValid(); }

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

// Opens the program folder's database (created from the schema), failing the test when it
// cannot be opened. Does nothing when it is open already.
void openProgramDatabase();

// One row of today's working table b_sjbjr.
struct TodayRow
{
    QString sjmc;
    QString jmmc;
    QString kssj;
    QString jssj;
    QString wjbz = QStringLiteral("1");
    QString wjpath;
    QString bffs = QStringLiteral("顺序播放");
    double yldx = 100;
    QString over = QStringLiteral("N");
    QString bfzt = QStringLiteral("未播放");
    int ixh = 0;
};

// Inserts a row into today's table; returns its iid.
int insertTodayRow(const TodayRow &row);
// Empties today's table.
void clearToday();
// over and bfzt of one row of today's table; empty texts when the row does not exist.
std::pair<QString, QString> todayRowState(int iid);
// Appends one song to a saved song list.
void insertSavedSong(const QString &lbmc, const QString &path);
// Sets the weekly assignment: the timetable of each weekday, Monday first.
void setWeeklyTimetables(const QStringList &monToSun);

// One entry of a named timetable b_sjb.
struct TimetableRow
{
    QString sjmc;
    QString jmmc;
    QString kssj;
    QString jssj;
    QString wjpath;
    QString bfsc = QStringLiteral("00:01:00");
    double yldx = 100;
    QString bffs = QStringLiteral("顺序播放");
    QString bfzt = QStringLiteral("未播放");
    QString wjbz = QStringLiteral("1");
};

// Inserts an entry into the named timetables.
void insertTimetableRow(const TimetableRow &row);

// "ixh jmmc over" of every row of today's table, by start time.
QStringList todayRowsByStart();
// Adds a holiday (rq as stored: 'YYYY-MM-DD' or with a time) / removes every holiday.
void insertHoliday(const QString &rq);
void clearHolidays();
