/* "Network Streaming Module": the module's descriptor, its reports, settings and open. */
#include "sonvox/modules/input_network/sv_network_input.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/modules/input_network/sv_net_internal.h"
#include "sonvox/modules/input_network/sv_net_socket.h"

#define TCP_CONNECT_TIMEOUT 10000

static int source_id(const net_input *in)
{
    return in->entry ? in->entry->id : 1;
}

void net_progress(const net_input *in, int code, int value, const char *text)
{
    if (in->decoder && in->decoder->progress)
        in->decoder->progress(in->decoder->engine, source_id(in), code, value, text);
}

void net_debug(const net_input *in, int level, const char *text, const char *detail)
{
    if (in->decoder && in->decoder->debug)
        in->decoder->debug(in->decoder->engine, source_id(in), level, text, detail);
}

void net_debug_host(const net_input *in, const char *text, const char *host, int port)
{
    char detail[256];
    snprintf(detail, sizeof detail, "host %.200s, port %d", host, port);
    net_debug(in, 0, text, detail);
}

void net_set_property(const net_input *in, const char *name, const char *value)
{
    sv_stream_info *stream = in->decoder ? in->decoder->stream : NULL;
    if (!stream || !stream->properties)
        return;
    if (sv_props_set_string(stream->properties, name, value) == 0)
        stream->changed |= SV_STREAM_PROPERTIES_CHANGED;
}

static int network_probe(const char *name)
{
    static const char *const prefixes[] = {"http://", "ftp://", "udp://", "tcp://", "icy://"};
    if (!name)
        return -1;
    for (size_t i = 0; i < sizeof prefixes / sizeof prefixes[0]; i++)
        if (strncasecmp(name, prefixes[i], strlen(prefixes[i])) == 0)
            return 0;
    return -1;
}

static void set_text(char *dst, size_t size, const char *text)
{
    snprintf(dst, size, "%s", text);
}

static int network_info(sv_module_info *info, int flags)
{
    if (!info)
        return SV_ERR_INVALID_PARAMETERS;
    int device = info->count;
    if (flags & SV_INFO_NAME) {
        set_text(info->name, sizeof info->name, sv_network_input_module.name);
        set_text(info->description, sizeof info->description, sv_network_input_module.description);
    }
    if (flags & SV_INFO_DEVICE) {
        if (device != 0)
            return SV_ERR_INVALID_PARAMETERS;
        set_text(info->name, sizeof info->name, "http://*, ftp://*, udp://*, icy://*");
        set_text(info->description, sizeof info->description, "streaming url");
        info->flags = 1;
    }
    if (flags & SV_INFO_DEVICE_COUNT)
        info->count = 1;
    return 0;
}

static int setting(const net_input *in, const char *name, int fallback)
{
    int v = fallback;
    if (in->decoder && in->decoder->environment && sv_props_get_int(in->decoder->environment, name, &v) == 0 && v > 0)
        return v;
    return fallback;
}

/* The INPUT.STREAM settings, kept to values the ring can work with. */
static void read_stream_settings(net_input *in)
{
    in->buffer_size = setting(in, "INPUT.STREAM.BUFFER-SIZE", 131072);
    in->max_packet = setting(in, "INPUT.STREAM.MAX-PACKET-SIZE", 8192);
    in->high_mark = setting(in, "INPUT.STREAM.HIGH-MARK", 16384);
    in->read_timeout = setting(in, "INPUT.STREAM.READ-TIMEOUT", 100);
    in->max_accu = setting(in, "INPUT.STREAM.MAX-ACCU", 2048);
    in->force_fill = setting(in, "INPUT.STREAM.FORCE-FILL-ZONE", 2048);
    if (in->buffer_size < 2 * in->max_packet)
        in->buffer_size = 2 * in->max_packet;
    /* A mark the ring cannot reach would keep every read waiting. */
    if (in->high_mark > in->buffer_size - in->max_packet)
        in->high_mark = in->buffer_size - in->max_packet;
}

static int network_create(void **instance, const char *name, sv_module_entry *entry, sv_decoder *decoder)
{
    if (!instance || !name || !name[0]) {
        if (decoder && decoder->debug)
            decoder->debug(decoder->engine, entry ? entry->id : 1, 0, "internal error",
                           "null params or null/empty output name");
        return SV_ERR_INVALID_PARAMETERS;
    }
    net_input *in = calloc(1, sizeof *in);
    if (!in)
        return SV_ERR_OUT_OF_MEMORY;
    in->entry = entry;
    in->decoder = decoder;
    in->fd = in->control_fd = -1;
    read_stream_settings(in);
    in->name = strdup(name);
    if (!in->name || net_ring_alloc(in) < 0) {
        free(in->name);
        free(in);
        return SV_ERR_OUT_OF_MEMORY;
    }
    *instance = in;
    return 0;
}

static int network_close(void *instance)
{
    net_input *in = instance;
    if (!in)
        return SV_ERR_INTERNAL;
    sv_net_close(&in->fd);
    sv_net_close(&in->control_fd);
    in->open = 0;
    in->recv = NULL;
    return 0;
}

static int network_destroy(void *instance)
{
    net_input *in = instance;
    if (!in)
        return SV_ERR_INTERNAL;
    network_close(in);
    sv_url_free(&in->url);
    free(in->ring);
    free(in->name);
    free(in);
    return 0;
}

static int socket_recv(void *ctx, void *buffer, int size, int timeout_ms)
{
    return sv_net_recv(*(int *)ctx, buffer, size, timeout_ms);
}

/* A datagram socket has no end: an empty datagram is no data, not a closed peer. */
static int datagram_recv(void *ctx, void *buffer, int size, int timeout_ms)
{
    int r = sv_net_recv(*(int *)ctx, buffer, size, timeout_ms);
    return r == SV_ERR_SOCKET_CLOSED ? SV_ERR_TIMEOUT : r;
}

static int connect_scheme(net_input *in)
{
    switch (in->url.scheme) {
    case SV_URL_HTTP: return net_http_open(in, 0);
    case SV_URL_ICY: return net_http_open(in, 1);
    case SV_URL_FTP: return net_ftp_open(in);
    case SV_URL_UDP: {
        int r = sv_net_bind_udp(in->url.port, &in->fd);
        if (r < 0)
            net_debug(in, 0, "connection failed", sv_error_text(r));
        in->datagram = 1;
        return r;
    }
    case SV_URL_TCP: {
        net_debug_host(in, "connecting", in->url.host, in->url.port);
        int r = sv_net_connect(in->url.host, in->url.port, TCP_CONNECT_TIMEOUT, &in->fd);
        if (r == 0)
            r = sv_net_send_all(in->fd, "\r\n", 2, TCP_CONNECT_TIMEOUT);
        if (r < 0) {
            net_debug(in, 0, "connection failed", sv_error_text(r));
            return r;
        }
        net_debug_host(in, "connected", in->url.host, in->url.port);
        return 0;
    }
    default: return SV_ERR_UNSUPPORTED_URL_SCHEME;
    }
}

static int network_open(void *instance)
{
    net_input *in = instance;
    if (!in)
        return SV_ERR_INTERNAL;
    network_close(in);
    sv_url_free(&in->url);
    in->content_length = 0;
    in->metaint = 0;
    in->datagram = 0;
    read_stream_settings(in);
    if (net_ring_alloc(in) < 0)
        return SV_ERR_OUT_OF_MEMORY;
    net_progress(in, NET_PROGRESS_CONNECTING, 0, "connecting");
    int r = sv_url_parse(in->name, &in->url);
    if (r == 0)
        r = connect_scheme(in);
    if (r < 0) {
        network_close(in);
        net_progress(in, NET_PROGRESS_CONNECTED, r, "connected");
        return r;
    }
    if (in->fd >= 0 && in->url.scheme != SV_URL_HTTP && in->url.scheme != SV_URL_ICY) {
        in->recv = in->datagram ? datagram_recv : socket_recv;
        in->recv_ctx = &in->fd;
    }
    net_ring_reset(in);
    in->open = 1;
    net_progress(in, NET_PROGRESS_CONNECTED, 0, "connected");
    net_progress(in, NET_PROGRESS_FILL, 0, NULL);
    net_progress(in, NET_PROGRESS_REFILL, 0, NULL);
    return 0;
}

static int network_read(void *instance, void *buffer, int size)
{
    return net_read(instance, buffer, size);
}

static int network_seek(void *instance, int64_t offset)
{
    (void)instance;
    (void)offset;
    return SV_ERR_NO_SLOT;
}

static int network_capabilities(void *instance)
{
    (void)instance;
    return 0;
}

static int64_t network_size(void *instance)
{
    const net_input *in = instance;
    return in ? in->content_length : 0;
}

static const sv_input_module network_input_descriptor = {
    .version = SV_MODULE_INTERFACE_VERSION,
    .probe = network_probe,
    .info = network_info,
    .create = network_create,
    .destroy = network_destroy,
    .open = network_open,
    .close = network_close,
    .read = network_read,
    .seek = network_seek,
    .get_capabilities = network_capabilities,
    .get_size = network_size,
};

int sv_network_input_register(void *descriptor)
{
    if (!descriptor)
        return SV_ERR_INVALID_PARAMETERS;
    memcpy(descriptor, &network_input_descriptor, sizeof network_input_descriptor);
    return 0;
}

const sv_builtin_module sv_network_input_module = {
    .kind = SV_KIND_INPUT,
    .name = "Network Streaming Module",
    .description = "Version 1.4",
    .descriptor = &network_input_descriptor,
    .entry = sv_network_input_register,
};
