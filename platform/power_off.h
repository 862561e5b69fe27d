#pragma once

// Switching the broadcast computer off. The program asks systemd-logind to power the
// machine off; tests and CI replace that with a log line (CHIMECAST_POWEROFF=dry-run).

#include <QProcessEnvironment>
#include <QString>

#include <memory>

class PowerOff
{
public:
    virtual ~PowerOff() = default;
    // Asks for the machine to be switched off now, closing other programs by force.
    // Returns whether the request was accepted; callers end the program either way.
    virtual bool powerOff(const QString &message) = 0;
    // True for the stand-in that only logs; the factory's callers may check it.
    virtual bool isDryRun() const = 0;
};

// Logs "power-off (dry run): <message>" (chimecast.platform) and remembers how often it was asked.
class DryRunPowerOff final : public PowerOff
{
public:
    bool powerOff(const QString &message) override;
    bool isDryRun() const override { return true; }
    int requests() const { return requests_; }
    QString lastMessage() const { return lastMessage_; }

private:
    int requests_ = 0;
    QString lastMessage_;
};

// org.freedesktop.login1.Manager.PowerOff(false) on the system bus. Needs a polkit rule
// when the program runs as a service without a seat.
class LogindPowerOff final : public PowerOff
{
public:
    bool powerOff(const QString &message) override;
    bool isDryRun() const override { return false; }
};

enum class PowerOffMode { DryRun, Logind };

// Which implementation an environment asks for. Only an unset or empty CHIMECAST_POWEROFF,
// or the value "logind", selects the real call, and never while a test harness variable
// is set (CHIMECAST_TEST_HARNESS, or DASHBOARD_TEST_FROM_CTEST which ctest sets for
// every test it runs). Any other value means dry run.
PowerOffMode choosePowerOffMode(const QProcessEnvironment &env);

// The implementation for this process's environment.
std::unique_ptr<PowerOff> createPowerOff();
