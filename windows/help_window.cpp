#include "windows/help_window.h"

TForm8::TForm8(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("帮助说明"));
}
