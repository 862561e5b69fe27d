/*
 * "MPEG Audio Codec": the codec module around the MPEG audio decoder core (mpa_decoder.h).
 *
 * Descriptor slots and what they do:
 * - probe accepts every stream; info names the codec, its one device "MP1, MP2, MP3",
 *   the largest output block (4608 bytes) and the codec flags (3).
 * - input changed clears the stream state; start stream skips a leading ID3v2 tag, reads
 *   the first frame header and any Xing/Lame/VBRI header, and reports duration,
 *   frequency, bitrate, channels, the content type "audio/mpeg" and the integer
 *   properties "mpeg/level", "mpeg/layer" and "mpeg/mode".
 * - decode decodes one frame into the output block and keeps the stream information up
 *   to date (level/layer/mode/frequency changes, a smoothed bitrate, a re-estimated
 *   duration), unless the length came from a VBR header.
 * - offset_to_fraction maps a byte offset to the fraction of the audio data;
 *   fraction_to_offset maps a fraction of the duration to a BYTE OFFSET of the input
 *   (through the Xing seek table when there is one, past the ID3v2 tag).
 * - seek done and reset restart the frame reader; settings 1 (channel selection),
 *   2 (downsampling) and 4 (equaliser) go to the decoder core.
 */
#ifndef SONVOX_MODULES_CODEC_MPEG_MPEG_CODEC_MODULE_H
#define SONVOX_MODULES_CODEC_MPEG_MPEG_CODEC_MODULE_H

#include "sonvox/engine/sv_module.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Entry point: fills a zeroed sv_codec_module descriptor. Always returns 0. */
int sv_mpeg_codec_register(void *descriptor);

/* The module's const record, listed in the table of built-in modules. */
extern const sv_builtin_module sv_mpeg_codec_module;

/* Largest output block: one frame of 1152 stereo 16-bit samples. */
#define MPEG_CODEC_MAX_BLOCK_BYTES 4608

#ifdef __cplusplus
}
#endif

#endif
