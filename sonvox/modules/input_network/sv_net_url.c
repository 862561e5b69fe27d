/* Stream URL parsing and the resolution of redirect targets. */
#include "sonvox/modules/input_network/sv_net_url.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "sonvox/engine/sv_errors.h"

static const struct
{
    const char *name;
    int scheme;
} schemes[] = {
    {"file", SV_URL_FILE}, {"http", SV_URL_HTTP}, {"ftp", SV_URL_FTP},
    {"udp", SV_URL_UDP},   {"tcp", SV_URL_TCP},   {"icy", SV_URL_ICY},
};

int sv_url_default_port(int scheme)
{
    switch (scheme) {
    case SV_URL_HTTP: return 80;
    case SV_URL_FTP: return 21;
    case SV_URL_UDP: return 8888;
    case SV_URL_TCP: return 23;
    case SV_URL_ICY: return 80;
    default: return 0;
    }
}

static char *copy_range(const char *from, size_t n)
{
    char *s = malloc(n + 1);
    if (s) {
        memcpy(s, from, n);
        s[n] = '\0';
    }
    return s;
}

void sv_url_free(sv_url *url)
{
    if (!url)
        return;
    free(url->user);
    free(url->password);
    free(url->host);
    free(url->path);
    free(url->whole);
    memset(url, 0, sizeof *url);
}

/* A decimal port 1..65535 spanning exactly [p, end); else 0. */
static int parse_port(const char *p, const char *end)
{
    if (p == end || end - p > 5)
        return 0;
    int port = 0;
    for (; p < end; p++) {
        if (*p < '0' || *p > '9')
            return 0;
        port = port * 10 + (*p - '0');
    }
    return port <= 65535 ? port : 0;
}

/* Splits the authority [a, end) into user information, host and port. */
static int parse_authority(const char *a, const char *end, sv_url *url)
{
    const char *at = NULL;
    for (const char *p = a; p < end; p++)
        if (*p == '@')
            at = p;
    if (at) {
        const char *colon = memchr(a, ':', (size_t)(at - a));
        if (colon) {
            url->user = copy_range(a, (size_t)(colon - a));
            url->password = copy_range(colon + 1, (size_t)(at - colon - 1));
            if (!url->user || !url->password)
                return SV_ERR_OUT_OF_MEMORY;
        } else if (!(url->user = copy_range(a, (size_t)(at - a)))) {
            return SV_ERR_OUT_OF_MEMORY;
        }
        a = at + 1;
    }

    const char *host = a, *host_end, *port_at = NULL;
    if (a < end && *a == '[') {
        const char *close = memchr(a, ']', (size_t)(end - a));
        if (!close)
            return SV_ERR_INVALID_URL_SYNTAX;
        host = a + 1;
        host_end = close;
        if (close + 1 < end) {
            if (close[1] != ':')
                return SV_ERR_INVALID_URL_SYNTAX;
            port_at = close + 2;
        }
    } else {
        const char *colon = memchr(a, ':', (size_t)(end - a));
        host_end = colon ? colon : end;
        if (colon)
            port_at = colon + 1;
    }
    if (host_end == host)
        return SV_ERR_INVALID_URL_SYNTAX;
    url->port = sv_url_default_port(url->scheme);
    if (port_at && !(url->port = parse_port(port_at, end)))
        return SV_ERR_INVALID_URL_SYNTAX;
    url->host = copy_range(host, (size_t)(host_end - host));
    return url->host ? 0 : SV_ERR_OUT_OF_MEMORY;
}

int sv_url_parse(const char *text, sv_url *url)
{
    if (!url)
        return SV_ERR_INVALID_PARAMETERS;
    memset(url, 0, sizeof *url);
    if (!text)
        return SV_ERR_INVALID_PARAMETERS;
    if (!(url->whole = strdup(text)))
        return SV_ERR_OUT_OF_MEMORY;

    const char *colon = strchr(text, ':');
    if (!colon || colon - text < 2) {
        url->scheme = SV_URL_FILE;
        url->path = strdup(text);
        return url->path ? 0 : SV_ERR_OUT_OF_MEMORY;
    }
    size_t n = (size_t)(colon - text);
    for (size_t i = 0; i < sizeof schemes / sizeof schemes[0] && !url->scheme; i++)
        if (strlen(schemes[i].name) == n && strncasecmp(text, schemes[i].name, n) == 0)
            url->scheme = schemes[i].scheme;
    if (!url->scheme)
        return SV_ERR_UNSUPPORTED_URL_SCHEME;
    const char *rest = colon + 1;
    if (url->scheme == SV_URL_FILE) {
        url->path = strdup(rest);
        return url->path ? 0 : SV_ERR_OUT_OF_MEMORY;
    }
    if (strncmp(rest, "//", 2) != 0)
        return SV_ERR_INVALID_URL_SYNTAX;
    rest += 2;
    const char *slash = strchr(rest, '/');
    const char *end = slash ? slash : rest + strlen(rest);
    int r = parse_authority(rest, end, url);
    if (r < 0)
        return r;
    url->path = strdup(slash ? slash : "/");
    if (!url->path)
        return SV_ERR_OUT_OF_MEMORY;
    if (url->scheme == SV_URL_FTP) {
        if (!url->user && !(url->user = strdup("anonymous")))
            return SV_ERR_OUT_OF_MEMORY;
        if (!url->password && !(url->password = strdup(SV_FTP_ANONYMOUS_PASSWORD)))
            return SV_ERR_OUT_OF_MEMORY;
    }
    return 0;
}

static const char *scheme_name(int scheme)
{
    for (size_t i = 0; i < sizeof schemes / sizeof schemes[0]; i++)
        if (schemes[i].scheme == scheme)
            return schemes[i].name;
    return "http";
}

int sv_url_resolve(const sv_url *base, const char *location, sv_url *out)
{
    if (!base || !location || !base->host || !base->path)
        return sv_url_parse(location, out);
    const char *colon = strchr(location, ':'), *slash = strchr(location, '/');
    if (colon && colon - location >= 2 && (!slash || colon < slash))
        return sv_url_parse(location, out); /* absolute */

    const char *scheme = scheme_name(base->scheme);
    const int v6 = strchr(base->host, ':') != NULL;
    size_t size = strlen(scheme) + strlen(base->host) + strlen(base->path) + strlen(location) + 32;
    char *text = malloc(size);
    if (!text) {
        memset(out, 0, sizeof *out);
        return SV_ERR_OUT_OF_MEMORY;
    }
    if (strncmp(location, "//", 2) == 0) {
        snprintf(text, size, "%s:%s", scheme, location);
    } else {
        int dir = 0; /* length of base's folder, up to and with its last '/' */
        if (location[0] != '/') {
            size_t end = strcspn(base->path, "?#");
            for (size_t i = 0; i < end; i++)
                if (base->path[i] == '/')
                    dir = (int)i + 1;
        }
        snprintf(text, size, "%s://%s%s%s:%d%.*s%s", scheme, v6 ? "[" : "", base->host, v6 ? "]" : "", base->port, dir,
                 base->path, location);
    }
    int r = sv_url_parse(text, out);
    free(text);
    return r;
}
