// Records from CHIMECAST_RECORD_SOURCE (a live 440 Hz tone when unset) into a temporary
// folder a few times and prints the time from start() to the first recorded sample, the
// time from stop() to a finished file, and the process CPU time per second of a
// ten-second recording.

#include "platform/gst_recorder.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main()
{
    if (qgetenv("CHIMECAST_RECORD_SOURCE").isEmpty())
        qputenv("CHIMECAST_RECORD_SOURCE", "audiotestsrc is-live=true freq=440");
    QTemporaryDir dir;
    const RecordFormat format{1, 16, 11025};
    std::vector<double> firstSample;
    std::vector<double> finished;
    double cpuPerSecond = 0;
    for (int run = 0; run < 5; ++run) {
        GstRecorder recorder;
        QString error;
        QElapsedTimer t;
        t.start();
        if (!recorder.start(dir.filePath(QStringLiteral("bench.wav")), format, &error)) {
            std::fprintf(stderr, "recorder_bench: %s\n", qPrintable(error));
            return 1;
        }
        firstSample.push_back(double(t.nsecsElapsed()) / 1e6);
        const int seconds = run == 0 ? 10 : 1;
        const double cpu0 = cpuSeconds();
        QThread::sleep(seconds);
        if (run == 0)
            cpuPerSecond = (cpuSeconds() - cpu0) / seconds;
        t.restart();
        if (!recorder.stop(&error)) {
            std::fprintf(stderr, "recorder_bench: %s\n", qPrintable(error));
            return 1;
        }
        finished.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("start to first sample: median %.1f ms (5 runs)\n", median(firstSample));
    std::printf("stop to finished file: median %.1f ms (5 runs)\n", median(finished));
    std::printf("CPU while recording 11025 Hz 16-bit mono: %.2f %% of one core\n", cpuPerSecond * 100);
    return 0;
}
