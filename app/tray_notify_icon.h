#pragma once
// TTrayNotifyIcon: one icon with a tooltip in the desktop's notification area, a pop-up
// menu on a right click, and single and double left clicks reported as signals. A single
// click is reported one double-click time after it happens, and never when a double click
// follows it.

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include <QMenu>

class TTrayNotifyIcon : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QIcon Icon READ icon WRITE setIcon)
    Q_PROPERTY(bool IconVisible READ iconVisible WRITE setIconVisible)
    Q_PROPERTY(QString Hint READ hint WRITE setHint)
    Q_PROPERTY(QMenu *PopupMenu READ popupMenu WRITE setPopupMenu)
    Q_PROPERTY(bool HideTask READ hideTask WRITE setHideTask)
public:
    explicit TTrayNotifyIcon(QObject *parent = nullptr);
    ~TTrayNotifyIcon() override;

    // The longest tooltip the icon shows; Hint keeps the full text.
    static constexpr int maxTipLength = 63;

    QIcon icon() const { return icon_; }
    // An empty icon shows the standard fallback icon.
    void setIcon(const QIcon &icon);
    bool iconVisible() const { return visible_; }
    void setIconVisible(bool visible);
    QString hint() const { return hint_; }
    void setHint(const QString &hint);
    QMenu *popupMenu() const { return menu_; }
    // The menu is forgotten automatically when it is destroyed.
    void setPopupMenu(QMenu *menu);
    // Kept for the windows that ask for it; the main window has no taskbar entry of its
    // own to remove on the desktops this runs on.
    bool hideTask() const { return hideTask_; }
    void setHideTask(bool hide) { hideTask_ = hide; }

    // What the desktop is shown.
    QString shownToolTip() const;
    QIcon shownIcon() const;
    // True when a tray host exists to show the icon.
    static bool trayAvailable();
    // The underlying tray icon (tests drive its activated() signal).
    QSystemTrayIcon *systemTrayIcon() const { return tray_; }
    // The timer that holds a single click back; when it runs out the click is reported or
    // dropped (tests wait on its timeout instead of sleeping).
    QTimer *clickTimer() { return &clickTimer_; }

Q_SIGNALS:
    void OnClick();
    void OnDblClick();

private:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void clickTimerTick();
    void applyIcon();

    QSystemTrayIcon *tray_;
    QTimer clickTimer_;
    QIcon icon_;
    QIcon fallback_;
    QString hint_;
    QPointer<QMenu> menu_;
    bool visible_ = false;
    bool hideTask_ = false;
    bool doubleClicked_ = false;
};
