/*
 * Non-blocking POSIX sockets with poll() for every wait: TCP connections to a host name
 * or address (IPv4 or IPv6, through getaddrinfo), datagram sockets bound to a local
 * port, and the listening socket of an FTP data connection. Results are byte counts or
 * the library's error codes: -208 host unknown, -200 connect timed out, -202 connection
 * refused, -201 connect failed, -205 socket failed, -206 socket closed, -502 read
 * failed, -503 write failed, -302 select failed, -207 bind, -204 listen, -203 accept,
 * -104 timeout.
 */
#ifndef SONVOX_MODULES_INPUT_NETWORK_SV_NET_SOCKET_H
#define SONVOX_MODULES_INPUT_NETWORK_SV_NET_SOCKET_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Milliseconds of a monotonic clock. */
int64_t sv_net_now_ms(void);

/* Connects to host:port within timeout_ms; the socket into *fd. */
int sv_net_connect(const char *host, int port, int timeout_ms, int *fd);

/* Sends all of data within timeout_ms (never raises SIGPIPE). 0 or an error. */
int sv_net_send_all(int fd, const void *data, int size, int timeout_ms);

/* Receives up to size bytes, waiting up to timeout_ms (0: no wait) for them: a count
 * above 0, -104 when nothing came in time, -206 when the peer closed, or an error. */
int sv_net_recv(int fd, void *buffer, int size, int timeout_ms);

/* A datagram socket bound to port on every local address (IPv6 and IPv4). */
int sv_net_bind_udp(int port, int *fd);

/* A listening TCP socket on a free port of the address the connected socket `peer_of`
 * uses locally. Its IPv4 address bytes and the port go to addr and port. */
int sv_net_listen_beside(int peer_of, int *fd, unsigned char addr[4], int *port);

/* Accepts one connection on a listening socket within timeout_ms. */
int sv_net_accept(int listen_fd, int timeout_ms, int *fd);

void sv_net_close(int *fd);

#ifdef __cplusplus
}
#endif

#endif
