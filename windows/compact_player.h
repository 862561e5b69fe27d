#pragma once
// The compact player window.

#include <QWidget>

class TForm6 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm6(QWidget *parent = nullptr);
};

// The program-wide instance, made by the entry routine.
inline TForm6 *Form6 = nullptr;
