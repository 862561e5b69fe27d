#include "player/folder_scan.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

bool nameLess(const QString &a, const QString &b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

QStringList sortedNames(const QDir &dir, QDir::Filters filters)
{
    QStringList names = dir.entryList(filters, QDir::NoSort);
    std::sort(names.begin(), names.end(), nameLess);
    return names;
}

void scan(const QString &folder, const QString &suffix, QStringList &out, QSet<QString> &visited)
{
    const QString base = WithSlash(folder);
    const QDir dir(base);
    // The canonical path names the folder however it was reached, so a loop of links
    // (or two links to one folder) is walked once.
    const QString canonical = QFileInfo(base).canonicalFilePath();
    if (canonical.isEmpty() || visited.contains(canonical))
        return;
    visited.insert(canonical);

    // File pass: hidden files count; folders and dangling links do not.
    for (const QString &name : sortedNames(dir, QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.endsWith(suffix, Qt::CaseInsensitive) && QFileInfo(base + name).isFile())
            out.append(base + name);
    }
    // Subfolder pass: visible folders only, each finished before the next.
    for (const QString &name : sortedNames(dir, QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!IsDotEntry(name))
            scan(base + name, suffix, out, visited);
    }
}

} // namespace

QString WithSlash(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool IsDotEntry(const QString &name)
{
    return name == QLatin1String(".") || name == QLatin1String("..");
}

void ScanMediaFiles(const QString &folder, const QString &extension, QStringList &out)
{
    if (folder.isEmpty() || extension.isEmpty())
        return;
    QSet<QString> visited;
    scan(folder, QLatin1Char('.') + extension, out, visited);
}

void ScanMp3Files(const QString &folder, QStringList &out)
{
    ScanMediaFiles(folder, QStringLiteral("mp3"), out);
}

void ScanWavFiles(const QString &folder, QStringList &out)
{
    ScanMediaFiles(folder, QStringLiteral("wav"), out);
}

void ScanMidFiles(const QString &folder, QStringList &out)
{
    ScanMediaFiles(folder, QStringLiteral("mid"), out);
}

QStringList ScanFolderMedia(const QString &folder)
{
    QStringList out;
    ScanMp3Files(folder, out);
    ScanWavFiles(folder, out);
    ScanMidFiles(folder, out);
    return out;
}
