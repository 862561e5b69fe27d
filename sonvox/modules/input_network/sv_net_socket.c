/* TCP and UDP sockets of the network input: connect, send, receive, bind, listen, accept. */
#define _GNU_SOURCE /* accept4, EAI_ADDRFAMILY */
#include "sonvox/modules/input_network/sv_net_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "sonvox/engine/sv_errors.h"

int64_t sv_net_now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

void sv_net_close(int *fd)
{
    if (fd && *fd >= 0) {
        close(*fd);
        *fd = -1;
    }
}

static int set_nonblocking(int fd)
{
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 ? 0 : -1;
}

/* Waits until fd is ready for `events` or the time runs out: 1 ready, 0 time-out, or an
 * error. Interrupted waits go on with the time that is left. */
static int wait_for(int fd, short events, int timeout_ms)
{
    const int64_t deadline = sv_net_now_ms() + (timeout_ms > 0 ? timeout_ms : 0);
    for (;;) {
        struct pollfd p = {.fd = fd, .events = events};
        int64_t left = deadline - sv_net_now_ms();
        int r = poll(&p, 1, left > 0 ? (int)left : 0);
        if (r > 0)
            return 1;
        if (r == 0)
            return 0;
        if (errno != EINTR)
            return SV_ERR_SELECT_FAILED;
    }
}

static int connect_error(int err)
{
    switch (err) {
    case ECONNREFUSED: return SV_ERR_CONNECTION_REFUSED;
    case ETIMEDOUT: return SV_ERR_CONNECT_TIMED_OUT;
    default: return SV_ERR_CONNECT_FAILED;
    }
}

/* One address: 0 and the socket, or an error. */
static int connect_one(const struct addrinfo *ai, int64_t deadline, int *out)
{
    int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0)
        return SV_ERR_SOCKET_FAILED;
    if (set_nonblocking(fd) != 0) {
        close(fd);
        return SV_ERR_SOCKET_FAILED;
    }
    int r = 0;
    if (connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            r = connect_error(errno);
        } else {
            int64_t left = deadline - sv_net_now_ms();
            int w = wait_for(fd, POLLOUT, left > 0 ? (int)left : 0);
            int err = 0;
            socklen_t len = sizeof err;
            if (w < 0)
                r = w;
            else if (w == 0)
                r = SV_ERR_CONNECT_TIMED_OUT;
            else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                r = SV_ERR_CONNECT_FAILED;
            else if (err != 0)
                r = connect_error(err);
        }
    }
    if (r < 0) {
        close(fd);
        return r;
    }
    *out = fd;
    return 0;
}

int sv_net_connect(const char *host, int port, int timeout_ms, int *fd)
{
    *fd = -1;
    if (!host || !host[0] || port <= 0 || port > 65535)
        return SV_ERR_INVALID_PARAMETERS;
    char service[8];
    snprintf(service, sizeof service, "%d", port);
    struct addrinfo hints = {0}, *list = NULL;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    int g = getaddrinfo(host, service, &hints, &list);
    if (g == EAI_ADDRFAMILY || g == EAI_NONAME) {
        /* AI_ADDRCONFIG hides ::1 on a machine whose only IPv6 address is loopback. */
        hints.ai_flags = AI_NUMERICSERV;
        g = getaddrinfo(host, service, &hints, &list);
    }
    if (g != 0)
        return g == EAI_MEMORY ? SV_ERR_OUT_OF_MEMORY : SV_ERR_HOST_UNKNOWN;
    const int64_t deadline = sv_net_now_ms() + (timeout_ms > 0 ? timeout_ms : 0);
    int r = SV_ERR_HOST_UNKNOWN;
    for (const struct addrinfo *ai = list; ai; ai = ai->ai_next) {
        r = connect_one(ai, deadline, fd);
        if (r == 0 || r == SV_ERR_CONNECT_TIMED_OUT)
            break;
    }
    freeaddrinfo(list);
    return r;
}

int sv_net_send_all(int fd, const void *data, int size, int timeout_ms)
{
    const char *p = data;
    const int64_t deadline = sv_net_now_ms() + timeout_ms;
    while (size > 0) {
        ssize_t n = send(fd, p, (size_t)size, MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            size -= (int)n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            int64_t left = deadline - sv_net_now_ms();
            int w = wait_for(fd, POLLOUT, left > 0 ? (int)left : 0);
            if (w < 0)
                return w;
            if (w == 0)
                return SV_ERR_TIMEOUT;
            continue;
        }
        return errno == EPIPE || errno == ECONNRESET ? SV_ERR_SOCKET_CLOSED : SV_ERR_WRITE_FAILED;
    }
    return 0;
}

int sv_net_recv(int fd, void *buffer, int size, int timeout_ms)
{
    if (fd < 0 || size <= 0)
        return SV_ERR_INVALID_PARAMETERS;
    for (;;) {
        ssize_t n = recv(fd, buffer, (size_t)size, 0);
        if (n > 0)
            return (int)n;
        if (n == 0)
            return SV_ERR_SOCKET_CLOSED;
        if (errno == EINTR)
            continue;
        if (errno == ECONNRESET)
            return SV_ERR_SOCKET_CLOSED;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return SV_ERR_READ_FAILED;
        if (timeout_ms <= 0)
            return SV_ERR_TIMEOUT;
        int w = wait_for(fd, POLLIN, timeout_ms);
        if (w < 0)
            return w;
        if (w == 0)
            return SV_ERR_TIMEOUT;
        timeout_ms = 0; /* ready: one more try, without waiting again */
    }
}

int sv_net_bind_udp(int port, int *fd)
{
    *fd = -1;
    int s = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s >= 0) {
        int off = 0;
        setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
        struct sockaddr_in6 a6 = {0};
        a6.sin6_family = AF_INET6;
        a6.sin6_addr = in6addr_any;
        a6.sin6_port = htons((uint16_t)port);
        if (bind(s, (struct sockaddr *)&a6, sizeof a6) != 0) {
            close(s);
            s = -1;
        }
    }
    if (s < 0) { /* no IPv6 here: IPv4 only */
        s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (s < 0)
            return SV_ERR_SOCKET_FAILED;
        struct sockaddr_in a4 = {0};
        a4.sin_family = AF_INET;
        a4.sin_addr.s_addr = htonl(INADDR_ANY);
        a4.sin_port = htons((uint16_t)port);
        if (bind(s, (struct sockaddr *)&a4, sizeof a4) != 0) {
            close(s);
            return SV_ERR_BIND_FAILED;
        }
    }
    if (set_nonblocking(s) != 0) {
        close(s);
        return SV_ERR_SOCKET_FAILED;
    }
    *fd = s;
    return 0;
}

int sv_net_listen_beside(int peer_of, int *fd, unsigned char addr[4], int *port)
{
    *fd = -1;
    struct sockaddr_storage local;
    socklen_t len = sizeof local;
    if (getsockname(peer_of, (struct sockaddr *)&local, &len) != 0)
        return SV_ERR_SOCKET_FAILED;
    struct sockaddr_in a4 = {0};
    a4.sin_family = AF_INET;
    if (local.ss_family == AF_INET) {
        a4.sin_addr = ((struct sockaddr_in *)&local)->sin_addr;
    } else {
        /* An IPv4 peer reached over a dual-stack socket (::ffff:a.b.c.d); a true IPv6
         * control connection cannot be told a data address with PORT. */
        const struct sockaddr_in6 *a6 = (const struct sockaddr_in6 *)&local;
        if (!IN6_IS_ADDR_V4MAPPED(&a6->sin6_addr))
            return SV_ERR_SOCKET_FAILED;
        memcpy(&a4.sin_addr, a6->sin6_addr.s6_addr + 12, 4);
    }
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return SV_ERR_SOCKET_FAILED;
    if (bind(s, (struct sockaddr *)&a4, sizeof a4) != 0) {
        close(s);
        return SV_ERR_BIND_FAILED;
    }
    if (listen(s, 1) != 0 || set_nonblocking(s) != 0) {
        close(s);
        return SV_ERR_LISTEN_FAILED;
    }
    len = sizeof a4;
    if (getsockname(s, (struct sockaddr *)&a4, &len) != 0) {
        close(s);
        return SV_ERR_LISTEN_FAILED;
    }
    memcpy(addr, &a4.sin_addr, 4);
    *port = ntohs(a4.sin_port);
    *fd = s;
    return 0;
}

int sv_net_accept(int listen_fd, int timeout_ms, int *fd)
{
    *fd = -1;
    int w = wait_for(listen_fd, POLLIN, timeout_ms);
    if (w < 0)
        return w;
    if (w == 0)
        return SV_ERR_TIMEOUT;
    int s = accept4(listen_fd, NULL, NULL, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (s < 0)
        return SV_ERR_ACCEPT_FAILED;
    *fd = s;
    return 0;
}
