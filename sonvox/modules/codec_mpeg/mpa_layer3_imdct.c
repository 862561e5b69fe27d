/*
 * Layer III, from the frequency lines to subband samples: alias reduction between
 * neighbouring subbands and the IMDCT with its overlap-add (long and short blocks).
 */
#include <math.h>
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mpa_internal.h"

#if MPA_HAVE_AVX2
#include <immintrin.h>
#endif

void mpa_l3_antialias(const mpa_tables *t, float *xr, int sblimit)
{
#if defined(__SSE2__)
    const __m128 cs0 = _mm_loadu_ps(t->aa_cs), cs1 = _mm_loadu_ps(t->aa_cs + 4);
    const __m128 ca0 = _mm_loadu_ps(t->aa_ca), ca1 = _mm_loadu_ps(t->aa_ca + 4);
#define REV(x) _mm_shuffle_ps((x), (x), _MM_SHUFFLE(0, 1, 2, 3))
    for (int sb = 1; sb < sblimit; sb++) {
        float *p = xr + 18 * sb;
        /* butterfly i pairs p[-1 - i] with p[i], i = 0..7 */
        __m128 lo0 = REV(_mm_loadu_ps(p - 4)), lo1 = REV(_mm_loadu_ps(p - 8));
        __m128 hi0 = _mm_loadu_ps(p), hi1 = _mm_loadu_ps(p + 4);
        __m128 nlo0 = _mm_sub_ps(_mm_mul_ps(lo0, cs0), _mm_mul_ps(hi0, ca0));
        __m128 nlo1 = _mm_sub_ps(_mm_mul_ps(lo1, cs1), _mm_mul_ps(hi1, ca1));
        __m128 nhi0 = _mm_add_ps(_mm_mul_ps(hi0, cs0), _mm_mul_ps(lo0, ca0));
        __m128 nhi1 = _mm_add_ps(_mm_mul_ps(hi1, cs1), _mm_mul_ps(lo1, ca1));
        _mm_storeu_ps(p - 4, REV(nlo0));
        _mm_storeu_ps(p - 8, REV(nlo1));
        _mm_storeu_ps(p, nhi0);
        _mm_storeu_ps(p + 4, nhi1);
    }
#undef REV
#else
    for (int sb = 1; sb < sblimit; sb++) {
        float *p = xr + 18 * sb;
        for (int i = 0; i < 8; i++) {
            float lo = p[-1 - i], hi = p[i];
            p[-1 - i] = lo * t->aa_cs[i] - hi * t->aa_ca[i];
            p[i] = hi * t->aa_cs[i] + lo * t->aa_ca[i];
        }
    }
#endif
}

#if MPA_HAVE_AVX2
/* y[n] = sum_k in[k] cos(pi/72 (2n+1)(2k+1)), n = 0..17, with 8-wide fused multiply-adds */
__attribute__((target("avx2,fma"))) static void dct4_18_avx2(const mpa_tables *t, const float *in, float *y)
{
    __m256 y0 = _mm256_setzero_ps(), y1 = y0, y2 = y0;
    for (int k = 0; k < 18; k++) {
        const float *row = t->imdct36[k];
        __m256 x = _mm256_set1_ps(in[k]);
        y0 = _mm256_fmadd_ps(x, _mm256_load_ps(row), y0);
        y1 = _mm256_fmadd_ps(x, _mm256_load_ps(row + 8), y1);
        y2 = _mm256_fmadd_ps(x, _mm256_load_ps(row + 16), y2);
    }
    _mm256_storeu_ps(y, y0);
    _mm256_storeu_ps(y + 8, y1);
    _mm256_storeu_ps(y + 16, y2);
}
#endif

void mpa_l3_imdct_long(const mpa_tables *t, const float *in, const float *win, float *out, float *ov)
{
    MPA_ALIGN(32) float y[24];
#if MPA_HAVE_AVX2
    if (t->use_avx2)
        dct4_18_avx2(t, in, y);
    else
#endif
    {
#if defined(__SSE2__)
        __m128 y0 = _mm_setzero_ps(), y1 = y0, y2 = y0, y3 = y0, y4 = y0;
        for (int k = 0; k < 18; k++) {
            if (in[k] == 0.0f)
                continue;
            const float *row = t->imdct36[k];
            __m128 x = _mm_set1_ps(in[k]);
            y0 = _mm_add_ps(y0, _mm_mul_ps(x, _mm_load_ps(row)));
            y1 = _mm_add_ps(y1, _mm_mul_ps(x, _mm_load_ps(row + 4)));
            y2 = _mm_add_ps(y2, _mm_mul_ps(x, _mm_load_ps(row + 8)));
            y3 = _mm_add_ps(y3, _mm_mul_ps(x, _mm_load_ps(row + 12)));
            y4 = _mm_add_ps(y4, _mm_mul_ps(x, _mm_load_ps(row + 16)));
        }
        _mm_store_ps(y, y0);
        _mm_store_ps(y + 4, y1);
        _mm_store_ps(y + 8, y2);
        _mm_store_ps(y + 12, y3);
        _mm_store_ps(y + 16, y4);
#else
        for (int n = 0; n < 18; n++)
            y[n] = 0.0f;
        for (int k = 0; k < 18; k++) {
            float x = in[k];
            const float *row = t->imdct36[k];
            for (int n = 0; n < 18; n++)
                y[n] += x * row[n];
        }
#endif
    }
    float x36[36];
    for (int i = 0; i < 9; i++)
        x36[i] = y[9 + i];
    for (int i = 9; i < 27; i++)
        x36[i] = -y[26 - i];
    for (int i = 27; i < 36; i++)
        x36[i] = -y[i - 27];
    for (int i = 0; i < 18; i++) {
        out[i] = x36[i] * win[i] + ov[i];
        ov[i] = x36[18 + i] * win[18 + i];
    }
}

void mpa_l3_imdct_short(const mpa_tables *t, const float *in, float *out, float *ov)
{
    float x36[36];
    for (int i = 0; i < 36; i++)
        x36[i] = 0.0f;
    for (int w = 0; w < 3; w++) {
        float *dst = x36 + 6 + 6 * w;
        for (int k = 0; k < 6; k++) {
            float x = in[3 * k + w];
            if (x == 0.0f)
                continue;
            const float *row = t->imdct12[k];
            for (int i = 0; i < 12; i++)
                dst[i] += x * row[i];
        }
    }
    for (int i = 0; i < 18; i++) {
        out[i] = x36[i] + ov[i];
        ov[i] = x36[18 + i];
    }
}
