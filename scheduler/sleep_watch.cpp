#include "scheduler/sleep_watch.h"

#include "core/clock.h"
#include "core/logging.h"
#include "db/as_run_log.h"

#include <QDBusConnection>

SleepWatch::SleepWatch(QObject *parent)
    : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected())
        connected_ = bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                                 QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                                 this, SLOT(prepareForSleep(bool)));
    if (!connected_)
        qCInfo(lcScheduler) << "no logind on the system bus: sleep is seen from the clock alone";
}

void SleepWatch::prepareForSleep(bool sleeping)
{
    AsRunRecord r;
    r.at = appClock().now();
    r.event = sleeping ? AsRunEvent::asleep : AsRunEvent::awake;
    asRunLog().write(r);
    qCInfo(lcScheduler).noquote() << (sleeping ? QStringLiteral("the computer goes to sleep")
                                               : QStringLiteral("the computer woke up"));
}
