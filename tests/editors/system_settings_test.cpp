#include "core/program_folder.h"
#include "core/settings.h"
#include "db/dbhouse.h"
#include "editors/system_settings.h"
#include "player/system_volume.h"
#include "support/program_test.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTimeEdit>

#include <memory>

namespace {

class SystemSettingsTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        exec(QStringLiteral("select 1")); // opens the database
        balance = kBalanceCentre;
    }
    void TearDown() override
    {
        tab.reset();
        ProgramTest::TearDown();
    }

    void makeTab()
    {
        SystemSettingsContext c;
        c.balance = [this] { return balance; };
        c.autostartEntryPath = entryPath();
        c.executablePath = QStringLiteral("/opt/chimecast/bin/chimecast");
        c.programHome = QStringLiteral("/srv/pa");
        tab = std::make_unique<SystemSettingsTab>(std::move(c));
    }
    QString entryPath() const { return path(QStringLiteral("xdg/autostart/chimecast.desktop")); }

    void writeSettings(const QByteArray &judgeLines)
    {
        destroyAppSettings(); // saves the object in use: before the file is written
        writeFile(QStringLiteral("chimecast.ini"), "[Judge]\n" + judgeLines);
    }
    // The settings as the file holds them.
    std::unique_ptr<TGlobal> saved() { return std::make_unique<TGlobal>(settingsFilePath()); }

    QStringList broadcasts()
    {
        QStringList rows;
        TQuery *q = dbhouse().qgb;
        for (int r = 0; r < q->recordCount(); ++r)
            rows.append(q->value(r, QStringLiteral("bt")).toString() + QLatin1Char('=')
                        + q->value(r, QStringLiteral("strwz")).toString());
        return rows;
    }

    int balance;
    std::unique_ptr<SystemSettingsTab> tab;
};

TEST_F(SystemSettingsTest, LoadMirrorsTheSettings)
{
    writeSettings("strstart=1\nstrmin=2\nstroff=1\nstrover=0\nstrvolue=yes\nstrofftime=6:45:30\nstrposr2=130\n");
    makeTab();
    tab->load();
    EXPECT_TRUE(tab->cb1->isChecked());
    EXPECT_FALSE(tab->cb2->isChecked()) << "anything but 1 is off";
    EXPECT_TRUE(tab->cb3->isChecked());
    EXPECT_TRUE(tab->dtp1->isEnabled());
    EXPECT_EQ(tab->dtp1->time(), QTime(6, 45, 30));
    EXPECT_FALSE(tab->cb4->isChecked());
    EXPECT_FALSE(tab->cb5->isChecked());
    EXPECT_FALSE(tab->TrackBar2->isEnabled());
    EXPECT_EQ(tab->TrackBar2->value(), 130);
    EXPECT_EQ(tab->DBGrid5->model(), dbhouse().qgb);
    EXPECT_TRUE(dbhouse().qgb->isActive());

    tab->cb3->setChecked(false);
    EXPECT_FALSE(tab->dtp1->isEnabled());
    tab->cb5->setChecked(true);
    EXPECT_TRUE(tab->TrackBar2->isEnabled());
    EXPECT_EQ(tab->offTimeLabel->buddy(), tab->dtp1);
    EXPECT_EQ(tab->volumeLabel->buddy(), tab->TrackBar2);
}

TEST_F(SystemSettingsTest, UnreadableStoredValuesShowTheDefaults)
{
    writeSettings("stroff=1\nstrofftime=late\nstrposr2=loud\n");
    makeTab();
    tab->load();
    EXPECT_EQ(tab->dtp1->time(), QTime(20, 0, 0));
    EXPECT_EQ(tab->TrackBar2->value(), 85);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(SystemSettingsTest, SavingWritesEveryFlagAndTheFileAtOnce)
{
    makeTab();
    tab->load();
    tab->cb1->setChecked(true);
    tab->cb2->setChecked(true);
    tab->cb3->setChecked(true);
    tab->dtp1->setTime(QTime(21, 5, 0));
    tab->cb4->setChecked(true);
    tab->cb5->setChecked(true);
    tab->BitBtn30Click();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("数据保存成功！")});
    const auto s = saved();
    EXPECT_EQ(s->strstart, QStringLiteral("1"));
    EXPECT_EQ(s->strmin, QStringLiteral("1"));
    EXPECT_EQ(s->stroff, QStringLiteral("1"));
    EXPECT_EQ(s->strofftime, QStringLiteral("21:05:00"));
    EXPECT_EQ(s->strover, QStringLiteral("1"));
    EXPECT_EQ(s->strvolue, QStringLiteral("1"));
    EXPECT_TRUE(QFile::exists(entryPath()));

    tab->cb1->setChecked(false);
    tab->cb2->setChecked(false);
    tab->cb4->setChecked(false);
    tab->cb5->setChecked(false);
    tab->BitBtn30Click();
    EXPECT_EQ(boxes.shown.last(), QStringLiteral("数据保存成功！"));
    EXPECT_FALSE(QFile::exists(entryPath())) << "unchecking start at login deletes the entry";
    const auto t = saved();
    EXPECT_EQ(t->strstart + t->strmin + t->strover + t->strvolue, QStringLiteral("0000"));
}

TEST_F(SystemSettingsTest, TheTimetableDatabaseIsCheckedBeforeItIsSaved)
{
    writeSettings("strdbtype=pgsql\nstrdbhost=10.0.0.5\nstrdbport=5433\nstrdbname=bells\nstrdbuser=pa\n");
    makeTab();
    tab->load();
    EXPECT_EQ(tab->dbTypeBox->currentData().toString(), QStringLiteral("pgsql"));
    EXPECT_EQ(tab->dbHostEdit->text(), QStringLiteral("10.0.0.5"));
    EXPECT_EQ(tab->dbPortEdit->text(), QStringLiteral("5433"));
    EXPECT_TRUE(tab->dbHostEdit->isEnabled());

    writeFile(QStringLiteral("pw-open"), "secret\n");
    QFile::setPermissions(path(QStringLiteral("pw-open")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    struct Case
    {
        QString host, port, passFile, told;
    };
    const Case refused[] = {
        {QString(), QStringLiteral("5432"), QString(), QStringLiteral("没有填写服务器地址！")},
        {QStringLiteral("db"), QStringLiteral("70000"), QString(), QStringLiteral("服务器端口无效！")},
        {QStringLiteral("db"), QStringLiteral("5432"), path(QStringLiteral("pw-open")), QStringLiteral("chmod 600")},
    };
    for (const Case &c : refused) {
        tab->dbHostEdit->setText(c.host);
        tab->dbPortEdit->setText(c.port);
        tab->dbPassFileEdit->setText(c.passFile);
        tab->dbSaveClick();
        EXPECT_TRUE(boxes.shown.last().contains(c.told)) << qPrintable(boxes.shown.last());
        EXPECT_EQ(saved()->strdbhost, QStringLiteral("10.0.0.5")) << "nothing saved";
    }

    writeFile(QStringLiteral("pw"), "secret\n");
    QFile::setPermissions(path(QStringLiteral("pw")), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    tab->dbHostEdit->setText(QStringLiteral("db.school"));
    tab->dbPortEdit->setText(QStringLiteral("5432"));
    tab->dbPassFileEdit->setText(path(QStringLiteral("pw")));
    tab->dbSaveClick();
    EXPECT_EQ(boxes.shown.last(), QStringLiteral("数据库设置已保存，重新启动本软件后生效！"));
    auto s = saved();
    EXPECT_EQ(s->strdbtype, QStringLiteral("pgsql"));
    EXPECT_EQ(s->strdbhost, QStringLiteral("db.school"));
    EXPECT_EQ(s->strdbpassfile, path(QStringLiteral("pw")));

    // Back to the local file: the server's values are kept for a later return.
    tab->dbTypeBox->setCurrentIndex(tab->dbTypeBox->findData(QStringLiteral("sqlite")));
    EXPECT_FALSE(tab->dbHostEdit->isEnabled());
    tab->dbHostEdit->setText(QString());
    tab->dbSaveClick();
    s = saved();
    EXPECT_EQ(s->strdbtype, QStringLiteral("sqlite"));
    EXPECT_EQ(s->strdbhost, QStringLiteral("db.school"));
}

TEST_F(SystemSettingsTest, UncheckingTheShutdownKeepsItsTime)
{
    writeSettings("stroff=1\nstrofftime=6:30:00\n");
    makeTab();
    tab->load();
    tab->dtp1->setTime(QTime(7, 15, 0));
    tab->cb3->setChecked(false);
    tab->BitBtn30Click();
    EXPECT_EQ(saved()->stroff, QStringLiteral("0"));
    EXPECT_EQ(saved()->strofftime, QStringLiteral("6:30:00")) << "the time of an unchecked box is not taken";

    tab->load();
    EXPECT_FALSE(tab->dtp1->isEnabled());
    tab->cb3->setChecked(true);
    EXPECT_EQ(tab->dtp1->time(), QTime(6, 30, 0)) << "checking it again shows the kept time";
}

TEST_F(SystemSettingsTest, UncheckingStartAtLoginWithoutAnEntryIsNoError)
{
    writeSettings("strstart=1\n");
    makeTab();
    tab->load();
    tab->cb1->setChecked(false);
    tab->BitBtn30Click();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("数据保存成功！")});
    EXPECT_EQ(saved()->strstart, QStringLiteral("0"));
}

TEST_F(SystemSettingsTest, AnEntryThatCannotBeWrittenIsReportedAndNoFlagIsSaved)
{
    writeSettings("strmin=0\n");
    // The autostart folder's place is taken by a file: the entry cannot be made.
    writeFile(QStringLiteral("xdg/autostart"), "not a folder");
    makeTab();
    tab->load();
    tab->cb1->setChecked(true);
    tab->cb2->setChecked(true);
    tab->BitBtn30Click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].startsWith(QStringLiteral("开机自动启动设置失败："))) << qPrintable(boxes.shown[0]);
    EXPECT_EQ(appSettings().strstart, QStringLiteral("0"));
    EXPECT_EQ(appSettings().strmin, QStringLiteral("0"));
    EXPECT_EQ(saved()->strmin, QStringLiteral("0"));
}

TEST_F(SystemSettingsTest, ASettingsFileThatCannotBeSavedIsNoSuccess)
{
    // A folder where the settings file should be: it can be neither read nor replaced.
    destroyAppSettings();
    writeFile(QStringLiteral("chimecast.ini/x"), "");
    makeTab();
    tab->load();
    tab->cb4->setChecked(true);
    tab->BitBtn30Click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].startsWith(QStringLiteral("设置文件无法保存："))) << qPrintable(boxes.shown[0]);
    EXPECT_EQ(appSettings().strover, QStringLiteral("1")) << "kept in memory";
}

TEST_F(SystemSettingsTest, TheStartVolumeSliderSoundsAtOnceAndStoresOnlyTheStartVolume)
{
    writeSettings("strposr=40\nstrposr2=85\nstrvolue=0\n");
    makeTab();
    tab->load();
    const quint32 before = ProcessVolume::instance().word();
    tab->TrackBar2->setValue(169);
    EXPECT_EQ(ProcessVolume::instance().word(), volumeWord(65000, 65000));
    EXPECT_EQ(appSettings().strposr2, QStringLiteral("169"));
    EXPECT_EQ(appSettings().strposr, QStringLiteral("40"));

    balance = 1;
    tab->TrackBar2->setValue(26);
    EXPECT_EQ(ProcessVolume::instance().word(), volumeWord(10000, 0)) << "the balance chooses the channel";
    balance = kBalanceCentre;

    // With cb5 unchecked the slider is disabled, yet its position reaches the file.
    EXPECT_FALSE(tab->TrackBar2->isEnabled());
    tab->BitBtn30Click();
    EXPECT_EQ(saved()->strposr2, QStringLiteral("26"));
    EXPECT_EQ(saved()->strvolue, QStringLiteral("0"));
    ProcessVolume::instance().setWord(before);
}

TEST_F(SystemSettingsTest, ShowingTheTabDoesNotChangeTheVolume)
{
    writeSettings("strposr2=100\n");
    makeTab();
    ProcessVolume::instance().setWord(volumeWord(20000, 20000));
    tab->load();
    tab->load();
    EXPECT_EQ(ProcessVolume::instance().word(), volumeWord(20000, 20000));
    EXPECT_EQ(tab->TrackBar2->value(), 100);
}

TEST_F(SystemSettingsTest, BroadcastContentIsCheckedStoredListedByTitleAndDeleted)
{
    makeTab();
    tab->load();
    // Deleting from the empty grid asks and changes nothing.
    tab->BitBtn35Click();
    EXPECT_EQ(boxes.questions, QStringList{QStringLiteral("询问|您确定要删除选中的这条记录吗？")});
    EXPECT_TRUE(broadcasts().isEmpty());

    tab->Edit5->setText(QStringLiteral("http://127.0.0.1:8000/radio"));
    tab->BitBtn34Click();
    EXPECT_EQ(boxes.shown, QStringList{QStringLiteral("标题不能为空！")});
    tab->Edit4->setText(QStringLiteral("News"));
    tab->Edit5->clear();
    tab->BitBtn34Click();
    EXPECT_EQ(boxes.shown.last(), QStringLiteral("地址不能为空！"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from b_gbb")).toInt(), 0);

    const char *const entries[][2] = {
        {"News", "http://127.0.0.1:8000/news"},
        {"Alarm", "udp://127.0.0.1:9000"},
        {"News", "not checked at all"},
    };
    for (const auto &e : entries) {
        tab->Edit4->setText(QString::fromUtf8(e[0]));
        tab->Edit5->setText(QString::fromUtf8(e[1]));
        tab->BitBtn34Click();
        EXPECT_TRUE(tab->Edit4->text().isEmpty());
        EXPECT_TRUE(tab->Edit5->text().isEmpty());
    }
    EXPECT_EQ(broadcasts(), (QStringList{QStringLiteral("Alarm=udp://127.0.0.1:9000"),
                                         QStringLiteral("News=http://127.0.0.1:8000/news"),
                                         QStringLiteral("News=not checked at all")}));

    tab->DBGrid5->selectRow(2);
    boxes.answers = {false};
    tab->BitBtn35Click();
    EXPECT_EQ(broadcasts().size(), 3);
    tab->BitBtn35Click();
    EXPECT_EQ(broadcasts(), (QStringList{QStringLiteral("Alarm=udp://127.0.0.1:9000"),
                                         QStringLiteral("News=http://127.0.0.1:8000/news")}));
    EXPECT_EQ(boxes.shown.size(), 2) << qPrintable(boxes.shown.join(QLatin1Char('|')));
}

TEST_F(SystemSettingsTest, AFailedInsertKeepsWhatWasTyped)
{
    makeTab();
    tab->load();
    exec(QStringLiteral("pragma query_only = 1"));
    tab->Edit4->setText(QStringLiteral("News"));
    tab->Edit5->setText(QStringLiteral("http://127.0.0.1/news"));
    tab->BitBtn34Click();
    exec(QStringLiteral("pragma query_only = 0"));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].startsWith(QStringLiteral("数据库操作失败：")));
    EXPECT_EQ(tab->Edit4->text(), QStringLiteral("News"));
    EXPECT_EQ(tab->Edit5->text(), QStringLiteral("http://127.0.0.1/news"));
}

} // namespace
