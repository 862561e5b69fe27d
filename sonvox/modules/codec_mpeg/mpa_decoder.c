/*
 * MPEG audio decoder core: the decoder object, the frame reader and the output stage
 * (equaliser, channel selection, downsampling, synthesis).
 */
#include <math.h>
#include <stdlib.h>

#include "mpa_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

mpa_decoder *mpa_new(void)
{
    (void)mpa_get_tables();
    mpa_decoder *d = (mpa_decoder *)calloc(1, sizeof(mpa_decoder));
    if (!d)
        return NULL;
    mpa_reset(d);
    return d;
}

void mpa_free(mpa_decoder *d)
{
    if (!d)
        return;
    mpa_remove_equalizer(d);
    free(d);
}

void mpa_reset(mpa_decoder *d)
{
    d->have_word = 0;
    d->word = 0;
    d->in_sync = 0;
    d->bytes_read = 0;
    d->res_len = 0;
    d->res_valid = 0;
    memset(d->reservoir, 0, sizeof d->reservoir);
    mpa_l3_reset(d);
    mpa_synth_reset(&d->synth[0]);
    mpa_synth_reset(&d->synth[1]);
}

int mpa_set_channel_selection(mpa_decoder *d, int selection)
{
    if (selection < 0 || selection > 3)
        return SV_ERR_INVALID_PARAMETERS;
    d->channel_selection = selection;
    return 0;
}

int mpa_get_channel_selection(const mpa_decoder *d)
{
    return d->channel_selection;
}

int mpa_set_downsampling(mpa_decoder *d, int downsampling)
{
    if (downsampling < 0 || downsampling > 2)
        return SV_ERR_INVALID_PARAMETERS;
    d->downsampling = downsampling;
    return 0;
}

int mpa_get_downsampling(const mpa_decoder *d)
{
    return d->downsampling;
}

int mpa_set_equalizer(mpa_decoder *d, const signed char values[64])
{
    float *t0 = d->eq[0] ? d->eq[0] : (float *)malloc(32 * sizeof(float));
    float *t1 = d->eq[1] ? d->eq[1] : (float *)malloc(32 * sizeof(float));
    if (!t0 || !t1) {
        free(t0);
        free(t1);
        d->eq[0] = d->eq[1] = NULL;
        return SV_ERR_OUT_OF_MEMORY;
    }
    for (int i = 0; i < 64; i++) {
        int v = values[i];
        float g = v >= 0 ? 1.0f + v / 32.0f : 1.0f / (1.0f - v / 32.0f);
        (i < 32 ? t0 : t1)[i & 31] = g;
    }
    d->eq[0] = t0;
    d->eq[1] = t1;
    return 0;
}

void mpa_remove_equalizer(mpa_decoder *d)
{
    free(d->eq[0]);
    free(d->eq[1]);
    d->eq[0] = d->eq[1] = NULL;
}

int mpa_get_equalizer(const mpa_decoder *d, signed char values[64])
{
    if (!d->eq[0] || !d->eq[1]) {
        memset(values, 0, 64);
        return SV_ERR_NO_SUCH_PROPERTY;
    }
    for (int i = 0; i < 64; i++) {
        float g = d->eq[i >> 5][i & 31];
        float v = g >= 1.0f ? (g - 1.0f) * 32.0f : (1.0f - 1.0f / g) * 32.0f;
        long r = lrintf(v);
        if (r > 127)
            r = 127;
        if (r < -128)
            r = -128;
        values[i] = (signed char)r;
    }
    return 0;
}

int mpa_memory_read(void *ctx, void *buf, int size)
{
    mpa_memory_input *in = (mpa_memory_input *)ctx;
    if (size <= 0)
        return 0;
    if (in->pos > in->size || in->size - in->pos < (size_t)size) {
        in->pos = in->size;
        return 0;
    }
    memcpy(buf, in->data + in->pos, (size_t)size);
    in->pos += (size_t)size;
    return size;
}

/* Reads exactly n bytes: n on success, 0 at the end of input, or a negative error. */
static int read_exact(mpa_decoder *d, mpa_read_fn read, void *ctx, void *buf, int n)
{
    int r = read(ctx, buf, n);
    if (r < 0)
        return r;
    if (r != n)
        return 0;
    d->bytes_read += n;
    return n;
}

static int output_shift(const mpa_decoder *d, int frequency)
{
    if (d->downsampling == 0)
        return 0;
    if (frequency >= 32000)
        return d->downsampling;
    if (frequency >= 16000 && d->downsampling == 2)
        return 1;
    return 0;
}

static void interleave(const int16_t *a, const int16_t *b, int16_t *out, int n)
{
    int i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= n; i += 8) {
        __m128i x = _mm_loadu_si128((const __m128i *)(a + i));
        __m128i y = _mm_loadu_si128((const __m128i *)(b + i));
        _mm_storeu_si128((__m128i *)(out + 2 * i), _mm_unpacklo_epi16(x, y));
        _mm_storeu_si128((__m128i *)(out + 2 * i + 8), _mm_unpackhi_epi16(x, y));
    }
#endif
    for (; i < n; i++) {
        out[2 * i] = a[i];
        out[2 * i + 1] = b[i];
    }
}

/* Turns nslots subband vectors of the frame into PCM. */
static void render(mpa_decoder *d, const mpa_tables *t, const mpa_header *h, int nslots, int shift, int out_ch,
                   int16_t *pcm)
{
    int nch = h->channels;
    int sel = nch == 1 ? 0 : d->channel_selection;
    int keep = 32 >> shift; /* subbands below the output Nyquist frequency */
    int per_slot = 32 >> shift;

    /* layout of the subband samples: slot k, subband m of channel ch at
     * sb[ch] + k * ss + m * ms */
    int ss = d->sb_major ? 1 : 32, ms = d->sb_major ? 36 : 1;
    float *base0 = &d->sb[0][0][0], *base1 = &d->sb[1][0][0];

    for (int ch = 0; ch < nch; ch++) {
        const float *eq = d->eq[ch];
        if (!eq && keep == 32)
            continue;
        float *b = ch ? base1 : base0;
        for (int m = 0; m < 32; m++) {
            float g = m >= keep ? 0.0f : eq ? eq[m] : 1.0f;
            if (g == 1.0f)
                continue;
            for (int s = 0; s < nslots; s++)
                b[s * ss + m * ms] *= g;
        }
    }

    if (nch == 1) {
        mpa_synth_block(t, &d->synth[0], base0, ss, ms, nslots, pcm, shift);
    } else if (sel == 0) {
        int n = nslots * per_slot;
        mpa_synth_block(t, &d->synth[0], base0, ss, ms, nslots, d->planar[0], shift);
        mpa_synth_block(t, &d->synth[1], base1, ss, ms, nslots, d->planar[1], shift);
        interleave(d->planar[0], d->planar[1], pcm, n);
    } else if (sel == 1 || sel == 2) {
        int ch = sel - 1;
        mpa_synth_block(t, &d->synth[ch], ch ? base1 : base0, ss, ms, nslots, pcm, shift);
    } else {
        /* both channels mixed: the average of the subband samples, synthesised once */
        for (int s = 0; s < nslots; s++)
            for (int m = 0; m < 32; m++) {
                int i = s * ss + m * ms;
                base0[i] = 0.5f * (base0[i] + base1[i]);
            }
        mpa_synth_block(t, &d->synth[0], base0, ss, ms, nslots, pcm, shift);
    }
    (void)out_ch;
    (void)per_slot;
}

int mpa_decode_frame(mpa_decoder *d, mpa_read_fn read, void *ctx, int16_t *pcm, mpa_frame_info *info)
{
    const mpa_tables *t = mpa_get_tables();
    uint8_t b4[4];
    uint32_t w;
    int r;

    /* 1. search for a valid header */
    int immediate = 1;
    if (d->have_word) {
        w = d->word;
        d->have_word = 0;
    } else {
        r = read_exact(d, read, ctx, b4, 4);
        if (r <= 0)
            return r < 0 ? r : SV_ERR_END_OF_STREAM;
        w = (uint32_t)b4[0] << 24 | (uint32_t)b4[1] << 16 | (uint32_t)b4[2] << 8 | b4[3];
    }
    mpa_header h;
    while (mpa_parse_header(w, &h) != 0) {
        r = read_exact(d, read, ctx, b4, 1);
        if (r <= 0)
            return r < 0 ? r : SV_ERR_END_OF_STREAM;
        w = (w << 8) | b4[0];
        immediate = 0;
    }
    if (!immediate)
        d->in_sync = 0;

    /* 2. the rest of the frame */
    int body = h.frame_bytes - 4;
    if (body > MPA_MAX_FRAME || body < h.side_info_bytes) {
        d->in_sync = 0;
        return SV_ERR_INVALID_FRAME;
    }
    r = read_exact(d, read, ctx, d->frame, body);
    if (r < 0)
        return r;
    if (r == 0)
        return SV_ERR_END_OF_STREAM; /* truncated last frame */
    memset(d->frame + body, 0, 16);

    /* 3. confirm the frame by the header that follows it */
    if (!d->in_sync) {
        r = read_exact(d, read, ctx, b4, 4);
        if (r < 0)
            return r;
        if (r > 0) {
            uint32_t next = (uint32_t)b4[0] << 24 | (uint32_t)b4[1] << 16 | (uint32_t)b4[2] << 8 | b4[3];
            d->have_word = 1;
            d->word = next;
            if (mpa_parse_header(next, NULL) != 0) {
                d->res_valid = 0; /* the reservoir no longer continues */
                return SV_ERR_INVALID_FRAME;
            }
            d->in_sync = 1;
        }
    }

    d->hdr = h;
    int shift = output_shift(d, h.frequency);
    int out_ch = (h.channels == 2 && d->channel_selection == 0) ? 2 : 1;
    int nslots = h.samples / 32;
    int samples = h.samples >> shift;
    int silent = 0;
    int err = 0;

    d->sb_major = h.layer == 3;
    if (h.layer == 1) {
        err = mpa_decode_layer1(d, &h);
    } else if (h.layer == 2) {
        err = mpa_decode_layer2(d, &h);
    } else {
        const uint8_t *side = d->frame + (h.protection ? 2 : 0);
        err = mpa_l3_read_side_info(d, &h, side);
        if (err == 0) {
            const uint8_t *main_data = d->frame + h.side_info_bytes;
            int main_bytes = body - h.side_info_bytes;
            int begin = d->side.main_data_begin;
            if (d->res_len + main_bytes > MPA_RESERVOIR) {
                int keep = d->res_len < 512 ? d->res_len : 512;
                memmove(d->reservoir, d->reservoir + d->res_len - keep, (size_t)keep);
                d->res_len = keep;
            }
            int start = d->res_len - begin;
            int enough = d->res_valid >= begin && start >= 0;
            memcpy(d->reservoir + d->res_len, main_data, (size_t)main_bytes);
            d->res_len += main_bytes;
            memset(d->reservoir + d->res_len, 0, 16);
            if (d->res_valid < (1 << 20))
                d->res_valid += main_bytes;
            if (enough)
                err = mpa_decode_layer3(d, &h, d->reservoir + start, begin + main_bytes);
            else
                silent = 1;
        }
    }
    if (err) {
        if (h.layer == 3)
            d->res_valid = 0;
        return SV_ERR_INVALID_FRAME;
    }

    if (silent)
        memset(pcm, 0, sizeof(int16_t) * (size_t)(samples * out_ch));
    else
        render(d, t, &h, nslots, shift, out_ch, pcm);

    if (info) {
        info->header = h;
        info->out_channels = out_ch;
        info->out_frequency = h.frequency >> shift;
        info->samples_per_channel = samples;
        info->silent = silent;
        info->bytes_read = d->bytes_read;
    }
    return samples;
}
