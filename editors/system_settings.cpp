#include "editors/system_settings.h"
#include "core/named_widget.h"

#include "core/message_box.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "db/db_grid.h"
#include "db/dbhouse.h"
#include "db/shared_server.h"
#include "db/sql_catalogue.h"
#include "platform/autostart.h"
#include "player/system_volume.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QCoreApplication>
#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

const QString on = QStringLiteral("1");
const QString off = QStringLiteral("0");
const QString timeFormat = QStringLiteral("H:mm:ss");
const QTime defaultOffTime(20, 0, 0);

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text)
{
    return named(new QLabel(text, parent), name);
}

QCheckBox *makeCheck(QWidget *parent, const char *name, const QString &text)
{
    return named(new QCheckBox(text, parent), name);
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text, const QString &accessible)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(accessible);
    return b;
}

QString flag(const QCheckBox *box)
{
    return box->isChecked() ? on : off;
}

// Shows a message and writes it to the log.
void tell(QWidget *parent, const QString &text)
{
    qInfo().noquote() << QStringLiteral("chimecast: system settings:") << text;
    MessageBox::information(parent, text);
}

void tellDbError(QWidget *parent, const DbError &e)
{
    qWarning().noquote() << QStringLiteral("chimecast: system settings: database error:") << e.text();
    MessageBox::information(parent, QStringLiteral("数据库操作失败：%1").arg(e.text()));
}

// A stored slider position, or the default when it is no position of the slider.
int sliderPosition(const QString &text)
{
    bool ok = false;
    const int position = text.trimmed().toInt(&ok);
    if (ok && position >= 0 && position <= kVolumeSliderMax)
        return position;
    qWarning().noquote() << QStringLiteral("chimecast: system settings: start volume \"%1\" is no slider "
                                           "position, showing %2")
                                .arg(text)
                                .arg(kVolumeSliderDefault);
    return kVolumeSliderDefault;
}

} // namespace

SystemSettingsContext runningProgramSettingsContext()
{
    SystemSettingsContext c;
    c.autostartEntryPath = defaultAutostartEntryPath();
    c.executablePath = QCoreApplication::applicationFilePath();
    if (!qEnvironmentVariable("CHIMECAST_HOME").isEmpty())
        c.programHome = programFolder();
    return c;
}

SystemSettingsTab::SystemSettingsTab(SystemSettingsContext context, QWidget *parent)
    : QWidget(parent),
      context_(std::move(context))
{
    setObjectName(QStringLiteral("SystemSettingsTab"));

    parametersGroup = new QGroupBox(QStringLiteral("系统参数设置"), this);
    parametersGroup->setObjectName(QStringLiteral("parametersGroup"));
    cb1 = makeCheck(parametersGroup, "cb1", QStringLiteral("开机自动启用本软件(要修改注册表有杀毒软件提示时请点允许)"));
    cb2 = makeCheck(parametersGroup, "cb2", QStringLiteral("启动后最小化"));
    cb3 = makeCheck(parametersGroup, "cb3", QStringLiteral("定时关机(24小时制)"));
    offTimeLabel = makeLabel(parametersGroup, "offTimeLabel", QStringLiteral("关机时间"));
    dtp1 = new QTimeEdit(parametersGroup);
    dtp1->setObjectName(QStringLiteral("dtp1"));
    dtp1->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    dtp1->setTime(defaultOffTime);
    offTimeLabel->setBuddy(dtp1);
    dtp1->setAccessibleName(QStringLiteral("关机时间"));
    cb4 = makeCheck(parametersGroup, "cb4", QStringLiteral("播放一天节目后自动关机"));
    cb5 = makeCheck(parametersGroup, "cb5", QStringLiteral("软件启动时自动设置音量为以下值"));
    volumeLabel = makeLabel(parametersGroup, "volumeLabel", QStringLiteral("音量:"));
    TrackBar2 = new QSlider(Qt::Horizontal, parametersGroup);
    TrackBar2->setObjectName(QStringLiteral("TrackBar2"));
    TrackBar2->setRange(0, kVolumeSliderMax);
    TrackBar2->setPageStep(13);
    TrackBar2->setTickInterval(13);
    TrackBar2->setTickPosition(QSlider::TicksBelow);
    TrackBar2->setMinimumWidth(220);
    // Starts where the settings put it, so showing the tab does not change the volume.
    TrackBar2->setValue(sliderPosition(appSettings().strposr2));
    volumeLabel->setBuddy(TrackBar2);
    TrackBar2->setAccessibleName(QStringLiteral("启动音量"));
    BitBtn30 = makeButton(parametersGroup, "BitBtn30", QStringLiteral("保存"), QStringLiteral("保存系统参数"));

    auto *params = new QGridLayout(parametersGroup);
    params->addWidget(cb1, 0, 0, 1, 3);
    params->addWidget(cb2, 1, 0, 1, 3);
    params->addWidget(cb3, 2, 0, 1, 3);
    params->addWidget(offTimeLabel, 3, 0);
    params->addWidget(dtp1, 3, 1, Qt::AlignLeft);
    params->addWidget(cb4, 4, 0, 1, 3);
    params->addWidget(cb5, 5, 0, 1, 3);
    params->addWidget(volumeLabel, 6, 0);
    params->addWidget(TrackBar2, 6, 1, 1, 2);
    params->addWidget(BitBtn30, 7, 1, Qt::AlignLeft);
    params->setColumnStretch(2, 1);
    params->setRowStretch(8, 1);

    databaseGroup = new QGroupBox(QStringLiteral("时间表数据库"), this);
    databaseGroup->setObjectName(QStringLiteral("databaseGroup"));
    dbTypeBox = new QComboBox(databaseGroup);
    dbTypeBox->setObjectName(QStringLiteral("dbTypeBox"));
    dbTypeBox->addItem(QStringLiteral("本地文件"), QStringLiteral("sqlite"));
    dbTypeBox->addItem(QStringLiteral("PostgreSQL 服务器（多台播放机共用）"), QStringLiteral("pgsql"));
    dbTypeBox->setAccessibleName(QStringLiteral("时间表数据库"));
    auto lineEdit = [this](const char *name, const QString &accessible) {
        auto *e = new QLineEdit(databaseGroup);
        e->setObjectName(QString::fromLatin1(name));
        e->setAccessibleName(accessible);
        return e;
    };
    dbHostEdit = lineEdit("dbHostEdit", QStringLiteral("服务器地址"));
    dbPortEdit = lineEdit("dbPortEdit", QStringLiteral("端口"));
    dbNameEdit = lineEdit("dbNameEdit", QStringLiteral("数据库名"));
    dbUserEdit = lineEdit("dbUserEdit", QStringLiteral("用户名"));
    dbPassFileEdit = lineEdit("dbPassFileEdit", QStringLiteral("密码文件"));
    dbPassFileEdit->setPlaceholderText(QStringLiteral("空：使用 ~/.pgpass"));
    dbTestButton = makeButton(databaseGroup, "dbTestButton", QStringLiteral("测试连接"), QStringLiteral("测试服务器连接"));
    dbSaveButton = makeButton(databaseGroup, "dbSaveButton", QStringLiteral("保存"), QStringLiteral("保存数据库设置"));
    auto *dbForm = new QFormLayout(databaseGroup);
    dbForm->addRow(QStringLiteral("数据库"), dbTypeBox);
    dbForm->addRow(QStringLiteral("服务器地址"), dbHostEdit);
    dbForm->addRow(QStringLiteral("端口"), dbPortEdit);
    dbForm->addRow(QStringLiteral("数据库名"), dbNameEdit);
    dbForm->addRow(QStringLiteral("用户名"), dbUserEdit);
    dbForm->addRow(QStringLiteral("密码文件"), dbPassFileEdit);
    auto *dbButtons = new QHBoxLayout;
    dbButtons->addWidget(dbTestButton);
    dbButtons->addWidget(dbSaveButton);
    dbButtons->addStretch();
    dbForm->addRow(dbButtons);

    broadcastGroup = new QGroupBox(QStringLiteral("广播内容设置"), this);
    broadcastGroup->setObjectName(QStringLiteral("broadcastGroup"));
    Label20 = makeLabel(broadcastGroup, "Label20", QStringLiteral("标题"));
    Edit4 = new QLineEdit(broadcastGroup);
    Edit4->setObjectName(QStringLiteral("Edit4"));
    Label20->setBuddy(Edit4);
    Edit4->setAccessibleName(QStringLiteral("标题"));
    Label21 = makeLabel(broadcastGroup, "Label21", QStringLiteral("地址"));
    Edit5 = new QLineEdit(broadcastGroup);
    Edit5->setObjectName(QStringLiteral("Edit5"));
    Edit5->setPlaceholderText(QStringLiteral("http://"));
    Label21->setBuddy(Edit5);
    Edit5->setAccessibleName(QStringLiteral("地址"));
    BitBtn34 = makeButton(broadcastGroup, "BitBtn34", QStringLiteral("保存"), QStringLiteral("保存广播内容"));
    BitBtn35 = makeButton(broadcastGroup, "BitBtn35", QStringLiteral("删除"), QStringLiteral("删除广播内容"));
    DBGrid5 = new QTableView(broadcastGroup);
    DBGrid5->setObjectName(QStringLiteral("DBGrid5"));
    DBGrid5->setAccessibleName(QStringLiteral("广播内容"));
    DBGrid5->verticalHeader()->hide();
    bindGrid(DBGrid5, dbhouse().qgb,
             {{QStringLiteral("bt"), QStringLiteral("标题")}, {QStringLiteral("strwz"), QStringLiteral("广播地址")}});
    auto widen = [this] {
        const QStringList fields = dbhouse().qgb->fieldNames();
        if (const auto c = fields.indexOf(QStringLiteral("bt")); c >= 0)
            DBGrid5->setColumnWidth(int(c), 140);
        if (const auto c = fields.indexOf(QStringLiteral("strwz")); c >= 0)
            DBGrid5->setColumnWidth(int(c), 275);
    };
    connect(dbhouse().qgb, &QAbstractItemModel::modelReset, DBGrid5, widen);

    auto *fields = new QGridLayout;
    fields->addWidget(Label20, 0, 0);
    fields->addWidget(Edit4, 0, 1);
    fields->addWidget(Label21, 1, 0);
    fields->addWidget(Edit5, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn34);
    buttons->addWidget(BitBtn35);
    buttons->addStretch();
    auto *content = new QVBoxLayout(broadcastGroup);
    content->addLayout(fields);
    content->addLayout(buttons);
    content->addWidget(DBGrid5, 1);

    auto *left = new QVBoxLayout;
    left->addWidget(parametersGroup, 1);
    left->addWidget(databaseGroup);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addWidget(broadcastGroup, 1);

    connect(cb3, &QCheckBox::toggled, this, [this] { cb3Click(); });
    connect(cb5, &QCheckBox::toggled, this, [this] { cb5Click(); });
    connect(TrackBar2, &QSlider::valueChanged, this, [this] { TrackBar2Change(); });
    connect(BitBtn30, &QPushButton::clicked, this, [this] { BitBtn30Click(); });
    connect(BitBtn34, &QPushButton::clicked, this, [this] { BitBtn34Click(); });
    connect(BitBtn35, &QPushButton::clicked, this, [this] { BitBtn35Click(); });
    connect(dbTypeBox, &QComboBox::currentIndexChanged, this, [this] { dbTypeChanged(); });
    connect(dbTestButton, &QPushButton::clicked, this, [this] { dbTestClick(); });
    connect(dbSaveButton, &QPushButton::clicked, this, [this] { dbSaveClick(); });
    cb3Click();
    cb5Click();
}

void SystemSettingsTab::load()
{
    const TGlobal &s = appSettings();
    cb1->setChecked(s.strstart == on);
    cb2->setChecked(s.strmin == on);
    cb3->setChecked(s.stroff == on);
    cb4->setChecked(s.strover == on);
    cb5->setChecked(s.strvolue == on);
    cb3Click();
    cb5Click();

    QTime offTime = QTime::fromString(s.strofftime.trimmed(), timeFormat);
    if (!offTime.isValid()) {
        qWarning().noquote() << QStringLiteral("chimecast: system settings: shutdown time \"%1\" cannot be read, "
                                               "showing 20:00:00")
                                    .arg(s.strofftime);
        offTime = defaultOffTime;
    }
    dtp1->setTime(offTime);
    // A position other than the slider's fires TrackBar2Change, which applies and stores it.
    TrackBar2->setValue(sliderPosition(s.strposr2));

    const int type = dbTypeBox->findData(s.strdbtype.trimmed().toLower());
    dbTypeBox->setCurrentIndex(type < 0 ? 0 : type);
    dbHostEdit->setText(s.strdbhost);
    dbPortEdit->setText(s.strdbport);
    dbNameEdit->setText(s.strdbname);
    dbUserEdit->setText(s.strdbuser);
    dbPassFileEdit->setText(s.strdbpassfile);
    dbTypeChanged();

    try {
        openBroadcasts();
    } catch (const DbError &e) {
        tellDbError(this, e);
    }
}

void SystemSettingsTab::openBroadcasts()
{
    TQuery *q = dbhouse().qgb;
    q->close();
    q->setSql(Sql::selectBroadcasts);
    q->open();
}

void SystemSettingsTab::cb3Click()
{
    dtp1->setEnabled(cb3->isChecked());
}

void SystemSettingsTab::cb5Click()
{
    TrackBar2->setEnabled(cb5->isChecked());
}

void SystemSettingsTab::TrackBar2Change()
{
    const int position = TrackBar2->value();
    const int balance = context_.balance ? context_.balance() : kBalanceCentre;
    if (!ProcessVolume::instance().applySlider(position, balance))
        qWarning().noquote()
            << QStringLiteral("chimecast: start volume %1 not applied (balance %2)").arg(position).arg(balance);
    appSettings().strposr2 = QString::number(position);
}

void SystemSettingsTab::BitBtn30Click()
{
    // The autostart entry first: when it cannot be written the flags are not saved.
    QString error;
    const bool entryDone = cb1->isChecked() ? writeAutostartEntry(context_.autostartEntryPath, context_.executablePath,
                                                                  context_.programHome, &error)
                                            : removeAutostartEntry(context_.autostartEntryPath, &error);
    if (!entryDone) {
        qWarning().noquote() << QStringLiteral("chimecast: system settings: autostart entry:") << error;
        MessageBox::information(this, QStringLiteral("开机自动启动设置失败：%1！").arg(error));
        return;
    }

    TGlobal &s = appSettings();
    s.strstart = flag(cb1);
    s.strmin = flag(cb2);
    if (cb3->isChecked()) {
        s.stroff = on;
        s.strofftime = dtp1->time().toString(timeFormat);
    } else {
        // The last shutdown time stays, so checking the box again shows it.
        s.stroff = off;
    }
    s.strover = flag(cb4);
    s.strvolue = flag(cb5);
    if (!s.SaveSettings(&error)) {
        qWarning().noquote() << QStringLiteral("chimecast: system settings: settings not saved:") << error;
        MessageBox::information(this, QStringLiteral("设置文件无法保存：%1！").arg(error));
        return;
    }
    tell(this, QStringLiteral("数据保存成功！"));
}

void SystemSettingsTab::BitBtn34Click()
{
    if (Edit4->text().trimmed().isEmpty()) {
        tell(this, QStringLiteral("标题不能为空！"));
        Edit4->setFocus();
        return;
    }
    if (Edit5->text().trimmed().isEmpty()) {
        tell(this, QStringLiteral("地址不能为空！"));
        Edit5->setFocus();
        return;
    }
    try {
        TQuery *in = dbhouse().qin;
        in->close();
        in->setSql(Sql::insertBroadcast);
        in->setParam(QStringLiteral("bt"), Edit4->text());
        in->setParam(QStringLiteral("strwz"), Edit5->text());
        in->execSql();
        qInfo().noquote() << QStringLiteral("chimecast: broadcast content added:") << Edit4->text() << Edit5->text();
        Edit4->clear();
        Edit5->clear();
        openBroadcasts();
    } catch (const DbError &e) {
        // The texts stay in the fields, so nothing typed is lost.
        tellDbError(this, e);
    }
}

void SystemSettingsTab::BitBtn35Click()
{
    if (!MessageBox::askYesNo(this, QStringLiteral("询问"), QStringLiteral("您确定要删除选中的这条记录吗？")))
        return;
    TQuery *q = dbhouse().qgb;
    try {
        int iid = 0;
        if (q->isActive() && q->recordCount() > 0) {
            const QModelIndex index =
                DBGrid5->selectionModel() ? DBGrid5->selectionModel()->currentIndex() : QModelIndex();
            const int row = index.isValid() && index.row() < q->recordCount() ? index.row() : q->recNo();
            iid = q->value(row, QStringLiteral("iid")).toInt();
        }
        TQuery *up = dbhouse().qup;
        up->close();
        up->setSql(Sql::deleteBroadcast);
        up->setParam(QStringLiteral("iid"), iid);
        up->execSql();
        qInfo().noquote() << QStringLiteral("chimecast: broadcast content deleted: iid") << iid;
        openBroadcasts();
    } catch (const DbError &e) {
        tellDbError(this, e);
    }
}

void SystemSettingsTab::dbTypeChanged()
{
    const bool server = dbTypeBox->currentData().toString() == QStringLiteral("pgsql");
    for (QWidget *w : std::initializer_list<QWidget *>{dbHostEdit, dbPortEdit, dbNameEdit, dbUserEdit, dbPassFileEdit,
                                                       dbTestButton})
        w->setEnabled(server);
}

ServerConfig SystemSettingsTab::serverConfigFromFields(QString *problem) const
{
    ServerConfig c;
    c.host = dbHostEdit->text().trimmed();
    bool ok = false;
    c.port = dbPortEdit->text().trimmed().toInt(&ok);
    if (!ok)
        c.port = 0;
    c.database = dbNameEdit->text().trimmed();
    c.user = dbUserEdit->text().trimmed();
    c.passwordFile = dbPassFileEdit->text().trimmed();
    *problem = c.problem();
    QString password;
    if (problem->isEmpty() && !c.passwordFile.isEmpty())
        readPasswordFile(c.passwordFile, &password, problem);
    return c;
}

void SystemSettingsTab::dbTestClick()
{
    QString problem;
    const ServerConfig c = serverConfigFromFields(&problem);
    if (problem.isEmpty() && !SharedServer::probe(c, &problem))
        problem = QStringLiteral("无法连接服务器：%1").arg(problem.trimmed());
    tell(this, problem.isEmpty() ? QStringLiteral("服务器连接成功！") : problem + QStringLiteral("！"));
}

void SystemSettingsTab::dbSaveClick()
{
    const bool server = dbTypeBox->currentData().toString() == QStringLiteral("pgsql");
    QString problem;
    const ServerConfig c = serverConfigFromFields(&problem);
    if (server && !problem.isEmpty()) {
        tell(this, problem + QStringLiteral("！"));
        return;
    }
    TGlobal &s = appSettings();
    s.strdbtype = dbTypeBox->currentData().toString();
    if (server) {
        s.strdbhost = c.host;
        s.strdbport = QString::number(c.port);
        s.strdbname = c.database;
        s.strdbuser = c.user;
        s.strdbpassfile = c.passwordFile;
    }
    QString error;
    if (!s.SaveSettings(&error)) {
        tell(this, QStringLiteral("设置文件无法保存：%1").arg(error));
        return;
    }
    tell(this, QStringLiteral("数据库设置已保存，重新启动本软件后生效！"));
}
