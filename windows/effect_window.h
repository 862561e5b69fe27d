#pragma once
// The effect window that shows the spectrum of the playing track.

#include <QWidget>

class TForm3 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);
};

// The program-wide instance, made by the entry routine.
inline TForm3 *Form3 = nullptr;
