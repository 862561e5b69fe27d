#include "windows/effect_window.h"

TForm3::TForm3(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("效果"));
}
