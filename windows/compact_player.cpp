#include "windows/compact_player.h"

TForm6::TForm6(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Tunelet"));
}
