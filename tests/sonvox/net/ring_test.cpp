// The jitter buffer: the first fill, underflow and refill, a stall, a dead stream, and
// how many receives a stream costs.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "tests/sonvox/net/net_test_support.h"

namespace {

using namespace nettest;

const std::string kHeader = "HTTP/1.0 200 OK\r\n\r\n";

TEST(NetRing, TheFirstReadsWaitUntilTheHighMarkIsBuffered)
{
    const auto body = pattern(20000);
    std::atomic<bool> rest{false};
    LoopbackServer server([&](int fd, LoopbackServer &s) {
        read_until(fd);
        send_all(fd, kHeader);
        send_all(fd, body.data(), 16383);
        while (!rest && s.pause(5)) {}
        send_all(fd, body.data() + 16383, body.size() - 16383);
    });
    Recorder rec;
    NetInput in(rec, server.url("http", "/"));
    ASSERT_EQ(in.open(), 0);
    std::vector<uint8_t> buffer(417);
    // One byte short of the mark: every read waits, however long it is retried.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (in.state()->count < 16383 && std::chrono::steady_clock::now() < deadline)
        ASSERT_EQ(in.read(buffer.data(), 417), SV_ERR_TIMEOUT);
    ASSERT_EQ(in.state()->count, 16383);
    EXPECT_EQ(in.read(buffer.data(), 417), SV_ERR_TIMEOUT);
    rest = true;
    int r;
    while ((r = in.read(buffer.data(), 417)) == SV_ERR_TIMEOUT && std::chrono::steady_clock::now() < deadline) {}
    ASSERT_EQ(r, 417);
    EXPECT_GE(in.state()->count + 417, 16384);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), body.begin()));

    // 19 once, refill percentages that only grow, then 21 at 100 and 20.
    std::vector<int> refill;
    int underflows = 0;
    for (const auto &rep : rec.reports) {
        if (rep.kind == 'p' && rep.code == 19)
            underflows++;
        if (rep.kind == 'p' && rep.code == 21)
            refill.push_back(rep.value);
    }
    EXPECT_EQ(underflows, 1);
    ASSERT_GE(refill.size(), 3u);
    EXPECT_TRUE(std::is_sorted(refill.begin(), refill.end()));
    EXPECT_EQ(refill.back(), 100);
    EXPECT_EQ(refill[refill.size() - 2], 16383 * 100 / 16384 + 1);
    EXPECT_EQ(rec.progress_codes().back(), 20);
}

TEST(NetRing, AStallInTheMiddleIsBridgedAndReported)
{
    const auto body = pattern(120000);
    LoopbackServer server([&](int fd, LoopbackServer &s) {
        read_until(fd);
        send_all(fd, kHeader);
        send_all(fd, body.data(), 60000);
        if (s.pause(1000))
            send_all(fd, body.data() + 60000, 60000);
    });
    Recorder rec;
    NetInput in(rec, server.url("http", "/"));
    ASSERT_EQ(in.open(), 0);
    std::vector<uint8_t> got;
    EXPECT_EQ(in.read_to_end(got, 1000), SV_ERR_END_OF_STREAM);
    EXPECT_EQ(got, body);
    const auto codes = rec.progress_codes();
    EXPECT_GE(std::count(codes.begin(), codes.end(), 19), 2);
    EXPECT_GE(std::count(codes.begin(), codes.end(), 20), 2);
}

TEST(NetRing, AStreamThatGoesSilentEndsWithSocketClosed)
{
    const auto body = pattern(30000);
    LoopbackServer server([&](int fd, LoopbackServer &s) {
        read_until(fd);
        send_all(fd, kHeader);
        send_all(fd, body.data(), body.size());
        while (s.pause(50)) { // connection open, nothing sent
        }
    });
    Recorder rec;
    rec.set("INPUT.STREAM.READ-TIMEOUT", 10); // silent for 200 x 10 ms = 2 s
    NetInput in(rec, server.url("http", "/"));
    ASSERT_EQ(in.open(), 0);
    std::vector<uint8_t> got;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(in.read_to_end(got, 1000), SV_ERR_SOCKET_CLOSED);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1900));
    EXPECT_LT(waited, std::chrono::seconds(10));
    EXPECT_EQ(got, body); // what came before the silence was played
    EXPECT_TRUE(rec.has('e', SV_ERR_SOCKET_CLOSED, "socket closed"));
}

struct CountingSocket
{
    net_recv_fn recv;
    void *ctx;
    int calls = 0;
};

int counting_recv(void *ctx, void *buffer, int size, int timeout_ms)
{
    auto *c = static_cast<CountingSocket *>(ctx);
    c->calls++;
    return c->recv(c->ctx, buffer, size, timeout_ms);
}

// A long stream read in odd pieces passes the ring's end many times; receives stay
// batched (about one per MAX-ACCU bytes at most).
TEST(NetRing, ALongStreamWrapsTheRingIntactWithFewReceives)
{
    const auto body = pattern(1 << 20);
    LoopbackServer server([&](int fd, LoopbackServer &) {
        read_until(fd);
        send_all(fd, kHeader);
        send_all(fd, body.data(), body.size());
    });
    Recorder rec;
    NetInput in(rec, server.url("http", "/"));
    ASSERT_EQ(in.open(), 0);
    CountingSocket counter{in.state()->recv, in.state()->recv_ctx};
    in.state()->recv = counting_recv;
    in.state()->recv_ctx = &counter;
    std::vector<uint8_t> got;
    EXPECT_EQ(in.read_to_end(got, 417), SV_ERR_END_OF_STREAM);
    ASSERT_EQ(got.size(), body.size() / 417 * 417);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), body.begin()));
    EXPECT_LT(counter.calls, static_cast<int>(body.size() / 2048) + 64);
}

} // namespace
