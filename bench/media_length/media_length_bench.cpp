// Measures the length of 300 generated files the way the programme editor does (a
// folder measured on the measuring thread): 140 MP3 CBR, 80 MP3 VBR with a Xing header,
// 70 WAV, 5 MIDI and 5 WMA copies. Prints files per second and the total for the
// MP3/WAV part and for all of it, against the 60 s that playing each file for 200 ms
// took. The event loop keeps turning meanwhile; the longest gap between two turns is
// printed as well.
//
// Environment: SONVOX_ALSA_DEVICE and CHIMECAST_AUDIO_SINK are set to null/fakesink
// here, so nothing is heard even if measuring did open an output.
#include "player/media_length.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// MPEG-1 layer III frame header bytes for a bitrate index at 44.1 kHz, joint stereo.
QByteArray frame(int bitrateIndex)
{
    static const int kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    const int bytes = 144 * kbps[bitrateIndex] * 1000 / 44100;
    QByteArray f(bytes, '\0');
    f[0] = static_cast<char>(0xFF);
    f[1] = static_cast<char>(0xFB);
    f[2] = static_cast<char>(bitrateIndex << 4);
    f[3] = static_cast<char>(0x40);
    return f;
}

QByteArray cbrMp3(int seconds, int bitrateIndex)
{
    const int frames = seconds * 44100 / 1152;
    return frame(bitrateIndex).repeated(frames);
}

QByteArray vbrMp3(int seconds)
{
    const int frames = seconds * 44100 / 1152;
    // The first frame carries the Xing header with the frame count.
    QByteArray out = frame(9);
    const int at = 4 + 32; // after the side information of a stereo MPEG-1 frame
    out.replace(at, 4, "Xing");
    auto be32 = [](quint32 v) {
        QByteArray b(4, '\0');
        for (int i = 0; i < 4; ++i)
            b[i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
        return b;
    };
    out.replace(at + 4, 4, be32(1));
    out.replace(at + 8, 4, be32(static_cast<quint32>(frames)));
    for (int i = 0; i < frames; ++i)
        out += frame(5 + (i * 7) % 9);
    return out;
}

QByteArray wav(int seconds)
{
    const quint32 data = static_cast<quint32>(seconds) * 44100 * 4;
    QByteArray b("RIFF");
    auto put = [&b](quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    put(36 + data, 4);
    b.append("WAVEfmt ");
    put(16, 4);
    put(1, 2);
    put(2, 2);
    put(44100, 4);
    put(44100 * 4, 4);
    put(4, 2);
    put(16, 2);
    b.append("data");
    put(data, 4);
    b.append(QByteArray(static_cast<int>(data), '\0'));
    return b;
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

struct Run
{
    double seconds = 0;
    qint64 total = 0;
    int failed = 0;
    qint64 longestGapMs = 0;
};

Run measure(const QStringList &files)
{
    FolderMeasurement m;
    QEventLoop loop;
    Run run;
    QElapsedTimer clock;
    QElapsedTimer gap;
    QTimer tick; // stands for the window's repaints
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] { run.longestGapMs = qMax(run.longestGapMs, gap.restart()); });
    QObject::connect(&m, &FolderMeasurement::finished, &loop, [&](qint64 total, int failed, bool) {
        run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        run.total = total;
        run.failed = failed;
        loop.quit();
    });
    clock.start();
    gap.start();
    tick.start();
    m.start(files);
    loop.exec();
    return run;
}

void report(const char *what, const QStringList &files, const Run &r)
{
    std::printf("%-28s %4lld files  %8.3f s  %8.0f files/s  total %s  unmeasured %d  longest UI gap %lld ms  "
                "(playing each for 200 ms: %.0f s)\n",
                what, static_cast<long long>(files.size()), r.seconds, static_cast<double>(files.size()) / r.seconds,
                qPrintable(folderDurationText(r.total)), r.failed, static_cast<long long>(r.longestGapMs),
                0.2 * static_cast<double>(files.size()));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("SONVOX_ALSA_DEVICE", "null");
    qputenv("CHIMECAST_AUDIO_SINK", "fakesink");
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QStringList libraryFiles;
    QStringList mediaFiles;
    for (int i = 0; i < 140; ++i) {
        const QString p = dir.filePath(QStringLiteral("cbr%1.mp3").arg(i));
        write(p, cbrMp3(20 + i % 40, 5 + i % 10));
        libraryFiles.append(p);
    }
    for (int i = 0; i < 80; ++i) {
        const QString p = dir.filePath(QStringLiteral("vbr%1.mp3").arg(i));
        write(p, vbrMp3(20 + i % 40));
        libraryFiles.append(p);
    }
    for (int i = 0; i < 70; ++i) {
        const QString p = dir.filePath(QStringLiteral("pcm%1.wav").arg(i));
        write(p, wav(1 + i % 10));
        libraryFiles.append(p);
    }
    for (int i = 0; i < 5; ++i) {
        for (const char *ext : {"mid", "wma"}) {
            const QString p = dir.filePath(QStringLiteral("tone%1.%2").arg(i).arg(QLatin1String(ext)));
            QFile::copy(QStringLiteral(CHIMECAST_MEDIA_FIXTURES "/tone_2s.") + QLatin1String(ext), p);
            mediaFiles.append(p);
        }
    }
    const Run library = measure(libraryFiles);
    report("MP3 CBR/VBR and WAV", libraryFiles, library);
    const QStringList all = libraryFiles + mediaFiles;
    const Run whole = measure(all);
    report("all, with MIDI and WMA", all, whole);
    return library.failed == 0 && whole.failed == 0 ? 0 : 1;
}
