#include "player/play_list.h"

#include "core/program_folder.h"
#include "player/folder_scan.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

int PlayList::appendExisting(const QStringList &paths)
{
    // A fill rewrites the file after each file it adds, so the file matches the list at
    // every moment; only the last rewrite waits for the disk, as one wait per file
    // would hold the user interface for seconds on a large folder.
    int added = 0;
    for (const QString &path : paths) {
        if (QFileInfo(path).isFile()) {
            items_.append(path);
            write(false);
            notify();
            ++added;
        }
    }
    if (added > 0)
        save();
    return added;
}

int PlayList::appendFolder(const QString &folder)
{
    return appendExisting(ScanFolderMedia(folder));
}

bool PlayList::save()
{
    return write(true);
}

bool PlayList::write(bool durable)
{
    if (filePath_.isEmpty())
        return true;
    QByteArray bytes;
    for (const QString &path : std::as_const(items_))
        bytes += path.toUtf8() + '\n';
    // Both ways write a temporary file beside the list and rename it over the old one
    // only when everything was written, so the file is never left half-written.
    // QSaveFile also waits until the data is on the disk before the rename.
    if (durable) {
        QSaveFile file(filePath_);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
            lastError_ = QStringLiteral("%1: %2").arg(filePath_, file.errorString());
            return false;
        }
    } else {
        const QString partial = filePath_ + QStringLiteral(".part");
        QFile file(partial);
        bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
        file.close();
        ok = ok && file.error() == QFileDevice::NoError;
        if (!ok || std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(filePath_).constData()) != 0) {
            lastError_ = QStringLiteral("%1: %2").arg(filePath_, ok ? QString::fromLocal8Bit(std::strerror(errno))
                                                                    : file.errorString());
            QFile::remove(partial);
            return false;
        }
    }
    lastError_.clear();
    return true;
}
