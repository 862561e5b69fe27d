// Start-up and resolution figures of the program spine, printed as plain text:
//  - main window construction + first show (database open, header, day change, grid)
//    with 1000 programmes in the database, on the same day and on a new day;
//  - resolution of a 500-entry timetable into the working table.
// Runs on the offscreen platform in a temporary program folder.

#include "core/clock.h"
#include "app/main_window.h"
#include "core/message_box.h"
#include "core/settings.h"
#include "db/dbhouse.h"
#include "scheduler/timetable_resolution.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

class SilentBoxes : public MessageBoxHook
{
public:
    void information(const QString &text) override { std::fprintf(stderr, "box: %s\n", qPrintable(text)); }
    bool askYesNo(const QString &, const QString &) override { return true; }
};

// Fills b_sjb with `total` programmes spread over timetables of `perTimetable` entries;
// Thursday's timetable is "T0".
void seed(int total, int perTimetable)
{
    Tdbhouse &db = dbhouse();
    QString error;
    if (!db.openDefault(&error)) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(error));
        std::exit(1);
    }
    {
        QSqlDatabase c = QSqlDatabase::database(db.connectionName());
        c.transaction();
        QSqlQuery q(c);
        q.exec(QStringLiteral("delete from b_sjb"));
        q.exec(QStringLiteral("delete from b_sjbjr"));
        q.exec(QStringLiteral("update x_sjbsz set xq4='T0'"));
        q.prepare(QStringLiteral("insert into b_sjb(sjmc,jmmc,kssj,jssj,wjpath,bfsc,yldx,bffs,bfzt,wjbz) "
                                 "values(?,?,?,?,'/music/bell.mp3','00:01:00',80,'顺序播放','未播放','1')"));
        for (int i = 0; i < total; ++i) {
            const int slot = (i % perTimetable) * 86000 / perTimetable;
            q.addBindValue(QStringLiteral("T%1").arg(i / perTimetable));
            q.addBindValue(QStringLiteral("programme %1").arg(i));
            q.addBindValue(QTime(0, 0).addSecs(slot).toString(QStringLiteral("HH:mm:ss")));
            q.addBindValue(QTime(0, 0).addSecs(slot + 60).toString(QStringLiteral("HH:mm:ss")));
            q.exec();
        }
        c.commit();
    }
    db.close();
}

// CPU time of the process in ms: on a shared machine it shows the work done, which the
// wall-clock figure mixes with waiting for the processor.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

struct Sample
{
    double wall;
    double cpu;
};

void report(const char *what, const std::vector<Sample> &samples)
{
    std::vector<double> wall, cpu;
    for (const Sample &s : samples) {
        wall.push_back(s.wall);
        cpu.push_back(s.cpu);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%s: wall median %.1f ms (min %.1f), cpu median %.1f ms (min %.1f), %zu runs\n", what,
                wall[wall.size() / 2], wall.front(), cpu[cpu.size() / 2], cpu.front(), samples.size());
}

Sample startUp(const QTemporaryDir &home, bool newDay)
{
    destroyAppSettings();
    destroyDbhouse();
    QFile::remove(home.filePath(QStringLiteral("chimecast.ini")));
    if (newDay) {
        QFile ini(home.filePath(QStringLiteral("chimecast.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write("[Judge]\nstrrqr=2024-03-13\n");
    }
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuMs();
    appSettings();
    auto *form = new TForm1;
    form->show();
    QApplication::processEvents();
    const Sample s{static_cast<double>(t.nsecsElapsed()) / 1e6, cpuMs() - cpu0};
    delete form;
    return s;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("chimecast"));
    QTemporaryDir home;
    qputenv("CHIMECAST_HOME", home.path().toUtf8());
    FixedClock clock(QDateTime(QDate(2024, 3, 14), QTime(12, 0)));
    setAppClock(&clock);
    SilentBoxes boxes;
    MessageBox::setHook(&boxes);
    const int runs = 9;

    struct Scenario
    {
        const char *name;
        int perTimetable;
        bool newDay;
    };
    const Scenario scenarios[] = {
        {"same day, today's timetable 100 of 1000", 100, false},
        {"new day, resolves today's 100 of 1000", 100, true},
        {"new day, resolves all 1000 in today's timetable", 1000, true},
    };
    for (const Scenario &s : scenarios) {
        seed(1000, s.perTimetable);
        std::vector<Sample> samples;
        for (int i = 0; i < runs; ++i)
            samples.push_back(startUp(home, s.newDay));
        report(qPrintable(QStringLiteral("start-up to shown main window (%1)").arg(QString::fromUtf8(s.name))),
               samples);
    }

    destroyDbhouse();
    seed(500, 500);
    dbhouse().openDefault();
    std::vector<Sample> samples;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const double cpu0 = cpuMs();
        const ResolutionResult r = resolveTimetable(dbhouse(), clock.now());
        samples.push_back({static_cast<double>(t.nsecsElapsed()) / 1e6, cpuMs() - cpu0});
        if (r.copied != 500) {
            std::fprintf(stderr, "copied %d rows, expected 500\n", r.copied);
            return 1;
        }
    }
    report("resolution of a 500-entry timetable", samples);

    destroyDbhouse();
    destroyAppSettings();
    MessageBox::setHook(nullptr);
    setAppClock(nullptr);
    return 0;
}
