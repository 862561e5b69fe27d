// The editors in the main window's tabs: switching to "时间表编辑" or "歌曲列表编辑" loads it
// every time.
#include "app/main_window.h"
#include "app/main_window_editors.h"
#include "app/main_window_song_lists.h"
#include "support/program_test.h"

#include <QComboBox>
#include <QTabWidget>
#include <QTableView>

namespace {

class MainWindowEditorsTest : public ProgramTest
{};

TEST_F(MainWindowEditorsTest, SelectingTheTimetableTabLoadsItsNamesAndGridEachTime)
{
    exec(QStringLiteral("insert into b_sjb(sjmc,jmmc,kssj,jssj,wjbz) values('B','x','08:00:00','08:10:00','1')"));
    TForm1 form;
    installEditors(form);
    auto *names = form.TabSheet7->findChild<QComboBox *>(QStringLiteral("ComboBox1"));
    auto *grid = form.TabSheet7->findChild<QTableView *>(QStringLiteral("DBGrid2"));
    ASSERT_TRUE(names && grid);
    EXPECT_EQ(names->count(), 0) << "nothing is loaded before the tab is selected";

    form.pg1->setCurrentWidget(form.TabSheet7);
    EXPECT_EQ(names->count(), 1);
    EXPECT_EQ(names->currentText(), QStringLiteral("B"));
    EXPECT_EQ(grid->model()->rowCount(), 1);

    exec(QStringLiteral("insert into b_sjb(sjmc,jmmc,kssj,jssj,wjbz) values('A','y','09:00:00','09:10:00','1')"));
    form.pg1->setCurrentWidget(form.TabSheet1);
    form.pg1->setCurrentWidget(form.TabSheet7);
    EXPECT_EQ(names->count(), 2);
    EXPECT_EQ(names->currentText(), QStringLiteral("A")) << "the first name in sort order";
}

TEST_F(MainWindowEditorsTest, SelectingTheSongListTabLoadsTheSavedListsEachTime)
{
    exec(QStringLiteral(
        "insert into b_gqlbmxbak(wjpath,wjmc,lbmc,zsc) values('/m/a.mp3','a.mp3','/l/b.qk','00:01:00')"));
    TForm1 form;
    installSongLists(form);
    auto *grid = form.TabSheet2->findChild<QTableView *>(QStringLiteral("DBGrid1"));
    ASSERT_TRUE(grid);
    form.pg1->setCurrentWidget(form.TabSheet2);
    EXPECT_EQ(grid->model()->rowCount(), 1);

    exec(QStringLiteral(
        "insert into b_gqlbmxbak(wjpath,wjmc,lbmc,zsc) values('/m/a.mp3','a.mp3','/l/a.qk','00:01:00')"));
    form.pg1->setCurrentWidget(form.TabSheet1);
    form.pg1->setCurrentWidget(form.TabSheet2);
    ASSERT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(grid->model()->data(grid->model()->index(0, 0)).toString(), QStringLiteral("/l/a.qk"));
}

} // namespace
