#pragma once
// The about window "关于": a borderless black box with a picture, the caption "关于", a
// welcome line and the program's version, near the middle of the screen. A click anywhere
// on it closes it; keys do not.

#include <QPointer>
#include <QWidget>

class QLabel;

class TForm7 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm7(QWidget *parent = nullptr);

    QWidget *Panel1; // fills the window, black
    QWidget *Panel2; // 313 x 121 at 32, 32, lowered
    QLabel *Image1;  // the picture filling Panel2
    QLabel *Label1;  // "关于"
    QLabel *Label2;  // the welcome text, set on show
    QLabel *versionLabel;

    // The window whose screen the about window is placed on (the main window).
    void setAnchor(QWidget *anchor) { anchor_ = anchor; }

protected:
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QPointer<QWidget> anchor_;
};

// The program-wide instance, made by the entry routine.
inline TForm7 *Form7 = nullptr;
