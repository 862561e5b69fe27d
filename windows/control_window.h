#pragma once
// The control window "控制": a small fixed-size panel beside the main window. It holds the
// channel slider `TrackBar1` (1 ... 26, centre 13) that every volume handler reads, and
// sends each move of it to the process-wide volume; the loop, compact and play-order
// switches; the CD tray commands; a web-address field; the desktop's sound and display
// settings; a picture in place of the old animation; a contact label. Closing it only
// hides it, so the slider and the boxes keep their values between showings.
//
// The loop and random switches show the main player's modes and write them there: the
// player is the one place they live, so the dispatcher, the main window and this window
// never disagree.

#include "platform/cd_tray.h"
#include "platform/desktop_settings.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>

class MainPlayer;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

// The picture shown in place of the browser control, in the program folder.
inline constexpr char kControlPictureFile[] = "link.png";
// The first address of the web field and the address behind the contact label.
inline constexpr char kControlWebAddress[] = "https://chimecast.org/";
inline constexpr char kControlContactAddress[] = "developers@chimecast.org";

class TForm2 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

    QLabel *Image1;             // background filling the window
    QGroupBox *GroupBox1;       // "声道："
    QLabel *Label1;             // "左"
    QSlider *TrackBar1;         // channel slider: 1 ... 12 left, 13 both, 14 ... 26 right
    QLabel *Label2;             // "右"
    QCheckBox *CheckBox1;       // "循环播放": the player's loop mode
    QCheckBox *CheckBox2;       // "最小播放": compact player instead of the main window
    QRadioButton *RadioButton1; // "顺序播放"
    QRadioButton *RadioButton2; // "随机播放": toggles the player's random mode
    QGroupBox *GroupBox2;       // "其他："
    QRadioButton *RadioButton3; // "弹开光驱"
    QRadioButton *RadioButton4; // "关闭光驱"
    QGroupBox *GroupBox3;       // "打开网页："
    QLineEdit *http;            // a web address, opened on Enter
    QPushButton *BitBtn1;       // "声音设置"
    QPushButton *BitBtn2;       // "视频设置"
    QLabel *WebBrowser1;        // the picture link.png of the program folder
    QLabel *Label3;             // contact address, opens a new mail

    // The channel slider moved: the volume goes to the channels its position selects.
    void TrackBar1Change();
    void CheckBox1Click();
    void CheckBox2Click();
    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void RadioButton4Click();
    // Enter in `http`: the address goes to the desktop; an empty field opens nothing.
    void httpReturnPressed();
    void BitBtn1Click();
    void BitBtn2Click();
    void Label3Click();

    // The main player whose modes the switches show and set (not owned; may be null).
    void setPlayer(MainPlayer *player);
    // The compact player window "最小播放" switches to (not owned; may be null).
    void setCompactWindow(QWidget *compact) { compact_ = compact; }
    // The compact window went back to the main window by itself: the box follows.
    void compactModeEnded();

    // Seams for the desktop: opening an address, the settings programs, the CD tray.
    // Defaults: QDesktopServices, startSettingsProgram, sendCdTrayCommand.
    void setUrlOpener(std::function<bool(const QUrl &)> open) { openUrl_ = std::move(open); }
    void setSettingsStarter(std::function<bool(SettingsPanel)> start) { startSettings_ = std::move(start); }
    void setCdTray(std::function<bool(CdTrayCommand)> send) { cdTray_ = std::move(send); }

Q_SIGNALS:
    // The window is closing by itself (its close button): the main player swaps the
    // buttons that open and close it.
    void closing();

public:
    // The window it places itself beside when shown (the main window); none: it stays
    // where it is.
    void setAnchor(QWidget *anchor) { anchor_ = anchor; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showModes();
    void showPicture();

    QPointer<QWidget> anchor_;
    QPointer<QWidget> compact_;
    QPointer<MainPlayer> player_;
    bool modesShown_ = false; // the order buttons stay clear until a mode is first set
    std::function<bool(const QUrl &)> openUrl_;
    std::function<bool(SettingsPanel)> startSettings_;
    std::function<bool(CdTrayCommand)> cdTray_;
};

// The program-wide instance, made by the entry routine.
inline TForm2 *Form2 = nullptr;
