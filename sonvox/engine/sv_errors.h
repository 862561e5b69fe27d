/*
 * Sonvox error codes. Every library operation returns 0 (or a count) on success and
 * one of these negative codes on failure; sv_error_text() names a code.
 */
#ifndef SONVOX_ENGINE_SV_ERRORS_H
#define SONVOX_ENGINE_SV_ERRORS_H

#ifdef __cplusplus
extern "C" {
#endif

#define SV_OK 0

/* What the engine answers in place of a missing optional slot (input seek and send
 * message, output and feedback send message): -1, outside the table, so sv_error_text
 * gives "unknown error" for it. A module returns it for the same reason. */
#define SV_ERR_NO_SLOT (-1)

#define SV_ERR_OUT_OF_MEMORY -100
#define SV_ERR_OUT_OF_RESOURCES -101
#define SV_ERR_INVALID_PARAMETERS -102
#define SV_ERR_INTERNAL -103
#define SV_ERR_TIMEOUT -104
#define SV_ERR_VERSION_MISMATCH -106
#define SV_ERR_CONNECT_TIMED_OUT -200
#define SV_ERR_CONNECT_FAILED -201
#define SV_ERR_CONNECTION_REFUSED -202
#define SV_ERR_ACCEPT_FAILED -203
#define SV_ERR_LISTEN_FAILED -204
#define SV_ERR_SOCKET_FAILED -205
#define SV_ERR_SOCKET_CLOSED -206
#define SV_ERR_BIND_FAILED -207
#define SV_ERR_HOST_UNKNOWN -208
#define SV_ERR_INVALID_HTTP_REPLY -209
#define SV_ERR_HTTP_ERROR_REPLY -210
#define SV_ERR_HTTP_ERROR -211
#define SV_ERR_INVALID_FTP_REPLY -212
#define SV_ERR_FTP_ERROR_REPLY -213 /* not used: an FTP error reply fails as -214 (ftp error) */
#define SV_ERR_FTP_ERROR -214
#define SV_ERR_PIPE_FAILED -300 /* not used yet: kept for a module that runs a helper process */
#define SV_ERR_FORK_FAILED -301 /* not used yet: kept for a module that runs a helper process */
#define SV_ERR_SELECT_FAILED -302
#define SV_ERR_PIPE_CLOSED -303       /* not used yet: kept for a module that runs a helper process */
#define SV_ERR_PIPE_READ_FAILED -304  /* not used yet: kept for a module that runs a helper process */
#define SV_ERR_PIPE_WRITE_FAILED -305 /* not used yet: kept for a module that runs a helper process */
#define SV_ERR_INVALID_MESSAGE -306
#define SV_ERR_QUEUE_FULL -307
#define SV_ERR_POST_FAILED -308 /* not used: a post fails as -307 (queue full) or -103 (closed) */
#define SV_ERR_UNSUPPORTED_URL_SCHEME -400
#define SV_ERR_INVALID_URL_SYNTAX -401
#define SV_ERR_OPEN_FAILED -500
#define SV_ERR_CLOSE_FAILED -501
#define SV_ERR_READ_FAILED -502
#define SV_ERR_WRITE_FAILED -503
#define SV_ERR_PERMISSION_DENIED -504
#define SV_ERR_NO_SUCH_DEVICE_505 -505 /* unused: the outputs report a missing device as -512 */
/* not used: devices are reached through ALSA, whose errors map to -500..-512 */
#define SV_ERR_IOCTL_FAILED -506
#define SV_ERR_PLUGIN_NOT_FOUND -507
#define SV_ERR_UNSUPPORTED_INPUT -508
#define SV_ERR_UNSUPPORTED_OUTPUT -509
#define SV_ERR_UNSUPPORTED_FORMAT -510
#define SV_ERR_DEVICE_BUSY -511
#define SV_ERR_NO_SUCH_DEVICE -512
#define SV_ERR_NO_SUCH_FILE -513
#define SV_ERR_END_OF_STREAM -514
#define SV_ERR_NO_CODEC -600
#define SV_ERR_INVALID_FRAME -700
#define SV_ERR_LIBRARY_NOT_FOUND -800
#define SV_ERR_SYMBOL_NOT_FOUND -801
#define SV_ERR_NO_SUCH_PROPERTY -900
#define SV_ERR_PROPERTY_TYPE -901
/* not used yet: kept for module interfaces asked for by name */
#define SV_ERR_NO_SUCH_INTERFACE -1000

/* The text of an error code: "" for codes >= 0 and for unlisted codes inside a known
 * hundred, "unknown error" otherwise. The returned string is static. */
const char *sv_error_text(int code);

#ifdef __cplusplus
}
#endif

#endif
