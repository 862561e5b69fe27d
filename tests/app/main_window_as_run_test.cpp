// The as-run log in the main window: the red line under the first tab's header, the
// "播放记录" window from the tray and grid menus, its filter, export and check button.

#include "app/main_window.h"
#include "app/main_window_as_run.h"
#include "db/as_run_log.h"
#include "db/dbhouse.h"
#include "support/program_test.h"
#include "support/today_rows.h"
#include "windows/as_run_log_window.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

namespace {

class MainWindowAsRunTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        openProgramDatabase();
        window = std::make_unique<TForm1>();
        log = installAsRunLog(*window);
        line = window->findChild<QLabel *>(QStringLiteral("lbfrz"));
    }
    void TearDown() override
    {
        window.reset();
        ProgramTest::TearDown();
    }

    void write(const QString &jmmc, const QString &event, const QString &reason, const QTime &at)
    {
        AsRunRecord r;
        r.at = QDateTime(clock.now().date(), at);
        r.sjmc = QStringLiteral("时间表1");
        r.jmmc = jmmc;
        r.kssj = at.toString(QStringLiteral("HH:mm:ss"));
        r.event = event;
        r.reason = reason;
        ASSERT_TRUE(asRunLog().write(r));
    }

    QAction *action(QMenu *menu)
    {
        for (QAction *a : menu->actions())
            if (a->text() == QStringLiteral("播放记录"))
                return a;
        return nullptr;
    }

    std::unique_ptr<TForm1> window;
    AsRunLogWindow *log = nullptr;
    QLabel *line = nullptr;
};

TEST_F(MainWindowAsRunTest, TheLastProblemShowsInRedUntilTheLogIsOpened)
{
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(line->isHidden());
    write(QStringLiteral("早铃"), AsRunEvent::started, QString(), QTime(8, 0));
    EXPECT_TRUE(line->isHidden()) << "a programme that played is no problem";
    write(QStringLiteral("早铃"), AsRunEvent::missed, AsRunReason::asleep, QTime(8, 0));
    write(QStringLiteral("午铃"), AsRunEvent::missed, AsRunReason::asleep, QTime(12, 0));
    EXPECT_FALSE(line->isHidden());
    EXPECT_TRUE(line->text().contains(QStringLiteral("已错过2个节目"))) << qPrintable(line->text());
    write(QStringLiteral("课间"), AsRunEvent::failed, AsRunReason::folderEmpty, QTime(13, 0));
    EXPECT_TRUE(line->text().contains(AsRunReason::folderEmpty)) << qPrintable(line->text());
    EXPECT_TRUE(line->styleSheet().contains(QStringLiteral("#c00000")));

    QAction *fromTray = action(window->PopupMenu2);
    ASSERT_NE(fromTray, nullptr);
    ASSERT_NE(action(window->PopupMenu1), nullptr);
    fromTray->trigger();
    EXPECT_TRUE(log->isVisible());
    EXPECT_TRUE(line->isHidden());
    EXPECT_EQ(log->logGrid->rowCount(), 4);
    EXPECT_EQ(log->logGrid->accessibleName(), QStringLiteral("播放记录"));
    log->problemsOnly->setChecked(true);
    EXPECT_EQ(log->logGrid->rowCount(), 3);
    EXPECT_EQ(log->logGrid->item(2, 2)->text(), QStringLiteral("课间"));
    EXPECT_EQ(log->logGrid->item(2, 7)->text(), AsRunReason::folderEmpty);
}

TEST_F(MainWindowAsRunTest, ExportWritesTheRowsShownAsCsv)
{
    write(QStringLiteral("早铃"), AsRunEvent::failed, AsRunReason::noSoundDevice, QTime(8, 0));
    QString asked;
    // A window of its own, whose save dialog answers with a path in the program folder.
    AsRunLogWindow::Context c;
    c.log = &asRunLog();
    c.today = [this] { return clock.now().date(); };
    c.chooseExportPath = [this, &asked](QWidget *, const QString &suggested) {
        asked = suggested;
        return path(QStringLiteral("out/log.csv"));
    };
    AsRunLogWindow w(c);
    w.open();
    w.exportButtonClick();
    EXPECT_TRUE(asked.endsWith(QStringLiteral("播放记录-2024-03-14.csv"))) << qPrintable(asked);
    EXPECT_EQ(QString::fromUtf8(readFile(QStringLiteral("out/log.csv"))),
              AsRunLog::csv(asRunLog().day(clock.now().date())));
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("播放记录已导出！")});
}

TEST_F(MainWindowAsRunTest, CheckButtonWritesTomorrowsProblemsToTheLog)
{
    TimetableRow row;
    row.sjmc = QStringLiteral("周五");
    row.jmmc = QStringLiteral("升旗");
    row.kssj = QStringLiteral("07:50:00");
    row.jssj = QStringLiteral("08:00:00");
    row.wjpath = path(QStringLiteral("gone.mp3"));
    insertTimetableRow(row);
    const QString none = QStringLiteral("无");
    setWeeklyTimetables({none, none, none, none, QStringLiteral("周五"), none, none});
    log->open();
    log->checkButton->click();
    ASSERT_EQ(log->logGrid->rowCount(), 1);
    EXPECT_EQ(log->logGrid->item(0, 2)->text(), QStringLiteral("升旗"));
    EXPECT_EQ(log->logGrid->item(0, 4)->text(), AsRunEvent::checked);
    EXPECT_EQ(log->logGrid->item(0, 7)->text(), AsRunReason::fileMissing(path(QStringLiteral("gone.mp3"))));
    EXPECT_FALSE(line->isHidden()) << "a problem found after the log was opened is shown again";
    EXPECT_TRUE(line->text().contains(QStringLiteral("升旗"))) << qPrintable(line->text());
}

} // namespace
