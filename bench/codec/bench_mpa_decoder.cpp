// Decodes the same MPEG audio files with the library's decoder core and with libmpg123
// (one thread, 16-bit output) and prints real-time factors and the time ratio
// ours / libmpg123 (below 1.0: ours is faster), plus the RMS difference of the outputs.
//
// Usage: bench_mpa_decoder [seconds-per-measure] [file ...]   (0 s: one pass)
// Without files it synthesises a 20 s stereo signal and encodes the standard set with
// lame and ffmpeg into a temporary folder (removed at the end).
#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sonvox/modules/codec_mpeg/mpa_decoder.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<uint8_t> load(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Run
{
    double seconds = 0; // decode time of one pass
    double audio = 0;   // seconds of audio in one pass
    std::vector<int16_t> pcm;
};

Run decode_ours(const std::vector<uint8_t> &data, double min_time)
{
    Run run;
    mpa_decoder *d = mpa_new();
    static int16_t pcm[MPA_MAX_FRAME_SAMPLES];
    int passes = 0;
    auto start = Clock::now();
    double elapsed = 0;
    do {
        mpa_reset(d);
        mpa_memory_input in{data.data(), data.size(), 0};
        mpa_frame_info info;
        long samples = 0;
        int rate = 0;
        for (;;) {
            int n = mpa_decode_frame(d, mpa_memory_read, &in, pcm, &info);
            if (n == SV_ERR_INVALID_FRAME)
                continue;
            if (n < 0)
                break;
            samples += n;
            rate = info.out_frequency;
            if (passes == 0)
                run.pcm.insert(run.pcm.end(), pcm, pcm + n * info.out_channels);
        }
        run.audio = rate ? double(samples) / rate : 0;
        passes++;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < min_time);
    mpa_free(d);
    run.seconds = elapsed / passes;
    return run;
}

Run decode_mpg123(const std::vector<uint8_t> &data, double min_time)
{
    Run run;
    int err = 0;
    mpg123_handle *mh = mpg123_new(nullptr, &err);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.);
    mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.);
    mpg123_format_none(mh);
    for (long rate : {8000L, 11025L, 12000L, 16000L, 22050L, 24000L, 32000L, 44100L, 48000L})
        mpg123_format(mh, rate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    std::vector<unsigned char> out(1 << 16);
    int passes = 0;
    auto start = Clock::now();
    double elapsed = 0;
    do {
        mpg123_open_feed(mh);
        mpg123_feed(mh, data.data(), data.size());
        long samples = 0, rate = 0;
        int channels = 0, enc = 0;
        for (;;) {
            size_t done = 0;
            int rc = mpg123_read(mh, out.data(), out.size(), &done);
            if (rc == MPG123_NEW_FORMAT) {
                mpg123_getformat(mh, &rate, &channels, &enc);
                continue;
            }
            if (done && channels == 0)
                mpg123_getformat(mh, &rate, &channels, &enc);
            if (done && channels > 0) {
                samples += long(done) / (2 * channels);
                if (passes == 0) {
                    auto *p = reinterpret_cast<int16_t *>(out.data());
                    run.pcm.insert(run.pcm.end(), p, p + done / 2);
                }
            }
            if (rc != MPG123_OK)
                break;
        }
        mpg123_close(mh);
        run.audio = rate ? double(samples) / double(rate) : 0;
        passes++;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < min_time);
    mpg123_delete(mh);
    run.seconds = elapsed / passes;
    return run;
}

// RMS difference over the common length, after the best whole-sample alignment of up to
// two frames (decoders may differ in what they output for the first frames).
double rms_at(const std::vector<int16_t> &a, const std::vector<int16_t> &b, size_t off)
{
    if (off >= b.size())
        return 1e30;
    size_t n = std::min(a.size(), b.size() - off);
    if (n == 0)
        return 1e30;
    double s = 0;
    for (size_t i = 0; i < n; i++) {
        double d = double(a[i]) - double(b[off + i]);
        s += d * d;
    }
    return std::sqrt(s / double(n));
}

double rms_difference(const std::vector<int16_t> &a, const std::vector<int16_t> &b)
{
    double best = 1e30;
    for (size_t off = 0; off <= 4608 && best >= 1.0; off += 2)
        best = std::min({best, rms_at(a, b, off), rms_at(b, a, off)});
    return best;
}

int run_cmd(const std::string &cmd)
{
    int rc = std::system(cmd.c_str());
    if (rc != 0)
        std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    return rc;
}

} // namespace

int main(int argc, char **argv)
{
    double min_time = argc > 1 ? std::atof(argv[1]) : 2.0;
    std::vector<std::pair<std::string, std::string>> files; // label, path
    fs::path tmp;
    if (argc > 2) {
        for (int i = 2; i < argc; i++)
            files.emplace_back(fs::path(argv[i]).filename().string(), argv[i]);
    } else {
        char tmpl[] = "/tmp/bench_mpa_XXXXXX";
        if (!mkdtemp(tmpl))
            return 1;
        tmp = tmpl;
        std::string t = tmp.string();
        // 20 s of stereo: pink noise with different tones per channel (a dense signal)
        if (run_cmd("sox -q -n -r 44100 -c 2 " + t
                    + "/in.wav synth 20 pinknoise pinknoise vol 0.25 && "
                      "sox -q -n -r 44100 -c 2 "
                    + t
                    + "/tones.wav synth 20 sine 440 sine 1250 vol 0.3 && "
                      "sox -q -m "
                    + t + "/in.wav " + t + "/tones.wav " + t + "/mix.wav")
            != 0)
            return 1;
        struct
        {
            const char *label, *name, *cmd;
        } gen[] = {
            {"L3 128k CBR stereo 44.1k", "cbr128.mp3", "lame --quiet -b 128 mix.wav cbr128.mp3"},
            {"L3 320k CBR stereo 44.1k", "cbr320.mp3", "lame --quiet -b 320 mix.wav cbr320.mp3"},
            {"L3 VBR -V2 stereo 44.1k", "vbr.mp3", "lame --quiet -V 2 mix.wav vbr.mp3"},
            {"L3 MPEG-2 mono 22.05k 32k", "m2mono.mp3", "lame --quiet -m m --resample 22.05 -b 32 mix.wav m2mono.mp3"},
            {"L2 192k stereo 44.1k", "l2.mp2", "ffmpeg -loglevel error -y -i mix.wav -c:a mp2 -b:a 192k l2.mp2"},
        };
        for (auto &g : gen) {
            if (run_cmd("cd " + t + " && " + g.cmd) != 0)
                return 1;
            files.emplace_back(g.label, t + "/" + g.name);
        }
    }
    mpg123_init();
    std::printf("%-28s %10s %12s %12s %8s %9s\n", "file", "audio s", "ours x RT", "mpg123 x RT", "ratio", "rms diff");
    // BENCH_ONLY=ours or BENCH_ONLY=mpg123 runs one decoder (for instruction counts under
    // callgrind: valgrind --tool=callgrind bench_mpa_decoder 0 FILE)
    const char *only = std::getenv("BENCH_ONLY");
    bool run_ours = !only || std::string(only) == "ours";
    bool run_ref = !only || std::string(only) == "mpg123";
    for (auto &[label, path] : files) {
        auto data = load(path);
        Run ours = run_ours ? decode_ours(data, min_time) : Run{};
        Run ref = run_ref ? decode_mpg123(data, min_time) : Run{};
        std::printf("%-28s %10.2f %12.0f %12.0f %8.3f %9.3f\n", label.c_str(), ours.audio, ours.audio / ours.seconds,
                    ref.audio / ref.seconds, ours.seconds / ref.seconds, rms_difference(ours.pcm, ref.pcm));
    }
    if (!tmp.empty())
        fs::remove_all(tmp);
    return 0;
}
