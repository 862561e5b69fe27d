// Figures of the shared timetable database, printed as plain text:
//  - a resolution of a 500-programme timetable with the server reachable (copy of the
//    shared tables into the mirror, then the resolution from it);
//  - the same from the mirror with the server unreachable;
//  - the same on the local file alone (no server), for comparison;
//  - the minute retry's probe (on its own thread) against a running server and against a
//    port nobody listens on, and the reconnect it then does on the clock's thread.
// Usage: shared_db_bench HOST PORT DATABASE USER PASSWORD-FILE. The server's shared tables
// are replaced: use a database made for the purpose.

#include "db/dbhouse.h"
#include "db/shared_server.h"
#include "db/sql_catalogue.h"
#include "scheduler/shared_timetable.h"
#include "scheduler/timetable_resolution.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kProgrammes = 500;
constexpr int kRuns = 15;

void seed(Tdbhouse &db)
{
    db.inTransaction([&] {
        db.qup->close();
        db.qup->setSql(Sql::deleteTimetable);
        db.qup->setParam(QStringLiteral("sjmc"), QStringLiteral("T0"));
        db.qup->execSql();
        TQuery *in = db.qin;
        in->close();
        in->setSql(Sql::insertEntryLine1, Sql::insertEntryLine2);
        for (int i = 0; i < kProgrammes; ++i) {
            const QTime start = QTime(6, 0).addSecs(i * 120);
            in->setParam(QStringLiteral("sjmc"), QStringLiteral("T0"));
            in->setParam(QStringLiteral("jmmc"), QStringLiteral("节目%1").arg(i));
            in->setParam(QStringLiteral("kssj"), start);
            in->setParam(QStringLiteral("jssj"), start.addSecs(60));
            in->setParam(QStringLiteral("wjpath"), QStringLiteral("/bells/bell%1.wav").arg(i));
            in->setParam(QStringLiteral("bfsc"), QStringLiteral("00:01:00"));
            in->setParam(QStringLiteral("yldx"), 80.0);
            in->setParam(QStringLiteral("bffs"), QStringLiteral("顺序播放"));
            in->setParam(QStringLiteral("bfzt"), QStringLiteral("未播放"));
            in->setParam(QStringLiteral("wjbz"), QStringLiteral("1"));
            in->execSql();
        }
        db.qup->close();
        db.qup->setSql(Sql::updateWeekly);
        for (int d = 1; d <= 7; ++d)
            db.qup->setParam(QStringLiteral("xq%1").arg(d), QStringLiteral("T0"));
        db.qup->execSql();
    });
}

struct Figures
{
    double median = 0;
    double worst = 0;
};

template <typename Fn> Figures measure(Fn &&fn)
{
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        fn();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

void print(const char *what, const Figures &f)
{
    std::printf("%-58s median %8.1f ms   worst %8.1f ms\n", what, f.median, f.worst);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6) {
        std::fprintf(stderr, "usage: shared_db_bench HOST PORT DATABASE USER PASSWORD-FILE\n");
        return 2;
    }
    ServerConfig config;
    config.host = args[1];
    config.port = args[2].toInt();
    config.database = args[3];
    config.user = args[4];
    config.passwordFile = args[5];

    QTemporaryDir dir;
    Tdbhouse db;
    QString why;
    if (!db.open(dir.filePath(QStringLiteral("dat/qvrDemo.db")), &why)) {
        std::fprintf(stderr, "local database: %s\n", qPrintable(why));
        return 1;
    }
    db.attachServer(std::make_unique<SharedServer>(config));
    if (!db.server()->connect(&why)) {
        std::fprintf(stderr, "server: %s\n", qPrintable(why));
        return 1;
    }
    seed(db);
    const QDateTime now(QDate(2024, 3, 14), QTime(12, 0));
    std::printf("%d programmes, %d runs each\n", kProgrammes, kRuns);

    int copied = 0;
    print("resolution with the server (copy into mirror + resolve)", measure([&] {
              if (refreshSharedTables(db, now).kind != TimetableSource::Kind::server)
                  std::fprintf(stderr, "server not used\n");
              copied = resolveTimetable(db, now).copied;
          }));
    print("  of which the copy into the mirror", measure([&] { db.server()->copyInto(db, now); }));
    std::printf("  rows resolved: %d\n", copied);

    db.server()->markDown(QStringLiteral("benchmark: server taken away"));
    print("resolution from the mirror (server unreachable)", measure([&] {
              if (refreshSharedTables(db, now).kind != TimetableSource::Kind::mirror)
                  std::fprintf(stderr, "mirror not used\n");
              copied = resolveTimetable(db, now).copied;
          }));
    std::printf("  rows resolved: %d\n", copied);

    db.attachServer(nullptr);
    print("resolution on the local file alone (no server)", measure([&] { resolveTimetable(db, now); }));

    print("retry probe, server running (probe thread)", measure([&] { SharedServer::probe(config); }));
    ServerConfig closed = config;
    {
        QTcpServer free;
        free.listen(QHostAddress::LocalHost, 0);
        closed.port = free.serverPort();
    }
    print("retry probe, nobody listening (probe thread)", measure([&] { SharedServer::probe(closed); }));
    SharedServer again(config);
    print("reconnect after an answered probe (clock's thread)", measure([&] { again.connect(); }));
    return 0;
}
