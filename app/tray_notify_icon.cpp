#include "app/tray_notify_icon.h"

#include <QApplication>
#include <QMenu>
#include <QStyle>

TTrayNotifyIcon::TTrayNotifyIcon(QObject *parent)
    : QObject(parent),
      tray_(new QSystemTrayIcon(this))
{
    fallback_ = QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
    clickTimer_.setSingleShot(true);
    clickTimer_.setInterval(QApplication::doubleClickInterval());
    connect(&clickTimer_, &QTimer::timeout, this, &TTrayNotifyIcon::clickTimerTick);
    connect(tray_, &QSystemTrayIcon::activated, this, &TTrayNotifyIcon::activated);
    applyIcon();
}

TTrayNotifyIcon::~TTrayNotifyIcon()
{
    setIconVisible(false);
}

void TTrayNotifyIcon::setIcon(const QIcon &icon)
{
    icon_ = icon;
    applyIcon();
}

void TTrayNotifyIcon::applyIcon()
{
    tray_->setIcon(icon_.isNull() ? fallback_ : icon_);
}

void TTrayNotifyIcon::setIconVisible(bool visible)
{
    if (visible == visible_)
        return;
    visible_ = visible;
    if (visible) {
        applyIcon();
        tray_->setToolTip(shownToolTip());
        tray_->setContextMenu(menu_);
        tray_->show();
    } else {
        tray_->hide();
    }
}

void TTrayNotifyIcon::setHint(const QString &hint)
{
    if (hint == hint_)
        return;
    hint_ = hint;
    tray_->setToolTip(shownToolTip());
}

void TTrayNotifyIcon::setPopupMenu(QMenu *menu)
{
    menu_ = menu;
    tray_->setContextMenu(menu);
}

QString TTrayNotifyIcon::shownToolTip() const
{
    return hint_.left(maxTipLength);
}

QIcon TTrayNotifyIcon::shownIcon() const
{
    return tray_->icon();
}

bool TTrayNotifyIcon::trayAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayNotifyIcon::activated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        // Wait one double-click time: a double click cancels the single click.
        clickTimer_.start();
        break;
    case QSystemTrayIcon::DoubleClick:
        // Only a pending single click needs cancelling; a stale flag would swallow the
        // next real single click.
        if (clickTimer_.isActive())
            doubleClicked_ = true;
        Q_EMIT OnDblClick();
        break;
    default: break;
    }
}

void TTrayNotifyIcon::clickTimerTick()
{
    clickTimer_.stop();
    if (!doubleClicked_)
        Q_EMIT OnClick();
    doubleClicked_ = false;
}
