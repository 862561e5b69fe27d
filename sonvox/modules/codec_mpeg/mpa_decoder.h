/*
 * MPEG audio decoder core: MPEG-1 and MPEG-2 Layers I, II and III, MPEG-2.5 Layer III.
 *
 * Plain C, usable from C and C++. No global mutable state: every decoder object is
 * independent, so several can run in parallel threads (the constant tables are built
 * once, thread-safely, on the first mpa_new()).
 *
 * Driving it:
 *
 *     mpa_decoder *d = mpa_new();
 *     int16_t pcm[MPA_MAX_FRAME_SAMPLES];
 *     mpa_frame_info info;
 *     for (;;) {
 *         int n = mpa_decode_frame(d, read, ctx, pcm, &info);
 *         if (n == SV_ERR_INVALID_FRAME) continue;   // frame dropped, go on
 *         if (n < 0) break;                          // end of input (-514) or read error
 *         // n samples per channel, info.out_channels interleaved, info.out_frequency Hz
 *     }
 *     mpa_free(d);
 *
 * The read callback follows the engine's input semantics: it returns exactly `size`
 * bytes, 0 at the end of input, or a negative error code (passed back to the caller).
 * A short positive count is taken as the end of input. mpa_memory_read() is a ready
 * callback over a byte buffer (for tests and fuzzing).
 */
#ifndef SONVOX_MODULES_CODEC_MPEG_MPA_DECODER_H
#define SONVOX_MODULES_CODEC_MPEG_MPA_DECODER_H

#include <stddef.h>
#include <stdint.h>

#include "sonvox/engine/sv_errors.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Largest output of one frame: 1152 samples x 2 channels (4608 bytes). */
#define MPA_MAX_FRAME_SAMPLES 2304

/* Frame header: the 32-bit big-endian word that starts every frame, decoded. */
typedef struct mpa_header
{
    uint32_t word;      /* the raw header word */
    int level;          /* 1 MPEG-1, 2 MPEG-2, 0 MPEG-2.5 */
    int layer;          /* 1, 2 or 3 */
    int protection;     /* 1 when a 16-bit CRC follows the header */
    int bitrate_index;  /* 1..14 */
    int sampling_index; /* 0..2 */
    int padding;        /* padding bit */
    int private_bit;
    int mode;           /* 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel */
    int mode_extension; /* 0..3 */
    int copyright;
    int original;
    int emphasis;        /* 0..3 */
    int frequency;       /* sampling frequency in Hz */
    int bitrate;         /* kbit/s */
    int channels;        /* 1 for single channel, else 2 */
    int frame_bytes;     /* whole frame in bytes, header included */
    int samples;         /* samples per channel in one frame (384, 576 or 1152) */
    int side_info_bytes; /* Layer III side information incl. the CRC; 0 for I/II */
} mpa_header;

/* Parses a header word and applies the validity rules: sync (top 11 bits set), no
 * free-format (bitrate index 0) or index 15, no layer bits 0, no sampling index 3, the
 * padding bit only with sampling index 0 (44.1/22.05/11.025 kHz), the MPEG-1 Layer II
 * bitrate/mode pairs, MPEG-2.5 only with Layer III. Returns 0 and fills *h when valid,
 * -700 (SV_ERR_INVALID_FRAME) otherwise (h may be NULL to only test validity). */
int mpa_parse_header(uint32_t word, mpa_header *h);

/* Input callback: exactly `size` bytes into buf, 0 at end of input, or a negative error. */
typedef int (*mpa_read_fn)(void *ctx, void *buf, int size);

/* What one decoded frame was. */
typedef struct mpa_frame_info
{
    mpa_header header;       /* the frame's header */
    int out_channels;        /* channels written to the PCM buffer (1 or 2) */
    int out_frequency;       /* output rate in Hz (after downsampling) */
    int samples_per_channel; /* same as the return value of mpa_decode_frame */
    int silent;              /* 1 when the frame was output as silence because the bit
                                reservoir did not yet hold its main data */
    int64_t bytes_read;      /* bytes taken from the input since new/reset */
} mpa_frame_info;

typedef struct mpa_decoder mpa_decoder;

/* A new decoder, or NULL when out of memory. Settings: stereo, no downsampling, no
 * equaliser. */
mpa_decoder *mpa_new(void);
void mpa_free(mpa_decoder *d);

/* Back to the start state: the frame reader searches for a header again, the bit
 * reservoir, overlap buffers and synthesis states are cleared. Settings are kept.
 * Call after a seek or when the input changes. */
void mpa_reset(mpa_decoder *d);

/* Reads and decodes one frame. Writes interleaved 16-bit PCM (native endian) to pcm,
 * which must hold MPA_MAX_FRAME_SAMPLES values; fills *info (may be NULL).
 * Returns the samples per channel (>= 0), SV_ERR_INVALID_FRAME (-700) when the frame was
 * dropped (not followed by a valid header, or an impossible value inside it; the next
 * call searches again), SV_ERR_END_OF_STREAM (-514) when the input ended before a
 * frame, or a negative error returned by the read callback. */
int mpa_decode_frame(mpa_decoder *d, mpa_read_fn read, void *ctx, int16_t *pcm, mpa_frame_info *info);

/* Settings. Channel selection: 0 stereo, 1 first channel, 2 second channel, 3 both
 * mixed to one (mono streams always give one channel). Downsampling: 0 none, 1 half
 * rate at 32 kHz and more, 2 quarter rate at 32 kHz and more and half rate from 16 kHz
 * up to 32 kHz. Out-of-range values return SV_ERR_INVALID_PARAMETERS and change nothing.
 * Both take effect from the next frame. */
int mpa_set_channel_selection(mpa_decoder *d, int selection);
int mpa_get_channel_selection(const mpa_decoder *d);
int mpa_set_downsampling(mpa_decoder *d, int downsampling);
int mpa_get_downsampling(const mpa_decoder *d);

/* Equaliser: 64 signed values, 32 subband gains for the first channel then 32 for the
 * second; v gives the gain 1 + v/32 (v >= 0) or 1 / (1 - v/32) (v < 0).
 * set: 0, or SV_ERR_OUT_OF_MEMORY (then no equaliser is active).
 * remove: frees both tables (no equalisation).
 * get: turns the gains back into values ((g-1)*32 for g >= 1, (1-1/g)*32 otherwise,
 * rounded to nearest); writes zeros and returns -900 (SV_ERR_NO_SUCH_PROPERTY) when no equaliser is
 * set, else 0. */
int mpa_set_equalizer(mpa_decoder *d, const signed char values[64]);
void mpa_remove_equalizer(mpa_decoder *d);
int mpa_get_equalizer(const mpa_decoder *d, signed char values[64]);

/* A read callback over a byte buffer: ctx is an mpa_memory_input. Returns exactly size
 * bytes while they last, else 0 (the end of input), like the engine's inputs. */
typedef struct mpa_memory_input
{
    const uint8_t *data;
    size_t size;
    size_t pos;
} mpa_memory_input;
int mpa_memory_read(void *ctx, void *buf, int size);

#ifdef __cplusplus
}
#endif

#endif
