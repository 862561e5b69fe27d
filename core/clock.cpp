#include "core/clock.h"

namespace {

class SystemClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

SystemClock systemClock;
Clock *installed = nullptr;

} // namespace

Clock &appClock()
{
    return installed ? *installed : systemClock;
}

void setAppClock(Clock *clock)
{
    installed = clock;
}
