/*
 * Polyphase synthesis filterbank.
 *
 * The 64-value matrixing of each new subband vector is a 32-point DCT C(j) (the other
 * values follow from its symmetries), so a slot stores C(16..32) and C(16..0): the two
 * halves that the windowing reads. Output j (0..15) and output 32 - j (1..16) use the
 * same slot values, so both come from contiguous runs with four window rows per pair of
 * slots; this vectorises directly (SSE below, plain C otherwise).
 */
#include "mpa_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if MPA_HAVE_AVX2
#include <immintrin.h>
#endif

void mpa_synth_reset(mpa_synth *s)
{
    memset(s->slots, 0, sizeof s->slots);
    s->pos = 0;
}

#if defined(__GNUC__)
#define MPA_HAVE_V4SF 1
typedef float mpa_v4sf __attribute__((vector_size(16)));
#endif
#include "mpa_dct32_gen.h"

void mpa_dct32(const mpa_tables *t, const float *in, float *out)
{
    (void)t;
    dct32_unrolled(in, out);
}

static inline int16_t clip16(float v)
{
    /* round to nearest (ties to even, like the SSE path) and clip */
    if (v >= 32767.0f)
        return 32767;
    if (v <= -32768.0f)
        return -32768;
    return (int16_t)__builtin_lrintf(v);
}

/* Windowing: lo[j] receives output j (0..15), hi[j] output 31 - j (16..31). */
static void window_generic(const mpa_tables *t, const mpa_synth *s, float *lo, float *hi)
{
#if defined(__SSE2__)
    __m128 a0 = _mm_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
    __m128 b0 = a0, b1 = a0, b2 = a0, b3 = a0;
    for (int i = 0; i < 8; i++) {
        const float *e = s->slots[(s->pos + 2 * i) & 15];
        const float *f = s->slots[(s->pos + 2 * i + 1) & 15] + 20;
        const float *w = &t->synth_win[i][0][0];
#define STEP(acc, off, wrow, src)                                                                                      \
    acc = _mm_add_ps(acc, _mm_mul_ps(_mm_load_ps(w + 16 * (wrow) + (off)), _mm_loadu_ps((src) + (off))))
        STEP(a0, 0, 0, e);
        STEP(a1, 4, 0, e);
        STEP(a2, 8, 0, e);
        STEP(a3, 12, 0, e);
        STEP(a0, 0, 1, f);
        STEP(a1, 4, 1, f);
        STEP(a2, 8, 1, f);
        STEP(a3, 12, 1, f);
        STEP(b0, 0, 2, e + 1);
        STEP(b1, 4, 2, e + 1);
        STEP(b2, 8, 2, e + 1);
        STEP(b3, 12, 2, e + 1);
        STEP(b0, 0, 3, f + 1);
        STEP(b1, 4, 3, f + 1);
        STEP(b2, 8, 3, f + 1);
        STEP(b3, 12, 3, f + 1);
#undef STEP
    }
    _mm_store_ps(lo, a0);
    _mm_store_ps(lo + 4, a1);
    _mm_store_ps(lo + 8, a2);
    _mm_store_ps(lo + 12, a3);
    /* hi[m] holds output 31 - m */
    _mm_store_ps(hi, b0);
    _mm_store_ps(hi + 4, b1);
    _mm_store_ps(hi + 8, b2);
    _mm_store_ps(hi + 12, b3);
#else
    for (int j = 0; j < 16; j++)
        lo[j] = hi[j] = 0.0f;
    for (int i = 0; i < 8; i++) {
        const float *e = s->slots[(s->pos + 2 * i) & 15];
        const float *f = s->slots[(s->pos + 2 * i + 1) & 15] + 20;
        const float *w0 = t->synth_win[i][0], *w1 = t->synth_win[i][1];
        const float *w2 = t->synth_win[i][2], *w3 = t->synth_win[i][3];
        for (int j = 0; j < 16; j++) {
            lo[j] += w0[j] * e[j] + w1[j] * f[j];
            hi[j] += w2[j] * e[j + 1] + w3[j] * f[j + 1];
        }
    }
#endif
}

#if MPA_HAVE_AVX2
/* The same with 8-wide fused multiply-adds, for processors that have them. */
__attribute__((target("avx2,fma"))) static void window_avx2(const mpa_tables *t, const mpa_synth *s, float *lo,
                                                            float *hi)
{
    __m256 a0 = _mm256_setzero_ps(), a1 = a0, b0 = a0, b1 = a0;
    for (int i = 0; i < 8; i++) {
        const float *e = s->slots[(s->pos + 2 * i) & 15];
        const float *f = s->slots[(s->pos + 2 * i + 1) & 15] + 20;
        const float *w = &t->synth_win[i][0][0];
        a0 = _mm256_fmadd_ps(_mm256_load_ps(w), _mm256_loadu_ps(e), a0);
        a1 = _mm256_fmadd_ps(_mm256_load_ps(w + 8), _mm256_loadu_ps(e + 8), a1);
        a0 = _mm256_fmadd_ps(_mm256_load_ps(w + 16), _mm256_loadu_ps(f), a0);
        a1 = _mm256_fmadd_ps(_mm256_load_ps(w + 24), _mm256_loadu_ps(f + 8), a1);
        b0 = _mm256_fmadd_ps(_mm256_load_ps(w + 32), _mm256_loadu_ps(e + 1), b0);
        b1 = _mm256_fmadd_ps(_mm256_load_ps(w + 40), _mm256_loadu_ps(e + 9), b1);
        b0 = _mm256_fmadd_ps(_mm256_load_ps(w + 48), _mm256_loadu_ps(f + 1), b0);
        b1 = _mm256_fmadd_ps(_mm256_load_ps(w + 56), _mm256_loadu_ps(f + 9), b1);
    }
    _mm256_store_ps(lo, a0);
    _mm256_store_ps(lo + 8, a1);
    _mm256_store_ps(hi, b0);
    _mm256_store_ps(hi + 8, b1);
}
#endif

/* Pushes one DCT result (C(m) at c[m * cstride]) into the ring and writes the 32 >> shift
 * output samples of the windowing at out (consecutive). */
static void push_and_window(const mpa_tables *t, mpa_synth *s, const float *c, int cstride, int16_t *out, int shift)
{
    s->pos = (s->pos - 1) & 15;
    float *slot = s->slots[s->pos];
    /* E: C(16..32) at 0..16 (C(32) = 0); F: C(16), C(15), ..., C(0) at 20..36 */
    for (int j = 0; j < 16; j++)
        slot[j] = c[(16 + j) * cstride];
    slot[16] = 0.0f;
    for (int j = 0; j <= 16; j++)
        slot[20 + j] = c[(16 - j) * cstride];

    MPA_ALIGN(32) float lo[16];
    MPA_ALIGN(32) float hi[16];
#if MPA_HAVE_AVX2
    if (t->use_avx2)
        window_avx2(t, s, lo, hi);
    else
#endif
        window_generic(t, s, lo, hi);

#if defined(__SSE2__)
    if (shift == 0) {
        /* round to nearest (ties to even) and saturate, 8 at a time; hi reversed */
        __m128i p0 = _mm_packs_epi32(_mm_cvtps_epi32(_mm_load_ps(lo)), _mm_cvtps_epi32(_mm_load_ps(lo + 4)));
        __m128i p1 = _mm_packs_epi32(_mm_cvtps_epi32(_mm_load_ps(lo + 8)), _mm_cvtps_epi32(_mm_load_ps(lo + 12)));
#define REV(x) _mm_shuffle_ps((x), (x), _MM_SHUFFLE(0, 1, 2, 3))
        __m128i q0 =
            _mm_packs_epi32(_mm_cvtps_epi32(REV(_mm_load_ps(hi + 12))), _mm_cvtps_epi32(REV(_mm_load_ps(hi + 8))));
        __m128i q1 = _mm_packs_epi32(_mm_cvtps_epi32(REV(_mm_load_ps(hi + 4))), _mm_cvtps_epi32(REV(_mm_load_ps(hi))));
#undef REV
        _mm_storeu_si128((__m128i *)out, p0);
        _mm_storeu_si128((__m128i *)(out + 8), p1);
        _mm_storeu_si128((__m128i *)(out + 16), q0);
        _mm_storeu_si128((__m128i *)(out + 24), q1);
        return;
    }
#endif
    int step = 1 << shift;
    int n = 0;
    for (int j = 0; j < 32; j += step)
        out[n++] = clip16(j < 16 ? lo[j] : hi[31 - j]);
}

void mpa_synth_run(const mpa_tables *t, mpa_synth *s, const float *subbands, int16_t *out, int shift)
{
    float c[32];
    mpa_dct32(t, subbands, c);
    push_and_window(t, s, c, 1, out, shift);
}

void mpa_synth_block(const mpa_tables *t, mpa_synth *s, const float *base, int slot_step, int sb_step, int nslots,
                     int16_t *out, int shift)
{
    int per_slot = 32 >> shift;
    int k = 0;
#if defined(MPA_HAVE_V4SF)
    /* four DCTs side by side, one per lane */
    for (; k + 4 <= nslots; k += 4) {
        MPA_ALIGN(16) mpa_v4sf in[32], c[32];
        const float *p = base + k * slot_step;
        if (slot_step == 1) {
            for (int m = 0; m < 32; m++)
                memcpy(&in[m], p + m * sb_step, sizeof(mpa_v4sf));
        } else {
            for (int m = 0; m < 32; m++) {
                const float *q = p + m * sb_step;
                mpa_v4sf v = {q[0], q[slot_step], q[2 * slot_step], q[3 * slot_step]};
                in[m] = v;
            }
        }
        dct32_x4(in, c);
        const float *cf = (const float *)c;
        for (int lane = 0; lane < 4; lane++)
            push_and_window(t, s, cf + lane, 4, out + (k + lane) * per_slot, shift);
    }
#endif
    for (; k < nslots; k++) {
        float v[32];
        for (int m = 0; m < 32; m++)
            v[m] = base[k * slot_step + m * sb_step];
        mpa_synth_run(t, s, v, out + k * per_slot, shift);
    }
}
