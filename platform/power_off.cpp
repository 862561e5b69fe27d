#include "platform/power_off.h"

#include "core/logging.h"

#include <QDBusConnection>
#include <QDBusMessage>

bool DryRunPowerOff::powerOff(const QString &message)
{
    ++requests_;
    lastMessage_ = message;
    qCInfo(lcPlatform).noquote() << QStringLiteral("power-off (dry run): %1").arg(message);
    return true;
}

bool LogindPowerOff::powerOff(const QString &message)
{
    qCInfo(lcPlatform).noquote() << QStringLiteral("powering off: %1").arg(message);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    call << false; // not interactive: no authentication prompt
    // BlockWithGui keeps the window painted while logind answers.
    const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::BlockWithGui, 10000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        qCWarning(lcPlatform).noquote()
            << QStringLiteral("power-off refused: %1 %2").arg(reply.errorName(), reply.errorMessage());
        return false;
    }
    return true;
}

PowerOffMode choosePowerOffMode(const QProcessEnvironment &env)
{
    if (env.contains(QStringLiteral("CHIMECAST_TEST_HARNESS"))
        || env.contains(QStringLiteral("DASHBOARD_TEST_FROM_CTEST")))
        return PowerOffMode::DryRun;
    const QString value = env.value(QStringLiteral("CHIMECAST_POWEROFF"));
    if (value.isEmpty() || value == QStringLiteral("logind"))
        return PowerOffMode::Logind;
    return PowerOffMode::DryRun;
}

std::unique_ptr<PowerOff> createPowerOff()
{
    if (choosePowerOffMode(QProcessEnvironment::systemEnvironment()) == PowerOffMode::Logind)
        return std::make_unique<LogindPowerOff>();
    return std::make_unique<DryRunPowerOff>();
}
