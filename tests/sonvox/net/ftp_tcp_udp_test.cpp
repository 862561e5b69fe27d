// FTP in active mode, a TCP source and UDP datagrams, all on loopback.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/sonvox/net/net_test_support.h"

namespace {

using namespace nettest;

// Connects to the address a PORT command names.
int connect_port(const std::string &command)
{
    int a, b, c, d, p1, p2;
    if (std::sscanf(command.c_str(), "PORT %d,%d,%d,%d,%d,%d", &a, &b, &c, &d, &p1, &p2) != 6)
        return -1;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(p1 * 256 + p2));
    addr.sin_addr.s_addr = htonl(static_cast<uint32_t>(a << 24 | b << 16 | c << 8 | d));
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// An FTP server that speaks the login, TYPE, PORT and RETR dialogue; RETR of `missing`
// fails with 550.
class FtpServer
{
public:
    explicit FtpServer(std::vector<uint8_t> file)
        : file_(std::move(file)),
          server_([this](int fd, LoopbackServer &) { serve(fd); })
    {}
    std::string url(const std::string &userinfo, const std::string &path) const
    {
        return "ftp://" + userinfo + "127.0.0.1:" + std::to_string(server_.port()) + path;
    }
    std::vector<std::string> commands;
    std::string missing = "/missing.mp3";

private:
    void serve(int fd)
    {
        send_all(fd, "220-Welcome to the bell server\r\n220-second line\r\n220 ready\r\n");
        std::string port;
        for (;;) {
            std::string line = read_until(fd, "\r\n");
            if (line.size() < 2)
                return;
            line.resize(line.size() - 2);
            commands.push_back(line);
            const std::string verb = line.substr(0, 4);
            if (verb == "USER")
                send_all(fd, "331 password please\r\n");
            else if (verb == "PASS")
                send_all(fd, "230 logged in\r\n");
            else if (verb == "TYPE")
                send_all(fd, "200 binary\r\n");
            else if (verb == "PORT") {
                port = line;
                send_all(fd, "200 port ok\r\n");
            } else if (verb == "RETR" && line.substr(5) == missing) {
                send_all(fd, "550 no such file\r\n");
            } else if (verb == "RETR") {
                send_all(fd, "150 Opening BINARY connection (" + std::to_string(file_.size()) + " bytes)\r\n");
                int data = connect_port(port);
                send_all(data, file_.data(), file_.size());
                close(data);
                send_all(fd, "226 done\r\n");
            } else {
                send_all(fd, "500 what\r\n");
            }
        }
    }

    std::vector<uint8_t> file_;
    LoopbackServer server_;
};

TEST(NetFtp, LogsInRetrievesThePathOverTheDataConnection)
{
    const auto file = pattern(50000);
    FtpServer server(file);
    const struct
    {
        std::string userinfo, user, password;
    } logins[] = {{"", "anonymous", SV_FTP_ANONYMOUS_PASSWORD}, {"bell:s3cret@", "bell", "s3cret"}};
    for (const auto &login : logins) {
        SCOPED_TRACE(login.user);
        server.commands.clear();
        Recorder rec;
        NetInput in(rec, server.url(login.userinfo, "/dir/a.mp3"));
        ASSERT_EQ(in.open(), 0);
        ASSERT_EQ(server.commands.size(), 5u);
        EXPECT_EQ(server.commands[0], "USER " + login.user);
        EXPECT_EQ(server.commands[1], "PASS " + login.password);
        EXPECT_EQ(server.commands[2], "TYPE I");
        EXPECT_EQ(server.commands[3].substr(0, 14), "PORT 127,0,0,1");
        EXPECT_EQ(server.commands[4], "RETR /dir/a.mp3");
        EXPECT_EQ(in.size(), 50000);
        std::vector<uint8_t> got;
        EXPECT_EQ(in.read_to_end(got, 1000), SV_ERR_END_OF_STREAM);
        EXPECT_EQ(got, file);
        EXPECT_TRUE(rec.has('d', 1, "logging in as"));
        EXPECT_TRUE(rec.has('d', 0, "connected and receiving"));
        // The password is told only to those who asked for level 2.
        for (const auto &r : rec.reports) {
            if (r.kind == 'd' && r.code < 2) {
                EXPECT_EQ(r.detail.find(login.password), std::string::npos) << r.text;
            }
        }
        EXPECT_TRUE(rec.has('d', 2, "sending PASS"));
    }
}

TEST(NetFtp, AnErrorReplyFailsTheOpen)
{
    FtpServer server(pattern(10));
    Recorder rec;
    NetInput in(rec, server.url("", "/missing.mp3"));
    EXPECT_EQ(in.open(), SV_ERR_FTP_ERROR);
    bool told = false;
    for (const auto &r : rec.reports)
        told = told || (r.kind == 'd' && r.text == "errror code returned" && r.detail == "550");
    EXPECT_TRUE(told);
}

TEST(NetTcp, ASourceGetsALineEndAndStreamsUntilItCloses)
{
    const auto body = pattern(40000);
    std::string hello;
    LoopbackServer server([&](int fd, LoopbackServer &) {
        hello = read_until(fd, "\r\n");
        send_all(fd, body.data(), body.size());
    });
    Recorder rec;
    NetInput in(rec, server.url("tcp"));
    ASSERT_EQ(in.open(), 0);
    std::vector<uint8_t> got;
    EXPECT_EQ(in.read_to_end(got, 1000), SV_ERR_END_OF_STREAM);
    EXPECT_EQ(hello, "\r\n");
    EXPECT_EQ(got, body);
}

TEST(NetUdp, DatagramsToTheBoundPortAreTheStream)
{
    // A port that is free now; the URL's host is not used.
    int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    getsockname(probe, reinterpret_cast<sockaddr *>(&addr), &len);
    close(probe);

    Recorder rec;
    NetInput in(rec, "udp://example:" + std::to_string(ntohs(addr.sin_port)));
    ASSERT_EQ(in.open(), 0);
    const auto body = pattern(40000);
    int out = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    for (size_t at = 0; at < body.size(); at += 1000)
        ASSERT_EQ(sendto(out, body.data() + at, 1000, 0, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 1000);
    close(out);
    std::vector<uint8_t> got, buffer(1000);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (got.size() < body.size() && std::chrono::steady_clock::now() < deadline) {
        int r = in.read(buffer.data(), 1000);
        if (r > 0)
            got.insert(got.end(), buffer.begin(), buffer.begin() + r);
        else
            ASSERT_EQ(r, SV_ERR_TIMEOUT);
    }
    EXPECT_EQ(got, body);
}

} // namespace
