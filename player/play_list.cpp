#include "player/play_list.h"

#include "core/program_folder.h"
#include "player/folder_scan.h"

#include <QFileInfo>
#include <QSaveFile>

PlayList::PlayList(QString filePath)
    : filePath_(std::move(filePath))
{}

void PlayList::setItemIndex(int index)
{
    const int selected = index >= 0 && index < count() ? index : -1;
    if (selected == itemIndex_)
        return;
    itemIndex_ = selected;
    notify();
}

bool PlayList::load()
{
    items_.clear();
    itemIndex_ = -1;
    bool readable = !filePath_.isEmpty();
    const QString text = readable ? readTextFile(filePath_, &readable) : QString();
    if (!readable) {
        notify();
        return false;
    }
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.isEmpty())
            items_.append(line);
    }
    itemIndex_ = items_.isEmpty() ? -1 : 0;
    notify();
    return true;
}

void PlayList::append(const QString &path)
{
    items_.append(path);
    save();
    notify();
}

void PlayList::removeAt(int index)
{
    if (index < 0 || index >= count())
        return;
    items_.removeAt(index);
    // As in a list box: removing the selected item leaves no selection; removing one
    // above it keeps the same item selected.
    if (index == itemIndex_)
        itemIndex_ = -1;
    else if (index < itemIndex_)
        --itemIndex_;
    save();
    notify();
}

void PlayList::clear()
{
    items_.clear();
    itemIndex_ = -1;
    save();
    notify();
}

void PlayList::append(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    items_.append(paths);
    save();
    notify();
}

int PlayList::appendExisting(const QStringList &paths)
{
    QStringList existing;
    for (const QString &path : paths)
        if (QFileInfo(path).isFile())
            existing.append(path);
    append(existing);
    return int(existing.size());
}

int PlayList::appendFolder(const QString &folder)
{
    return appendExisting(ScanFolderMedia(folder));
}

bool PlayList::save()
{
    if (filePath_.isEmpty())
        return true;
    QByteArray bytes;
    for (const QString &path : std::as_const(items_))
        bytes += path.toUtf8() + '\n';
    // QSaveFile writes a temporary file beside the list, waits until it is on the disk and
    // only then renames it over the old one, so the file is never left half-written.
    QSaveFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        lastError_ = QStringLiteral("%1: %2").arg(filePath_, file.errorString());
        return false;
    }
    lastError_.clear();
    return true;
}
