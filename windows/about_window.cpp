#include "windows/about_window.h"

TForm7::TForm7(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("关于"));
}
