// Analysis of the start of an MPEG audio stream (ID3v2 size, first header, VBR headers).
#include "sonvox/modules/codec_mpeg/stream_start.h"

#include <cstring>

namespace {

uint32_t be32(const uint8_t *p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16)
           | (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

bool tag_at(const uint8_t *buf, int n, int at, const char *tag)
{
    return at + 4 <= n && std::memcmp(buf + at, tag, 4) == 0;
}

// Reads a Xing/Lame header at `at`; fields that do not fit in the bytes are left out.
void read_xing(const uint8_t *buf, int n, int at, mpeg_stream_start *out)
{
    out->vbr = MPEG_VBR_XING;
    int p = at + 4;
    if (p + 4 > n)
        return;
    uint32_t flags = be32(buf + p);
    p += 4;
    if (flags & 1) {
        if (p + 4 > n)
            return;
        out->frames = be32(buf + p);
        out->length_from_header = 1;
        p += 4;
    }
    if (flags & 2)
        p += 4; // byte count: the input's own size is used instead
    if (flags & 4) {
        if (p + 100 > n)
            return;
        std::memcpy(out->seek_table, buf + p, 100);
        out->has_seek_table = 1;
        p += 100;
    }
    if (flags & 8)
        p += 4; // quality
    // The LAME tag: a 9-byte encoder name ("LAME3.100", "Lavc..." and "Lavf..." write it
    // too), then 12 bytes of levels and flags, then delay and padding in 12 bits each.
    if (p + 24 > n)
        return;
    const uint8_t *e = buf + p;
    if (std::memcmp(e, "LAME", 4) != 0 && std::memcmp(e, "L3.9", 4) != 0 && std::memcmp(e, "Lavc", 4) != 0
        && std::memcmp(e, "Lavf", 4) != 0)
        return;
    const uint8_t *dp = e + 21;
    out->has_lame_tag = 1;
    out->encoder_delay = (dp[0] << 4) | (dp[1] >> 4);
    out->encoder_padding = ((dp[1] & 0x0F) << 8) | dp[2];
}

} // namespace

extern "C" int64_t mpeg_id3v2_size(const uint8_t *buf, int n)
{
    if (n < 10 || std::memcmp(buf, "ID3", 3) != 0)
        return 0;
    if ((buf[6] | buf[7] | buf[8] | buf[9]) & 0x80)
        return -1;
    int64_t size = (static_cast<int64_t>(buf[6] & 0x7F) << 21) | ((buf[7] & 0x7F) << 14) | ((buf[8] & 0x7F) << 7)
                   | (buf[9] & 0x7F);
    size += 10;
    // Version 4 tags may end with a 10-byte footer that the size does not count.
    if (buf[3] == 4 && (buf[5] & 0x10))
        size += 10;
    return size;
}

extern "C" int mpeg_find_frame_pair(const uint8_t *buf, int n, int from)
{
    for (int i = from < 0 ? 0 : from; i + 4 <= n; i++) {
        if (buf[i] != 0xFF || buf[i + 1] < 0xE0)
            continue;
        mpa_header h;
        if (mpa_parse_header(be32(buf + i), &h) != 0)
            continue;
        const int next = i + h.frame_bytes;
        if (next + 4 <= n && buf[next] == 0xFF && mpa_parse_header(be32(buf + next), nullptr) == 0)
            return i;
    }
    return -1;
}

extern "C" void mpeg_analyse_stream_start(const uint8_t *buf, int n, int64_t data_bytes, mpeg_stream_start *out)
{
    std::memset(out, 0, sizeof *out);
    if (n > MPEG_STREAM_START_BYTES)
        n = MPEG_STREAM_START_BYTES;
    if (n < 4 || buf[0] != 0xFF || buf[1] < 0xE0)
        return;
    if (mpa_parse_header(be32(buf), &out->header) != 0)
        return;
    out->valid = 1;
    const mpa_header &h = out->header;
    out->bitrate = h.bitrate;

    // Where the encoder puts a Xing header: after the side information of the frame.
    int at;
    if (h.level == 1) {
        at = h.mode == 3 ? 21 : 36;
    } else {
        at = h.mode == 3 ? 13 : 21;
    }
    if (tag_at(buf, n, at, "Xing") || tag_at(buf, n, at, "Lame")) {
        read_xing(buf, n, at, out);
        out->info_frame = 1;
        out->info_frames = out->frames;
    } else if (tag_at(buf, n, at, "Info")) {
        mpeg_stream_start info;
        std::memset(&info, 0, sizeof info);
        read_xing(buf, n, at, &info);
        out->info_frame = 1;
        out->info_frames = info.frames;
        out->has_lame_tag = info.has_lame_tag;
        out->encoder_delay = info.encoder_delay;
        out->encoder_padding = info.encoder_padding;
    } else if (tag_at(buf, n, at, "VBRI") || tag_at(buf, n, 36, "VBRI")) {
        // The Fraunhofer VBRI header always sits 32 bytes after the frame header.
        int v = tag_at(buf, n, at, "VBRI") ? at : 36;
        out->vbr = MPEG_VBR_VBRI;
        if (v + 18 <= n) {
            out->frames = be32(buf + v + 14);
            out->length_from_header = 1;
        }
    }

    if (out->length_from_header && out->frames > 0) {
        out->duration_ms = static_cast<int64_t>(h.samples) * 1000 * out->frames / h.frequency;
        if (data_bytes > 0 && out->duration_ms > 0) {
            int64_t mean = data_bytes * 8 / out->duration_ms;
            out->bitrate = static_cast<int>(mean > 1000000 ? 1000000 : mean);
        }
    } else {
        // A header without a usable frame count tells nothing about the length.
        out->length_from_header = 0;
        if (data_bytes > 0)
            out->duration_ms = data_bytes * 8 / h.bitrate;
    }
}

extern "C" double mpeg_seek_table_fraction(const uint8_t table[100], double fraction)
{
    if (!(fraction > 0))
        fraction = 0; // also catches NaN
    if (fraction > 1)
        fraction = 1;
    double p = fraction * 100;
    int i = static_cast<int>(p);
    if (i > 99)
        i = 99;
    double a = table[i];
    double b = i < 99 ? table[i + 1] : 256;
    return (a + (p - i) * (b - a)) / 256;
}
