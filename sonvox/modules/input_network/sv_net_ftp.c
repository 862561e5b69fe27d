/*
 * The FTP client of the network input: log in, binary type, an active-mode data
 * connection (PORT) and RETR of the path. The data socket is then the stream; the
 * control connection stays open until the input closes.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/modules/input_network/sv_net_internal.h"
#include "sonvox/modules/input_network/sv_net_socket.h"

#define FTP_CONNECT_TIMEOUT 30000
#define FTP_ACCEPT_TIMEOUT 20000
#define FTP_REPLY_TIMEOUT 20000
#define FTP_LINE_MAX 512

/* One reply line from the control connection (CR dropped, cut to FTP_LINE_MAX - 1). */
static int control_line(int fd, char *line)
{
    int n = 0;
    for (;;) {
        char c;
        int r = sv_net_recv(fd, &c, 1, FTP_REPLY_TIMEOUT);
        if (r < 0)
            return r;
        if (c == '\n')
            break;
        if (c != '\r' && n < FTP_LINE_MAX - 1)
            line[n++] = c;
    }
    line[n] = '\0';
    return n;
}

/* A whole reply: its first line into line; a reply whose fourth character is '-' goes
 * on until a line with the same three digits and no '-' after them. */
static int read_reply(int fd, char *line)
{
    int r = control_line(fd, line);
    if (r < 0)
        return r;
    if (r < 3)
        return SV_ERR_INVALID_FTP_REPLY;
    if (line[3] != '-')
        return 0;
    char last[FTP_LINE_MAX];
    for (;;) {
        r = control_line(fd, last);
        if (r < 0)
            return r;
        if (r >= 3 && memcmp(last, line, 3) == 0 && last[3] != '-')
            return 0;
    }
}

static int send_command(int fd, const char *text)
{
    return sv_net_send_all(fd, text, (int)strlen(text), FTP_REPLY_TIMEOUT) < 0 ? SV_ERR_FTP_ERROR : 0;
}

/* After "150 ... (N bytes)": the size, and the data connection accepted. */
static int start_receiving(net_input *in, const char *reply, int *listen_fd)
{
    const char *open = strchr(reply, '(');
    long long size = 0;
    if (open && sscanf(open, "(%lld bytes)", &size) == 1 && size > 0)
        in->content_length = size;
    net_debug(in, 1, "accepting data socket", NULL);
    int r = sv_net_accept(*listen_fd, FTP_ACCEPT_TIMEOUT, &in->fd);
    sv_net_close(listen_fd);
    if (r < 0) {
        net_debug(in, 1, "cannot accept data socket", sv_error_text(r == SV_ERR_TIMEOUT ? SV_ERR_ACCEPT_FAILED : r));
        return SV_ERR_FTP_ERROR;
    }
    net_debug(in, 1, "got connection on data socket", NULL);
    net_debug(in, 0, "connected and receiving", NULL);
    return 0;
}

static int dialogue(net_input *in, int *listen_fd)
{
    const int fd = in->control_fd;
    char line[FTP_LINE_MAX], command[FTP_LINE_MAX + 16];
    for (int state = 0;;) {
        int r = read_reply(fd, line);
        if (r < 0)
            return r == SV_ERR_INVALID_FTP_REPLY ? r : SV_ERR_FTP_ERROR;
        const char digit = line[0];
        if (digit == '4' || digit == '5') {
            char code[4] = {line[0], line[1], line[2], '\0'};
            net_debug(in, 2, "errror code returned", code);
            return SV_ERR_FTP_ERROR;
        }
        if (state == 0 && digit == '2') {
            net_debug(in, 1, "logging in as", in->url.user);
            snprintf(command, sizeof command, "USER %s\r\n", in->url.user);
            state = 1;
        } else if (state == 1 && digit == '3') {
            net_debug(in, 2, "sending PASS", in->url.password);
            snprintf(command, sizeof command, "PASS %s\r\n", in->url.password);
            state = 2;
        } else if ((state == 2 || state == 1) && digit == '2') {
            /* A server that lets the user in without a password answers USER with 230. */
            snprintf(command, sizeof command, "TYPE I\r\n");
            state = 3;
        } else if (state == 3 && digit == '2') {
            unsigned char a[4];
            int port = 0;
            r = sv_net_listen_beside(fd, listen_fd, a, &port);
            if (r < 0) {
                net_debug(in, 1, "cannot accept data socket", sv_error_text(r));
                return SV_ERR_FTP_ERROR;
            }
            char text[16];
            snprintf(text, sizeof text, "%d", port);
            net_debug(in, 2, "sending PORT", text);
            snprintf(command, sizeof command, "PORT %d,%d,%d,%d,%d,%d\r\n", a[0], a[1], a[2], a[3], port / 256,
                     port % 256);
            state = 4;
        } else if (state == 4 && digit == '2') {
            net_debug(in, 2, "sending RETR", in->url.path);
            snprintf(command, sizeof command, "RETR %s\r\n", in->url.path);
            state = 5;
        } else if (state == 5 && digit == '1') {
            return start_receiving(in, line, listen_fd);
        } else {
            return SV_ERR_FTP_ERROR;
        }
        if (send_command(fd, command) < 0)
            return SV_ERR_FTP_ERROR;
    }
}

int net_ftp_open(net_input *in)
{
    net_debug_host(in, "connecting", in->url.host, in->url.port);
    int r = sv_net_connect(in->url.host, in->url.port, FTP_CONNECT_TIMEOUT, &in->control_fd);
    if (r < 0) {
        net_debug(in, 0, "connection failed", sv_error_text(r));
        return r;
    }
    net_debug_host(in, "connected", in->url.host, in->url.port);
    int listen_fd = -1;
    r = dialogue(in, &listen_fd);
    sv_net_close(&listen_fd);
    if (r < 0) {
        sv_net_close(&in->fd);
        sv_net_close(&in->control_fd);
    }
    return r;
}
