#include "core/logging.h"

Q_LOGGING_CATEGORY(lcApp, "chimecast.app")
Q_LOGGING_CATEGORY(lcCore, "chimecast.core")
Q_LOGGING_CATEGORY(lcDb, "chimecast.db")
Q_LOGGING_CATEGORY(lcScheduler, "chimecast.scheduler")
Q_LOGGING_CATEGORY(lcPlayer, "chimecast.player")
Q_LOGGING_CATEGORY(lcPlatform, "chimecast.platform")
Q_LOGGING_CATEGORY(lcWindows, "chimecast.windows")
Q_LOGGING_CATEGORY(lcSongLists, "chimecast.songlists")

void installLogMessagePattern()
{
    qSetMessagePattern(QString::fromLatin1(kLogMessagePattern));
}
