/*
 * "WAVE Audio Codec": plays RIFF/WAVE streams of 8-, 16-, 24- and 32-bit integer PCM
 * and 32-bit float PCM, all converted to 16 bits.
 *
 * Input changed parses the RIFF header (the "data" chunk must begin within the first
 * 8191 bytes, else -510); start stream reports the format; each decode call hands out
 * one block of PCM converted to 16-bit native-endian samples. Decoding stops at the end
 * of the "data" chunk, so chunks that follow it are never played, and a last block that
 * is shorter than the others is delivered with its true length.
 */
#ifndef SONVOX_MODULES_CODEC_WAVE_WAVE_CODEC_H
#define SONVOX_MODULES_CODEC_WAVE_WAVE_CODEC_H

#include "sonvox/engine/sv_module.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Entry point: fills a zeroed sv_codec_module descriptor. Always returns 0. */
int sv_wave_codec_register(void *descriptor);

/* The module's const record, listed in the table of built-in modules. */
extern const sv_builtin_module sv_wave_codec_module;

/* Largest data offset the header parser accepts. */
#define WAVE_MAX_DATA_OFFSET 8191

/* Largest block handed out by decode, in bytes of 16-bit output. */
#define WAVE_MAX_BLOCK_BYTES 4096

#ifdef __cplusplus
}
#endif

#endif
