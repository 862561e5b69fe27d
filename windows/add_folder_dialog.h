#pragma once
// The add-folder dialog.

#include <QWidget>

class TForm9 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm9(QWidget *parent = nullptr);
};

// The program-wide instance, made by the entry routine.
inline TForm9 *Form9 = nullptr;
