/*
 * What the parts of the network input share: the instance, its reports, and the
 * connection steps of each scheme. Everything runs on the player thread; there is no
 * receiving thread, so bytes are received only inside open and read.
 */
#ifndef SONVOX_MODULES_INPUT_NETWORK_SV_NET_INTERNAL_H
#define SONVOX_MODULES_INPUT_NETWORK_SV_NET_INTERNAL_H

#include <stdint.h>

#include "sonvox/engine/sv_module.h"
#include "sonvox/modules/input_network/sv_net_url.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Progress report codes (notification 121). */
#define NET_PROGRESS_CONNECTING 16
#define NET_PROGRESS_CONNECTED 17
#define NET_PROGRESS_UNDERFLOW 19
#define NET_PROGRESS_REFILLED 20
#define NET_PROGRESS_REFILL 21
#define NET_PROGRESS_FILL 22
#define NET_PROGRESS_END 23

/* HTTP redirects followed before the request fails as a loop. */
#define NET_MAX_REDIRECTS 10
/* A stream silent for this many read time-outs in a row has died (20 s by default). */
#define NET_STALL_TIMEOUTS 200
/* Longest ICY metadata block: a length byte of 255, times 16. */
#define NET_ICY_META_MAX (255 * 16)

/* Where received bytes come from: the stream socket, or a test's fake. Same results
 * as sv_net_recv. */
typedef int (*net_recv_fn)(void *ctx, void *buffer, int size, int timeout_ms);

typedef struct net_input
{
    sv_module_entry *entry; /* report source; may be NULL */
    sv_decoder *decoder;    /* may be NULL (no reports, no properties) */
    char *name;
    sv_url url;

    /* Connection. fd is what the stream is received from (the FTP data socket for ftp). */
    int fd, control_fd, datagram;
    net_recv_fn recv;
    void *recv_ctx;
    int64_t content_length; /* 0 = unknown */
    int open;

    /* Settings (INPUT.STREAM.*), read at new. */
    int buffer_size, max_packet, high_mark, read_timeout, max_accu, force_fill;

    /* The ring: buffer_size bytes and max_packet spare bytes behind them. */
    unsigned char *ring;
    int rpos, wpos, count;
    int underflow, threshold, accu, ended;
    int64_t last_data_ms; /* when bytes last came in */

    /* ICY: audio bytes between metadata blocks (0 = none) and those left until the next. */
    int metaint, icy_left;
} net_input;

void net_progress(const net_input *in, int code, int value, const char *text);
void net_debug(const net_input *in, int level, const char *text, const char *detail);
/* Debug "connecting"/"connected" with "host %s, port %d". */
void net_debug_host(const net_input *in, const char *text, const char *host, int port);
/* Sets a string stream property and marks the stream information changed. */
void net_set_property(const net_input *in, const char *name, const char *value);

/* Ring (sv_net_ring.c). */
int net_ring_alloc(net_input *in);
void net_ring_reset(net_input *in);
/* One receive into the ring, waiting up to timeout_ms. */
void net_receive(net_input *in, int timeout_ms);
/* The buffered read: size bytes, -104 while refilling, -514 at the end, -206 for a
 * stream that went silent. */
int net_read(net_input *in, void *buffer, int size);
/* Splits ICY metadata text ("key='value';...") into "icy/key" properties. */
void net_icy_metadata(const net_input *in, const char *text, int size);

/* Scheme clients: 0 once the stream's first byte can be received, or an error. */
int net_http_open(net_input *in, int icy);
int net_ftp_open(net_input *in);

/* The HTTP reply (status line and headers) read through in->recv; for a redirect the
 * new location is copied to location (else it is left empty). */
int net_http_reply(net_input *in, int icy, char *location, int location_size);

#ifdef __cplusplus
}
#endif

#endif
