#pragma once
// `TfrnMyPlay` "手工播放器": the manual player window. Plays music by hand through its
// media component `KsMediaplayer1` and records from the sound input, independently of
// the main player and the scheduler, which keep running while it is open (it is shown
// modally). Both players set the same process-wide volume.
//
// What the window needs from the main window comes in a ManualPlayerContext built by
// app/; the tab "手工乐曲播放" gets its "打开播放器" button from ManualPlayerTab.

#include "recorder/ks_mediaplayer.h"

#include <QDialog>

#include <functional>

class QAction;
class QActionGroup;
class QFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;
class TFormlyts;

struct ManualPlayerContext
{
    // The control window's balance position (1 ... 26); the centre when not set.
    std::function<int()> balance;
    // Engines and the file chooser of the media component; the real ones when not set.
    TKsMediaplayer::PlayerFactory player;
    TKsMediaplayer::RecorderFactory recorder;
    std::function<QStringList()> chooseFiles;
    // Runs the recording dialog; true when it was closed with "确定". Defaults to exec().
    std::function<bool(TFormlyts &)> runRecordDialog;
};

class TfrnMyPlay : public QDialog
{
    Q_OBJECT
public:
    explicit TfrnMyPlay(ManualPlayerContext context, QWidget *parent = nullptr);
    ~TfrnMyPlay() override;

    // --- Handlers, named after the controls that run them ---
    void FormCreate();
    void FormShow();
    void addFiles();
    void ListDblClick(QListWidgetItem *line);
    void BitBtn3Click();
    void BitBtn2Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void BtnVolumeClick();
    void TrackBar1Change();
    void TrackBar2Change();
    void KsMediaplayer1Change();
    void KsMediaplayer1Play(quint32 position, quint32 length);
    void KsMediaplayer1Resize();
    void NStartClick();
    void NStopClick();
    void Timer1Timer();
    // Seeking with the knob: press, move by dx, release.
    void knobPressed();
    void knobMoved(int dx);
    void knobReleased();
    // Places the knob for (position, length); a length of 0 puts it at the left end.
    void placeKnob(quint32 position, quint32 length);

    QListWidget *List;      // the music list's names, in list order
    QFrame *SeekBar1;       // the seek track
    QFrame *SeekBar2;       // the track's fill, moved with the knob
    QFrame *SeekBarSlider;  // the knob
    QLabel *LabTime;        // position and length
    QToolButton *BitBtn7;   // add files
    QToolButton *BitBtn3;   // play / pause
    QToolButton *BitBtn2;   // stop
    QToolButton *BitBtn4;   // previous
    QToolButton *BitBtn5;   // next
    QToolButton *BtnVolume; // mute on / off
    QSlider *TrackBar1;     // volume 0 ... 169
    QSlider *TrackBar2;     // hidden volume marker 0 ... 10
    QLabel *ImgRecord;      // recording indicator picture
    QLabel *LabRecord;      // "录音中......"
    QTimer *Timer1;         // blinks the indicator, 600 ms
    QWidget *Panel3;        // hidden panel holding the component
    TKsMediaplayer *KsMediaplayer1;
    QAction *NStart;         // "开始"
    QAction *NStop;          // "停止"
    QAction *NAdd;           // list context menu "添加"
    QAction *fileOpen;       // "文件" / "打开"
    QAction *fileExit;       // "文件" / "退出"
    QAction *playNext;       // "下一首"
    QAction *playPrior;      // "上一首"
    QAction *modeOrder;      // "顺序播放"
    QAction *modeSingleLoop; // "单曲循环"
    QAction *modeLoop;       // "循环播放"
    QAction *modeRandom;     // "随机播放"

    bool dragging() const { return FDragging; }
    int blinkCount() const { return blinkCount_; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus(QWidget *host);
    void refreshVolumeMarker();
    // The play / pause button shows what pressing it does.
    void showPlayState();
    void say(const QString &text);
    void recordingEnded(const QString &reason, const QString &path);
    void setIndicatorVisible(bool on);

    ManualPlayerContext c_;
    bool FDragging = false;
    bool shown_ = false;
    int blinkCount_ = 0;
    int pressX_ = 0;
};

// Creates the window, shows it modally and destroys it when it closes.
void openManualPlayer(QWidget *parent, const ManualPlayerContext &context);

// Fills the tab "手工乐曲播放" with its button "打开播放器" (`BitBtn28`).
class ManualPlayerTab : public QObject
{
    Q_OBJECT
public:
    ManualPlayerTab(QWidget *tab, ManualPlayerContext context);

    QPushButton *BitBtn28; // "打开播放器"
    void BitBtn28Click();

private:
    QWidget *tab_;
    ManualPlayerContext c_;
};
