// svPlayMp3 of a URL, through the shared library and its public header only: what reaches
// a file PCM is what sonvox-play decodes from the same MP3 on disk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "sonvox.h"
#include "tests/sonvox/net/loopback_server.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string read_file(const fs::path &p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

long size_of(const fs::path &p)
{
    std::error_code ec;
    const auto n = fs::file_size(p, ec);
    return ec ? -1 : static_cast<long>(n);
}

TEST(NetApi, PlayMp3OfAUrlPlaysTheStream)
{
    const fs::path dir = fs::temp_directory_path() / ("sonvox-net-api-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string bell = read_file(fs::path(CHIMECAST_FIXTURES) / "io" / "bell.mp3");
    ASSERT_FALSE(bell.empty());
    const std::string mp3 = bell + bell + bell;
    std::ofstream(dir / "bells.mp3", std::ios::binary) << mp3;
    const std::string ref_cmd =
        std::string(SONVOX_PLAY) + " -q -o raw:" + (dir / "ref.raw").string() + " " + (dir / "bells.mp3").string();
    ASSERT_EQ(std::system(ref_cmd.c_str()), 0);
    const std::string expected = read_file(dir / "ref.raw");
    ASSERT_GT(expected.size(), 100000u);

    nettest::LoopbackServer server([&](int fd, nettest::LoopbackServer &) {
        nettest::read_until(fd);
        nettest::send_all(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + mp3);
    });
    const fs::path out = dir / "out.raw";
    std::ofstream(dir / "asound.conf") << "</usr/share/alsa/alsa.conf>\npcm.sonvox_capture {\n  type file\n"
                                          "  slave.pcm \"null\"\n  file \""
                                       << out.string() << "\"\n  format \"raw\"\n}\n";
    setenv("ALSA_CONFIG_PATH", (dir / "asound.conf").c_str(), 1);
    setenv("SONVOX_ALSA_DEVICE", "sonvox_capture", 1);

    // The null PCM takes sound as fast as it comes: played to the end once the capture
    // has stopped growing within a second of the expected length. Stopping closes the
    // device, which writes out what the file PCM still holds.
    const long full = static_cast<long>(expected.size());
    auto play_to_the_end_and_stop = [&] {
        long last = -1;
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            const long size = size_of(out);
            if (size == last && size >= full - 176400)
                break;
            last = size;
            std::this_thread::sleep_for(200ms);
        }
        EXPECT_EQ(svStopMp3(), 0);
        while (size_of(out) < full && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        EXPECT_TRUE(read_file(out) == expected) << "captured " << size_of(out) << " of " << full;
    };

    ASSERT_EQ(svInitMp3(nullptr, nullptr, 224, 68, 32), 1);
    ASSERT_EQ(svPlayMp3(server.url("http", "/bells.mp3").c_str()), 1);
    play_to_the_end_and_stop();

    // Played again, the stream is connected afresh rather than read on from the old
    // connection, which its server has closed.
    fs::remove(out);
    ASSERT_EQ(svPlayMp3(server.url("http", "/bells.mp3").c_str()), 1);
    play_to_the_end_and_stop();
    EXPECT_EQ(server.connections(), 2);
    svFreeMp3();
    unsetenv("ALSA_CONFIG_PATH");
    fs::remove_all(dir);
}

} // namespace
