#include "platform/cd_tray.h"

#include "core/logging.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

QStringList defaultCdDevices()
{
    return {QStringLiteral("/dev/cdrom"), QStringLiteral("/dev/sr0")};
}

bool sendCdTrayCommand(CdTrayCommand command, const QStringList &devices)
{
    const char *what = command == CdTrayCommand::Open ? "open" : "close";
    for (const QString &device : devices) {
        if (!QFile::exists(device))
            continue;
        const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            qCInfo(lcPlatform).noquote() << QStringLiteral("CD tray: cannot open %1 to %2 its door: %3")
                                                .arg(device, QLatin1String(what),
                                                     QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        const int rc = ::ioctl(fd, command == CdTrayCommand::Open ? CDROMEJECT : CDROMCLOSETRAY, 0);
        const int error = errno;
        ::close(fd);
        if (rc < 0) {
            qCInfo(lcPlatform).noquote() << QStringLiteral("CD tray: %1 refused to %2 its door: %3")
                                                .arg(device, QLatin1String(what),
                                                     QString::fromLocal8Bit(std::strerror(error)));
            return false;
        }
        qCInfo(lcPlatform).noquote() << QStringLiteral("CD tray: %1 door %2").arg(device, QLatin1String(what));
        return true;
    }
    qCInfo(lcPlatform).noquote() << QStringLiteral("CD tray: no optical drive to %1").arg(QLatin1String(what));
    return false;
}
