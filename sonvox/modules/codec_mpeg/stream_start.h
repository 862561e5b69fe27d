/*
 * Analysis of the start of an MPEG audio stream: the size of a leading ID3v2 tag, the
 * first frame header, a Xing/Lame or VBRI header in the first frame, the duration and
 * mean bitrate they give, and the 100-entry Xing seek table.
 *
 * Pure functions over byte buffers: the MPEG codec module reads the bytes and calls them.
 */
#ifndef SONVOX_MODULES_CODEC_MPEG_STREAM_START_H
#define SONVOX_MODULES_CODEC_MPEG_STREAM_START_H

#include <stdint.h>

#include "sonvox/modules/codec_mpeg/mpa_decoder.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Bytes examined at the start of the stream (after the ID3v2 tag): enough for a Xing
 * header with frame count, byte count, seek table and quality at byte 36 of the first
 * frame, and the LAME tag after it up to its encoder delay and padding. */
#define MPEG_STREAM_START_BYTES 192

/* The size of the ID3v2 tag that starts buf (n bytes available), header and footer
 * included: the 28-bit syncsafe size of bytes 6..9 plus 10, plus 10 more when the
 * footer flag is set. 0 when buf does not start with a tag; -1 when it starts with a
 * tag whose size bytes are not syncsafe (a byte with its top bit set: a damaged tag
 * whose end is unknown). */
int64_t mpeg_id3v2_size(const uint8_t *buf, int n);

/* The offset of the first frame header in buf[from..n) that is followed, at the end of
 * its frame, by a second valid header; -1 when there is none in the bytes. */
int mpeg_find_frame_pair(const uint8_t *buf, int n, int from);

typedef enum mpeg_vbr_kind { MPEG_VBR_NONE = 0, MPEG_VBR_XING = 1, MPEG_VBR_VBRI = 2 } mpeg_vbr_kind;

typedef struct mpeg_stream_start
{
    int valid;              /* 1 when buf starts with a valid frame header */
    mpa_header header;      /* that header */
    mpeg_vbr_kind vbr;      /* the VBR header found in the first frame */
    int length_from_header; /* 1 when the VBR header gave the frame count */
    uint32_t frames;        /* frame count from the VBR header */
    int64_t duration_ms;    /* 0 when unknown */
    int bitrate;            /* kbit/s: the header's, or the mean from a VBR header */
    int has_seek_table;
    uint8_t seek_table[100]; /* Xing: byte position at each percent of the duration, /256 */
    int info_frame;          /* 1 when the first frame is a Xing or Info frame: no audio */
    uint32_t info_frames;    /* its frame count (also for "Info"), 0 when absent */
    int has_lame_tag;        /* 1 when a LAME tag follows the Xing/Info header */
    int encoder_delay;       /* samples the encoder put before the audio (LAME tag) */
    int encoder_padding;     /* samples it put after the audio (LAME tag) */
} mpeg_stream_start;

/* Analyses the first n bytes (at most MPEG_STREAM_START_BYTES are used) of the audio
 * data, which is data_bytes long (0 = unknown). Without a VBR header the duration is
 * data_bytes at the first frame's bitrate; with a frame count it is frames x samples per
 * frame / frequency and the bitrate is the mean over data_bytes. The "Info" header that
 * encoders write into constant-bitrate files is no VBR header: it leaves the duration
 * to the data bytes and only marks the frame as one without audio (with its frame
 * count and LAME tag, for gapless playback). */
void mpeg_analyse_stream_start(const uint8_t *buf, int n, int64_t data_bytes, mpeg_stream_start *out);

/* Maps a fraction of the duration (0..1) to a fraction of the data bytes through a Xing
 * seek table, interpolating linearly between its entries. */
double mpeg_seek_table_fraction(const uint8_t table[100], double fraction);

#ifdef __cplusplus
}
#endif

#endif
