/*
 * Layer III: side information, scale factors, Huffman decoding, requantisation,
 * stereo processing, reordering and frequency inversion; the alias reduction and the
 * IMDCT with overlap are in mpa_layer3_imdct.c.
 */
#include <math.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mpa_internal.h"

#if MPA_HAVE_AVX2
#include <immintrin.h>
#endif

/* Scale factor band widths: long and short, by sampling frequency index
 * (44.1, 48, 32, 22.05, 24, 16, 11.025, 12, 8 kHz). */
static const unsigned char k_width_l[9][22] = {
    {4, 4, 4, 4, 4, 4, 6, 6, 8, 8, 10, 12, 16, 20, 24, 28, 34, 42, 50, 54, 76, 158},
    {4, 4, 4, 4, 4, 4, 6, 6, 6, 8, 10, 12, 16, 18, 22, 28, 34, 40, 46, 54, 54, 192},
    {4, 4, 4, 4, 4, 4, 6, 6, 8, 10, 12, 16, 20, 24, 30, 38, 46, 56, 68, 84, 102, 26},
    {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 38, 46, 52, 60, 68, 58, 54},
    {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 18, 22, 26, 32, 38, 46, 54, 62, 70, 76, 36},
    {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 38, 46, 52, 60, 68, 58, 54},
    {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 38, 46, 52, 60, 68, 58, 54},
    {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 38, 46, 52, 60, 68, 58, 54},
    {12, 12, 12, 12, 12, 12, 16, 20, 24, 28, 32, 40, 48, 56, 64, 76, 90, 2, 2, 2, 2, 2},
};
static const unsigned char k_width_s[9][13] = {
    {4, 4, 4, 4, 6, 8, 10, 12, 14, 18, 22, 30, 56},  {4, 4, 4, 4, 6, 6, 10, 12, 14, 16, 20, 26, 66},
    {4, 4, 4, 4, 6, 8, 12, 16, 20, 26, 34, 42, 12},  {4, 4, 4, 6, 6, 8, 10, 14, 18, 26, 32, 42, 18},
    {4, 4, 4, 6, 8, 10, 12, 14, 18, 24, 32, 44, 12}, {4, 4, 4, 6, 8, 10, 12, 14, 18, 24, 30, 40, 18},
    {4, 4, 4, 6, 8, 10, 12, 14, 18, 24, 30, 40, 18}, {4, 4, 4, 6, 8, 10, 12, 14, 18, 24, 30, 40, 18},
    {8, 8, 8, 12, 16, 20, 24, 28, 36, 2, 2, 2, 26},
};
static const unsigned char k_pretab[22] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};
static const unsigned char k_slen[2][16] = {
    {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4},
    {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3},
};
static const unsigned char k_nr_sfb[6][3][4] = {
    {{6, 5, 5, 5}, {9, 9, 9, 9}, {6, 9, 9, 9}},       {{6, 5, 7, 3}, {9, 9, 12, 6}, {6, 9, 12, 6}},
    {{11, 10, 0, 0}, {18, 18, 0, 0}, {15, 18, 0, 0}}, {{7, 7, 7, 0}, {12, 12, 12, 0}, {6, 15, 12, 0}},
    {{6, 6, 6, 3}, {12, 9, 9, 6}, {6, 12, 9, 6}},     {{8, 8, 5, 0}, {15, 12, 9, 0}, {6, 18, 9, 0}},
};

typedef struct band_index
{
    int l[23]; /* start line of long band i; l[22] = 576 */
    int s[14]; /* start of short band i within one window; s[13] = 192 */
    int ws[13];
} band_index;

static void make_bands(int sr, band_index *bi)
{
    bi->l[0] = 0;
    for (int i = 0; i < 22; i++)
        bi->l[i + 1] = bi->l[i] + k_width_l[sr][i];
    bi->s[0] = 0;
    for (int i = 0; i < 13; i++) {
        bi->s[i + 1] = bi->s[i] + k_width_s[sr][i];
        bi->ws[i] = k_width_s[sr][i];
    }
}

void mpa_l3_reset(mpa_decoder *d)
{
    memset(d->overlap, 0, sizeof d->overlap);
    memset(d->sf_l, 0, sizeof d->sf_l);
    memset(d->sf_s, 0, sizeof d->sf_s);
}

int mpa_l3_read_side_info(mpa_decoder *d, const mpa_header *h, const uint8_t *side)
{
    mpa_bits b = {side, 0, (uint32_t)(h->side_info_bytes - (h->protection ? 2 : 0)) * 8};
    mpa_l3_side *si = &d->side;
    int nch = h->channels;
    int lsf = h->level != 1;
    int ngr = lsf ? 1 : 2;

    if (!lsf) {
        si->main_data_begin = (int)mpa_get_bits(&b, 9);
        mpa_get_bits(&b, nch == 1 ? 5 : 3);
        for (int ch = 0; ch < nch; ch++)
            for (int k = 0; k < 4; k++)
                si->scfsi[ch][k] = (int)mpa_get_bits(&b, 1);
    } else {
        si->main_data_begin = (int)mpa_get_bits(&b, 8);
        mpa_get_bits(&b, nch == 1 ? 1 : 2);
        memset(si->scfsi, 0, sizeof si->scfsi);
    }
    for (int gr = 0; gr < ngr; gr++) {
        for (int ch = 0; ch < nch; ch++) {
            mpa_l3_granule_ch *g = &si->gr[gr][ch];
            g->part2_3_length = (int)mpa_get_bits(&b, 12);
            g->big_values = (int)mpa_get_bits(&b, 9);
            if (g->big_values > 288)
                return SV_ERR_INVALID_FRAME;
            g->global_gain = (int)mpa_get_bits(&b, 8);
            g->scalefac_compress = (int)mpa_get_bits(&b, lsf ? 9 : 4);
            g->window_switching = (int)mpa_get_bits(&b, 1);
            if (g->window_switching) {
                g->block_type = (int)mpa_get_bits(&b, 2);
                if (g->block_type == 0)
                    return SV_ERR_INVALID_FRAME;
                g->mixed_block = (int)mpa_get_bits(&b, 1);
                g->table_select[0] = (int)mpa_get_bits(&b, 5);
                g->table_select[1] = (int)mpa_get_bits(&b, 5);
                g->table_select[2] = 0;
                for (int w = 0; w < 3; w++)
                    g->subblock_gain[w] = (int)mpa_get_bits(&b, 3);
                g->region0_count = 7;
                g->region1_count = 36;
            } else {
                g->block_type = 0;
                g->mixed_block = 0;
                for (int r = 0; r < 3; r++)
                    g->table_select[r] = (int)mpa_get_bits(&b, 5);
                g->subblock_gain[0] = g->subblock_gain[1] = g->subblock_gain[2] = 0;
                g->region0_count = (int)mpa_get_bits(&b, 4);
                g->region1_count = (int)mpa_get_bits(&b, 3);
            }
            g->preflag = lsf ? 0 : (int)mpa_get_bits(&b, 1);
            g->scalefac_scale = (int)mpa_get_bits(&b, 1);
            g->count1table_select = (int)mpa_get_bits(&b, 1);
            for (int r = 0; r < 3; r++) {
                int ts = g->table_select[r];
                if (ts == 4 || ts == 14)
                    return SV_ERR_INVALID_FRAME;
            }
        }
    }
    return 0;
}

/* MPEG-1 scale factors of one granule and channel. */
static void read_sf_mpeg1(mpa_decoder *d, mpa_bits *b, const mpa_l3_granule_ch *g, int gr, int ch)
{
    int slen1 = k_slen[0][g->scalefac_compress], slen2 = k_slen[1][g->scalefac_compress];
    int *sl = d->sf_l[ch];
    if (g->window_switching && g->block_type == 2) {
        int sfb = 0;
        if (g->mixed_block) {
            for (int i = 0; i < 8; i++)
                sl[i] = (int)mpa_get_bits(b, slen1);
            sfb = 3;
        }
        for (; sfb < 12; sfb++) {
            int n = sfb < 6 ? slen1 : slen2;
            for (int w = 0; w < 3; w++)
                d->sf_s[ch][sfb][w] = (int)mpa_get_bits(b, n);
        }
        for (int w = 0; w < 3; w++)
            d->sf_s[ch][12][w] = 0;
        return;
    }
    static const int group_start[5] = {0, 6, 11, 16, 21};
    for (int k = 0; k < 4; k++) {
        if (gr == 1 && d->side.scfsi[ch][k])
            continue; /* kept from granule 0 */
        int n = k < 2 ? slen1 : slen2;
        for (int i = group_start[k]; i < group_start[k + 1]; i++)
            sl[i] = (int)mpa_get_bits(b, n);
    }
    sl[21] = 0;
}

/* MPEG-2 / 2.5 scale factors; for the intensity-coded right channel also the illegal
 * positions. Returns the preflag. */
static int read_sf_lsf(mpa_decoder *d, mpa_bits *b, const mpa_l3_granule_ch *g, int ch, int is_right)
{
    int sfc = g->scalefac_compress;
    int slen[4], tab, preflag = 0;
    if (!is_right) {
        if (sfc < 400) {
            slen[0] = (sfc >> 4) / 5;
            slen[1] = (sfc >> 4) % 5;
            slen[2] = (sfc & 15) >> 2;
            slen[3] = sfc & 3;
            tab = 0;
        } else if (sfc < 500) {
            sfc -= 400;
            slen[0] = (sfc >> 2) / 5;
            slen[1] = (sfc >> 2) % 5;
            slen[2] = sfc & 3;
            slen[3] = 0;
            tab = 1;
        } else {
            sfc -= 500;
            slen[0] = sfc / 3;
            slen[1] = sfc % 3;
            slen[2] = 0;
            slen[3] = 0;
            tab = 2;
            preflag = 1;
        }
    } else {
        int isfc = sfc >> 1;
        if (isfc < 180) {
            slen[0] = isfc / 36;
            slen[1] = (isfc % 36) / 6;
            slen[2] = (isfc % 36) % 6;
            slen[3] = 0;
            tab = 3;
        } else if (isfc < 244) {
            isfc -= 180;
            slen[0] = (isfc % 64) >> 4;
            slen[1] = (isfc % 16) >> 2;
            slen[2] = isfc % 4;
            slen[3] = 0;
            tab = 4;
        } else {
            isfc -= 244;
            slen[0] = isfc / 3;
            slen[1] = isfc % 3;
            slen[2] = 0;
            slen[3] = 0;
            tab = 5;
        }
    }
    int blocknr = (g->window_switching && g->block_type == 2) ? (g->mixed_block ? 2 : 1) : 0;
    int seq[45], maxv[45];
    int k = 0;
    for (int p = 0; p < 4; p++) {
        int n = k_nr_sfb[tab][blocknr][p];
        for (int j = 0; j < n && k < 45; j++, k++) {
            seq[k] = (int)mpa_get_bits(b, slen[p]);
            maxv[k] = (1 << slen[p]) - 1;
        }
    }
    for (; k < 45; k++)
        seq[k] = maxv[k] = 0;

    if (blocknr == 0) {
        for (int i = 0; i < 21; i++) {
            d->sf_l[ch][i] = seq[i];
            if (is_right)
                d->is_max_l[i] = maxv[i];
        }
        d->sf_l[ch][21] = 0;
        if (is_right)
            d->is_max_l[21] = maxv[20];
    } else {
        int k0 = 0, sfb0 = 0;
        if (blocknr == 2) {
            for (int i = 0; i < 6; i++) {
                d->sf_l[ch][i] = seq[i];
                if (is_right)
                    d->is_max_l[i] = maxv[i];
            }
            k0 = 6;
            sfb0 = 3;
        }
        for (int sfb = sfb0; sfb < 12; sfb++)
            for (int w = 0; w < 3; w++, k0++) {
                d->sf_s[ch][sfb][w] = seq[k0];
                if (is_right)
                    d->is_max_s[sfb][w] = maxv[k0];
            }
        for (int w = 0; w < 3; w++) {
            d->sf_s[ch][12][w] = 0;
            if (is_right)
                d->is_max_s[12][w] = d->is_max_s[11][w];
        }
    }
    return preflag;
}

/* Looks up the code at the top of w: the value, or -1 for no code; *len its length. */
static inline int huff_lookup(const mpa_huff_lut *lut, uint32_t w, int *len)
{
    uint32_t e = lut->entries[w >> (32 - lut->root_bits)];
    int used = lut->root_bits;
    while (e & 0x8000u) {
        int width = (int)((e >> 12) & 7);
        uint32_t idx = (w << used) >> (32 - width);
        e = lut->entries[(e & 0xFFFu) + idx];
        used += width;
    }
    *len = (int)((e >> 8) & 31);
    return e ? (int)(e & 0xFF) : -1;
}

/* Huffman-decodes the spectral values of one granule/channel into is[]; returns the
 * count of decoded lines (values beyond are zero) or -1 on an invalid code. */
static int huffman(const mpa_tables *t, mpa_bits *b, uint32_t end, const mpa_l3_granule_ch *g, const band_index *bi,
                   int *is)
{
    int big_end = g->big_values * 2;
    int r1, r2;
    if (g->window_switching && g->block_type == 2) {
        r1 = 3 * bi->s[3];
        r2 = 576;
    } else if (g->window_switching) {
        r1 = bi->l[8];
        r2 = 576;
    } else {
        int a = g->region0_count + 1;
        int c = g->region0_count + g->region1_count + 2;
        r1 = bi->l[a > 22 ? 22 : a];
        r2 = bi->l[c > 22 ? 22 : c];
    }
    if (r1 > big_end)
        r1 = big_end;
    if (r2 > big_end)
        r2 = big_end;
    int stops[3] = {r1, r2, big_end};

    int i = 0;
    for (int r = 0; r < 3; r++) {
        int stop = stops[r];
        int tab = g->table_select[r];
        if (tab == 0) {
            for (; i < stop; i++)
                is[i] = 0;
            continue;
        }
        const mpa_huff_lut *lut = &t->huff[tab];
        int linbits = lut->linbits;
        for (; i < stop; i += 2) {
            if (b->pos >= end) {
                for (; i < stop; i++)
                    is[i] = 0;
                break;
            }
            uint32_t w = mpa_peek32(b);
            int len;
            int v = huff_lookup(lut, w, &len);
            if (v < 0)
                return SV_ERR_INVALID_FRAME;
            int x = v >> 4, y = v & 15;
            if (linbits == 0 || (x < 15 && y < 15)) {
                /* the sign bits follow the code word within the same 32 bits */
                uint32_t rest = w << len;
                if (x) {
                    if (rest & 0x80000000u)
                        x = -x;
                    rest <<= 1;
                    len++;
                }
                if (y) {
                    if (rest & 0x80000000u)
                        y = -y;
                    len++;
                }
                b->pos += (uint32_t)len;
            } else {
                b->pos += (uint32_t)len;
                if (x) {
                    if (x == 15)
                        x += (int)mpa_get_bits(b, linbits);
                    if (mpa_get_bits(b, 1))
                        x = -x;
                }
                if (y) {
                    if (y == 15)
                        y += (int)mpa_get_bits(b, linbits);
                    if (mpa_get_bits(b, 1))
                        y = -y;
                }
            }
            is[i] = x;
            is[i + 1] = y;
        }
    }
    /* count1 region: quadruples of -1/0/1 */
    while (i <= 572 && b->pos < end) {
        uint32_t w = mpa_peek32(b);
        int v, len;
        if (g->count1table_select) {
            v = 15 - (int)(w >> 28);
            len = 4;
        } else {
            v = huff_lookup(&t->count1a, w, &len);
            if (v < 0)
                return SV_ERR_INVALID_FRAME;
        }
        uint32_t rest = w << len; /* code word (at most 6 bits) and up to 4 sign bits */
        for (int k = 0; k < 4; k++) {
            int bit = (v >> (3 - k)) & 1;
            if (bit) {
                if (rest & 0x80000000u)
                    bit = -1;
                rest <<= 1;
                len++;
            }
            is[i + k] = bit;
        }
        b->pos += (uint32_t)len;
        i += 4;
        if (b->pos > end) { /* the last quadruple ran past the data: dropped */
            i -= 4;
            is[i] = is[i + 1] = is[i + 2] = is[i + 3] = 0;
            break;
        }
    }
    int n = i;
    for (; i < 576; i++)
        is[i] = 0;
    while (n > 0 && is[n - 1] == 0)
        n--;
    return n;
}

/* 2^(q/4), built from the exponent bits (0 below the normal range, clamped above) */
static inline float gain_q(int q)
{
    static const float quarter[4] = {1.0f, 1.18920712f, 1.41421356f, 1.68179283f};
    int e = (q >> 2) + 127;
    if (e <= 0)
        return 0.0f;
    if (e > 254)
        e = 254;
    uint32_t bits = (uint32_t)e << 23;
    float p2;
    memcpy(&p2, &bits, 4);
    return quarter[q & 3] * p2;
}

#if MPA_HAVE_AVX2
/* xr[k] = sign(is[k]) |is[k]|^(4/3) gain for k < count, eight at a time */
__attribute__((target("avx2,fma"))) static void requant_run_avx2(const float *pow43, const int *is, float *xr,
                                                                 int count, float gain)
{
    int k = 0;
    const __m256 g = _mm256_set1_ps(gain);
    const __m256i sign = _mm256_set1_epi32((int)0x80000000u);
    for (; k + 8 <= count; k += 8) {
        __m256i v = _mm256_loadu_si256((const __m256i *)(is + k));
        __m256 m = _mm256_mul_ps(_mm256_i32gather_ps(pow43, _mm256_abs_epi32(v), 4), g);
        m = _mm256_xor_ps(m, _mm256_castsi256_ps(_mm256_and_si256(v, sign)));
        _mm256_storeu_ps(xr + k, m);
    }
    for (; k < count; k++) {
        int v = is[k];
        xr[k] = v >= 0 ? pow43[v] * gain : -pow43[-v] * gain;
    }
}
#endif

static inline void requant_run(const mpa_tables *t, const int *is, float *xr, int count, float gain)
{
#if MPA_HAVE_AVX2
    if (t->use_avx2) {
        requant_run_avx2(t->pow43, is, xr, count, gain);
        return;
    }
#endif
    for (int k = 0; k < count; k++) {
        int v = is[k];
        xr[k] = v >= 0 ? t->pow43[v] * gain : -t->pow43[-v] * gain;
    }
}

static void requantise(const mpa_tables *t, const mpa_decoder *d, const mpa_l3_granule_ch *g, int ch, int preflag,
                       const band_index *bi, const int *is, float *xr, int n)
{
    int shift = 2 * (1 + g->scalefac_scale);
    int gg = g->global_gain - 210;
    int i = 0;
    int long_end; /* lines coded with long bands */
    if (g->window_switching && g->block_type == 2)
        long_end = g->mixed_block ? 36 : 0;
    else
        long_end = 576;

    for (int sfb = 0; sfb < 22 && i < long_end && i < n; sfb++) {
        int end = bi->l[sfb + 1];
        if (end > long_end)
            end = long_end;
        int sf = d->sf_l[ch][sfb] + (preflag ? k_pretab[sfb] : 0);
        float gain = gain_q(gg - shift * sf);
        if (end > i)
            requant_run(t, is + i, xr + i, end - i, gain);
        i = end;
    }
    for (; i < long_end; i++)
        xr[i] = 0.0f;
    if (long_end < 576) {
        int sfb = long_end ? 3 : 0;
        i = 3 * bi->s[sfb];
        for (; sfb < 13 && i < n; sfb++) {
            int w_len = bi->ws[sfb];
            for (int w = 0; w < 3; w++) {
                int sf = d->sf_s[ch][sfb][w];
                float gain = gain_q(gg - 8 * g->subblock_gain[w] - shift * sf);
                requant_run(t, is + i, xr + i, w_len, gain);
                i += w_len;
            }
        }
    }
    for (; i < 576; i++)
        xr[i] = 0.0f;
}

/* Intensity position of one band: fills kl/kr and returns 1 when legal. */
static int is_factors(const mpa_tables *t, const mpa_header *h, const mpa_l3_granule_ch *g, int pos, int maxv,
                      float *kl, float *kr)
{
    if (h->level == 1) {
        if (pos >= 7)
            return 0;
        *kl = t->is_ratio[pos][0];
        *kr = t->is_ratio[pos][1];
        return 1;
    }
    if (pos == maxv)
        return 0;
    int scale = g->scalefac_compress & 1;
    if (pos > 31)
        pos = 31;
    *kl = t->is_lsf[scale][pos][0];
    *kr = t->is_lsf[scale][pos][1];
    return 1;
}

static void band_stereo(const mpa_tables *t, const mpa_header *h, const mpa_l3_granule_ch *g, float *l, float *r,
                        int start, int len, int use_is, int pos, int maxv, int ms)
{
    float kl, kr;
    if (use_is && is_factors(t, h, g, pos, maxv, &kl, &kr)) {
        for (int i = start; i < start + len; i++) {
            float v = l[i];
            l[i] = v * kl;
            r[i] = v * kr;
        }
    } else if (ms) {
        const float s = 0.70710678f;
        for (int i = start; i < start + len; i++) {
            float m = l[i], d = r[i];
            l[i] = (m + d) * s;
            r[i] = (m - d) * s;
        }
    }
}

static int any_nonzero(const float *x, int start, int len)
{
    for (int i = start; i < start + len; i++)
        if (x[i] != 0.0f)
            return 1;
    return 0;
}

/* Intensity position of the top band (long 21, short 12), which has no scale factor of its
 * own: it follows the band below it. When that band is itself below the intensity bound
 * (the right channel has values there), MPEG-1 codes the top band as plain/mid-side
 * stereo, while MPEG-2 uses position 0 (both channels get the full value); the reference
 * output of the conformance streams is decoded this way. Returns whether the band is
 * intensity coded; fills *pos and *maxv. */
static int top_band_position(int lsf, int below, int last, int below_pos, int below_max, int *pos, int *maxv)
{
    if (below > last) {
        *pos = below_pos;
        *maxv = below_max;
        return 1;
    }
    if (lsf && below == last) {
        *pos = 0;
        *maxv = -1; /* always legal */
        return 1;
    }
    return 0;
}

static int last_nonzero_long(const float *r, const band_index *bi, int nbands)
{
    for (int sfb = nbands - 1; sfb >= 0; sfb--)
        if (any_nonzero(r, bi->l[sfb], bi->l[sfb + 1] - bi->l[sfb]))
            return sfb;
    return -1;
}

/* Mid-side and intensity stereo of one granule. Intensity coding starts above the last
 * band in which the right channel has a nonzero value (per window for short blocks);
 * bands with an illegal position fall back to mid-side (when on) or plain stereo. */
static void stereo(const mpa_tables *t, mpa_decoder *d, const mpa_header *h, const mpa_l3_granule_ch *g,
                   const band_index *bi)
{
    float *l = d->xr[0], *r = d->xr[1];
    int ms = (h->mode_extension & 2) != 0;
    int is = (h->mode_extension & 1) != 0;
    int lsf = h->level != 1;

    if (!is) {
        if (!ms)
            return;
        int n = d->nonzero[0] > d->nonzero[1] ? d->nonzero[0] : d->nonzero[1];
        band_stereo(t, h, g, l, r, 0, n, 0, 0, 0, 1);
        d->nonzero[0] = d->nonzero[1] = n;
        return;
    }

    if (g->window_switching && g->block_type == 2) {
        int sfb0 = g->mixed_block ? 3 : 0;
        int short_nonzero = 0;
        for (int w = 0; w < 3; w++) {
            int last = sfb0 - 1;
            for (int sfb = 12; sfb >= sfb0; sfb--) {
                if (any_nonzero(r, 3 * bi->s[sfb] + w * bi->ws[sfb], bi->ws[sfb])) {
                    last = sfb;
                    break;
                }
            }
            if (last >= sfb0)
                short_nonzero = 1;
            for (int sfb = sfb0; sfb < 13; sfb++) {
                int pos = d->sf_s[1][sfb][w];
                int maxv = lsf ? d->is_max_s[sfb][w] : 7;
                int use = sfb > last;
                if (sfb == 12)
                    use =
                        top_band_position(lsf, 11, last, d->sf_s[1][11][w], lsf ? d->is_max_s[11][w] : 7, &pos, &maxv);
                band_stereo(t, h, g, l, r, 3 * bi->s[sfb] + w * bi->ws[sfb], bi->ws[sfb], use, pos, maxv, ms);
            }
        }
        if (g->mixed_block) {
            /* the long bands are intensity coded only when no short band has values */
            int nlong = lsf ? 6 : 8;
            int last = short_nonzero ? nlong : last_nonzero_long(r, bi, nlong);
            for (int sfb = 0; sfb < nlong; sfb++) {
                int pos = d->sf_l[1][sfb];
                int maxv = lsf ? d->is_max_l[sfb] : 7;
                band_stereo(t, h, g, l, r, bi->l[sfb], bi->l[sfb + 1] - bi->l[sfb], sfb > last, pos, maxv, ms);
            }
        }
    } else {
        int last = last_nonzero_long(r, bi, 22);
        for (int sfb = 0; sfb < 22; sfb++) {
            int pos = d->sf_l[1][sfb];
            int maxv = lsf ? d->is_max_l[sfb] : 7;
            int use = sfb > last;
            if (sfb == 21)
                use = top_band_position(lsf, 20, last, d->sf_l[1][20], lsf ? d->is_max_l[20] : 7, &pos, &maxv);
            band_stereo(t, h, g, l, r, bi->l[sfb], bi->l[sfb + 1] - bi->l[sfb], use, pos, maxv, ms);
        }
    }
    d->nonzero[0] = d->nonzero[1] = 576;
}

static void reorder_short(const band_index *bi, const mpa_l3_granule_ch *g, float *xr)
{
    float tmp[576];
    int sfb0 = g->mixed_block ? 3 : 0;
    int base = 3 * bi->s[sfb0];
    int j = base;
    for (int sfb = sfb0; sfb < 13; sfb++) {
        int start = 3 * bi->s[sfb], wl = bi->ws[sfb];
        for (int f = 0; f < wl; f++)
            for (int w = 0; w < 3; w++)
                tmp[j++] = xr[start + w * wl + f];
    }
    memcpy(xr + base, tmp + base, sizeof(float) * (size_t)(576 - base));
}

int mpa_decode_layer3(mpa_decoder *d, const mpa_header *h, const uint8_t *main_data, int main_bytes)
{
    const mpa_tables *t = mpa_get_tables();
    int nch = h->channels;
    int lsf = h->level != 1;
    int ngr = lsf ? 1 : 2;
    int sr = h->level == 1 ? h->sampling_index : h->level == 2 ? 3 + h->sampling_index : 6 + h->sampling_index;
    band_index bi;
    make_bands(sr, &bi);
    mpa_bits b = {main_data, 0, (uint32_t)main_bytes * 8};
    int is[580];

    for (int gr = 0; gr < ngr; gr++) {
        for (int ch = 0; ch < nch; ch++) {
            const mpa_l3_granule_ch *g = &d->side.gr[gr][ch];
            uint32_t part_start = b.pos;
            uint32_t part_end = part_start + (uint32_t)g->part2_3_length;
            if (part_end > b.end)
                part_end = b.end;
            int preflag = g->preflag;
            if (lsf) {
                int is_right = ch == 1 && h->mode == 1 && (h->mode_extension & 1);
                preflag = read_sf_lsf(d, &b, g, ch, is_right);
            } else {
                read_sf_mpeg1(d, &b, g, gr, ch);
            }
            int n = 0;
            if (b.pos < part_end) {
                n = huffman(t, &b, part_end, g, &bi, is);
                if (n < 0)
                    return SV_ERR_INVALID_FRAME;
            } else {
                memset(is, 0, sizeof(int) * 576);
            }
            requantise(t, d, g, ch, preflag, &bi, is, d->xr[ch], n);
            d->nonzero[ch] = n;
            b.pos = part_end;
        }

        if (nch == 2 && h->mode == 1)
            stereo(t, d, h, &d->side.gr[gr][1], &bi);

        for (int ch = 0; ch < nch; ch++) {
            const mpa_l3_granule_ch *g = &d->side.gr[gr][ch];
            float *xr = d->xr[ch];
            int short_block = g->window_switching && g->block_type == 2;
            int sblimit;
            if (short_block) {
                reorder_short(&bi, g, xr);
                sblimit = 32;
                if (g->mixed_block)
                    mpa_l3_antialias(t, xr, 2);
            } else {
                sblimit = (d->nonzero[ch] + 17) / 18;
                mpa_l3_antialias(t, xr, sblimit < 32 ? sblimit + 1 : 32);
                sblimit = sblimit < 32 ? sblimit + 1 : 32;
            }
            float(*ov)[18] = d->overlap[ch];
            for (int sb = 0; sb < 32; sb++) {
                float out[18];
                if (sb >= sblimit) {
                    for (int i = 0; i < 18; i++) {
                        out[i] = ov[sb][i];
                        ov[sb][i] = 0.0f;
                    }
                } else {
                    int bt = g->window_switching ? g->block_type : 0;
                    if (g->window_switching && g->mixed_block && sb < 2)
                        bt = 0; /* also for types 1, 3 */
                    if (bt == 2)
                        mpa_l3_imdct_short(t, xr + 18 * sb, out, ov[sb]);
                    else
                        mpa_l3_imdct_long(t, xr + 18 * sb, t->win_l[bt], out, ov[sb]);
                }
                if (sb & 1)
                    for (int i = 1; i < 18; i += 2)
                        out[i] = -out[i];
                memcpy(&d->sb[ch][0][0] + sb * 36 + gr * 18, out, sizeof out); /* subband-major */
            }
        }
    }
    return 0;
}
