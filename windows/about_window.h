#pragma once
// The about window.

#include <QWidget>

class TForm7 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm7(QWidget *parent = nullptr);
};

// The program-wide instance, made by the entry routine.
inline TForm7 *Form7 = nullptr;
