// Times writing a song-list archive of `files` songs totalling `megabytes` MB against `cp`
// of the same files into one folder, each run on a fresh target. The songs and targets
// live in a temporary folder (TMPDIR to choose the disk). Both read from a warm page cache
// (the songs were just written); the save ends with an fsync of the archive before its
// rename, cp does not sync.
//
//   song_list_bench [megabytes=100] [files=25] [runs=5]

#include "editors/song_list_archive.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 100;
    const int files = argc > 2 ? std::atoi(argv[2]) : 25;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    QTemporaryDir dir;
    if (!dir.isValid() || megabytes <= 0 || files <= 0 || runs <= 0)
        return 1;
    const qint64 each = qint64(megabytes) * 1024 * 1024 / files;
    QStringList songs;
    QByteArray block(1 << 20, 'x');
    for (int i = 0; i < files; ++i) {
        const QString path = dir.filePath(QStringLiteral("song %1.mp3").arg(i));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        for (qint64 left = each; left > 0; left -= block.size())
            f.write(block.constData(), std::min<qint64>(left, block.size()));
        songs.append(path);
    }
    std::vector<double> save, copy;
    for (int r = 0; r < runs; ++r) {
        const QString target = dir.filePath(QStringLiteral("list%1.qk").arg(r));
        QElapsedTimer t;
        t.start();
        QString error;
        if (!writeSongListArchive(target, songs, &error)) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(error));
            return 1;
        }
        save.push_back(t.nsecsElapsed() / 1e6);
        QFile::remove(target);

        const QString folder = dir.filePath(QStringLiteral("copy%1").arg(r));
        QDir().mkpath(folder);
        t.restart();
        QStringList args = songs;
        args.append(folder);
        if (QProcess::execute(QStringLiteral("cp"), args) != 0)
            return 1;
        copy.push_back(t.nsecsElapsed() / 1e6);
        QDir(folder).removeRecursively();
    }
    std::printf("song list of %d files, %d MB: save median %.1f ms, cp median %.1f ms (%d runs)\n", files, megabytes,
                median(save), median(copy), runs);
    return 0;
}
