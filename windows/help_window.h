#pragma once
// The help window "帮助说明": usage notes for the compact player in a read-only text,
// placed near the middle of the screen. Keys typed into the text are discarded.

#include <QPointer>
#include <QWidget>

class QPlainTextEdit;

// The help text, lines joined by line breaks.
QString helpWindowText();

class TForm8 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm8(QWidget *parent = nullptr);

    QWidget *Panel1;       // fills the window, black
    QPlainTextEdit *Memo1; // the help text

    // The window whose screen the help window is placed on (the main window).
    void setAnchor(QWidget *anchor) { anchor_ = anchor; }

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> anchor_;
};

// The program-wide instance, made by the entry routine.
inline TForm8 *Form8 = nullptr;
