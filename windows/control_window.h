#pragma once
// The control window "控制": a small fixed-size panel beside the main window. It holds the
// channel slider `TrackBar1` (1 ... 26, centre 13) that every volume handler reads, and
// sends each move of it to the process-wide volume. Closing it only hides it, so the
// slider keeps its position between showings.

#include <QPointer>
#include <QWidget>

class QGroupBox;
class QLabel;
class QSlider;

class TForm2 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

    QGroupBox *GroupBox1; // "声道："
    QLabel *Label1;       // "左"
    QSlider *TrackBar1;   // channel slider: 1 ... 12 left, 13 both, 14 ... 26 right
    QLabel *Label2;       // "右"

    // The channel slider moved: the volume goes to the channels its position selects.
    void TrackBar1Change();

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

private:
    QPointer<QWidget> anchor_;
};

// The program-wide instance, made by the entry routine.
inline TForm2 *Form2 = nullptr;
