#include "windows/add_folder_dialog.h"

TForm9::TForm9(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(QStringLiteral("打开目录"));
}
