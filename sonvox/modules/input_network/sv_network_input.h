/*
 * "Network Streaming Module": input names that are http://, icy://, ftp://, tcp:// or
 * udp:// URLs (scheme in any letter case). The received bytes pass through a ring
 * buffer that absorbs network jitter: a read during a refill answers -104 (timeout),
 * which the player takes as "try again in the next step", and progress reports
 * (notification 121) tell the client of underflows and refills. HTTP and ICY reply
 * headers become "http/<name>" stream properties, ICY metadata "icy/<key>" properties.
 *
 * Settings, read from the decoder environment when an instance is created or opened:
 * INPUT.STREAM.BUFFER-SIZE (131072), MAX-PACKET-SIZE (8192), HIGH-MARK (16384),
 * READ-TIMEOUT (100 ms), MAX-ACCU (2048), FORCE-FILL-ZONE (2048);
 * NETWORK.HTTP.PROXY.HOSTNAME, PROXY.PORT (80), CUSTOM-HEADER (ending in CR LF),
 * CONNECT-TIMEOUT (30000 ms), READ-TIMEOUT (20000 ms for each reply line).
 *
 * A stream that sends nothing for 200 read time-outs (20 s by default) ends with -206.
 */
#ifndef SONVOX_MODULES_INPUT_NETWORK_SV_NETWORK_INPUT_H
#define SONVOX_MODULES_INPUT_NETWORK_SV_NETWORK_INPUT_H

#include "sonvox/engine/sv_module.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Entry point: fills a zeroed sv_input_module. Returns 0. */
int sv_network_input_register(void *descriptor);

/* The module's const record, listed in the table of built-in modules (input 1). */
extern const sv_builtin_module sv_network_input_module;

#ifdef __cplusplus
}
#endif

#endif
