/*
 * The HTTP and ICY client of the network input: the request, the reply line and the
 * headers (published as "http/" properties), redirects, and the ICY metadata interval.
 * Reply lines are read one byte at a time, so that no byte of the stream behind the
 * headers is taken from the socket before the ring receives it.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/modules/input_network/sv_net_internal.h"
#include "sonvox/modules/input_network/sv_net_socket.h"

#define REPLY_LINE_MAX 128   /* the status line */
#define HEADER_LINE_MAX 1024 /* a header line; longer ones are cut to this */
#define HEADER_NAME_MAX 512  /* longer header names are not published */
#define HEADER_LINES_MAX 256 /* a reply with more header lines is not HTTP */
#define USER_AGENT "Tovel/1.0"

typedef struct http_settings
{
    char proxy[256];
    int proxy_port;
    char *custom_header; /* owned; NULL when none */
    int connect_timeout, read_timeout;
} http_settings;

static int env_int(const net_input *in, const char *name, int fallback)
{
    int v = fallback;
    if (!in->decoder || !in->decoder->environment || sv_props_get_int(in->decoder->environment, name, &v) != 0)
        return fallback;
    return v;
}

static void read_settings(const net_input *in, http_settings *s)
{
    memset(s, 0, sizeof *s);
    s->proxy_port = env_int(in, "NETWORK.HTTP.PROXY.PORT", 80);
    s->connect_timeout = env_int(in, "NETWORK.HTTP.CONNECT-TIMEOUT", 30000);
    s->read_timeout = env_int(in, "NETWORK.HTTP.READ-TIMEOUT", 20000);
    sv_props *env = in->decoder ? in->decoder->environment : NULL;
    if (!env)
        return;
    if (sv_props_get_string(env, "NETWORK.HTTP.PROXY.HOSTNAME", s->proxy, sizeof s->proxy) != 0)
        s->proxy[0] = '\0';
    char probe[8];
    if (sv_props_get_string(env, "NETWORK.HTTP.CUSTOM-HEADER", probe, sizeof probe) == 0) {
        /* The store copies with a cut: find the whole length through the item list. */
        for (int i = 0; i < sv_props_count(env); i++) {
            const char *name = NULL, *text = NULL;
            int type = 0, value = 0;
            if (sv_props_item(env, i, &name, &type, &text, &value) == 0 && type == SV_PROP_STRING && text
                && strcmp(name, "NETWORK.HTTP.CUSTOM-HEADER") == 0) {
                s->custom_header = strdup(text);
                break;
            }
        }
    }
}

/* Reads one line (LF ends it, CR is dropped) into line, keeping at most size - 1
 * characters: the rest of a longer line is read and dropped. Returns the length kept,
 * or an error; a peer that closes after a partial line ends the line there. */
static int read_line(net_input *in, char *line, int size, int timeout_ms)
{
    int n = 0, any = 0;
    for (;;) {
        char c;
        int r = in->recv(in->recv_ctx, &c, 1, timeout_ms);
        if (r == SV_ERR_SOCKET_CLOSED && any)
            break;
        if (r < 0)
            return r == SV_ERR_SOCKET_CLOSED ? 0 : r;
        any = 1;
        if (c == '\n')
            break;
        if (c != '\r' && n < size - 1)
            line[n++] = c;
    }
    line[n] = '\0';
    return n;
}

/* One header line: an "http/" property, and the fields the input uses. Returns 1 when
 * the line is the Location of a redirect. */
static int header_line(net_input *in, int icy, int redirect, const char *line, char *location, int location_size)
{
    const char *colon = strchr(line, ':');
    if (!colon)
        return 0;
    size_t name_len = (size_t)(colon - line);
    const char *value = colon + 1;
    while (*value == ' ')
        value++;
    if (name_len > 0 && name_len <= HEADER_NAME_MAX && *value) {
        char name[HEADER_NAME_MAX + 8];
        snprintf(name, sizeof name, "http/%.*s", (int)name_len, line);
        net_set_property(in, name, value);
    }
    if ((name_len == 14 && strncasecmp(line, "Content-Length", 14) == 0)) {
        in->content_length = strtoll(value, NULL, 10);
        if (in->content_length < 0)
            in->content_length = 0;
    } else if (name_len == 12 && strncasecmp(line, "Content-Type", 12) == 0) {
        sv_stream_info *stream = in->decoder ? in->decoder->stream : NULL;
        if (stream) {
            snprintf(stream->content_type, sizeof stream->content_type, "%s", value);
            stream->changed |= SV_STREAM_CONTENT_TYPE_CHANGED;
        }
    } else if (icy && name_len == 11 && strncasecmp(line, "icy-metaint", 11) == 0) {
        long v = strtol(value, NULL, 10);
        in->metaint = v > 0 && v <= (1 << 24) ? (int)v : 0;
        in->icy_left = in->metaint;
    } else if (redirect && name_len == 8 && strncasecmp(line, "Location", 8) == 0) {
        snprintf(location, (size_t)location_size, "%s", colon[1] == ' ' ? colon + 2 : colon + 1);
        return 1;
    }
    return 0;
}

int net_http_reply(net_input *in, int icy, char *location, int location_size)
{
    char line[HEADER_LINE_MAX];
    location[0] = '\0';
    in->metaint = 0;
    in->icy_left = 0;
    const int timeout = env_int(in, "NETWORK.HTTP.READ-TIMEOUT", 20000);
    int n = read_line(in, line, REPLY_LINE_MAX, timeout);
    if (n < 0)
        return n;
    if (n == 0)
        return 0; /* no reply line: the stream starts at once */
    net_debug(in, 1, "got http reply", line);
    char version[REPLY_LINE_MAX], reason[REPLY_LINE_MAX];
    char s[3];
    if (sscanf(line, "%127s %c%c%c %127s", version, &s[0], &s[1], &s[2], reason) < 4 || s[0] == '0')
        return SV_ERR_INVALID_HTTP_REPLY;
    if (s[0] == '4' || s[0] == '5') {
        net_debug(in, 0, "http request failed", line);
        return SV_ERR_HTTP_ERROR_REPLY;
    }
    if (s[0] < '1' || s[0] > '5')
        return SV_ERR_HTTP_ERROR;
    const int redirect = s[0] == '3';
    for (int lines = 0;; lines++) {
        if (lines >= HEADER_LINES_MAX)
            return SV_ERR_INVALID_HTTP_REPLY;
        n = read_line(in, line, HEADER_LINE_MAX, timeout);
        if (n < 0)
            return n;
        if (n == 0)
            break;
        net_debug(in, 1, "http header", line);
        if (header_line(in, icy, redirect, line, location, location_size))
            return 0;
    }
    return 0;
}

static int socket_recv(void *ctx, void *buffer, int size, int timeout_ms)
{
    return sv_net_recv(*(int *)ctx, buffer, size, timeout_ms);
}

/* The request text; NULL when out of memory. */
static char *request_text(const sv_url *url, const http_settings *s, int icy)
{
    const char *target = s->proxy[0] ? url->whole : url->path;
    const int v6 = strchr(url->host, ':') != NULL;
    const char *custom = s->custom_header ? s->custom_header : "";
    size_t size = strlen(target) + strlen(url->host) + strlen(custom) + 160;
    char *text = malloc(size);
    if (text)
        snprintf(text, size, "GET %s HTTP/1.0\r\nHost: %s%s%s\r\nUser-Agent: " USER_AGENT "\r\nAccept: */*\r\n%s%s\r\n",
                 target, v6 ? "[" : "", url->host, v6 ? "]" : "", icy ? "Icy-MetaData:1\r\n" : "", custom);
    return text;
}

/* One request and its reply on in->url. */
static int http_exchange(net_input *in, const http_settings *s, int icy, char *location, int location_size)
{
    const char *host = s->proxy[0] ? s->proxy : in->url.host;
    const int port = s->proxy[0] ? (s->proxy_port > 0 ? s->proxy_port : 80) : in->url.port;
    net_debug_host(in, "connecting", host, port);
    int r = sv_net_connect(host, port, s->connect_timeout, &in->fd);
    if (r < 0) {
        net_debug(in, 0, "connection failed", sv_error_text(r));
        return r;
    }
    net_debug_host(in, "connected", host, port);
    net_debug(in, 1, "requesting data", in->url.path);
    char *request = request_text(&in->url, s, icy);
    if (!request)
        return SV_ERR_OUT_OF_MEMORY;
    r = sv_net_send_all(in->fd, request, (int)strlen(request), s->connect_timeout);
    free(request);
    if (r < 0) {
        net_debug(in, 0, "connection failed", sv_error_text(r));
        return r;
    }
    in->recv = socket_recv;
    in->recv_ctx = &in->fd;
    return net_http_reply(in, icy, location, location_size);
}

int net_http_open(net_input *in, int icy)
{
    http_settings s;
    read_settings(in, &s);
    char location[HEADER_LINE_MAX];
    int r = 0;
    for (int hops = 0;; hops++) {
        r = http_exchange(in, &s, icy, location, sizeof location);
        if (r < 0 || !location[0])
            break;
        net_debug(in, 1, "http redirect, new location", location);
        sv_net_close(&in->fd);
        if (hops >= NET_MAX_REDIRECTS) {
            net_debug(in, 0, "too many redirects", location);
            r = SV_ERR_HTTP_ERROR_REPLY;
            break;
        }
        sv_url next;
        r = sv_url_resolve(&in->url, location, &next);
        if (r == 0 && next.scheme != SV_URL_HTTP && next.scheme != SV_URL_ICY)
            r = SV_ERR_UNSUPPORTED_URL_SCHEME; /* only HTTP is spoken here */
        if (r < 0) {
            sv_url_free(&next);
            net_debug(in, 0, "http request failed", location);
            break;
        }
        sv_url_free(&in->url);
        in->url = next;
        /* What the redirect reply said of its own body is not the stream's. */
        in->content_length = 0;
        if (in->decoder && in->decoder->stream)
            snprintf(in->decoder->stream->content_type, sizeof in->decoder->stream->content_type, "unknown");
    }
    free(s.custom_header);
    if (r < 0) {
        sv_net_close(&in->fd);
        return r;
    }
    net_debug(in, 0, "http request successfull", NULL);
    return 0;
}
