#pragma once
// The help window.

#include <QWidget>

class TForm8 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm8(QWidget *parent = nullptr);
};

// The program-wide instance, made by the entry routine.
inline TForm8 *Form8 = nullptr;
