// sonvox-play on streams: an MP3 served by python3's http.server, an ICY server with
// changing titles, a stream that stalls and one whose server dies. Each result is
// compared with the same MP3 decoded from disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/sonvox/net/net_test_support.h"

namespace {

using namespace nettest;
namespace fs = std::filesystem;

std::vector<uint8_t> read_file(const fs::path &p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

struct PlayResult
{
    int status;
    std::string output; // standard error and output together
};

// Runs sonvox-play with a time limit, so that a hang fails the test instead of the suite.
PlayResult play(const std::string &args)
{
    const std::string cmd = "timeout 60 " SONVOX_PLAY " " + args + " 2>&1";
    PlayResult run{-1, {}};
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return run;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        run.output.append(buf, n);
    const int st = pclose(p);
    run.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return run;
}

// The first line a child process writes to the pipe (10 s at most).
std::string first_line(int fd)
{
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char c;
        if (read(fd, &c, 1) != 1 || c == '\n')
            break;
        line += c;
    }
    return line;
}

class SonvoxPlayNet : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("sonvox-net-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        // Four copies of the bell, one after the other: a stream long enough to stall in.
        const auto bell = read_file(fs::path(CHIMECAST_FIXTURES) / "io" / "bell.mp3");
        ASSERT_FALSE(bell.empty());
        for (int i = 0; i < 4; i++)
            mp3_.insert(mp3_.end(), bell.begin(), bell.end());
        std::ofstream(dir_ / "bells.mp3", std::ios::binary)
            .write(reinterpret_cast<const char *>(mp3_.data()), static_cast<std::streamsize>(mp3_.size()));
        const PlayResult ref = play("-q -o wav:" + (dir_ / "disk.wav").string() + " " + (dir_ / "bells.mp3").string());
        ASSERT_EQ(ref.status, 0) << ref.output;
        reference_ = read_file(dir_ / "disk.wav");
        ASSERT_GT(reference_.size(), 44u);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string wav() const { return (dir_ / "net.wav").string(); }

    fs::path dir_;
    std::vector<uint8_t> mp3_, reference_;
};

TEST_F(SonvoxPlayNet, PlaysAnMp3FromPythonsHttpServerLikeTheFileOnDisk)
{
    if (std::system("python3 -c pass >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 is not installed";
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execlp("python3", "python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", dir_.c_str(),
               static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out[1]);
    // "Serving HTTP on 127.0.0.1 port N (http://127.0.0.1:N/) ..."
    const std::string banner = first_line(out[0]);
    const size_t at = banner.find(" port ");
    int port = at == std::string::npos ? 0 : std::atoi(banner.c_str() + at + 6);
    PlayResult run{};
    if (port > 0)
        run = play("-o wav:" + wav() + " http://127.0.0.1:" + std::to_string(port) + "/bells.mp3");
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    close(out[0]);
    ASSERT_GT(port, 0) << banner;
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("http/Content-Length: " + std::to_string(mp3_.size())), std::string::npos);
    EXPECT_EQ(read_file(wav()), reference_);
}

TEST_F(SonvoxPlayNet, PrintsIcyTitlesAsTheyChange)
{
    LoopbackServer server([&](int fd, LoopbackServer &) {
        read_until(fd);
        std::string out = "ICY 200 OK\r\nicy-metaint: 8192\r\nicy-name: Test FM\r\n\r\n";
        int block = 0;
        for (size_t at = 0; at < mp3_.size(); at += 8192, block++) {
            const size_t n = std::min<size_t>(8192, mp3_.size() - at);
            out.append(mp3_.begin() + static_cast<long>(at), mp3_.begin() + static_cast<long>(at + n));
            if (n < 8192)
                break;
            std::string meta = block == 0 ? "StreamTitle='Morning - Bell';" : block == 4 ? "StreamTitle='Noon';" : "";
            meta.resize((meta.size() + 15) / 16 * 16, '\0');
            out += static_cast<char>(meta.size() / 16);
            out += meta;
        }
        send_all(fd, out);
    });
    const PlayResult run = play("-o wav:" + wav() + " " + server.url("icy", "/live"));
    ASSERT_EQ(run.status, 0) << run.output;
    const size_t first = run.output.find("Title:    'Morning - Bell'");
    const size_t second = run.output.find("Title:    'Noon'");
    ASSERT_NE(first, std::string::npos) << run.output;
    ASSERT_NE(second, std::string::npos) << run.output;
    EXPECT_LT(first, second);
    // The metadata is taken out: what plays is the MP3 itself.
    EXPECT_EQ(read_file(wav()), reference_);
}

TEST_F(SonvoxPlayNet, AStallOfFiveSecondsIsBridgedWithUnderflowAndRefill)
{
    LoopbackServer server([&](int fd, LoopbackServer &s) {
        read_until(fd);
        send_all(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n");
        const size_t half = mp3_.size() / 2;
        send_all(fd, mp3_.data(), half);
        if (s.pause(5000))
            send_all(fd, mp3_.data() + half, mp3_.size() - half);
    });
    const PlayResult run = play("-o wav:" + wav() + " " + server.url("http", "/bells.mp3"));
    ASSERT_EQ(run.status, 0) << run.output;
    const size_t underflow = run.output.find("buffer underflow");
    ASSERT_NE(underflow, std::string::npos) << run.output;
    EXPECT_NE(run.output.find("buffer underflow", underflow + 1), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("buffer refilled"), std::string::npos) << run.output;
    // Everything before and after the stall was played (a frame torn by the stall may be
    // lost: the decoder starts over at the next frame).
    EXPECT_GE(read_file(wav()).size(), reference_.size() - 2 * 4608);
}

TEST_F(SonvoxPlayNet, AServerThatDiesMidStreamEndsTheTrack)
{
    LoopbackServer server([&](int fd, LoopbackServer &) {
        read_until(fd);
        send_all(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n");
        send_all(fd, mp3_.data(), mp3_.size() / 2);
    });
    const auto start = std::chrono::steady_clock::now();
    const PlayResult run = play("-o wav:" + wav() + " " + server.url("http", "/bells.mp3"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    ASSERT_EQ(run.status, 0) << run.output;
    const auto got = read_file(wav());
    EXPECT_GT(got.size(), reference_.size() / 2 - 2 * 4608);
    EXPECT_LT(got.size(), reference_.size() / 2 + 2 * 4608);
    // The bytes read to choose the codec are replayed to it, not fetched again.
    EXPECT_EQ(server.connections(), 1);
}

} // namespace
