#pragma once
// The message window.

#include <QWidget>

class TForm5 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr);
};

// The program-wide instance, made by the entry routine.
inline TForm5 *Form5 = nullptr;
