#pragma once
// The tab "系统设置": the system parameters kept in the settings object (start at login,
// start hidden, shutdown at a time, shutdown after the day's programmes, the start volume)
// and the list of named network addresses (b_gbb) the programme editor picks from.
//
// The check boxes take effect only on "保存"; the volume slider takes effect at once: it
// sets the process volume (through the balance of the control window) and `strposr2`.

#include <QString>
#include <QWidget>

#include <functional>

struct ServerConfig;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTableView;
class QTimeEdit;

// What the tab needs from outside, handed down by the main window.
struct SystemSettingsContext
{
    // Position of the control window's balance slider (1 ... 26); null: the centre.
    std::function<int()> balance;
    // The autostart entry written for "开机自动启用本软件".
    QString autostartEntryPath;
    // The executable the entry starts (absolute path).
    QString executablePath;
    // The program folder passed to the started program (CHIMECAST_HOME); empty when the
    // program runs with the per-user folders.
    QString programHome;
};

// The context of the running program: the desktop's autostart folder, this executable,
// and CHIMECAST_HOME when it is set.
SystemSettingsContext runningProgramSettingsContext();

class SystemSettingsTab : public QWidget
{
    Q_OBJECT
public:
    explicit SystemSettingsTab(SystemSettingsContext context, QWidget *parent = nullptr);

    QGroupBox *parametersGroup; // "系统参数设置"
    QCheckBox *cb1;             // start at login (strstart)
    QCheckBox *cb2;             // hide to the notification area at start (strmin)
    QCheckBox *cb3;             // shut down at the time of dtp1 (stroff)
    QLabel *offTimeLabel;       // "关机时间"
    QTimeEdit *dtp1;            // shutdown time (strofftime); enabled while cb3 is checked
    QCheckBox *cb4;             // shut down after the day's last programme (strover)
    QCheckBox *cb5;             // enables TrackBar2 (strvolue)
    QLabel *volumeLabel;        // "音量:"
    QSlider *TrackBar2;         // start volume 0 ... 169 (strposr2); enabled while cb5 is checked
    QPushButton *BitBtn30;      // "保存" of the system parameters

    QGroupBox *databaseGroup;  // "时间表数据库": the local file or a shared server
    QComboBox *dbTypeBox;      // "本地文件" / "PostgreSQL 服务器" (strdbtype)
    QLineEdit *dbHostEdit;     // server address (strdbhost)
    QLineEdit *dbPortEdit;     // server port (strdbport)
    QLineEdit *dbNameEdit;     // database name (strdbname)
    QLineEdit *dbUserEdit;     // user (strdbuser)
    QLineEdit *dbPassFileEdit; // password file, owner-only; empty: ~/.pgpass (strdbpassfile)
    QPushButton *dbTestButton; // "测试连接"
    QPushButton *dbSaveButton; // "保存" of the database choice (used from the next start)

    QGroupBox *broadcastGroup; // "广播内容设置"
    QLabel *Label20;           // "标题"
    QLineEdit *Edit4;          // title of the address to add
    QLabel *Label21;           // "地址"
    QLineEdit *Edit5;          // address to add
    QPushButton *BitBtn34;     // "保存" of the broadcast content
    QPushButton *BitBtn35;     // "删除" of the broadcast content
    QTableView *DBGrid5;       // the addresses, bound to qgb

    // Loads the tab (after every switch to it): boxes, time and slider from the settings,
    // the address grid opened.
    void load();

    void cb3Click();
    void cb5Click();
    void TrackBar2Change();
    void BitBtn30Click();
    void BitBtn34Click();
    void BitBtn35Click();
    void dbTestClick();
    void dbSaveClick();

private:
    void openBroadcasts();
    void dbTypeChanged();
    // The server fields as a configuration; why they cannot be used in *problem.
    ServerConfig serverConfigFromFields(QString *problem) const;

    SystemSettingsContext context_;
};
