#include "scheduler/terminal_modes.h"

#include "core/clock.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "db/as_run_log.h"
#include "db/dbhouse.h"
#include "scheduler/main_player_adapter.h"
#include "scheduler/shared_timetable.h"
#include "scheduler/tomorrow_check.h"

#include <QDate>

#include <exception>

namespace {

const QString usage = QStringLiteral("用法：chimecast --check [yyyy-MM-dd] | --log [yyyy-MM-dd]\n");

} // namespace

bool isTerminalMode(const QStringList &args)
{
    return !args.isEmpty() && (args.first() == QStringLiteral("--check") || args.first() == QStringLiteral("--log"));
}

int runTerminalMode(const QStringList &args, QString &out, QString &err)
{
    if (!isTerminalMode(args) || args.size() > 2) {
        err += usage;
        return kTerminalUsageOrDatabaseError;
    }
    const bool check = args.first() == QStringLiteral("--check");
    const QDate today = appClock().now().date();
    QDate date = check ? today.addDays(1) : today;
    if (args.size() == 2) {
        date = QDate::fromString(args.at(1), QStringLiteral("yyyy-MM-dd"));
        if (!date.isValid()) {
            err += QStringLiteral("日期“%1”无效！\n").arg(args.at(1)) + usage;
            return kTerminalUsageOrDatabaseError;
        }
    }

    Tdbhouse db;
    QString why;
    if (!db.openReadOnly(programPath(QStringLiteral("dat/qvrDemo.db")), &why)) {
        err += QStringLiteral("数据库无法打开：%1\n").arg(why);
        return kTerminalUsageOrDatabaseError;
    }
    try {
        if (check) {
            // Which database this player uses and how old its copy of the shared tables is
            // (the server itself is not asked: the check reads what the player would resolve).
            db.attachServer(serverFromSettings(appSettings()));
            out += QStringLiteral("数据库：%1\n").arg(databaseDescription(db));
            const QString mirror = mirrorDescription(db, appClock().now());
            if (!mirror.isEmpty())
                out += mirror + QLatin1Char('\n');
            MediaFolderScanner scanner;
            CheckProbes probes;
            probes.scanner = &scanner;
            const DayCheck result = checkDay(db, date, probes);
            out += checkReportText(result);
            return result.ok() ? kCheckAllWell : kCheckFoundProblems;
        }
        if (db.schemaVersion() < 2) {
            out += AsRunLog::csv({}); // the log is made by the program's first start
            return 0;
        }
        AsRunLog log(&db);
        out += AsRunLog::csv(log.day(date));
        return 0;
    } catch (const std::exception &e) {
        err += QStringLiteral("数据库无法读取：%1\n").arg(QString::fromUtf8(e.what()));
        return kTerminalUsageOrDatabaseError;
    }
}
