// sonvox-play as a user runs it: converting to WAV and raw files, playing to the sound
// card (ALSA null here), and failing with the engine's error text on bad inputs and
// outputs.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sonvox/engine/sv_engine.h"
#include "sonvox/modules/codec_mpeg/mpeg_codec_module.h"
#include "temp_dir.h"

namespace {

struct Outcome
{
    int status;
    std::string err;
};

// Runs sonvox-play with `args` (already quoted for the shell), standard output to
// `stdout_path` (or /dev/null).
Outcome sonvox_play(const std::string &args, const TempDir &dir, const std::string &stdout_path = "/dev/null",
                    const std::string &stdin_path = "/dev/null")
{
    std::string err_path = dir.file("stderr.txt");
    std::string cmd = "SONVOX_ALSA_DEVICE=null '" SONVOX_PLAY "' " + args + " < '" + stdin_path + "' > '" + stdout_path
                      + "' 2> '" + err_path + "'";
    int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(err_path)};
}

std::string le(uint32_t v, int bytes)
{
    std::string s;
    for (int i = 0; i < bytes; i++)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
}

std::string wav_file(const std::string &pcm, int channels, int frequency)
{
    return "RIFF" + le(static_cast<uint32_t>(pcm.size() + 36), 4) + "WAVEfmt " + le(16, 4) + le(1, 2)
           + le(static_cast<uint32_t>(channels), 2) + le(static_cast<uint32_t>(frequency), 4)
           + le(static_cast<uint32_t>(frequency * channels * 2), 4) + le(static_cast<uint32_t>(channels * 2), 2)
           + le(16, 2) + "data" + le(static_cast<uint32_t>(pcm.size()), 4) + pcm;
}

std::string ramp(int frames, int channels)
{
    std::string pcm;
    for (int i = 0; i < frames * channels; i++) {
        int16_t v = static_cast<int16_t>(i * 13 - 20000);
        pcm.append(reinterpret_cast<const char *>(&v), 2);
    }
    return pcm;
}

// Decodes a whole file with the MPEG codec alone, the way the engine drives it.
class MemoryDecoder
{
public:
    explicit MemoryDecoder(std::string bytes)
        : bytes_(std::move(bytes))
    {
        stream_.properties = sv_props_new();
        d_.engine = this;
        d_.read = [](void *e, void *buf, int size) {
            auto *self = static_cast<MemoryDecoder *>(e);
            if (size < 0 || self->pos_ + static_cast<size_t>(size) > self->bytes_.size())
                return 0;
            std::memcpy(buf, self->bytes_.data() + self->pos_, static_cast<size_t>(size));
            self->pos_ += static_cast<size_t>(size);
            return size;
        };
        d_.seek = [](void *e, int64_t offset) {
            auto *self = static_cast<MemoryDecoder *>(e);
            if (offset < 0 || static_cast<size_t>(offset) > self->bytes_.size())
                return -1;
            self->pos_ = static_cast<size_t>(offset);
            return 0;
        };
        d_.position = [](void *e) { return static_cast<int64_t>(static_cast<MemoryDecoder *>(e)->pos_); };
        d_.size = [](void *e) { return static_cast<int64_t>(static_cast<MemoryDecoder *>(e)->bytes_.size()); };
        d_.capabilities = [](void *) { return 1; };
        d_.environment = sv_props_new();
        d_.stream = &stream_;
    }
    ~MemoryDecoder()
    {
        sv_props_free(stream_.properties);
        sv_props_free(d_.environment);
    }

    // Returns false when the codec is not built into this library.
    bool decode(const char *name, std::string *pcm, int *channels, int *frequency)
    {
        sv_codec_module m{};
        if (sv_mpeg_codec_register(&m) != 0)
            return false;
        sv_module_entry entry{};
        void *inst = nullptr;
        EXPECT_EQ(m.create(&inst, "audio/unknown", name, &entry, &d_), 0);
        if (m.input_changed)
            m.input_changed(inst, "audio/unknown", name);
        if (m.start_stream)
            m.start_stream(inst, &stream_);
        std::vector<char> buf(65536);
        for (;;) {
            sv_output_block block{};
            block.samples = buf.data();
            block.capacity = static_cast<int>(buf.size());
            block.bytes_per_sample = 2;
            int r = m.decode(inst, &block, &stream_);
            if (r != 0 && r != SV_ERR_INVALID_FRAME && r != SV_ERR_TIMEOUT)
                break;
            if (r == 0 && block.samples_per_channel > 0) {
                pcm->append(buf.data(), static_cast<size_t>(block.samples_per_channel * block.channels * 2));
                *channels = block.channels;
                *frequency = block.frequency;
            }
        }
        m.destroy(inst);
        return true;
    }

private:
    std::string bytes_;
    size_t pos_ = 0;
    sv_decoder d_{};
    sv_stream_info stream_{};
};

const std::string bell_mp3 = std::string(CHIMECAST_FIXTURES) + "/io/bell.mp3";

TEST(SonvoxPlay, ConvertsWavToWavAndRawWithTheSamplesUnchanged)
{
    TempDir dir;
    const std::string pcm = ramp(30000, 2);
    write_file(dir.file("in.wav"), wav_file(pcm, 2, 22050));
    for (const char *format : {"wav", "raw"}) {
        SCOPED_TRACE(format);
        std::string out = dir.file(std::string("out.") + format);
        Outcome r = sonvox_play("-q -o " + std::string(format) + ":'" + out + "' '" + dir.file("in.wav") + "'", dir);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "") << "-q prints nothing";
        std::string file = read_file(out);
        EXPECT_EQ(file, std::string(format) == "wav" ? wav_file(pcm, 2, 22050) : pcm);
    }
}

TEST(SonvoxPlay, Mp3ToWavHoldsTheCodecsOutputAndPrintsTheTag)
{
    std::string reference;
    int channels = 0, frequency = 0;
    MemoryDecoder decoder(read_file(bell_mp3));
    if (!decoder.decode("bell.mp3", &reference, &channels, &frequency))
        GTEST_SKIP() << "the MPEG codec is not part of this build";
    ASSERT_GT(reference.size(), 0u);

    TempDir dir;
    Outcome r = sonvox_play("-o wav:'" + dir.file("out.wav") + "' '" + bell_mp3 + "'", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(dir.file("out.wav")), wav_file(reference, channels, frequency));
    for (const char *line : {"Format:   audio/mpeg, 44100 Hz, stereo, 128 kbit/s", "Duration: 00:01",
                             "id3/title: Morning Bell", "id3/artist: School Band", "id3/year: 2009", "id3/genre: Jazz"})
        EXPECT_NE(r.err.find(line), std::string::npos) << line << "\nin:\n" << r.err;

    // The same stream on standard input: no size, no seeking, the same samples.
    r = sonvox_play("-o raw:'" + dir.file("stdin.raw") + "' -", dir, "/dev/null", bell_mp3);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(dir.file("stdin.raw")), reference);
    EXPECT_NE(r.err.find("Duration: unknown"), std::string::npos) << r.err;
}

TEST(SonvoxPlay, PlaysToTheSoundCard)
{
    TempDir dir;
    write_file(dir.file("in.wav"), wav_file(ramp(44100, 1), 1, 44100));
    Outcome r = sonvox_play("'" + dir.file("in.wav") + "' '" + dir.file("in.wav") + "'", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Format:   audio/pcm, 44100 Hz, mono, 705 kbit/s"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Duration: 00:01"), std::string::npos) << r.err;
}

TEST(SonvoxPlay, FailuresExitNonZeroWithTheErrorText)
{
    TempDir dir;
    const std::string pcm = ramp(5000, 2);
    write_file(dir.file("in.wav"), wav_file(pcm, 2, 44100));
    write_file(dir.file("bad.wav"), "RIFX not a wave file at all");
    const std::string in = "'" + dir.file("in.wav") + "'";
    struct Case
    {
        const char *what;
        std::string args;
        int status;
        const char *message;
    } cases[] = {
        {"missing input", "-o raw:/dev/null '" + dir.file("missing.mp3") + "'", 1,
         "missing.mp3: no such file: cannot open input file (file not found)"},
        {"folder as input", "-o raw:/dev/null '" + dir.path() + "'", 1, "open failed"},
        {"broken header", "-o raw:/dev/null '" + dir.file("bad.wav") + "'", 1, "unsupported format"},
        {"output folder missing", "-o wav:'" + dir.file("none/out.wav") + "' " + in, 1,
         "open failed: cannot open output file (No such file or directory)"},
        {"full disk", "-o wav:/dev/full " + in, 1, "write failed: cannot write output file"},
        {"sound card that does not exist", "-o /dev/wave/10 " + in, 1, "no such device"},
        {"no input", "", 2, "Usage: sonvox-play"},
        {"unknown option", "-x " + in, 2, "Usage: sonvox-play"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Outcome r = sonvox_play(c.args, dir);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }

    // An input whose format differs from the file's first is refused, not mixed in.
    write_file(dir.file("mono.wav"), wav_file(ramp(1000, 1), 1, 22050));
    Outcome mixed =
        sonvox_play("-q -o wav:'" + dir.file("mixed.wav") + "' " + in + " '" + dir.file("mono.wav") + "' " + in, dir);
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.err.find("mono.wav: unsupported format: 22050 Hz mono, the output file holds 44100 Hz stereo"),
              std::string::npos)
        << mixed.err;
    EXPECT_EQ(read_file(dir.file("mixed.wav")), wav_file(pcm + pcm, 2, 44100));

    // A bad input among good ones: the others are still converted.
    Outcome r = sonvox_play("-q -o raw:'" + dir.file("both.raw") + "' '" + dir.file("missing.wav") + "' " + in, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_file(dir.file("both.raw")), pcm);
}

TEST(SonvoxPlay, WritesWavToStandardOutput)
{
    TempDir dir;
    const std::string pcm = ramp(3000, 2);
    write_file(dir.file("in.wav"), wav_file(pcm, 2, 44100));
    // Standard output redirected to a file can be repositioned: the header is complete.
    Outcome r = sonvox_play("-o wav:- '" + dir.file("in.wav") + "'", dir, dir.file("stdout.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(dir.file("stdout.wav")), wav_file(pcm, 2, 44100));
}

} // namespace
