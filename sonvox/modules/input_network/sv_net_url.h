/*
 * Stream URLs: scheme://[user[:password]@]host[:port][/path]. Host names, IPv4 addresses
 * and IPv6 addresses in brackets ("http://[::1]:8000/") are accepted.
 */
#ifndef SONVOX_MODULES_INPUT_NETWORK_SV_NET_URL_H
#define SONVOX_MODULES_INPUT_NETWORK_SV_NET_URL_H

#ifdef __cplusplus
extern "C" {
#endif

typedef enum sv_url_scheme {
    SV_URL_FILE = 1,
    SV_URL_HTTP = 2,
    SV_URL_FTP = 3,
    SV_URL_UDP = 4,
    SV_URL_TCP = 5,
    SV_URL_ICY = 6
} sv_url_scheme;

/* Every text is an owned, terminated copy; a missing user or password is NULL (FTP gets
 * "anonymous" and SV_FTP_ANONYMOUS_PASSWORD). `path` starts with "/" (a file URL keeps
 * its text after "file:"); `host` carries no brackets. */
typedef struct sv_url
{
    int scheme;
    char *user;
    char *password;
    char *host;
    int port;
    char *path;
    char *whole;
} sv_url;

/* The password an anonymous FTP login gives. */
#define SV_FTP_ANONYMOUS_PASSWORD "sonvox@localhost"

/* Parses text into url (which the caller frees with sv_url_free, also after a failure).
 * Returns 0, -400 (unsupported url scheme), -401 (invalid url syntax) or -100. A name
 * without a scheme (no ':' after at least two characters) is a file name. */
int sv_url_parse(const char *text, sv_url *url);

/* A redirect target: an absolute URL, "//host/path", "/path" or a path relative to the
 * folder of base's path. Fills out like sv_url_parse. */
int sv_url_resolve(const sv_url *base, const char *location, sv_url *out);

void sv_url_free(sv_url *url);

/* The scheme's default port: http 80, ftp 21, udp 8888, tcp 23, icy 80; 0 for file. */
int sv_url_default_port(int scheme);

#ifdef __cplusplus
}
#endif

#endif
