// sonvox-play on the inputs that used to play nothing while reporting success, on
// standard input against files, on damaged tags, gapless MP3 and wide WAVE samples.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef HAVE_LIBMPG123
#include <mpg123.h>
#endif

#include "temp_dir.h"

namespace {

const std::string edges = std::string(CHIMECAST_FIXTURES) + "/edges/";

struct Outcome
{
    int status;
    std::string err;
    std::string pcm; // the raw 16-bit samples written
};

// Runs sonvox-play with `args` before the input, writing raw samples; `input` is a path,
// or "<path" to give the file on standard input as "-".
Outcome play_raw(const std::string &input, const TempDir &dir, const std::string &args = "")
{
    const std::string raw = dir.file("out.raw");
    std::remove(raw.c_str());
    const bool piped = input[0] == '<';
    const std::string source = piped ? "- < '" + input.substr(1) + "'" : "'" + input + "'";
    const std::string cmd = "SONVOX_ALSA_DEVICE=null '" SONVOX_PLAY "' -q " + args + " -o raw:'" + raw + "' " + source
                            + " 2> '" + dir.file("err.txt") + "'";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(dir.file("err.txt")), read_file(raw)};
}

std::vector<int16_t> samples(const std::string &pcm)
{
    std::vector<int16_t> v(pcm.size() / 2);
    std::memcpy(v.data(), pcm.data(), v.size() * 2);
    return v;
}

TEST(DecoderEdges, AnInputWithoutAudioFailsNamingTheInputAndTheReason)
{
    TempDir dir;
    struct Case
    {
        const char *file;
        const char *reason;
    } cases[] = {
        {"empty.mp3", "the input is empty"},
        {"random.mp3", "no MPEG audio frame found"},
        {"id3_only.mp3", "only an ID3v2 tag, no audio frames"},
        {"free_format.mp3", "free-format MPEG audio is not supported"},
    };
    for (const Case &c : cases) {
        for (const std::string &input : {edges + c.file, "<" + edges + c.file}) {
            SCOPED_TRACE(input);
            Outcome r = play_raw(input, dir);
            EXPECT_EQ(r.status, 1);
            const std::string name = input[0] == '<' ? "-" : c.file;
            EXPECT_NE(r.err.find(name + ": unsupported format: no audio decoded"), std::string::npos) << r.err;
            // From a pipe a tag alone is not told from a tag with no frames after it.
            if (input[0] != '<' || std::strcmp(c.file, "id3_only.mp3") != 0) {
                EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
            }
            EXPECT_TRUE(r.pcm.empty());
        }
    }
}

// Every input, from its file and from standard input, gives the same samples: the
// fixtures here, the codec fixtures and the conformance streams.
TEST(DecoderEdges, StandardInputDecodesExactlyAsTheFile)
{
    TempDir dir;
    std::vector<std::string> inputs;
    for (const char *folder : {"/edges", "/codec_mpeg", "/codec_module", "/io"})
        for (const auto &e : std::filesystem::directory_iterator(std::string(CHIMECAST_FIXTURES) + folder))
            inputs.push_back(e.path().string());
    size_t streams = 0;
    if (std::filesystem::is_directory(CHIMECAST_CONFORMANCE))
        for (const auto &e : std::filesystem::directory_iterator(CHIMECAST_CONFORMANCE))
            if (e.path().extension() == ".bit") {
                inputs.push_back(e.path().string());
                ++streams;
            }
    for (const std::string &input : inputs) {
        SCOPED_TRACE(input);
        Outcome file = play_raw(input, dir);
        Outcome pipe = play_raw("<" + input, dir);
        EXPECT_EQ(pipe.status, file.status) << pipe.err;
        EXPECT_TRUE(pipe.pcm == file.pcm) << "file " << file.pcm.size() << " bytes, pipe " << pipe.pcm.size();
    }
    if (streams == 0)
        GTEST_SKIP() << "no conformance streams in " << CHIMECAST_CONFORMANCE << "; the fixtures were compared";
}

TEST(DecoderEdges, TheCodecIsChosenByTheBytesNotTheName)
{
    TempDir dir;
    // A 16-bit WAVE file named .mp3: 400 samples after its 44-byte header.
    const std::string wav = read_file(edges + "pcm16_named.mp3");
    for (const std::string &input : {edges + "pcm16_named.mp3", "<" + edges + "pcm16_named.mp3"}) {
        SCOPED_TRACE(input);
        Outcome r = play_raw(input, dir);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.pcm == wav.substr(44)) << r.pcm.size();
    }
    // An MP3 named .wav goes to the MPEG codec.
    std::filesystem::copy_file(edges + "tone_1s_tagged.mp3", dir.file("tone.wav"));
    Outcome mp3 = play_raw(dir.file("tone.wav"), dir);
    EXPECT_EQ(mp3.status, 0) << mp3.err;
    EXPECT_EQ(mp3.pcm.size(), 44100u * 2);
}

TEST(DecoderEdges, ADamagedTagSizeIsPassedByFindingTheFirstFrames)
{
    TempDir dir;
    // The same short lame file with its tag's size bytes damaged two ways; the tag is
    // 102 bytes and the stream behind it plays as it does with the tag intact.
    for (const char *file : {"id3_not_syncsafe.mp3", "id3_past_end.mp3"}) {
        for (const std::string &input : {edges + file, "<" + edges + file}) {
            SCOPED_TRACE(input);
            Outcome r = play_raw(input, dir);
            EXPECT_EQ(r.status, 0) << r.err;
            std::string intact = read_file(edges + file);
            intact[6] = intact[7] = intact[8] = 0;
            intact[9] = 102 - 10;
            write_file(dir.file("intact.mp3"), intact);
            Outcome ref = play_raw(dir.file("intact.mp3"), dir);
            ASSERT_GT(ref.pcm.size(), 8000u);
            EXPECT_TRUE(r.pcm == ref.pcm) << r.pcm.size() << " against " << ref.pcm.size();
        }
    }
}

TEST(DecoderEdges, GaplessMp3PlaysExactlyTheEncodedSamples)
{
    TempDir dir;
    // lame's 1 s tone at 44.1 kHz: an Info frame, 576 samples of encoder delay and the
    // padding of the last frame around 44100 samples.
    Outcome r = play_raw(edges + "tone_1s_tagged.mp3", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.pcm.size(), 44100u * 2);
    // The tone starts at once: its first samples are not the encoder's silence.
    const std::vector<int16_t> s = samples(r.pcm);
    int loud = 0;
    for (int i = 0; i < 64 && i < static_cast<int>(s.size()); i++)
        loud += std::abs(s[static_cast<size_t>(i)]) > 1000;
    EXPECT_GT(loud, 10);

    // --no-gapless plays the Info frame and the whole frames as before: 40 frames of
    // audio and the Info frame, 1152 samples each.
    Outcome whole = play_raw(edges + "tone_1s_tagged.mp3", dir, "--no-gapless");
    ASSERT_EQ(whole.status, 0) << whole.err;
    EXPECT_EQ(whole.pcm.size(), 41u * 1152 * 2);
    // The gapless samples are the whole decode from the decoder's delay plus the encoder's.
    const size_t skip = 1152 + 576 + 529;
    ASSERT_GE(whole.pcm.size(), skip * 2 + r.pcm.size());
    EXPECT_TRUE(whole.pcm.compare(skip * 2, r.pcm.size(), r.pcm) == 0);
}

// Tagged tracks one after another (a joined file, a stream relaying files): the first
// tag's end cut takes only its own padding, and the tracks after it play whole, from a
// file and from standard input alike.
TEST(DecoderEdges, GaplessCutEndsAtTheTaggedTrackNotTheInput)
{
    TempDir dir;
    const std::string tone = read_file(edges + "tone_1s_tagged.mp3");
    ASSERT_FALSE(tone.empty());
    {
        std::ofstream f(dir.file("two.mp3"), std::ios::binary);
        f << tone << tone;
    }
    Outcome one = play_raw(edges + "tone_1s_tagged.mp3", dir);
    Outcome whole = play_raw(dir.file("two.mp3"), dir, "--no-gapless");
    ASSERT_EQ(one.status, 0) << one.err;
    ASSERT_EQ(whole.status, 0) << whole.err;
    const size_t second = 40u * 1152 * 2; // the second track's 40 audio frames
    ASSERT_GT(whole.pcm.size(), second);
    for (const std::string &input : {dir.file("two.mp3"), "<" + dir.file("two.mp3")}) {
        SCOPED_TRACE(input);
        Outcome r = play_raw(input, dir);
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(r.pcm.size(), one.pcm.size() + second);
        EXPECT_TRUE(r.pcm.compare(0, one.pcm.size(), one.pcm) == 0);
        EXPECT_TRUE(r.pcm.compare(one.pcm.size(), second, whole.pcm, whole.pcm.size() - second, second) == 0);
    }
}

#ifdef HAVE_LIBMPG123
// libmpg123 in its default gapless mode, the yardstick of mature decoders.
std::vector<int16_t> mpg123_decode(const std::string &path)
{
    std::vector<int16_t> out;
    mpg123_init();
    mpg123_handle *h = mpg123_new(nullptr, nullptr);
    if (!h)
        return out;
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    if (mpg123_open(h, path.c_str()) == MPG123_OK) {
        unsigned char buf[16384];
        size_t done = 0;
        int r;
        while ((r = mpg123_read(h, buf, sizeof buf, &done)) == MPG123_OK || r == MPG123_NEW_FORMAT || done > 0) {
            if (done >= 2) {
                const size_t at = out.size();
                out.resize(at + done / 2);
                std::memcpy(out.data() + at, buf, done - done % 2);
            }
            if (r == MPG123_DONE)
                break;
        }
        mpg123_close(h);
    }
    mpg123_delete(h);
    return out;
}

#endif

TEST(DecoderEdges, GaplessOutputMatchesLibmpg123WithinOneStep)
{
#ifndef HAVE_LIBMPG123
    GTEST_SKIP() << "built without libmpg123";
#else
    TempDir dir;
    Outcome r = play_raw(edges + "tone_1s_tagged.mp3", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<int16_t> ours = samples(r.pcm);
    const std::vector<int16_t> ref = mpg123_decode(edges + "tone_1s_tagged.mp3");
    ASSERT_EQ(ours.size(), ref.size());
    int worst = 0;
    for (size_t i = 0; i < ours.size(); i++)
        worst = std::max(worst, std::abs(ours[i] - ref[i]));
    EXPECT_LE(worst, 1);
#endif
}

TEST(DecoderEdges, WideWaveSamplesBecomeSixteenBits)
{
    TempDir dir;
    // sox's 50 ms sine at 8 kHz, half scale, written in three wide formats: each gives
    // the same 16-bit samples within one step (the float file is rounded, not cut).
    struct Case
    {
        const char *file;
        int channels;
    } cases[] = {{"int32.wav", 1}, {"int24.wav", 2}, {"float32.wav", 1}};
    std::vector<int16_t> first;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        Outcome r = play_raw(edges + c.file, dir);
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<int16_t> s = samples(r.pcm);
        ASSERT_EQ(s.size(), 400u * static_cast<size_t>(c.channels));
        std::vector<int16_t> mono;
        for (size_t i = 0; i < s.size(); i += static_cast<size_t>(c.channels))
            mono.push_back(s[i]);
        int peak = 0;
        for (int16_t v : mono)
            peak = std::max(peak, std::abs(static_cast<int>(v)));
        EXPECT_NEAR(peak, 16384, 200);
        if (first.empty()) {
            first = mono;
            continue;
        }
        for (size_t i = 0; i < mono.size(); i++)
            ASSERT_NEAR(mono[i], first[i], 1) << "sample " << i;
    }
}

TEST(DecoderEdges, ARateChangeWritingAFileStopsWithAReason)
{
    TempDir dir;
    // 44.1 kHz frames followed by 48 kHz frames.
    Outcome r = play_raw(edges + "rate_change.mp3", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("rate_change.mp3: unsupported format: stream format changed"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("the file holds 44100 Hz"), std::string::npos) << r.err;
    EXPECT_GT(r.pcm.size(), 0u);
}

} // namespace
