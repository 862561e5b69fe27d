#pragma once
// The compact player window "Tunelet": a slim strip that stands in for the main window. It
// mirrors the main player's current file and times once a second and offers Pause, Play,
// Previous, Next and a button back to the main window. Closing it ends the whole program.

#include <QPointer>
#include <QWidget>

#include <functional>

class MainPlayer;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

class TForm6 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm6(QWidget *parent = nullptr);

    QLineEdit *Edit1;     // path of the main player's current item
    QLineEdit *Edit3;     // length of the current track (the main window's Edit1)
    QLineEdit *Edit2;     // time played (the main window's Edit2)
    QPushButton *BitBtn1; // "暂停"
    QPushButton *BitBtn2; // "播放"
    QPushButton *BitBtn3; // "切换": back to the main window
    QPushButton *BitBtn4; // "上一首"
    QPushButton *BitBtn5; // "下一首"
    QTimer *Timer1;       // 1000 ms, refreshes the three fields while shown

    void Timer1Timer();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();

    // The main player it mirrors and drives (not owned; may be null).
    void setPlayer(MainPlayer *player);
    // The main window "切换" shows again (not owned; may be null). Its screen is the one
    // whose top-left corner this window goes to.
    void setMainWindow(QWidget *main) { main_ = main; }
    // What closing this window does: end the program.
    void setQuit(std::function<void()> quit) { quit_ = std::move(quit); }
    // The main window's programme menu, the context menu of the fields.
    void setContextMenu(QMenu *menu);

Q_SIGNALS:
    // "切换" put the main window back.
    void returnedToMain();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void moveToCorner();

    QPointer<MainPlayer> player_;
    QPointer<QWidget> main_;
    QPointer<QMenu> menu_;
    std::function<void()> quit_;
};

// The program-wide instance, made by the entry routine.
inline TForm6 *Form6 = nullptr;
