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
    if ((flags & 4) && p + 100 <= n) {
        std::memcpy(out->seek_table, buf + p, 100);
        out->has_seek_table = 1;
    }
}

} // namespace

extern "C" int64_t mpeg_id3v2_size(const uint8_t *buf, int n)
{
    if (n < 10 || std::memcmp(buf, "ID3", 3) != 0)
        return 0;
    int64_t size = (static_cast<int64_t>(buf[6] & 0x7F) << 21) | ((buf[7] & 0x7F) << 14) | ((buf[8] & 0x7F) << 7)
                   | (buf[9] & 0x7F);
    size += 10;
    // Version 4 tags may end with a 10-byte footer that the size does not count.
    if (buf[3] == 4 && (buf[5] & 0x10))
        size += 10;
    return size;
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
