#pragma once
// The control window.

#include <QWidget>

class TForm2 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);
};

// The program-wide instance, made by the entry routine.
inline TForm2 *Form2 = nullptr;
