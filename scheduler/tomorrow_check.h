#pragma once

// Tomorrow's check: resolves the timetable of a day into memory, as the day's resolution
// would (weekday assignment, holidays, "无"), and checks every programme before its day
// comes: the file exists and its length reads silently, the folder has playable files,
// the song list exists and its songs exist, the network address answers a short bounded
// connect, no two windows overlap, and the sound output opens. Nothing is played and
// nothing of the database is changed; the caller writes the problems to the as-run log.
//
// EveningCheck runs it for tomorrow once a day at the time set in the settings file.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class AsRunLog;
class FolderScanner;
class Tdbhouse;

struct CheckProblem
{
    QString jmmc; // programme; empty for a problem of the whole day (the sound output)
    QString kssj; // its start time
    QString reason;
};

struct DayCheck
{
    QDate date;
    QString weekday;
    QString timetable; // the timetable of the day, "无" or empty when none
    bool holiday = false;
    int programmes = 0;
    QList<CheckProblem> problems;
    qint64 elapsedMs = 0; // how long the check took

    bool ok() const { return problems.isEmpty(); }
};

struct CheckProbes
{
    FolderScanner *scanner = nullptr; // the main player's folder scan; required
    // Why a media file cannot be played ("" when it can); default: it exists and its
    // length reads silently.
    std::function<QString(const QString &path)> fileProblem;
    // Why a network address does not answer ("" when it does); default: a TCP connect
    // to its host and port bounded by connectTimeoutMs.
    std::function<QString(const QString &url)> streamProblem;
    // Why the sound output does not open ("" when it does); default: the GStreamer sink
    // the stream player uses is brought to READY and back.
    std::function<QString()> outputProblem;
    int connectTimeoutMs = 1500;
};

// Checks the programmes of `date`. Throws DbError when the database cannot be read.
DayCheck checkDay(Tdbhouse &db, const QDate &date, const CheckProbes &probes);

// The check as lines for a terminal: a heading, then one line per problem or "全部正常".
QString checkReportText(const DayCheck &check);

// Writes the problems of a check to the as-run log (one row each, event "明日检查"), or
// one row saying all is well.
void logDayCheck(AsRunLog &log, const DayCheck &check, const QDateTime &at);

// The default probes (a TCP connect, the silent length, the sound sink).
QString streamAnswerProblem(const QString &url, int timeoutMs);
QString mediaFileProblem(const QString &path);
QString soundOutputProblem();

// Runs tomorrow's check once a day at the set time ("H:mm:ss"), while the program runs:
// the first look at or after the time on a day it has not run yet. A tick every 30 s.
class EveningCheck : public QObject
{
    Q_OBJECT
public:
    EveningCheck(std::function<QDateTime()> now, std::function<QString()> checkTime, std::function<void()> run,
                 QObject *parent = nullptr);

    // One look at the clock (the timer's tick; tests call it directly).
    void tick();
    QTimer &timer() { return timer_; }

private:
    std::function<QDateTime()> now_;
    std::function<QString()> checkTime_;
    std::function<void()> run_;
    QDate lastRun_;
    QString reportedBadTime_;
    QTimer timer_;
};
