/*
 * Layer I and Layer II: bit allocation, scale factors and requantisation of the
 * subband samples.
 */
#include "mpa_internal.h"

/* ---- Layer I ---- */

int mpa_decode_layer1(mpa_decoder *d, const mpa_header *h)
{
    const mpa_tables *t = mpa_get_tables();
    mpa_bits b = {d->frame + (h->protection ? 2 : 0), 0, 0};
    b.end = (uint32_t)(h->frame_bytes - 4 - (h->protection ? 2 : 0)) * 8;
    int nch = h->channels;
    int bound = h->mode == 1 ? 4 + 4 * h->mode_extension : 32;
    if (nch == 1)
        bound = 32;
    int alloc[2][32];
    float scale[2][32];

    for (int sb = 0; sb < 32; sb++) {
        for (int ch = 0; ch < nch; ch++) {
            if (sb >= bound && ch == 1) {
                alloc[1][sb] = alloc[0][sb];
                continue;
            }
            int a = (int)mpa_get_bits(&b, 4);
            if (a == 15)
                return SV_ERR_INVALID_FRAME;
            alloc[ch][sb] = a;
        }
    }
    for (int sb = 0; sb < 32; sb++)
        for (int ch = 0; ch < nch; ch++)
            scale[ch][sb] = alloc[ch][sb] ? t->scf12[mpa_get_bits(&b, 6)] : 0.0f;

    for (int s = 0; s < 12; s++) {
        for (int sb = 0; sb < 32; sb++) {
            for (int ch = 0; ch < nch; ch++) {
                int a = alloc[ch][sb];
                if (!a) {
                    d->sb[ch][s][sb] = 0.0f;
                    continue;
                }
                if (sb >= bound && ch == 1)
                    continue; /* set with channel 0 */
                int nb = a + 1;
                int steps = (1 << nb) - 1;
                int v = (int)mpa_get_bits(&b, nb);
                float frac = (float)(2 * v - steps + 1) / (float)steps;
                d->sb[ch][s][sb] = frac * scale[ch][sb];
                if (sb >= bound && nch == 2)
                    d->sb[1][s][sb] = frac * scale[1][sb]; /* shared sample */
            }
        }
    }
    return 0;
}

/* ---- Layer II ---- */

/* Quantisation classes: steps, bits per sample (0 = grouped three to a code of
 * `group_bits`). */
typedef struct l2_class
{
    int steps;
    int bits;
    int group_bits;
} l2_class;

static const l2_class k_classes[18] = {
    {3, 0, 5},     {5, 0, 7},     {7, 3, 0},      {9, 0, 10},     {15, 4, 0},     {31, 5, 0},
    {63, 6, 0},    {127, 7, 0},   {255, 8, 0},    {511, 9, 0},    {1023, 10, 0},  {2047, 11, 0},
    {4095, 12, 0}, {8191, 13, 0}, {16383, 14, 0}, {32767, 15, 0}, {65535, 16, 0}, {0, 0, 0},
};
/* class indexes into k_classes */
enum { C3, C5, C7, C9, C15, C31, C63, C127, C255, C511, C1023, C2047, C4095, C8191, C16383, C32767, C65535 };

/* One row of an allocation table: bits of the allocation field and the class of each
 * allocation value 1 .. 2^bits - 1. */
typedef struct l2_row
{
    int nbal;
    signed char cls[15];
} l2_row;

static const l2_row k_row_a0 = {
    4, {C3, C7, C15, C31, C63, C127, C255, C511, C1023, C2047, C4095, C8191, C16383, C32767, C65535}};
static const l2_row k_row_a1 = {4,
                                {C3, C5, C7, C9, C15, C31, C63, C127, C255, C511, C1023, C2047, C4095, C8191, C65535}};
static const l2_row k_row_a2 = {3, {C3, C5, C7, C9, C15, C31, C65535}};
static const l2_row k_row_a3 = {2, {C3, C5, C65535}};
static const l2_row k_row_c0 = {
    4, {C3, C5, C9, C15, C31, C63, C127, C255, C511, C1023, C2047, C4095, C8191, C16383, C32767}};
static const l2_row k_row_c1 = {3, {C3, C5, C9, C15, C31, C63, C127}};
static const l2_row k_row_l0 = {4,
                                {C3, C5, C7, C9, C15, C31, C63, C127, C255, C511, C1023, C2047, C4095, C8191, C16383}};
static const l2_row k_row_l1 = {3, {C3, C5, C9, C15, C31, C63, C127}};
static const l2_row k_row_l2 = {2, {C3, C5, C9}};

/* Picks the allocation table: fills rows[0..sblimit) and returns sblimit. */
static int l2_table(const mpa_header *h, const l2_row **rows)
{
    int sblimit;
    if (h->level != 1) {
        sblimit = 30;
        for (int sb = 0; sb < 30; sb++)
            rows[sb] = sb < 4 ? &k_row_l0 : sb < 11 ? &k_row_l1 : &k_row_l2;
        return sblimit;
    }
    int per_channel = h->bitrate / h->channels;
    if (per_channel <= 48) {
        sblimit = h->frequency == 32000 ? 12 : 8;
        for (int sb = 0; sb < sblimit; sb++)
            rows[sb] = sb < 2 ? &k_row_c0 : &k_row_c1;
        return sblimit;
    }
    sblimit = (per_channel <= 80 || h->frequency == 48000) ? 27 : 30;
    for (int sb = 0; sb < sblimit; sb++)
        rows[sb] = sb < 3 ? &k_row_a0 : sb < 11 ? &k_row_a1 : sb < 23 ? &k_row_a2 : &k_row_a3;
    return sblimit;
}

int mpa_decode_layer2(mpa_decoder *d, const mpa_header *h)
{
    const mpa_tables *t = mpa_get_tables();
    mpa_bits b = {d->frame + (h->protection ? 2 : 0), 0, 0};
    b.end = (uint32_t)(h->frame_bytes - 4 - (h->protection ? 2 : 0)) * 8;
    int nch = h->channels;
    const l2_row *rows[32];
    int sblimit = l2_table(h, rows);
    int bound = (h->mode == 1 && nch == 2) ? 4 + 4 * h->mode_extension : sblimit;
    if (bound > sblimit)
        bound = sblimit;

    signed char cls[2][32];
    unsigned char scfsi[2][32];
    float scale[2][3][32];

    for (int sb = 0; sb < sblimit; sb++) {
        for (int ch = 0; ch < nch; ch++) {
            if (sb >= bound && ch == 1) {
                cls[1][sb] = cls[0][sb];
                continue;
            }
            int a = (int)mpa_get_bits(&b, rows[sb]->nbal);
            cls[ch][sb] = a ? rows[sb]->cls[a - 1] : -1;
        }
    }
    for (int sb = 0; sb < sblimit; sb++)
        for (int ch = 0; ch < nch; ch++)
            scfsi[ch][sb] = cls[ch][sb] >= 0 ? (unsigned char)mpa_get_bits(&b, 2) : 0;
    for (int sb = 0; sb < sblimit; sb++) {
        for (int ch = 0; ch < nch; ch++) {
            if (cls[ch][sb] < 0) {
                scale[ch][0][sb] = scale[ch][1][sb] = scale[ch][2][sb] = 0.0f;
                continue;
            }
            int s0, s1, s2;
            switch (scfsi[ch][sb]) {
            case 0:
                s0 = (int)mpa_get_bits(&b, 6);
                s1 = (int)mpa_get_bits(&b, 6);
                s2 = (int)mpa_get_bits(&b, 6);
                break;
            case 1:
                s0 = s1 = (int)mpa_get_bits(&b, 6);
                s2 = (int)mpa_get_bits(&b, 6);
                break;
            case 2: s0 = s1 = s2 = (int)mpa_get_bits(&b, 6); break;
            default:
                s0 = (int)mpa_get_bits(&b, 6);
                s1 = s2 = (int)mpa_get_bits(&b, 6);
                break;
            }
            scale[ch][0][sb] = t->scf12[s0];
            scale[ch][1][sb] = t->scf12[s1];
            scale[ch][2][sb] = t->scf12[s2];
        }
    }

    for (int gr = 0; gr < 12; gr++) {
        int part = gr >> 2;
        float *out[2][3];
        for (int ch = 0; ch < 2; ch++)
            for (int k = 0; k < 3; k++)
                out[ch][k] = d->sb[ch][gr * 3 + k];
        for (int sb = 0; sb < sblimit; sb++) {
            for (int ch = 0; ch < nch; ch++) {
                int c = cls[ch][sb];
                if (c < 0) {
                    out[ch][0][sb] = out[ch][1][sb] = out[ch][2][sb] = 0.0f;
                    continue;
                }
                float sc = scale[ch][part][sb];
                if (sb >= bound && ch == 1)
                    continue; /* set with channel 0 */
                const l2_class *q = &k_classes[c];
                int v[3];
                if (q->bits == 0) {
                    int code = (int)mpa_get_bits(&b, q->group_bits);
                    v[0] = code % q->steps;
                    code /= q->steps;
                    v[1] = code % q->steps;
                    v[2] = code / q->steps;
                    if (v[2] >= q->steps)
                        return SV_ERR_INVALID_FRAME;
                } else {
                    v[0] = (int)mpa_get_bits(&b, q->bits);
                    v[1] = (int)mpa_get_bits(&b, q->bits);
                    v[2] = (int)mpa_get_bits(&b, q->bits);
                }
                float inv = 1.0f / (float)q->steps;
                for (int k = 0; k < 3; k++) {
                    float frac = (float)(2 * v[k] - q->steps + 1) * inv;
                    out[ch][k][sb] = frac * sc;
                    if (sb >= bound && nch == 2)
                        out[1][k][sb] = frac * scale[1][part][sb]; /* shared */
                }
            }
        }
        for (int ch = 0; ch < nch; ch++)
            for (int k = 0; k < 3; k++)
                for (int sb = sblimit; sb < 32; sb++)
                    out[ch][k][sb] = 0.0f;
    }
    return 0;
}
