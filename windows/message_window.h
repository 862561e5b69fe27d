#pragma once
// The message window "MESSAGE": a borderless black box with one line of white text. It is
// shown modally and brought to the front; a click on it closes it. Every message it shows
// is also logged.

#include <QDialog>

class QLabel;

class TForm5 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr);

    QLabel *Image1; // the picture filling the box
    QLabel *Label1; // the message, white, near the top left

    // Sets the text and shows the box modally, centred over `over` (else the screen);
    // returns when it is closed.
    void showMessage(const QString &text, QWidget *over = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
};

// The program-wide instance, made by the entry routine.
inline TForm5 *Form5 = nullptr;
