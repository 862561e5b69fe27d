#include "app/main_window.h"
#include "app/main_window_settings_tabs.h"
#include "core/settings.h"
#include "db/dbhouse.h"
#include "editors/help_folder.h"
#include "editors/system_settings.h"
#include "editors/weekly_assignment.h"
#include "support/program_test.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAccessible>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QTableView>
#include <QLineEdit>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

namespace {

// Thursday 14 March 2024; Thursday plays "T-Thu".
class SettingsTabsInMainWindowTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        qputenv("XDG_CONFIG_HOME", path(QStringLiteral("xdg")).toUtf8());
        exec(QStringLiteral("update x_sjbsz set xq4='T-Thu'"));
        addEntry(QStringLiteral("T-Thu"), QStringLiteral("thursday bell"));
        addEntry(QStringLiteral("T-New"), QStringLiteral("new bell"));
        addEntry(QStringLiteral("T-New"), QStringLiteral("second new bell"));
        destroyAppSettings();
        writeFile(QStringLiteral("chimecast.ini"), "[Judge]\nstrrqr=2024-03-14\n");
    }
    void TearDown() override
    {
        qunsetenv("XDG_CONFIG_HOME");
        ProgramTest::TearDown();
    }
    void addEntry(const QString &sjmc, const QString &jmmc)
    {
        exec(QStringLiteral("insert into b_sjb(sjmc,jmmc,kssj,jssj,wjpath,bfsc,yldx,bffs,bfzt,wjbz) "
                            "values('%1','%2','09:00:00','09:05:00','/music/a.mp3','00:05:00',80,'顺序播放',"
                            "'未播放','1')")
                 .arg(sjmc, jmmc));
    }
};

TEST_F(SettingsTabsInMainWindowTest, SavingTheWeekReResolvesTodayAtTheNextWatcherTick)
{
    TForm1 form;
    QSlider balance(Qt::Horizontal);
    balance.setRange(1, 26);
    balance.setValue(13);
    installSettingsTabs(form, &balance);
    EXPECT_TRUE(QFile::exists(helpPagePath())) << "the help folder is made at start";
    form.show();
    EXPECT_EQ(form.lsjb->text(), QStringLiteral("T-Thu"));

    auto *weekly = form.TabSheet3->findChild<WeeklyAssignmentTab *>();
    ASSERT_NE(weekly, nullptr);
    form.pg1->setCurrentWidget(form.TabSheet3);
    EXPECT_EQ(weekly->cbxq4->currentText(), QStringLiteral("T-Thu")) << "switching to the tab loads it";
    EXPECT_EQ(weekly->cbxq4->count(), 3);

    weekly->cbxq4->setCurrentText(QStringLiteral("T-New"));
    weekly->BitBtn22->click();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("数据保存成功！")});
    form.tdrTimer();
    EXPECT_EQ(form.lsjb->text(), QStringLiteral("T-New"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from b_sjbjr where sjmc='T-New'")).toInt(), 2);
    EXPECT_EQ(appSettings().strrqr, QStringLiteral("2024-03-14"));

    // The settings tab loads from the settings on every switch.
    auto *settings = form.TabSheet4->findChild<SystemSettingsTab *>();
    ASSERT_NE(settings, nullptr);
    appSettings().strover = QStringLiteral("1");
    form.pg1->setCurrentWidget(form.TabSheet4);
    EXPECT_TRUE(settings->cb4->isChecked());
    settings->cb1->setChecked(true);
    settings->BitBtn30->click();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("xdg/autostart/chimecast.desktop"))));
    EXPECT_NE(form.TabSheet6->findChild<QPushButton *>(QStringLiteral("BitBtn37")), nullptr);
}

TEST_F(SettingsTabsInMainWindowTest, EveryControlOfTheTabsHasANameAScreenReaderSays)
{
    TForm1 form;
    installSettingsTabs(form, nullptr);
    int checked = 0;
    for (QWidget *sheet : {form.TabSheet3, form.TabSheet4, form.TabSheet6}) {
        for (QWidget *w : sheet->findChildren<QWidget *>()) {
            const bool operated = qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w)
                                  || qobject_cast<QLineEdit *>(w) || qobject_cast<QTableView *>(w)
                                  || qobject_cast<QAbstractSlider *>(w) || qobject_cast<QDateTimeEdit *>(w);
            // Parts of a compound control (a combo box's line edit, a grid's header) have theirs.
            if (!operated || w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
                continue;
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(a, nullptr) << qPrintable(w->objectName());
            EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty()) << qPrintable(w->objectName());
            ++checked;
        }
    }
    EXPECT_GE(checked, 25);
}

} // namespace
