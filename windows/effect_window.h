#pragma once
// The effect window "效果": a strip above the main window whose inner panel `Panel2` is the
// surface the audio library draws the playing track's spectrum into. The panel exists
// from start-up whether or not the window is shown; closing the window only hides it.

#include <QPointer>
#include <QWidget>

class SpectrumPanel;

class TForm3 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);

    QWidget *Panel1;       // fills the window
    SpectrumPanel *Panel2; // the drawing surface, 257 x 47 at 7, 8 inside Panel1

Q_SIGNALS:
    // The window is closing by itself: the main player swaps the buttons that show and
    // close it.
    void closing();

public:
    // The window it places itself above when shown (the main window); none: it stays
    // where it is.
    void setAnchor(QWidget *anchor) { anchor_ = anchor; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QPointer<QWidget> anchor_;
};

// The program-wide instance, made by the entry routine.
inline TForm3 *Form3 = nullptr;
