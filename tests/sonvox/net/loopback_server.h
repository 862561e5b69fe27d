// A loopback TCP server for the network tests, whose connections a test's handler
// serves on the server's own thread, and the helpers those handlers use.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

inline bool send_all(int fd, const void *data, size_t size)
{
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
inline bool send_all(int fd, const std::string &s)
{
    return send_all(fd, s.data(), s.size());
}

// Reads a request or command up to and with `end` (at most 64 KiB, 10 s).
inline std::string read_until(int fd, const std::string &end = "\r\n\r\n")
{
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (text.size() < 65536 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char c;
        if (recv(fd, &c, 1, 0) != 1)
            break;
        text += c;
        if (text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0)
            break;
    }
    return text;
}

// A TCP server on 127.0.0.1 or ::1 on a port the kernel chooses. Connections are served
// one after another by the handler, on the server's thread; the connection is closed when
// the handler returns. A handler that waits uses pause(), which ends early at stop.
class LoopbackServer
{
public:
    using Handler = std::function<void(int fd, LoopbackServer &server)>;

    explicit LoopbackServer(Handler handler, bool ipv6 = false)
        : handler_(std::move(handler))
    {
        listen_fd_ = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (ipv6) {
            sockaddr_in6 a{};
            a.sin6_family = AF_INET6;
            a.sin6_addr = in6addr_loopback;
            bind(listen_fd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
            socklen_t len = sizeof a;
            getsockname(listen_fd_, reinterpret_cast<sockaddr *>(&a), &len);
            port_ = ntohs(a.sin6_port);
        } else {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            bind(listen_fd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
            socklen_t len = sizeof a;
            getsockname(listen_fd_, reinterpret_cast<sockaddr *>(&a), &len);
            port_ = ntohs(a.sin_port);
        }
        listen(listen_fd_, 8);
        host_ = ipv6 ? "[::1]" : "127.0.0.1";
        thread_ = std::thread([this] { run(); });
    }
    ~LoopbackServer()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        cv_.notify_all();
        thread_.join();
        close(listen_fd_);
    }
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    int port() const { return port_; }
    std::string url(const std::string &scheme, const std::string &path = "/") const
    {
        return scheme + "://" + host_ + ":" + std::to_string(port_) + path;
    }
    int connections() const { return connections_.load(); }

    // Waits ms milliseconds; false when the server is stopping.
    bool pause(int ms)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return !cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
    }
    bool stopping()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return stopping_;
    }

private:
    void run()
    {
        while (!stopping()) {
            pollfd p{listen_fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            ++connections_;
            handler_(fd, *this);
            close(fd);
        }
    }

    Handler handler_;
    int listen_fd_ = -1, port_ = 0;
    std::string host_;
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stopping_ = false;
    std::thread thread_;
};

// Bytes 0, 1, 2, ... of a test stream: any loss, repeat or shift shows.
inline std::vector<uint8_t> pattern(size_t n)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; i++)
        v[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
    return v;
}

} // namespace nettest
