#include "windows/message_window.h"

TForm5::TForm5(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("MESSAGE"));
}
