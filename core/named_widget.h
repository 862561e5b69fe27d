#pragma once
// Gives a new widget its objectName, which tests, screenshots and accessibility tools use to
// find it; returns the widget so creation and naming stay one expression.

#include <QObject>
#include <QString>

template <typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}
