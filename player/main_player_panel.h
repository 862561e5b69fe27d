#pragma once
// The main player's panel on the first tab of the main window: the play list in its
// group box, the transport buttons, the time fields, the progress gauge and the volume
// slider, with the list's keyboard shortcuts and context menu. It shows a MainPlayer
// and forwards the user's actions to it; the main window hosts it in `playerPanel`.
//
// Controls keep their names as members and as objectName. What needs other windows or
// the database is left to the host through signals and setters: refilling from today's
// programmes (BitBtn6Clicked), the add-folder dialog (N16Clicked), the effect and
// control windows, the balance position and where the slider position is stored.

#include <QWidget>

#include <functional>

class MainPlayer;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;

class MainPlayerPanel : public QWidget
{
    Q_OBJECT
public:
    // `timer1` is the main window's 1000 ms playback clock; the panel starts and
    // stops it for the player and feeds its ticks to it. Null: the panel makes its own.
    MainPlayerPanel(MainPlayer &player, QTimer *timer1 = nullptr, QWidget *parent = nullptr);

    // Position of the control window's balance slider (1 ... 26); 13 until set.
    void setBalanceSource(std::function<int()> balance);
    // Receives the volume slider's position after each move (kept as `strposr`).
    void setPositionStore(std::function<void(int)> store);
    // Chooses a file for BitBtn1Click; returns empty on cancel. Default: a file dialog.
    void setFileChooser(std::function<QString()> chooser);
    // The windows the hidden buttons show and hide (not owned; may be null).
    void setEffectWindow(QWidget *window) { effectWindow_ = window; }
    void setControlWindow(QWidget *window) { controlWindow_ = window; }

    MainPlayer &player() { return player_; }
    QTimer *Timer1 = nullptr; // the playback clock, 1000 ms

    QGroupBox *GroupBox1;       // "播放列表": frames the list; the scheduler changes its caption
    QListWidget *CheckListBox1; // the play list, one full path per item
    QWidget *Panel1;            // the transport: times, gauge, volume, buttons
    QLabel *Label1;             // "总时间:"
    QLineEdit *Edit1;           // length of the current track
    QLabel *Label2;             // "播放时间:"
    QLineEdit *Edit2;           // time played
    QLabel *Label3;             // "进度:"
    QProgressBar *jindu;        // progress: maximum = length, value = seconds played
    QLabel *Label4;             // "音量:"
    QSlider *TrackBar1;         // volume 0 ... 169
    QPushButton *BitBtn2;       // "播放"
    QPushButton *BitBtn3;       // "暂停"
    QPushButton *BitBtn4;       // "结束"
    QPushButton *BitBtn29;      // "上一首"
    QPushButton *next;          // "下一首"
    // Hidden buttons reached through the keyboard and the context menu.
    QPushButton *BitBtn1;      // "打开": open a file
    QPushButton *BitBtn6;      // "add": refill from today's programmes
    QPushButton *BitBtn7;      // "del": empty the list
    QPushButton *last;         // "pri": previous
    QPushButton *tiaoxingopen; // "条形": show the effect window
    QPushButton *tiaoxingclo;  // "条形": close the effect window
    QPushButton *BitBtn5;      // close the control window
    QPushButton *BitBtn10;     // show the control window
    QMenu *listMenu;           // context menu of the list and both time fields
    QAction *addFilesItem;     // "添加文件"
    QAction *N16;              // "添加目录"
    QAction *deleteItem;       // "删除选项"
    QAction *N18;              // "清空列表"

    // Handlers that are not the player's own.
    void BitBtn1Click();
    void TrackBar1Change();
    void tiaoxingopenClick();
    void tiaoxingcloClick();
    void BitBtn10Click();
    void BitBtn5Click();
    // The effect / control window is closing by itself: swap the button pairs back.
    void effectWindowClosed();
    void controlWindowClosed();

    // Moves the volume slider in code and applies it (start-up volume, a programme's
    // volume), even when the slider already stands there.
    void setVolumePosition(int position);

    // Shows the player's state on the controls.
    void refresh();

Q_SIGNALS:
    // Ctrl+A or "添加文件": refill the list from all of today's programmes.
    void BitBtn6Clicked();
    // "添加目录": show the add-folder dialog.
    void N16Clicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refreshList();
    bool handleKey(int key, Qt::KeyboardModifiers modifiers);

    MainPlayer &player_;
    std::function<int()> balance_;
    std::function<void(int)> storePosition_;
    std::function<QString()> chooseFile_;
    QWidget *effectWindow_ = nullptr;
    QWidget *controlWindow_ = nullptr;
    bool syncingList_ = false;
};
