/*
 * Frame header parsing and validity rules.
 */
#include "mpa_internal.h"

static const short k_bitrates[2][3][15] = {
    {
        /* MPEG-1: Layer I, II, III */
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    },
    {
        /* MPEG-2 and MPEG-2.5 */
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    },
};

static const int k_frequencies[3][3] = {
    {11025, 12000, 8000},  /* MPEG-2.5 (level 0) */
    {44100, 48000, 32000}, /* MPEG-1 */
    {22050, 24000, 16000}, /* MPEG-2 */
};

int mpa_parse_header(uint32_t w, mpa_header *out)
{
    if ((w & 0xFFE00000u) != 0xFFE00000u)
        return SV_ERR_INVALID_FRAME;
    int v25 = !((w >> 20) & 1);
    int version_bit = (w >> 19) & 1;
    int layer_bits = (w >> 17) & 3;
    int bitrate_index = (w >> 12) & 15;
    int sampling_index = (w >> 10) & 3;
    int padding = (w >> 9) & 1;
    int mode = (w >> 6) & 3;

    if (v25 && version_bit)
        return SV_ERR_INVALID_FRAME; /* reserved version */
    if (layer_bits == 0 || bitrate_index == 0 || bitrate_index == 15 || sampling_index == 3)
        return SV_ERR_INVALID_FRAME;
    if (padding && sampling_index != 0)
        return SV_ERR_INVALID_FRAME;
    int layer = 4 - layer_bits;
    int level = v25 ? 0 : (version_bit ? 1 : 2);
    if (level == 0 && layer != 3)
        return SV_ERR_INVALID_FRAME;
    if (level == 1 && layer == 2) {
        int single = mode == 3;
        if (!single && (bitrate_index == 1 || bitrate_index == 2 || bitrate_index == 3 || bitrate_index == 5))
            return SV_ERR_INVALID_FRAME;
        if (single && bitrate_index >= 11)
            return SV_ERR_INVALID_FRAME;
    }
    if (!out)
        return 0;

    mpa_header h;
    h.word = w;
    h.level = level;
    h.layer = layer;
    h.protection = !((w >> 16) & 1);
    h.bitrate_index = bitrate_index;
    h.sampling_index = sampling_index;
    h.padding = padding;
    h.private_bit = (w >> 8) & 1;
    h.mode = mode;
    h.mode_extension = (w >> 4) & 3;
    h.copyright = (w >> 3) & 1;
    h.original = (w >> 2) & 1;
    h.emphasis = w & 3;
    h.frequency = k_frequencies[level][sampling_index];
    h.bitrate = k_bitrates[level == 1 ? 0 : 1][layer - 1][bitrate_index];
    h.channels = mode == 3 ? 1 : 2;
    int pad = padding && sampling_index == 0;
    if (layer == 1) {
        h.frame_bytes = (12 * h.bitrate * 1000 / h.frequency + pad) * 4;
        h.samples = 384;
    } else if (layer == 2 || level == 1) {
        h.frame_bytes = 144000 * h.bitrate / h.frequency + pad;
        h.samples = 1152;
    } else {
        h.frame_bytes = 72000 * h.bitrate / h.frequency + pad;
        h.samples = 576;
    }
    if (layer == 3) {
        if (level == 1)
            h.side_info_bytes = h.channels == 1 ? 17 : 32;
        else
            h.side_info_bytes = h.channels == 1 ? 9 : 17;
        if (h.protection)
            h.side_info_bytes += 2;
    } else {
        h.side_info_bytes = 0;
    }
    *out = h;
    return 0;
}
