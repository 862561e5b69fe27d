#include "dispatcher_fixture.h"

#include "scheduler/dispatch_rules.h"

#include <algorithm>
#include <iostream>
#include <map>

// A whole day of 40 programmes of every kind, with short, overlapping and cross-midnight
// entries among them, run in simulated time with the timers' real intervals and an
// arbitrary phase against the second; idle time between programmes is skipped. Reports how late each programme started
// and how far after its stop time it was stopped.
TEST_F(DispatcherFixture, FortyProgrammeDayPlaysOrMarksEveryEntry)
{
    const QString a = t.file(QStringLiteral("day/a.mp3"));
    t.file(QStringLiteral("day/folder/b.wav"));
    t.file(QStringLiteral("day/folder/c.mid"));
    t.addSong(QStringLiteral("课间"), a);

    struct Planned
    {
        int iid;
        int start;
        int end;
        bool startable;
    };
    std::vector<Planned> plan;
    const QStringList kinds = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")};
    for (int i = 0; i < 40; ++i) {
        const int start = 6 * 3600 + i * 24 * 60;
        int length = 2 * 60 + (i % 5) * 60;
        if (i % 10 == 3)
            length = 4; // too short to start
        if (i % 10 == 7)
            length = 26 * 60; // runs into the next entry
        int end = start + length;
        if (i == 39)
            end = 1 * 3600; // crosses midnight: never starts
        const QString kind = kinds.at(i % 4);
        QString path = a;
        if (kind == QStringLiteral("2"))
            path = QStringLiteral("课间");
        else if (kind == QStringLiteral("3"))
            path = t.dir.filePath(QStringLiteral("day/folder"));
        else if (kind == QStringLiteral("4"))
            path = QStringLiteral("http://127.0.0.1:8000/live");
        const int iid = t.add({QStringLiteral("节目%1").arg(i), dispatch::timeText(start), dispatch::timeText(end),
                               kind, path, QStringLiteral("顺序循环"), double(i % 3 * 50)});
        plan.push_back({iid, start, end, length > 4 && i != 39});
    }
    t.openGrid();

    std::map<int, QDateTime> started;
    std::map<int, QDateTime> ended;
    QObject::connect(dispatcher.get(), &Dispatcher::programmeStarted, [&](int iid) { started[iid] = clock; });
    QObject::connect(dispatcher.get(), &Dispatcher::programmeEnded, [&](int iid) { ended[iid] = clock; });

    // Idle stretches between programmes are skipped; every start and stop is run tick by tick.
    setTime(5, 59, 0, 137);
    for (const Planned &p : plan) {
        skipIdleUntil(QTime(0, 0).addSecs(p.start - 3));
        runUntil(QTime(0, 0).addSecs(p.start + 5));
        do { // through the programme, and any that was due meanwhile
            while (tjs.isActive() && clock.time() < QTime(23, 0))
                runUntil(clock.time().addMSecs(500));
            runUntil(clock.time().addSecs(2));
        } while (tjs.isActive());
    }
    skipIdleUntil(QTime(23, 29, 50));
    runUntil(QTime(23, 30, 0));

    std::vector<qint64> startDelays;
    std::vector<qint64> stopErrors;
    int previousEnd = 0;
    for (const Planned &p : plan) {
        const auto [over, bfzt] = t.state(p.iid);
        EXPECT_EQ(over, QStringLiteral("Y")) << p.iid;
        if (!p.startable) {
            EXPECT_EQ(started.count(p.iid), 0u) << p.iid;
            continue;
        }
        ASSERT_EQ(started.count(p.iid), 1u) << p.iid;
        ASSERT_EQ(ended.count(p.iid), 1u) << p.iid;
        EXPECT_EQ(bfzt, QStringLiteral("已播放"));
        // Due at its start, or at the end of the programme it overlaps.
        const int dueAt = std::max(p.start, previousEnd);
        const QDateTime due(day, QTime(0, 0).addSecs(dueAt), Qt::UTC);
        const QDateTime stop(day, QTime(0, 0).addSecs(p.end - dispatch::kStopLeadSeconds), Qt::UTC);
        startDelays.push_back(due.msecsTo(started[p.iid]));
        stopErrors.push_back(stop.msecsTo(ended[p.iid]));
        previousEnd = p.end - dispatch::kStopLeadSeconds;
    }
    ASSERT_GE(startDelays.size(), 20u);
    for (qint64 d : startDelays) {
        EXPECT_GE(d, 0);
        EXPECT_LE(d, 1500); // one dispatcher interval at most
    }
    for (qint64 e : stopErrors) {
        EXPECT_GE(e, 0);
        EXPECT_LT(e, 500); // within the end watcher's interval, never before the stop time
    }
    auto summary = [](const std::vector<qint64> &v) {
        qint64 sum = 0;
        for (qint64 x : v)
            sum += x;
        return QStringLiteral("mean %1 ms, max %2 ms over %3 programmes")
            .arg(sum / qint64(v.size()))
            .arg(*std::max_element(v.begin(), v.end()))
            .arg(v.size());
    };
    std::cout << "start delay (simulated): " << summary(startDelays).toStdString() << "\n"
              << "stop error (simulated): " << summary(stopErrors).toStdString() << std::endl;
}
