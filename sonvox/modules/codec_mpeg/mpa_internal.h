/*
 * Internal structures of the MPEG audio decoder core (not part of its interface).
 */
#ifndef SONVOX_MODULES_CODEC_MPEG_MPA_INTERNAL_H
#define SONVOX_MODULES_CODEC_MPEG_MPA_INTERNAL_H

#include <stdint.h>
#include <string.h>

#include "mpa_decoder.h"

#ifdef __cplusplus
extern "C" {
#endif

/* AVX2/FMA code paths, chosen at run time (x86-64 with GCC or Clang). */
#if defined(__GNUC__) && defined(__x86_64__)
#define MPA_HAVE_AVX2 1
#else
#define MPA_HAVE_AVX2 0
#endif

#if defined(__GNUC__)
#define MPA_ALIGN(n) __attribute__((aligned(n)))
#define MPA_LIKELY(x) __builtin_expect(!!(x), 1)
#define MPA_UNLIKELY(x) __builtin_expect(!!(x), 0)
#else
#define MPA_ALIGN(n)
#define MPA_LIKELY(x) (x)
#define MPA_UNLIKELY(x) (x)
#endif

/* ---- Constant tables (built once, read-only afterwards) ---- */

typedef struct mpa_huff_source
{
    const uint16_t *codes;
    const uint8_t *lengths;
    int size; /* values per axis */
    int linbits;
} mpa_huff_source;

extern const mpa_huff_source mpa_huff_sources[32];
extern const mpa_huff_source mpa_huff_count1_a;

/* A Huffman lookup table: a root table indexed by the next root_bits bits, and
 * sub-tables. Entry: bit 15 set = pointer (bits 0..11 offset of the sub-table from the
 * table start, bits 12..14 its index width); else a leaf: bits 0..7 the value
 * (x << 4 | y, or vwxy for count1 tables), bits 8..12 the code length; 0 = no code. */
typedef struct mpa_huff_lut
{
    const uint16_t *entries;
    int root_bits;
    int linbits;
} mpa_huff_lut;

typedef struct mpa_tables
{
    mpa_huff_lut huff[32];
    mpa_huff_lut count1a;
    float pow43[8207];                       /* |v|^(4/3) for v = 0..8206 */
    float scf12[64];                         /* Layer I/II scale factors 2^(1 - i/3) */
    float win_l[4][36];                      /* long-block windows by block type (2 unused) */
    float win_s[12];                         /* short-block window */
    MPA_ALIGN(32) float imdct36[18][24];     /* DCT-IV kernel for the 36-point IMDCT (padded) */
    float imdct12[6][12];                    /* 12-point IMDCT kernel, window folded in */
    float aa_cs[8], aa_ca[8];                /* antialias butterflies */
    float is_ratio[7][2];                    /* MPEG-1 intensity stereo kl, kr for is_pos 0..6 */
    float is_lsf[2][32][2];                  /* MPEG-2 intensity stereo kl, kr by scale, is_pos */
    MPA_ALIGN(32) float synth_win[8][4][16]; /* synthesis window, rearranged */
    int use_avx2;                            /* the processor has AVX2 and FMA */
} mpa_tables;

extern const mpa_tables *mpa_get_tables(void);

/* Synthesis state of one channel: 16 slots, each holding the 32-point DCT of one
 * subband sample vector as two 17-value halves (see mpa_synth.c). */
#define MPA_SYNTH_SLOT 40
typedef struct mpa_synth
{
    MPA_ALIGN(16) float slots[16][MPA_SYNTH_SLOT];
    int pos;
} mpa_synth;

void mpa_synth_reset(mpa_synth *s);
/* Runs the filterbank on one 32-value subband vector and writes 32 >> shift samples
 * (every 1 << shift-th one, consecutive) at out, rounded and clipped. */
void mpa_synth_run(const mpa_tables *t, mpa_synth *s, const float *subbands, int16_t *out, int shift);
/* The same for nslots vectors: subband m of slot k at base[k * slot_step + m * sb_step];
 * slot k's samples start at out + k * (32 >> shift). */
void mpa_synth_block(const mpa_tables *t, mpa_synth *s, const float *base, int slot_step, int sb_step, int nslots,
                     int16_t *out, int shift);
/* The 32-point DCT used by the synthesis: out[j] = sum_k in[k] cos(j(2k+1)pi/64). */
void mpa_dct32(const mpa_tables *t, const float *in, float *out);

/* ---- Bit reader over a byte buffer that has at least 8 readable bytes past `end` ---- */
typedef struct mpa_bits
{
    const uint8_t *data;
    uint32_t pos; /* bit position */
    uint32_t end; /* bit limit */
} mpa_bits;

static inline uint32_t mpa_peek32(const mpa_bits *b)
{
    const uint8_t *p = b->data + (b->pos >> 3);
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t v;
    memcpy(&v, p, 8); /* the buffers keep 8 readable bytes past their data */
    v = __builtin_bswap64(v);
    return (uint32_t)((v << (b->pos & 7)) >> 32);
#else
    uint32_t w = ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
    uint32_t r = b->pos & 7;
    if (r)
        w = (w << r) | (p[4] >> (8 - r));
    return w;
#endif
}

/* Reads n bits (0..24); past the limit it returns zeros and stays at the limit. */
static inline uint32_t mpa_get_bits(mpa_bits *b, int n)
{
    if (n == 0)
        return 0;
    if (MPA_UNLIKELY(b->pos + (uint32_t)n > b->end)) {
        b->pos = b->end;
        return 0;
    }
    uint32_t v = mpa_peek32(b) >> (32 - n);
    b->pos += (uint32_t)n;
    return v;
}

/* ---- Decoder object ---- */

#define MPA_RESERVOIR 4096
#define MPA_MAX_FRAME 2900 /* Layer I 448 kbit/s at 32 kHz is 672 bytes; II/III 1441 */

typedef struct mpa_l3_granule_ch
{
    int part2_3_length;
    int big_values;
    int global_gain;
    int scalefac_compress;
    int window_switching;
    int block_type;
    int mixed_block;
    int table_select[3];
    int subblock_gain[3];
    int region0_count;
    int region1_count;
    int preflag;
    int scalefac_scale;
    int count1table_select;
} mpa_l3_granule_ch;

typedef struct mpa_l3_side
{
    int main_data_begin;
    int scfsi[2][4];
    mpa_l3_granule_ch gr[2][2];
} mpa_l3_side;

struct mpa_decoder
{
    /* settings */
    int channel_selection;
    int downsampling;
    float *eq[2]; /* 32 gains per channel, or NULL */

    /* frame reader */
    int have_word; /* `word` holds 4 bytes already read from the input */
    uint32_t word;
    int in_sync;
    int64_t bytes_read;
    mpa_header hdr;

    /* frame bytes after the header (Layer I/II) or the side information (Layer III) */
    MPA_ALIGN(16) uint8_t frame[MPA_MAX_FRAME + 16];

    /* Layer III bit reservoir: linear buffer of main data, `res_len` valid bytes */
    uint8_t reservoir[MPA_RESERVOIR + 16];
    int res_len;
    int res_valid; /* bytes of main data received since the last reset */

    /* Layer III state */
    mpa_l3_side side;
    int sf_l[2][22];    /* scale factors of long bands */
    int sf_s[2][13][3]; /* scale factors of short bands by window */
    int is_max_l[22];   /* MPEG-2 intensity stereo: illegal position per band */
    int is_max_s[13][3];
    MPA_ALIGN(16) float xr[2][576];
    MPA_ALIGN(16) float overlap[2][32][18];
    int nonzero[2]; /* count of spectral lines that may be nonzero */

    /* planar output of the two channels before interleaving */
    MPA_ALIGN(16) int16_t planar[2][1152];

    /* Subband samples of one frame: [channel][slot][subband] for Layers I and II; Layer III
     * writes them subband-major, [channel][subband][slot] (sb_major set), as its IMDCT
     * produces them and as the synthesis reads them four slots at a time. */
    MPA_ALIGN(16) float sb[2][36][32];
    int sb_major;

    mpa_synth synth[2];
};

int mpa_decode_layer1(mpa_decoder *d, const mpa_header *h);
int mpa_decode_layer2(mpa_decoder *d, const mpa_header *h);
/* Decodes the granules of one frame into d->sb; returns 0 or SV_ERR_INVALID_FRAME.
 * `main` points at main_data_begin bytes before the frame's own main data. */
int mpa_decode_layer3(mpa_decoder *d, const mpa_header *h, const uint8_t *main, int main_bytes);
int mpa_l3_read_side_info(mpa_decoder *d, const mpa_header *h, const uint8_t *side);
void mpa_l3_reset(mpa_decoder *d);
/* Alias reduction over the first sblimit subbands of one granule's 576 lines. */
void mpa_l3_antialias(const mpa_tables *t, float *xr, int sblimit);
/* IMDCT of one subband's 18 lines with window `win` (long) or as three short
 * windows, adding the previous granule's overlap `ov` and keeping the new one. */
void mpa_l3_imdct_long(const mpa_tables *t, const float *in, const float *win, float *out, float *ov);
void mpa_l3_imdct_short(const mpa_tables *t, const float *in, float *out, float *ov);

#ifdef __cplusplus
}
#endif

#endif
