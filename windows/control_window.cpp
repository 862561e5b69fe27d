#include "windows/control_window.h"

TForm2::TForm2(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("控制"));
}
