#include "player/media_kinds.h"

#include <QFileInfo>

namespace {

bool suffixIn(const QString &path, std::initializer_list<QLatin1String> suffixes)
{
    const QString suffix = QFileInfo(path).suffix();
    for (QLatin1String candidate : suffixes) {
        if (suffix.compare(candidate, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

PlayEngine engineForPath(const QString &path)
{
    if (suffixIn(path, {QLatin1String("mp3"), QLatin1String("wav")}))
        return PlayEngine::Library;
    if (suffixIn(path, {QLatin1String("wma"), QLatin1String("mid"), QLatin1String("midi")}))
        return PlayEngine::Media;
    return PlayEngine::None;
}

bool pausesOnMediaLayer(const QString &path)
{
    return suffixIn(path, {QLatin1String("wma"), QLatin1String("mid"), QLatin1String("midi"), QLatin1String("mpg"),
                           QLatin1String("avi")});
}
