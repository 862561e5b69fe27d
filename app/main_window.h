#pragma once
// TForm1, the main window "Bellwright": the page control with its seven tabs, today's
// date, clock and timetable on the first tab, the pop-up menus, the notification-area icon
// and the timers that drive the scheduler. Closing it ends the program.
//
// The controls are public members whose names are also their objectName; the player, the
// dispatcher and the editors fill the tabs and connect the timers.

#include <QDateTime>
#include <QHash>
#include <QMainWindow>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class ServerProbe;
class QTableView;
class QTimer;
class TTrayNotifyIcon;

class TForm1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    QTabWidget *pg1;
    QWidget *TabSheet1; // "今日播放时间表": header, today's grid, the player on the right
    QWidget *TabSheet7; // "时间表编辑"
    QWidget *TabSheet2; // "歌曲列表编辑"
    QWidget *TabSheet3; // "时间表设置"
    QWidget *TabSheet4; // "系统设置"
    QWidget *TabSheet5; // "手工乐曲播放"
    QWidget *TabSheet6; // "帮助"

    QLabel *lrq;           // today's date and weekday
    QLabel *lsj;           // the clock
    QLabel *Label14;       // "今天播放时间表:"
    QLabel *lsjb;          // name of today's timetable, as timetableName() gives it
    QLabel *ljrts;         // holiday notice
    QLabel *lfwqts;        // notice: today's timetable came from the local backup (server unreachable)
    QLabel *Label27;       // tip about the grid's pop-up menu
    QPushButton *BitBtn31; // "手工重导入时间表": re-resolve today's timetable on request
    QPushButton *BitBtn27; // hidden: resolve today's timetable (BitBtn27Click)
    QPushButton *BitBtn26; // hidden: fill the play list with the current programme
    QTableView *DBGrid4;   // today's timetable, bound to qjrjm
    QWidget *playerPanel;  // right-hand side of the first tab, filled by the main player

    QMenu *PopupMenu1; // pop-up menu of the grid and the player
    QAction *N3;       // "手动播放此节目"
    QAction *N21;      // "停止手动播放节目"
    QAction *N20;
    QAction *N23; // "人工插播音乐"
    QAction *N22;
    QAction *N25; // "停止自动播放"
    QAction *N13;
    QAction *N5; // "隐藏主界面到右下角"
    QAction *N4;
    QAction *N14; // "退出"

    QMenu *PopupMenu2;  // the notification-area icon's menu
    QAction *N2;        // "显示主界面"
    QAction *MenuItem1; // "隐藏到右下角"
    QAction *N1;
    QAction *N7; // "退出"

    TTrayNotifyIcon *TrayNotifyIcon1;

    QTimer *tsj;    // 1 s: clock label
    QTimer *Timer6; // 0.5 s once: maximise the window
    QTimer *tsys;   // 1 s once: hide to the notification area when strmin is "1"
    QTimer *tbf;    // 1.5 s: programme dispatcher
    QTimer *tdr;    // 6 s: day-change watcher
    QTimer *tgj;    // 5 s: shutdown at the set time
    QTimer *tjs;    // 0.5 s: end watcher of the running programme
    QTimer *Timer1; // 1 s: playback clock of the main player
    QTimer *tfwq;   // 60 s: asks the timetable server whether it answers (off this thread)

    // The one-time start-up sequence; runs on the first show only.
    void FormShow();
    bool firstShowDone() const { return firstShowDone_; }
    // True when the database could not be opened at start-up (the program is ending).
    bool databaseFailed() const { return databaseFailed_; }
    // Today's timetable as the last resolution (or the start-up) chose it; the dispatcher
    // runs the programmes of this timetable.
    QString timetableName() const { return timetableName_; }

    // Resolves today's timetable into the working table; reports errors in a box.
    void BitBtn27Click();
    // Asks, then resolves today's timetable again.
    void BitBtn31Click();

    void tsjTimer();
    void Timer6Timer();
    void tsysTimer();
    void tdrTimer();

    void N5Click();
    void MenuItem1Click();
    void N2Click();
    void N14Click();
    void N7Click();

    // Shows the window when another start of the program asks for it.
    void showFromOtherInstance();

    // Loads the data of the newly active tab; runs after every tab switch. Each tab's
    // owner registers what its tab loads; tabs without a loader load nothing.
    void pg1Change();
    void setTabLoader(QWidget *tab, std::function<void()> load);

Q_SIGNALS:
    // The window was closed: the program ends.
    void closed();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildTodayTab();
    void buildMenus();
    void createTimers();
    void createTrayIcon();

    // Header of the first tab.
    void showClock(const QDateTime &now);
    void showDate(const QDate &today);
    void showHolidayNotice(const QDate &today);
    void showTimetableName(const QDate &today);
    void setTimetableName(const QString &name);
    void openTodaysGrid();
    void applyStartVolume();

    // Compares today with the saved resolution date and resolves when they differ.
    // Returns false when a resolution was needed and failed.
    bool checkDateRollover(const QDate &today, bool reportErrors);
    bool runResolution(bool reportErrors);
    // The timetable server: connected at the first show and asked every minute whether it
    // answers; a lost server shows the notice, a server back clears it (and resolves again
    // when today's table came from the backup).
    void connectTimetableServer();
    void showServerNotice(const QString &notice);
    void tfwqTimer();
    void serverProbeFinished(bool answered, const QString &error, qint64 elapsedMs);
    bool saveSettingsReported();
    void hideToTray();
    void reportOnce(bool &reported, const QString &text);

    QHash<QWidget *, std::function<void()>> tabLoaders_;
    QString timetableName_;
    bool firstShowDone_ = false;
    bool databaseFailed_ = false;
    bool resolutionPending_ = false;
    bool resolvedFromBackup_ = false; // the last resolution (or start) could not reach the server
    ServerProbe *serverProbe_ = nullptr;
    bool trayMissingReported_ = false;
    bool badDateReported_ = false;
    bool badVolumeReported_ = false;
    bool saveFailureReported_ = false;
};

// The program-wide main window, made by the entry routine.
inline TForm1 *Form1 = nullptr;
