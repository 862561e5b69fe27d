#include "app/main_window_as_run.h"

#include "app/main_window.h"
#include "core/clock.h"
#include "core/logging.h"
#include "core/settings.h"
#include "db/as_run_log.h"
#include "db/dbhouse.h"
#include "scheduler/main_player_adapter.h"
#include "scheduler/sleep_watch.h"
#include "scheduler/tomorrow_check.h"
#include "windows/as_run_log_window.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QVBoxLayout>

#include <exception>
#include <memory>

namespace {

// Tomorrow's check over the program's database, its problems written to the log.
void runTomorrowCheck(FolderScanner &scanner)
{
    if (!dbhouse().isOpen())
        return;
    const QDateTime now = appClock().now();
    try {
        CheckProbes probes;
        probes.scanner = &scanner;
        const DayCheck check = checkDay(dbhouse(), now.date().addDays(1), probes);
        logDayCheck(asRunLog(), check, now);
        qCInfo(lcScheduler).noquote() << QStringLiteral("tomorrow's check: %1 programmes, %2 problems, %3 ms")
                                             .arg(check.programmes)
                                             .arg(check.problems.size())
                                             .arg(check.elapsedMs);
    } catch (const std::exception &e) {
        qCWarning(lcScheduler).noquote()
            << QStringLiteral("tomorrow's check failed: %1").arg(QString::fromUtf8(e.what()));
    }
}

} // namespace

AsRunLogWindow *installAsRunLog(TForm1 &main)
{
    // The line under the header: the last problem of today, in red.
    auto *line = new QLabel(main.TabSheet1);
    line->setObjectName(QStringLiteral("lbfrz"));
    line->setAccessibleName(QStringLiteral("最近的播放问题"));
    line->setStyleSheet(QStringLiteral("color: #c00000;"));
    line->hide();
    if (auto *layout = qobject_cast<QVBoxLayout *>(main.TabSheet1->layout()))
        layout->insertWidget(1, line);

    auto scanner = std::make_shared<MediaFolderScanner>();
    AsRunLogWindow::Context context;
    context.log = &asRunLog();
    context.today = [] { return appClock().now().date(); };
    context.runTomorrowCheck = [scanner] { runTomorrowCheck(*scanner); };
    auto *window = new AsRunLogWindow(context, &main);

    auto *fromGrid = new QAction(QStringLiteral("播放记录"), &main);
    fromGrid->setObjectName(QStringLiteral("NAsRunLog1"));
    // After the overrides, before hiding and leaving.
    main.PopupMenu1->insertAction(main.N13, fromGrid);
    auto *fromTray = new QAction(QStringLiteral("播放记录"), &main);
    fromTray->setObjectName(QStringLiteral("NAsRunLog2"));
    main.PopupMenu2->insertAction(main.N7, fromTray);
    QObject::connect(fromGrid, &QAction::triggered, window, &AsRunLogWindow::open);
    QObject::connect(fromTray, &QAction::triggered, window, &AsRunLogWindow::open);

    auto missed = std::make_shared<int>(0);
    QObject::connect(window, &AsRunLogWindow::opened, line, [line, missed] {
        *missed = 0;
        line->hide();
    });
    QObject::connect(&asRunLog(), &AsRunLog::problemWritten, line, [line, missed](const AsRunRecord &r) {
        if (r.at.date() != appClock().now().date())
            return;
        QString text;
        if (r.event == AsRunEvent::missed) {
            *missed += 1;
            text = QStringLiteral("已错过%1个节目，最近一个：%2 %3（%4）").arg(*missed).arg(r.kssj, r.jmmc, r.reason);
        } else {
            text = QStringLiteral("%1 %2 %3：%4")
                       .arg(r.at.time().toString(QStringLiteral("H:mm:ss")), r.jmmc.isEmpty() ? r.event : r.jmmc,
                            r.event, r.reason);
        }
        line->setText(text + QStringLiteral("（右键菜单“播放记录”查看详情）"));
        line->show();
    });

    main.DBGrid4->setItemDelegate(new FailedRowDelegate(main.DBGrid4));

    auto *evening = new EveningCheck([] { return appClock().now(); }, [] { return appSettings().strchecktime; },
                                     [scanner] { runTomorrowCheck(*scanner); }, &main);
    evening->timer().start();
    new SleepWatch(&main);
    return window;
}
