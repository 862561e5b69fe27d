// HTTP and ICY streams from loopback servers: the request, the reply and its headers,
// failures, redirects, a proxy and ICY metadata.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sonvox/net/net_test_support.h"

namespace {

using namespace nettest;

std::string ok_reply(const std::string &headers, const std::vector<uint8_t> &body)
{
    return "HTTP/1.0 200 OK\r\n" + headers + "\r\n" + std::string(body.begin(), body.end());
}

TEST(NetHttp, SendsTheRequestAndPublishesTheReplyHeaders)
{
    const auto body = pattern(5000);
    std::string request;
    const std::string long_line = "X-Long: " + std::string(3000, 'y') + "\r\n";
    LoopbackServer server([&](int fd, LoopbackServer &) {
        request = read_until(fd);
        send_all(fd, ok_reply(long_line + "Content-Type: audio/mpeg\r\nContent-Length: 5000\r\nX-Empty:\r\n", body));
    });
    Recorder rec;
    NetInput in(rec, server.url("http", "/x.mp3"));
    ASSERT_EQ(in.open(), 0);
    EXPECT_EQ(request, "GET /x.mp3 HTTP/1.0\r\nHost: 127.0.0.1\r\nUser-Agent: Tovel/1.0\r\nAccept: */*\r\n\r\n");
    EXPECT_EQ(rec.property("http/Content-Type"), "audio/mpeg");
    EXPECT_EQ(rec.property("http/X-Empty"), "<none>");
    EXPECT_EQ(rec.property("http/X-Long").substr(0, 10), std::string(10, 'y'));
    EXPECT_STREQ(rec.stream().content_type, "audio/mpeg");
    EXPECT_EQ(in.size(), 5000);
    EXPECT_TRUE(rec.has('d', 0, "http request successfull"));
    EXPECT_EQ(rec.progress_codes(), (std::vector<int>{16, 17, 22, 21}));

    std::vector<uint8_t> got;
    EXPECT_EQ(in.read_to_end(got, 1000), SV_ERR_END_OF_STREAM);
    EXPECT_EQ(got, body);
    EXPECT_TRUE(rec.has('p', 23, "reached end of stream"));
}

TEST(NetHttp, ReplyLinesDecideBetweenStreamAndFailure)
{
    const struct
    {
        const char *reply;
        int result;
    } cases[] = {
        {"HTTP/1.0 404 Not Found\r\n\r\n", SV_ERR_HTTP_ERROR_REPLY},
        {"HTTP/1.1 500 Internal Server Error\r\n\r\n", SV_ERR_HTTP_ERROR_REPLY},
        {"HTTP/1.0 099 Odd\r\n\r\n", SV_ERR_INVALID_HTTP_REPLY},
        {"HTTP/1.0 7xx Odd\r\n\r\n", SV_ERR_HTTP_ERROR},
        {"garbage\r\n\r\n", SV_ERR_INVALID_HTTP_REPLY},
        {"HTTP/1.0 200 OK\r\n\r\nstream", 0}, // no header lines at all
        {"\r\nstream", 0},                    // no reply line: the stream starts at once
        {"ICY 200 OK\r\n\r\nstream", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reply);
        LoopbackServer server([&](int fd, LoopbackServer &) {
            read_until(fd);
            send_all(fd, c.reply);
        });
        Recorder rec;
        NetInput in(rec, server.url("http", "/s"));
        ASSERT_EQ(in.open(), c.result);
        if (c.result == SV_ERR_HTTP_ERROR_REPLY) {
            EXPECT_TRUE(rec.has('d', 0, "http request failed"));
        }
        if (c.result == 0) {
            std::vector<uint8_t> got;
            EXPECT_EQ(in.read_to_end(got, 2), SV_ERR_END_OF_STREAM);
            EXPECT_EQ(std::string(got.begin(), got.end()), "stream");
        }
    }
}

TEST(NetHttp, ConnectionRefusedIsReported)
{
    int port;
    { // a port that was just free and has no listener now
        LoopbackServer gone([](int, LoopbackServer &) {});
        port = gone.port();
    }
    Recorder rec;
    NetInput in(rec, "http://127.0.0.1:" + std::to_string(port) + "/");
    EXPECT_EQ(in.open(), SV_ERR_CONNECTION_REFUSED);
    EXPECT_TRUE(rec.has('d', 0, "connection failed"));
    EXPECT_TRUE(rec.has('p', 17, "connected"));
}

TEST(NetHttp, RedirectToAnotherHostMakesASecondRequestThere)
{
    const auto body = pattern(3000);
    LoopbackServer target(
        [&](int fd, LoopbackServer &) {
            read_until(fd);
            send_all(fd, ok_reply("", body));
        },
        /*ipv6=*/true);
    LoopbackServer first([&](int fd, LoopbackServer &) {
        read_until(fd);
        send_all(fd, "HTTP/1.0 302 Found\r\nContent-Type: text/html\r\nContent-Length: 99\r\nLocation: "
                         + target.url("http", "/b.mp3") + "\r\n\r\n");
    });
    Recorder rec;
    NetInput in(rec, first.url("http", "/a.mp3"));
    ASSERT_EQ(in.open(), 0);
    EXPECT_EQ(target.connections(), 1);
    EXPECT_STREQ(rec.stream().content_type, "unknown"); // the stream's reply named none
    EXPECT_EQ(in.size(), 0);
    EXPECT_TRUE(rec.has('d', 1, "http redirect, new location"));
    std::vector<uint8_t> got;
    EXPECT_EQ(in.read_to_end(got, 500), SV_ERR_END_OF_STREAM);
    EXPECT_EQ(got, body);
}

// /hop/N answers with a redirect to hop/N+1 (relative) up to /hop/10, which streams;
// /loop redirects to itself.
TEST(NetHttp, TenRedirectsAreFollowedAndAnEleventhOrALoopFails)
{
    std::vector<std::string> paths;
    LoopbackServer server([&](int fd, LoopbackServer &) {
        const std::string request = read_until(fd);
        const std::string path = request.substr(4, request.find(' ', 4) - 4);
        paths.push_back(path);
        if (path == "/loop") {
            send_all(fd, "HTTP/1.0 301 Moved\r\nLocation: /loop\r\n\r\n");
        } else {
            const int n = std::stoi(path.substr(5));
            if (n >= 10)
                send_all(fd, "HTTP/1.0 200 OK\r\n\r\nend");
            else
                send_all(fd, "HTTP/1.0 302 Found\r\nLocation:" + std::to_string(n + 1) + "\r\n\r\n");
        }
    });
    {
        Recorder rec;
        NetInput in(rec, server.url("http", "/hop/0"));
        EXPECT_EQ(in.open(), 0);
        EXPECT_EQ(paths.size(), 11u);
        EXPECT_EQ(paths.back(), "/hop/10");
    }
    for (const char *start : {"/hop/-1", "/loop"}) {
        SCOPED_TRACE(start);
        paths.clear();
        Recorder rec;
        NetInput in(rec, server.url("http", start));
        EXPECT_EQ(in.open(), SV_ERR_HTTP_ERROR_REPLY);
        EXPECT_EQ(paths.size(), 11u);
        EXPECT_TRUE(rec.has('d', 0, "too many redirects"));
    }
}

TEST(NetHttp, AProxyGetsTheWholeUrlAndTheCustomHeaderIsAdded)
{
    std::string request;
    LoopbackServer proxy([&](int fd, LoopbackServer &) {
        request = read_until(fd);
        send_all(fd, "HTTP/1.0 200 OK\r\n\r\n");
    });
    Recorder rec;
    rec.set("NETWORK.HTTP.PROXY.HOSTNAME", "127.0.0.1");
    rec.set("NETWORK.HTTP.PROXY.PORT", proxy.port());
    rec.set("NETWORK.HTTP.CUSTOM-HEADER", "X-School: north\r\n");
    NetInput in(rec, "icy://radio.invalid:8000/live");
    ASSERT_EQ(in.open(), 0);
    EXPECT_EQ(request, "GET icy://radio.invalid:8000/live HTTP/1.0\r\nHost: radio.invalid\r\nUser-Agent: Tovel/1.0\r\n"
                       "Accept: */*\r\nIcy-MetaData:1\r\nX-School: north\r\n\r\n");
}

// An ICY server with icy-metaint 8192: audio, then a length byte and the metadata block,
// sent in pieces of 700 bytes so that blocks arrive split over receives.
TEST(NetIcy, MetadataIsTakenOutOfTheAudioAndPublished)
{
    const auto audio = pattern(8192 * 6);
    const char *titles[] = {"StreamTitle='A - B';", "StreamTitle='Second - Title';StreamUrl='http://x/';"};
    std::string request;
    LoopbackServer server([&](int fd, LoopbackServer &) {
        request = read_until(fd);
        std::string out = "ICY 200 OK\r\nicy-name: Test FM\r\nicy-metaint: 8192\r\n\r\n";
        for (int block = 0; block < 6; block++) {
            out.append(audio.begin() + block * 8192, audio.begin() + (block + 1) * 8192);
            std::string meta = block == 0 ? titles[0] : block == 3 ? titles[1] : "";
            meta.resize((meta.size() + 15) / 16 * 16, '\0');
            out += static_cast<char>(meta.size() / 16);
            out += meta;
        }
        for (size_t at = 0; at < out.size(); at += 700) {
            send_all(fd, out.data() + at, std::min<size_t>(700, out.size() - at));
            server.pause(1);
        }
    });
    Recorder rec;
    std::vector<std::string> seen;
    sv_props_add_watcher(
        rec.stream().properties, "icy/StreamTitle",
        [](void *user, const char *, const void *value) {
            static_cast<std::vector<std::string> *>(user)->push_back(static_cast<const char *>(value));
        },
        &seen);
    NetInput in(rec, server.url("icy", "/live"));
    ASSERT_EQ(in.open(), 0);
    EXPECT_NE(request.find("\r\nIcy-MetaData:1\r\n"), std::string::npos);
    EXPECT_EQ(rec.property("http/icy-name"), "Test FM");
    EXPECT_EQ(in.state()->metaint, 8192);

    std::vector<uint8_t> got;
    EXPECT_EQ(in.read_to_end(got, 1044), SV_ERR_END_OF_STREAM);
    // Whole 1044-byte reads: the stream's last 1044 - (49152 mod 1044) bytes cannot fill one.
    ASSERT_EQ(got.size(), audio.size() / 1044 * 1044);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), audio.begin()));
    EXPECT_EQ(seen, (std::vector<std::string>{"'A - B'", "'Second - Title'"}));
    EXPECT_EQ(rec.property("icy/StreamUrl"), "'http://x/'");
}

} // namespace
