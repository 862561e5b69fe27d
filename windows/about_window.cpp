#include "windows/about_window.h"

#include "chimecast_version.h"

#include <QLabel>

TForm7::TForm7(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("关于"));
    auto *version = new QLabel(QStringLiteral("版本 %1").arg(QLatin1String(CHIMECAST_VERSION)), this);
    version->setObjectName(QStringLiteral("versionLabel"));
}
