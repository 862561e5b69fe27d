// "Output To File" through its descriptor: formats, the WAV header, standard output and
// the failures of a missing folder, a denied folder and a full disk.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "fake_decoder.h"
#include "sonvox/engine/sv_errors.h"
#include "sonvox/modules/output_file/sv_file_output.h"
#include "temp_dir.h"

namespace {

struct FileOutput
{
    sv_output_module m{};
    sv_module_entry entry{};
    FileOutput() { EXPECT_EQ(sv_file_output_register(&m), 0); }
};

uint32_t le32(const std::string &s, size_t at)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(s[at]))
           | static_cast<uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8
           | static_cast<uint32_t>(static_cast<unsigned char>(s[at + 2])) << 16
           | static_cast<uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
}

unsigned le16(const std::string &s, size_t at)
{
    return static_cast<unsigned>(static_cast<unsigned char>(s[at]))
           | static_cast<unsigned>(static_cast<unsigned char>(s[at + 1])) << 8;
}

// A recognisable stereo ramp of `frames` frames.
std::string samples(int frames, int seed = 0)
{
    std::string out;
    for (int i = 0; i < frames * 2; i++) {
        int16_t v = static_cast<int16_t>((i + seed) * 37 - 9000);
        out.append(reinterpret_cast<const char *>(&v), 2);
    }
    return out;
}

// Writes `pcm` in pieces of 4608 bytes (one MPEG frame) and closes.
int write_all(FileOutput &out, void *inst, const std::string &pcm, int channels, int frequency)
{
    for (size_t at = 0; at < pcm.size(); at += 4608) {
        size_t n = std::min<size_t>(4608, pcm.size() - at);
        int r = out.m.write(inst, pcm.data() + at, static_cast<int>(n), 2, channels, frequency);
        if (r != 0)
            return r;
    }
    return 0;
}

uint32_t be32(const std::string &s, size_t at)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(s[at])) << 24
           | static_cast<uint32_t>(static_cast<unsigned char>(s[at + 1])) << 16
           | static_cast<uint32_t>(static_cast<unsigned char>(s[at + 2])) << 8
           | static_cast<uint32_t>(static_cast<unsigned char>(s[at + 3]));
}

unsigned be16(const std::string &s, size_t at)
{
    return static_cast<unsigned>(static_cast<unsigned char>(s[at])) << 8
           | static_cast<unsigned>(static_cast<unsigned char>(s[at + 1]));
}

std::string byte_swapped(std::string pcm)
{
    for (size_t i = 0; i + 1 < pcm.size(); i += 2)
        std::swap(pcm[i], pcm[i + 1]);
    return pcm;
}

std::string convert(const char *prefix, const std::string &path, const std::string &pcm)
{
    FileOutput out;
    FakeDecoder fd;
    void *inst = nullptr;
    EXPECT_EQ(out.m.create(&inst, (std::string(prefix) + path).c_str(), &out.entry, fd.get()), 0);
    EXPECT_EQ(out.m.open(inst), 0);
    EXPECT_EQ(write_all(out, inst, pcm, 2, 44100), 0);
    EXPECT_EQ(out.m.close(inst), 0);
    out.m.destroy(inst);
    return read_file(path);
}

TEST(FileOutput, RawFilesHoldTheSamplesUnchanged)
{
    const std::string pcm = samples(1000);
    for (const char *prefix : {"", "raw:"}) {
        SCOPED_TRACE(prefix);
        TempDir dir;
        EXPECT_EQ(convert(prefix, dir.file("out.pcm"), pcm), pcm);
    }
}

TEST(FileOutput, WavFileOfOneSecond)
{
    TempDir dir;
    const std::string pcm = samples(44100); // 1 s of stereo at 44 100 Hz
    std::string file = convert("wav:", dir.file("out.wav"), pcm);
    ASSERT_EQ(file.size(), 44 + pcm.size());
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(file, 4), 176436u);
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(file, 16), 16u);
    EXPECT_EQ(le16(file, 20), 1u);
    EXPECT_EQ(le16(file, 22), 2u);
    EXPECT_EQ(le32(file, 24), 44100u);
    EXPECT_EQ(le32(file, 28), 176400u);
    EXPECT_EQ(le16(file, 32), 4u);
    EXPECT_EQ(le16(file, 34), 16u);
    EXPECT_EQ(file.substr(36, 4), "data");
    EXPECT_EQ(le32(file, 40), 176400u);
    EXPECT_EQ(file.substr(44), pcm);
}

TEST(FileOutput, AiffAndSunFilesCarryTheirHeadersAndBigEndianSamples)
{
    const std::string pcm = samples(1000); // 4000 bytes
    TempDir dir;

    std::string aiff = convert("aiff:", dir.file("out.aif"), pcm);
    ASSERT_EQ(aiff.size(), 54 + pcm.size());
    EXPECT_EQ(aiff.substr(0, 4), "FORM");
    EXPECT_EQ(be32(aiff, 4), 46u + 4000u);
    EXPECT_EQ(aiff.substr(8, 8), "AIFFCOMM");
    EXPECT_EQ(be32(aiff, 16), 18u);
    EXPECT_EQ(be16(aiff, 20), 2u);    // channels
    EXPECT_EQ(be32(aiff, 22), 1000u); // sample frames
    EXPECT_EQ(be16(aiff, 26), 16u);   // bits
    // 44100 as an 80-bit extended number: exponent 16383 + 15, mantissa 44100 << 48.
    EXPECT_EQ(be16(aiff, 28), 16398u);
    EXPECT_EQ(be32(aiff, 30), 44100u << 16);
    EXPECT_EQ(be32(aiff, 34), 0u);
    EXPECT_EQ(aiff.substr(38, 4), "SSND");
    EXPECT_EQ(be32(aiff, 42), 4008u);
    EXPECT_EQ(be32(aiff, 46), 0u);
    EXPECT_EQ(be32(aiff, 50), 0u);
    EXPECT_EQ(aiff.substr(54), byte_swapped(pcm));

    std::string sun = convert("sun:", dir.file("out.au"), pcm);
    ASSERT_EQ(sun.size(), 28 + pcm.size());
    EXPECT_EQ(sun.substr(0, 4), ".snd");
    EXPECT_EQ(be32(sun, 4), 28u);
    EXPECT_EQ(be32(sun, 8), 4000u);
    EXPECT_EQ(be32(sun, 12), 3u); // 16-bit linear
    EXPECT_EQ(be32(sun, 16), 44100u);
    EXPECT_EQ(be32(sun, 20), 2u);
    EXPECT_EQ(be32(sun, 24), 0u); // empty annotation
    EXPECT_EQ(sun.substr(28), byte_swapped(pcm));
}

TEST(FileOutput, WavHeaderTakesTheFormatOfTheFirstWrite)
{
    TempDir dir;
    FileOutput out;
    FakeDecoder fd;
    void *inst = nullptr;
    ASSERT_EQ(out.m.create(&inst, ("wav:" + dir.file("m.wav")).c_str(), &out.entry, fd.get()), 0);
    ASSERT_EQ(out.m.open(inst), 0);
    const std::string pcm = samples(500); // 2000 bytes, read as 1000 mono frames
    ASSERT_EQ(write_all(out, inst, pcm, 1, 22050), 0);
    ASSERT_EQ(out.m.close(inst), 0);
    out.m.destroy(inst);
    std::string file = read_file(dir.file("m.wav"));
    ASSERT_EQ(file.size(), 2044u);
    EXPECT_EQ(le16(file, 22), 1u);
    EXPECT_EQ(le32(file, 24), 22050u);
    EXPECT_EQ(le32(file, 28), 44100u);
    EXPECT_EQ(le32(file, 40), 2000u);
}

TEST(FileOutput, WavToAPipeOnStandardOutputKeepsAZeroSizeHeader)
{
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    ASSERT_EQ(dup2(pipe_fds[1], STDOUT_FILENO), STDOUT_FILENO);
    close(pipe_fds[1]);

    const std::string pcm = samples(100);
    FileOutput out;
    FakeDecoder fd;
    void *inst = nullptr;
    ASSERT_EQ(out.m.create(&inst, "wav:-", &out.entry, fd.get()), 0);
    ASSERT_EQ(out.m.open(inst), 0);
    EXPECT_EQ(out.m.write(inst, pcm.data(), static_cast<int>(pcm.size()), 2, 2, 44100), 0);
    EXPECT_EQ(out.m.close(inst), 0);
    out.m.destroy(inst);
    EXPECT_NE(fcntl(STDOUT_FILENO, F_GETFD), -1) << "standard output stays open";

    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string got(44 + pcm.size() + 10, '\0');
    ssize_t n = read(pipe_fds[0], got.data(), got.size());
    close(pipe_fds[0]);
    ASSERT_EQ(n, static_cast<ssize_t>(44 + pcm.size()));
    got.resize(static_cast<size_t>(n));
    EXPECT_EQ(got.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(got, 4), 36u);
    EXPECT_EQ(le32(got, 40), 0u);
    EXPECT_EQ(got.substr(44), pcm);
}

TEST(FileOutput, OpenFailuresAreReported)
{
    TempDir dir;
    // Root writes into read-only folders; /sys refuses new files even to root.
    std::string denied;
    if (geteuid() != 0) {
        mkdir(dir.file("ro").c_str(), 0500);
        denied = dir.file("ro/out.wav");
    } else {
        denied = "/sys/sonvox-io-test.wav";
    }
    struct Case
    {
        const char *what;
        std::string name;
        int expected;
        const char *detail;
    } cases[] = {
        {"missing folder", "wav:" + dir.file("no/such/folder/out.wav"), SV_ERR_OPEN_FAILED,
         "No such file or directory"},
        {"folder that refuses new files", "wav:" + denied, SV_ERR_PERMISSION_DENIED, "permission denied"},
        {"a folder as the file", "raw:" + dir.path(), SV_ERR_OPEN_FAILED, "Is a directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FileOutput out;
        FakeDecoder fd;
        void *inst = nullptr;
        ASSERT_EQ(out.m.create(&inst, c.name.c_str(), &out.entry, fd.get()), 0);
        int r = out.m.open(inst);
        if (c.expected == SV_ERR_PERMISSION_DENIED && r == SV_ERR_OPEN_FAILED && geteuid() == 0) {
            out.m.destroy(inst);
            continue; // /sys mounted read-only here: the case cannot be produced as root
        }
        EXPECT_EQ(r, c.expected);
        ASSERT_FALSE(fd.reports.empty());
        EXPECT_EQ(fd.reports.back().kind, 'e');
        EXPECT_EQ(fd.reports.back().text, "cannot open output file");
        EXPECT_EQ(fd.reports.back().detail, c.detail);
        EXPECT_LT(out.m.write(inst, "abcd", 4, 2, 2, 44100), 0);
        EXPECT_EQ(out.m.close(inst), 0);
        EXPECT_EQ(out.m.destroy(inst), 0);
    }

    FileOutput out;
    FakeDecoder fd;
    void *inst = nullptr;
    EXPECT_EQ(out.m.create(&inst, "", &out.entry, fd.get()), SV_ERR_INVALID_PARAMETERS);
    ASSERT_EQ(fd.reports.size(), 1u);
    EXPECT_EQ(fd.reports[0].detail, "null params or null/empty output name");
}

// Runs `body` in a child process whose files may grow to `limit` bytes, the way a disk
// that fills up behaves; returns the child's exit status.
template <typename Body> int with_file_size_limit(rlim_t limit, Body body)
{
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl = {limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(FileOutput, FullDiskKeepsAHeaderThatDescribesTheFile)
{
    TempDir dir;
    const std::string path = dir.file("full.wav");
    const std::string pcm = samples(4000); // 16 000 bytes
    // 44 header bytes and 9 001 sample bytes fit: the partial frame is cut off again.
    int status = with_file_size_limit(44 + 9001, [&] {
        FileOutput out;
        FakeDecoder fd;
        void *inst = nullptr;
        if (out.m.create(&inst, ("wav:" + path).c_str(), &out.entry, fd.get()) != 0 || out.m.open(inst) != 0)
            return 1;
        int r = write_all(out, inst, pcm, 2, 44100);
        if (r != SV_ERR_WRITE_FAILED)
            return 2;
        if (out.m.close(inst) != 0)
            return 3;
        out.m.destroy(inst);
        return 0;
    });
    ASSERT_EQ(status, 0);
    std::string file = read_file(path);
    ASSERT_EQ(file.size(), 44u + 9000u);
    EXPECT_EQ(le32(file, 40), 9000u);
    EXPECT_EQ(le32(file, 4), 9036u);
    EXPECT_EQ(file.substr(44), pcm.substr(0, 9000));
}

TEST(FileOutput, DeviceThatIsAlwaysFullFailsCleanly)
{
    FileOutput out;
    FakeDecoder fd;
    void *inst = nullptr;
    ASSERT_EQ(out.m.create(&inst, "wav:/dev/full", &out.entry, fd.get()), 0);
    ASSERT_EQ(out.m.open(inst), 0);
    const std::string pcm = samples(100);
    EXPECT_EQ(out.m.write(inst, pcm.data(), static_cast<int>(pcm.size()), 2, 2, 44100), SV_ERR_WRITE_FAILED);
    EXPECT_EQ(out.m.write(inst, pcm.data(), static_cast<int>(pcm.size()), 2, 2, 44100), SV_ERR_WRITE_FAILED);
    ASSERT_EQ(fd.reports.size(), 1u) << "reported once, not per write";
    EXPECT_EQ(fd.reports[0].kind, 'e');
    EXPECT_EQ(fd.reports[0].text, "cannot write output file");
    EXPECT_EQ(fd.reports[0].detail, "No space left on device");
    out.m.close(inst);
    EXPECT_EQ(out.m.destroy(inst), 0);
}

TEST(FileOutput, Info)
{
    FileOutput out;
    sv_module_info info{};
    ASSERT_EQ(out.m.info(&info, SV_INFO_NAME | SV_INFO_DEVICE_COUNT), 0);
    EXPECT_STREQ(info.name, "Output To File");
    EXPECT_STREQ(info.description, "Version 1.2");
    EXPECT_EQ(info.count, 3);
    struct
    {
        int index;
        const char *name;
        const char *description;
        int flags;
    } devices[] = {{0, "*, or raw:*", "file name (raw PCM format)", 1},
                   {1, "wav:*", "file name (WAV format)", 1},
                   {2, "standard output", "", 0}};
    for (const auto &d : devices) {
        SCOPED_TRACE(d.index);
        sv_module_info dev{};
        dev.count = d.index;
        ASSERT_EQ(out.m.info(&dev, SV_INFO_DEVICE), 0);
        EXPECT_STREQ(dev.name, d.name);
        EXPECT_STREQ(dev.description, d.description);
        EXPECT_EQ(dev.flags, d.flags);
    }
    sv_module_info bad{};
    bad.count = 3;
    EXPECT_EQ(out.m.info(&bad, SV_INFO_DEVICE), SV_ERR_INVALID_PARAMETERS);
}

} // namespace
