/*
 * Constant tables of the decoder, built once on first use and shared read-only by all
 * decoder objects.
 */
#include <math.h>
#include <pthread.h>
#include <stdlib.h>

#include "mpa_internal.h"

extern const int32_t mpa_synth_window_half[256];

#define HUFF_PTR 0x8000u

static mpa_tables g_tables;
static pthread_once_t g_once = PTHREAD_ONCE_INIT;

/* Storage for all Huffman lookup tables (sizes checked while building). */
static uint16_t g_huff_storage[24576];
static int g_huff_used;
static int g_huff_failed;

/* Builds the lookup table for codes whose first `consumed` bits equal `prefix`, with an
 * index width of `width` bits, at `base`; recursive for longer codes. Returns entries
 * used below base (the table itself plus its sub-tables). */
static int huff_build(const mpa_huff_source *src, int n, int values_per_axis, uint32_t prefix, int consumed, int width,
                      int base, int table_start)
{
    int size = 1 << width;
    int next = base + size;
    if (next > (int)(sizeof g_huff_storage / sizeof g_huff_storage[0])) {
        g_huff_failed = 1;
        return size;
    }
    for (int i = 0; i < size; i++)
        g_huff_storage[base + i] = 0; /* length 0 = invalid */
    for (int i = 0; i < n; i++) {
        int len = src->lengths[i];
        uint32_t code = src->codes[i];
        if (len <= consumed)
            continue;
        if ((code >> (len - consumed)) != prefix)
            continue;
        int value = values_per_axis == 4 ? i : ((i / src->size) << 4 | (i % src->size));
        if (len <= consumed + width) {
            /* leaf: fill all slots that start with the remaining code bits */
            int rem = len - consumed;
            uint32_t idx = (code & ((1u << rem) - 1)) << (width - rem);
            for (uint32_t k = 0; k < (1u << (width - rem)); k++)
                g_huff_storage[base + idx + k] = (uint16_t)(value | (len << 8));
        }
    }
    /* sub-tables for codes longer than consumed + width */
    for (uint32_t slot = 0; slot < (uint32_t)size; slot++) {
        if (g_huff_storage[base + slot] != 0)
            continue;
        int maxlen = 0;
        uint32_t sub_prefix = (prefix << width) | slot;
        for (int i = 0; i < n; i++) {
            int len = src->lengths[i];
            if (len > consumed + width && (uint32_t)(src->codes[i] >> (len - consumed - width)) == sub_prefix
                && len > maxlen)
                maxlen = len;
        }
        if (maxlen == 0)
            continue;
        int sub_width = maxlen - consumed - width;
        if (sub_width > 6)
            sub_width = 6;
        int off = next - table_start;
        if (off >= 4096) {
            g_huff_failed = 1;
            continue;
        }
        g_huff_storage[base + slot] = (uint16_t)(HUFF_PTR | (sub_width << 12) | off);
        next += huff_build(src, n, values_per_axis, sub_prefix, consumed + width, sub_width, next, table_start);
    }
    return next - base;
}

static void make_lut(mpa_huff_lut *lut, const mpa_huff_source *src, int quad)
{
    int n = quad ? 16 : src->size * src->size;
    int maxlen = 0;
    for (int i = 0; i < n; i++)
        if (src->lengths[i] > maxlen)
            maxlen = src->lengths[i];
    int root = maxlen < 8 ? maxlen : 8;
    int base = g_huff_used;
    g_huff_used += huff_build(src, n, quad ? 4 : 0, 0, 0, root, base, base);
    lut->entries = g_huff_storage + base;
    lut->root_bits = root;
    lut->linbits = src->linbits;
}

static double window_value(int i)
{
    if (i == 0)
        return 0.0;
    if (i >= 256)
        return mpa_synth_window_half[i - 256] / 65536.0;
    double v = mpa_synth_window_half[256 - i] / 65536.0;
    return (i % 64 == 0) ? v : -v;
}

static void build_tables(void)
{
    mpa_tables *t = &g_tables;

    for (int i = 0; i < 32; i++) {
        const mpa_huff_source *src = &mpa_huff_sources[i];
        if (!src->codes)
            continue;
        if (i > 16 && i != 24 && mpa_huff_sources[i].codes == mpa_huff_sources[i - 1].codes) {
            t->huff[i] = t->huff[i - 1];
            t->huff[i].linbits = src->linbits;
            continue;
        }
        make_lut(&t->huff[i], src, 0);
    }
    make_lut(&t->count1a, &mpa_huff_count1_a, 1);
    if (g_huff_failed)
        abort(); /* the constant tables above are broken: a build fault */

    for (int i = 0; i < 8207; i++)
        t->pow43[i] = (float)pow((double)i, 4.0 / 3.0);
    for (int i = 0; i < 64; i++)
        t->scf12[i] = (float)pow(2.0, 1.0 - i / 3.0);

    /* IMDCT windows */
    for (int i = 0; i < 36; i++)
        t->win_l[0][i] = (float)sin(M_PI / 36 * (i + 0.5));
    for (int i = 0; i < 36; i++) {
        double v;
        if (i < 18)
            v = sin(M_PI / 36 * (i + 0.5));
        else if (i < 24)
            v = 1.0;
        else if (i < 30)
            v = sin(M_PI / 12 * (i - 18 + 0.5));
        else
            v = 0.0;
        t->win_l[1][i] = (float)v;
        t->win_l[3][35 - i] = (float)v;
    }
    for (int i = 0; i < 36; i++)
        t->win_l[2][i] = t->win_l[0][i];
    for (int i = 0; i < 12; i++)
        t->win_s[i] = (float)sin(M_PI / 12 * (i + 0.5));
    for (int k = 0; k < 18; k++) {
        for (int n = 0; n < 18; n++)
            t->imdct36[k][n] = (float)cos(M_PI / 72 * (2 * n + 1) * (2 * k + 1));
        for (int n = 18; n < 24; n++)
            t->imdct36[k][n] = 0.0f;
    }
    for (int k = 0; k < 6; k++)
        for (int i = 0; i < 12; i++)
            t->imdct12[k][i] = (float)(cos(M_PI / 24 * (2 * i + 1 + 6) * (2 * k + 1)) * sin(M_PI / 12 * (i + 0.5)));

    static const double aa_c[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
    for (int i = 0; i < 8; i++) {
        double sq = sqrt(1.0 + aa_c[i] * aa_c[i]);
        t->aa_cs[i] = (float)(1.0 / sq);
        t->aa_ca[i] = (float)(aa_c[i] / sq);
    }
    for (int p = 0; p < 7; p++) {
        if (p == 6) {
            t->is_ratio[p][0] = 1.0f;
            t->is_ratio[p][1] = 0.0f;
            continue;
        }
        double r = tan(p * M_PI / 12);
        t->is_ratio[p][0] = (float)(r / (1.0 + r));
        t->is_ratio[p][1] = (float)(1.0 / (1.0 + r));
    }
    for (int s = 0; s < 2; s++) {
        double io = s ? 1.0 / sqrt(2.0) : 1.0 / sqrt(sqrt(2.0));
        for (int p = 0; p < 32; p++) {
            double kl = 1.0, kr = 1.0;
            if (p & 1)
                kl = pow(io, (p + 1) / 2);
            else if (p)
                kr = pow(io, p / 2);
            t->is_lsf[s][p][0] = (float)kl;
            t->is_lsf[s][p][1] = (float)kr;
        }
    }

#if MPA_HAVE_AVX2
    __builtin_cpu_init();
    /* SONVOX_MPA_NO_AVX2 forces the portable paths (for testing them on any machine) */
    t->use_avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && !getenv("SONVOX_MPA_NO_AVX2");
#else
    t->use_avx2 = 0;
#endif

    /* Synthesis window rearranged for the paired outputs j and 32 - j, scaled to 16 bits */
    for (int i = 0; i < 8; i++)
        for (int j = 0; j < 16; j++) {
            t->synth_win[i][0][j] = (float)(32768.0 * window_value(64 * i + j));
            t->synth_win[i][1][j] = (float)(-32768.0 * window_value(64 * i + 32 + j));
            int jj = j + 1; /* second half: outputs 32 - jj, jj = 1..16 */
            t->synth_win[i][2][j] = (float)(-32768.0 * window_value(64 * i + 32 - jj));
            t->synth_win[i][3][j] = (float)(-32768.0 * window_value(64 * i + 64 - jj));
        }
}

const mpa_tables *mpa_get_tables(void)
{
    pthread_once(&g_once, build_tables);
    return &g_tables;
}
