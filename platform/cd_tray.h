#pragma once
// The CD tray: opening and closing the door of the first optical drive through the Linux
// CD-ROM ioctls. The drive is opened read-only and non-blocking, so a drive without a disc
// answers at once. A machine without a drive, a drive the user may not open or a drive
// that refuses the command changes nothing; the caller shows nothing, the log says why.

#include <QString>
#include <QStringList>

enum class CdTrayCommand { Open, Close };

// The drives tried, first found first: /dev/cdrom, then /dev/sr0.
QStringList defaultCdDevices();

// Sends the command to the first of `devices` that exists. True when the drive took it.
bool sendCdTrayCommand(CdTrayCommand command, const QStringList &devices = defaultCdDevices());
