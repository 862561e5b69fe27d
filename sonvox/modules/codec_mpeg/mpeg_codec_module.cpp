// "MPEG Audio Codec": codec descriptor, stream start and per-frame stream information.
#include "sonvox/modules/codec_mpeg/mpeg_codec_module.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"
#include "sonvox/modules/codec_mpeg/mpa_decoder.h"
#include "sonvox/modules/codec_mpeg/stream_start.h"

namespace {

constexpr char kContentType[] = "audio/mpeg";

struct MpegCodec
{
    sv_decoder *decoder = nullptr;
    mpa_decoder *mpa = nullptr;

    // Last values reported in the stream information (-1 / 0 = none yet).
    int level = -1, layer = -1, mode = -1, frequency = 0, bitrate = 0;
    int64_t average = 0;       // bitrate x 1024, smoothed over frames
    int64_t total_samples = 0; // per channel, since the last input change or seek
    int64_t frame_bytes = 0;   // bytes of the frames those samples came from
    bool length_from_vbr = false;
    bool has_seek_table = false;
    uint8_t seek_table[100] = {};
    int64_t start_offset = 0; // size of a leading ID3v2 tag
    int64_t data_bytes = 0;   // audio bytes after the tag; 0 = unknown
    int64_t seek_offset = 0;  // byte offset of the last seek

    // Bytes already taken from an input that could not seek back after the stream start
    // was read; the frame reader gets them first.
    std::vector<uint8_t> pending;
    int pending_at = 0, pending_end = 0;

    // Where the frames to play begin: the first frame, or the one after a Xing/Info
    // frame, which holds no audio.
    int64_t audio_start = 0;
    bool free_format = false; // the first frame is free-format, which is not played
    int64_t frames_decoded = 0;

    // Gapless playback: the samples (per channel, at the stream's own rate) counted from
    // the first audio frame, and the range of them the encoder took in; trim_end < 0
    // when the end is not known. Off after a seek into the stream. The end cut covers
    // only the padding inside the frames the tag counts (up to tag_end): frames beyond
    // them (tracks put one after another, a stream relaying such files) are audio the
    // tag does not describe, and they play.
    bool gapless_stream = false; // the stream has the LAME tag's figures
    bool gapless = false;        // they apply to the frames being decoded
    int64_t gap_pos = 0, trim_begin = 0, trim_end = -1, tag_end = -1;

    int16_t scratch[MPA_MAX_FRAME_SAMPLES] = {}; // for an output block smaller than a frame
};

// Reads up to `size` bytes, piece by piece when the input gives fewer. Returns the count
// (short at the end of input) or a negative error when nothing was read.
int read_some(sv_decoder *d, uint8_t *buf, int size)
{
    int got = 0;
    while (got < size) {
        int r = d->read(d->engine, buf + got, size - got);
        if (r < 0)
            return got > 0 ? got : r;
        if (r == 0) {
            // An input that answers 0 to a read past its end may still hold fewer bytes:
            // ever smaller pieces take them.
            int piece = (size - got) / 2;
            while (piece > 0 && (r = d->read(d->engine, buf + got, piece)) == 0)
                piece /= 2;
            if (piece > 0 && r > 0) {
                got += r;
                continue;
            }
            break;
        }
        got += r;
    }
    return got;
}

// Moves the input to `target`: seeks when it can, else reads forward. 0 or an error.
int move_to(sv_decoder *d, int64_t target)
{
    if (d->position(d->engine) == target)
        return 0;
    if (d->seek(d->engine, target) >= 0 && d->position(d->engine) == target)
        return 0;
    int64_t pos = d->position(d->engine);
    if (pos > target)
        return SV_ERR_READ_FAILED;
    uint8_t scratch[512];
    while (pos < target) {
        int piece = static_cast<int>(target - pos < 512 ? target - pos : 512);
        int r = d->read(d->engine, scratch, piece);
        if (r < 0)
            return r;
        if (r == 0)
            return SV_ERR_END_OF_STREAM;
        pos += r;
    }
    return 0;
}

int read_input(void *ctx, void *buf, int size)
{
    auto *c = static_cast<MpegCodec *>(ctx);
    if (c->pending_at < c->pending_end) {
        int n = c->pending_end - c->pending_at;
        if (n > size)
            n = size;
        std::memcpy(buf, c->pending.data() + c->pending_at, static_cast<size_t>(n));
        c->pending_at += n;
        if (n == size)
            return size;
        // The rest comes from the input; the frame reader wants all or nothing.
        int r = c->decoder->read(c->decoder->engine, static_cast<uint8_t *>(buf) + n, size - n);
        if (r < 0)
            return r;
        return r == size - n ? size : 0;
    }
    return c->decoder->read(c->decoder->engine, buf, size);
}

void clear_reported(MpegCodec *c)
{
    c->level = c->layer = c->mode = -1;
    c->frequency = 0;
    c->bitrate = 0;
    c->average = 0;
}

void set_property(sv_stream_info *s, const char *name, int value)
{
    if (s->properties)
        sv_props_set_int(s->properties, name, value);
}

int clamp_ms(int64_t ms)
{
    return ms < 0 ? 0 : ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

// Stream information after one decoded frame of header h.
void report_frame(MpegCodec *c, const mpa_header &h, sv_stream_info *s)
{
    c->total_samples += h.samples;
    c->frame_bytes += h.frame_bytes;
    if (c->length_from_vbr)
        return;

    int params = 0;
    if (h.level != c->level || h.layer != c->layer || h.mode != c->mode) {
        if (c->mode < 0 || (h.mode == 3) != (c->mode == 3)) {
            s->channels = h.channels;
            params = 1;
        }
        c->level = h.level;
        c->layer = h.layer;
        c->mode = h.mode;
        set_property(s, "mpeg/level", h.level);
        set_property(s, "mpeg/layer", h.layer);
        set_property(s, "mpeg/mode", h.mode);
        s->changed |= SV_STREAM_PROPERTIES_CHANGED;
    }
    if (h.frequency != c->frequency) {
        c->frequency = h.frequency;
        s->frequency = h.frequency;
        params = 1;
    }
    if (c->bitrate == 0) {
        c->bitrate = h.bitrate;
        c->average = static_cast<int64_t>(h.bitrate) * 1024;
        s->bitrate = h.bitrate;
        params = 1;
    } else {
        c->average = (static_cast<int64_t>(h.bitrate) * 1024 + c->average * 31) / 32;
        int estimate = static_cast<int>((c->average + 512) / 1024);
        int diff = estimate > c->bitrate ? estimate - c->bitrate : c->bitrate - estimate;
        if (diff > c->bitrate / 32) {
            c->bitrate = estimate;
            s->bitrate = estimate;
            params = 1;
        }
    }
    if (!params)
        return;
    s->changed |= SV_STREAM_PARAMETERS_CHANGED;

    // Re-estimate the duration: time decoded since the seek, plus the time before the
    // seek at the rate measured since, plus the bytes left at the reported bitrate.
    if (c->data_bytes <= 0 || c->bitrate <= 0)
        return;
    sv_decoder *d = c->decoder;
    // The rate since the seek is measured over the decoded frames' own bytes: the input
    // position also counts the next header, already read ahead.
    int64_t bytes_read = d->position(d->engine) - (c->pending_end - c->pending_at);
    double decoded_ms = static_cast<double>(c->total_samples) * 1000.0 / h.frequency;
    double before_ms = 0;
    if (c->seek_offset > c->start_offset) {
        double skipped = static_cast<double>(c->seek_offset - c->start_offset);
        if (c->frame_bytes > 0 && decoded_ms > 0) {
            before_ms = skipped * decoded_ms / static_cast<double>(c->frame_bytes);
        } else {
            before_ms = skipped * 8 / c->bitrate;
        }
    }
    int64_t left = c->start_offset + c->data_bytes - bytes_read;
    if (left < 0)
        left = 0;
    s->duration_ms = clamp_ms(static_cast<int64_t>(decoded_ms + before_ms) + left * 8 / c->bitrate);
}

int mpeg_probe(const char *, const char *)
{
    return 0;
}

void copy_text(char *dst, const char *src)
{
    std::strncpy(dst, src, SV_NAME_MAX - 1);
    dst[SV_NAME_MAX - 1] = '\0';
}

int mpeg_info(sv_module_info *info, int flags)
{
    if (!info)
        return SV_ERR_INVALID_PARAMETERS;
    int device = info->count;
    if (flags & SV_INFO_NAME) {
        copy_text(info->name, sv_mpeg_codec_module.name);
        copy_text(info->description, sv_mpeg_codec_module.description);
    }
    if (flags & SV_INFO_DEVICE) {
        if (device != 0)
            return SV_ERR_INVALID_PARAMETERS;
        info->flags = 0;
        copy_text(info->name, "MP1, MP2, MP3");
        copy_text(info->description, "MPEG 1 or 2 audio");
    }
    if (flags & SV_INFO_DEVICE_COUNT)
        info->count = 1;
    if (flags & SV_INFO_BLOCK_SIZE)
        info->count = MPEG_CODEC_MAX_BLOCK_BYTES;
    if (flags & SV_INFO_CODEC_FLAGS)
        info->flags = 3;
    return 0;
}

int mpeg_new(void **instance, const char *, const char *, sv_module_entry *, sv_decoder *decoder)
{
    if (!instance || !decoder)
        return SV_ERR_INVALID_PARAMETERS;
    auto *c = new (std::nothrow) MpegCodec;
    if (!c)
        return SV_ERR_OUT_OF_MEMORY;
    c->mpa = mpa_new();
    if (!c->mpa) {
        delete c;
        return SV_ERR_OUT_OF_MEMORY;
    }
    c->decoder = decoder;
    *instance = c;
    return 0;
}

int mpeg_delete(void *instance)
{
    auto *c = static_cast<MpegCodec *>(instance);
    if (!c)
        return 0;
    mpa_free(c->mpa);
    delete c;
    return 0;
}

int mpeg_input_changed(void *instance, const char *, const char *)
{
    auto *c = static_cast<MpegCodec *>(instance);
    sv_decoder *d = c->decoder;
    clear_reported(c);
    c->total_samples = 0;
    c->frame_bytes = 0;
    c->length_from_vbr = false;
    c->has_seek_table = false;
    c->start_offset = 0;
    c->data_bytes = d->size(d->engine);
    if (c->data_bytes < 0)
        c->data_bytes = 0;
    c->seek_offset = 0;
    c->pending.clear();
    c->pending_at = c->pending_end = 0;
    c->audio_start = 0;
    c->free_format = false;
    c->frames_decoded = 0;
    c->gapless_stream = c->gapless = false;
    c->gap_pos = 0;
    mpa_reset(c->mpa);
    return 0;
}

// Samples a Layer III decoder puts before the audio of the first frame (the delay of
// its hybrid filterbank), which gapless players drop together with the encoder's delay.
constexpr int kDecoderDelay = 529;
// How far a damaged ID3v2 tag is searched for the first frame.
constexpr int64_t kDamagedTagScan = 1 << 20;

// Reads up to `want` more bytes onto the end of `win`. Returns the count added.
int append_some(sv_decoder *d, std::vector<uint8_t> &win, int want)
{
    const size_t at = win.size();
    win.resize(at + static_cast<size_t>(want));
    int r = read_some(d, win.data() + at, want);
    if (r < 0)
        r = 0;
    win.resize(at + static_cast<size_t>(r));
    return r;
}

bool is_free_format(const uint8_t *p, int n)
{
    // A sync, a layer, a valid sampling index and bitrate index 0.
    return n >= 4 && p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && (p[1] & 0x06) != 0 && (p[2] >> 4) == 0
           && ((p[2] >> 2) & 3) != 3;
}

bool gapless_wanted(sv_decoder *d)
{
    int v = 1;
    if (d->environment && sv_props_get_int(d->environment, "mpeg/gapless", &v) == 0)
        return v != 0;
    return true;
}

int mpeg_start_stream(void *instance, sv_stream_info *s)
{
    auto *c = static_cast<MpegCodec *>(instance);
    sv_decoder *d = c->decoder;
    const int64_t size = d->size(d->engine) > 0 ? d->size(d->engine) : 0;
    c->data_bytes = size;
    c->start_offset = 0;
    c->pending.clear();
    c->pending_at = c->pending_end = 0;
    c->free_format = false;
    c->frames_decoded = 0;
    c->gapless_stream = c->gapless = false;
    c->gap_pos = 0;
    c->trim_end = -1;
    c->tag_end = -1;
    const int64_t origin = d->position(d->engine);

    // `win` holds the input's bytes from win_base on, as read; the input stands at its end.
    std::vector<uint8_t> win;
    int64_t win_base = origin;
    append_some(d, win, MPEG_STREAM_START_BYTES);
    int64_t tag = mpeg_id3v2_size(win.data(), static_cast<int>(win.size()));
    int64_t first = origin;
    if (tag < 0 || (tag > 0 && size > 0 && tag > size)) {
        // A damaged tag: its size is not syncsafe or points past the end. The first
        // frame is the first header followed by a second one after the tag's header.
        int found = -1;
        int from = 10;
        while (found < 0 && static_cast<int64_t>(win.size()) < kDamagedTagScan) {
            if (append_some(d, win, 4096) == 0)
                break;
            found = mpeg_find_frame_pair(win.data(), static_cast<int>(win.size()), from);
            from = static_cast<int>(win.size()) > 4096 ? static_cast<int>(win.size()) - 4096 : from;
        }
        if (found < 0)
            found = mpeg_find_frame_pair(win.data(), static_cast<int>(win.size()), 10);
        first = found >= 0 ? origin + found : origin + static_cast<int64_t>(win.size());
        tag = first - origin;
    } else if (tag > 0) {
        first = origin + tag;
        // Of an input of unknown size (a pipe) the tag is read through and kept, so that
        // a size pointing past the end is found out as it is on a file.
        const int64_t want = tag + MPEG_STREAM_START_BYTES;
        while (size == 0 && static_cast<int64_t>(win.size()) < std::min(want, kDamagedTagScan)) {
            const int64_t left = want - static_cast<int64_t>(win.size());
            if (append_some(d, win, static_cast<int>(std::min<int64_t>(left, 4096))) == 0)
                break;
        }
        if (size == 0 && static_cast<int64_t>(win.size()) < tag) {
            const int found = mpeg_find_frame_pair(win.data(), static_cast<int>(win.size()), 10);
            first = found >= 0 ? origin + found : origin + static_cast<int64_t>(win.size());
            tag = first - origin;
        }
    }
    if (tag > 0) {
        c->start_offset = size > 0 && first > size ? size : first;
        c->data_bytes = size > 0 ? size - c->start_offset : 0;
    }
    // The stream start, from the first frame on, either already read or read now.
    const int64_t win_end = win_base + static_cast<int64_t>(win.size());
    if (first < win_base || first > win_end) {
        win.clear();
        win_base = first;
        if (move_to(d, first) != 0)
            win_base = d->position(d->engine);
    }
    const int64_t have = win_base + static_cast<int64_t>(win.size()) - first;
    if (have < MPEG_STREAM_START_BYTES && win_base <= first)
        append_some(d, win, static_cast<int>(MPEG_STREAM_START_BYTES - have));
    const int at = static_cast<int>(first - win_base);
    const int n = win_base <= first ? static_cast<int>(win.size()) - at : 0;
    const uint8_t *buf = win.data() + (n > 0 ? at : 0);

    mpeg_stream_start st;
    mpeg_analyse_stream_start(buf, n, c->data_bytes, &st);
    c->free_format = !st.valid && is_free_format(buf, n);

    // Gapless: the Xing/Info frame is passed over, and the encoder delay and padding the
    // LAME tag records are cut with the decoder's own delay.
    c->audio_start = first;
    if (st.valid && st.info_frame && gapless_wanted(d)) {
        c->audio_start = first + st.header.frame_bytes;
        if (st.has_lame_tag && st.header.layer == 3) {
            c->gapless_stream = c->gapless = true;
            c->trim_begin = st.encoder_delay + kDecoderDelay;
            if (st.info_frames > 0) {
                c->tag_end = static_cast<int64_t>(st.info_frames) * st.header.samples;
                c->trim_end = c->tag_end - st.encoder_padding + kDecoderDelay;
            }
        }
    }

    // Back to where the frames to play begin. An input that cannot seek back hands the
    // bytes read here to the frame reader first.
    const int64_t pos = d->position(d->engine);
    if (pos != c->audio_start
        && !(d->seek(d->engine, c->audio_start) >= 0 && d->position(d->engine) == c->audio_start)) {
        const int64_t end = win_base + static_cast<int64_t>(win.size());
        if (c->audio_start >= win_base && c->audio_start < end && d->position(d->engine) == end) {
            c->pending.assign(win.begin() + (c->audio_start - win_base), win.end());
            c->pending_end = static_cast<int>(c->pending.size());
        } else if (c->audio_start > d->position(d->engine)) {
            move_to(d, c->audio_start);
        }
    }

    if (!st.valid)
        return 0;
    const mpa_header &h = st.header;
    c->length_from_vbr = st.length_from_header != 0;
    c->has_seek_table = st.has_seek_table != 0;
    if (c->has_seek_table)
        std::memcpy(c->seek_table, st.seek_table, 100);

    c->level = h.level;
    c->layer = h.layer;
    c->mode = h.mode;
    c->frequency = h.frequency;
    c->bitrate = st.bitrate;
    c->average = static_cast<int64_t>(st.bitrate) * 1024;
    set_property(s, "mpeg/level", h.level);
    set_property(s, "mpeg/layer", h.layer);
    set_property(s, "mpeg/mode", h.mode);
    s->duration_ms = clamp_ms(st.duration_ms);
    s->frequency = h.frequency;
    s->bitrate = st.bitrate;
    s->channels = h.channels;
    std::strncpy(s->content_type, kContentType, SV_CONTENT_TYPE_MAX - 1);
    s->content_type[SV_CONTENT_TYPE_MAX - 1] = '\0';
    s->changed |= SV_STREAM_PROPERTIES_CHANGED | SV_STREAM_PARAMETERS_CHANGED | SV_STREAM_CONTENT_TYPE_CHANGED;
    return 0;
}

// Cuts a decoded frame of `samples` (at the stream's rate; `out` at the output rate) to
// the part inside the encoded range. Returns the samples kept, from *first on.
int trim(MpegCodec *c, int samples, int out, int *first)
{
    const int64_t lo = c->gap_pos, hi = lo + samples;
    c->gap_pos = hi;
    const int64_t b = std::max(lo, c->trim_begin);
    const int64_t e = c->trim_end >= 0 && lo < c->tag_end ? std::min(hi, c->trim_end) : hi;
    if (e <= b)
        return 0;
    const int ratio = samples / out; // 1, 2 or 4 with downsampling
    *first = static_cast<int>((b - lo) / ratio);
    return static_cast<int>((e - lo) / ratio) - *first;
}

const char *no_audio_reason(const MpegCodec *c)
{
    const sv_decoder *d = c->decoder;
    if (c->free_format)
        return "free-format MPEG audio is not supported";
    if (c->start_offset > 0 && c->data_bytes == 0 && d->size(d->engine) > 0)
        return "only an ID3v2 tag, no audio frames";
    if (d->position(d->engine) == 0 && c->pending_end == 0)
        return "the input is empty";
    return "no MPEG audio frame found";
}

int mpeg_decode(void *instance, sv_output_block *block, sv_stream_info *s)
{
    auto *c = static_cast<MpegCodec *>(instance);
    if (!block || !block->samples || !s)
        return SV_ERR_INTERNAL;
    sv_decoder *d = c->decoder;
    // After a seek or stop into the ID3v2 tag or the Info frame, go on from the first
    // audio frame instead of searching those bytes for a frame header.
    if (c->pending_at == c->pending_end && c->audio_start > 0 && d->position(d->engine) < c->audio_start) {
        int r = move_to(d, c->audio_start);
        if (r < 0)
            return r;
    }
    const bool direct = block->capacity <= 0 || block->capacity >= MPEG_CODEC_MAX_BLOCK_BYTES;
    int16_t *pcm = direct ? static_cast<int16_t *>(block->samples) : c->scratch;
    mpa_frame_info fi;
    int n = mpa_decode_frame(c->mpa, read_input, c, pcm, &fi);
    if (n < 0) {
        if (n == SV_ERR_END_OF_STREAM && c->frames_decoded == 0)
            s->no_audio_reason = no_audio_reason(c);
        return n;
    }
    ++c->frames_decoded;
    int first = 0;
    if (c->gapless && n > 0)
        n = trim(c, fi.header.samples, n, &first);
    if (first > 0)
        std::memmove(pcm, pcm + first * fi.out_channels, static_cast<size_t>(n) * fi.out_channels * 2);
    int values = n * fi.out_channels;
    if (!direct) {
        int room = block->capacity / 2;
        if (values > room)
            values = room - room % fi.out_channels;
        std::memcpy(block->samples, c->scratch, static_cast<size_t>(values) * 2);
    }
    block->bytes_per_sample = 2;
    block->channels = fi.out_channels;
    block->frequency = fi.out_frequency;
    block->samples_per_channel = values / fi.out_channels;
    report_frame(c, fi.header, s);
    return 0;
}

float mpeg_offset_to_fraction(void *instance, int64_t offset)
{
    auto *c = static_cast<MpegCodec *>(instance);
    if (c->data_bytes <= 0 || offset <= c->start_offset)
        return 0.0f;
    double f = static_cast<double>(offset - c->start_offset) / static_cast<double>(c->data_bytes);
    return static_cast<float>(f > 1 ? 1 : f);
}

int64_t mpeg_fraction_to_offset(void *instance, float fraction)
{
    auto *c = static_cast<MpegCodec *>(instance);
    double x = fraction > 0 ? (fraction < 1 ? fraction : 1) : 0;
    double f = c->has_seek_table ? mpeg_seek_table_fraction(c->seek_table, x) : x;
    if (c->data_bytes > 0)
        return c->start_offset + static_cast<int64_t>(f * static_cast<double>(c->data_bytes));
    sv_decoder *d = c->decoder;
    int64_t size = d->size(d->engine);
    return size > 0 ? static_cast<int64_t>(f * static_cast<double>(size)) : 0;
}

// The stream's start offset and size stay: they describe the stream, not the decoder.
int mpeg_reset(void *instance)
{
    auto *c = static_cast<MpegCodec *>(instance);
    clear_reported(c);
    c->pending_at = c->pending_end = 0;
    mpa_reset(c->mpa);
    return 0;
}

int mpeg_seek_done(void *instance, int64_t offset)
{
    auto *c = static_cast<MpegCodec *>(instance);
    mpeg_reset(instance);
    c->total_samples = 0;
    c->frame_bytes = 0;
    c->seek_offset = offset;
    // From the start the encoded range applies again; from anywhere else the sample
    // count is unknown, so nothing is cut.
    c->gap_pos = 0;
    c->gapless = c->gapless_stream && offset <= c->audio_start;
    return 0;
}

int mpeg_set_settings(void *instance, const sv_codec_settings *settings, int which)
{
    auto *c = static_cast<MpegCodec *>(instance);
    if (!settings)
        return SV_ERR_INVALID_PARAMETERS;
    int result = 0;
    if (which & SV_CODEC_SETTING_1) {
        int r = mpa_set_channel_selection(c->mpa, settings->setting1);
        if (r < 0)
            result = r;
    }
    if (which & SV_CODEC_SETTING_2) {
        int r = mpa_set_downsampling(c->mpa, settings->setting2);
        if (r < 0 && result == 0)
            result = r;
    }
    if (which & SV_CODEC_EQUALIZER) {
        if (settings->has_equalizer) {
            int r = mpa_set_equalizer(c->mpa, settings->equalizer);
            if (r < 0 && result == 0)
                result = r;
        } else {
            mpa_remove_equalizer(c->mpa);
        }
    }
    return result;
}

int mpeg_get_settings(void *instance, sv_codec_settings *settings, int which)
{
    auto *c = static_cast<MpegCodec *>(instance);
    if (!settings)
        return SV_ERR_INVALID_PARAMETERS;
    int result = 0;
    if (which & SV_CODEC_SETTING_1)
        settings->setting1 = mpa_get_channel_selection(c->mpa);
    if (which & SV_CODEC_SETTING_2)
        settings->setting2 = mpa_get_downsampling(c->mpa);
    if (which & SV_CODEC_EQUALIZER) {
        result = mpa_get_equalizer(c->mpa, settings->equalizer);
        settings->has_equalizer = result == 0;
    }
    return result;
}

// Every slot in declaration order, as C++ designated initialisers require; the empty
// ones are optional (see sv_module.h).
const sv_codec_module mpeg_descriptor = {
    .version = SV_MODULE_INTERFACE_VERSION,
    .probe = mpeg_probe,
    .info = mpeg_info,
    .create = mpeg_new,
    .destroy = mpeg_delete,
    .decode = mpeg_decode,
    .start_stream = mpeg_start_stream,
    .offset_to_fraction = mpeg_offset_to_fraction,
    .fraction_to_offset = mpeg_fraction_to_offset,
    .input_changed = mpeg_input_changed,
    .input_closed = nullptr,
    .seek_done = mpeg_seek_done,
    .reset = mpeg_reset,
    .set_settings = mpeg_set_settings,
    .get_settings = mpeg_get_settings,
    .unused = nullptr,
};

} // namespace

extern "C" int sv_mpeg_codec_register(void *descriptor)
{
    if (descriptor == nullptr)
        return SV_ERR_INVALID_PARAMETERS;
    std::memcpy(descriptor, &mpeg_descriptor, sizeof mpeg_descriptor);
    return 0;
}

extern "C" const sv_builtin_module sv_mpeg_codec_module = {
    .kind = SV_KIND_CODEC,
    .name = "MPEG Audio Codec",
    .description = "Version 1.2",
    .descriptor = &mpeg_descriptor,
    .entry = sv_mpeg_codec_register,
};
