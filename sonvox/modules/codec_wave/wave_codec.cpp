// "WAVE Audio Codec": RIFF/WAVE header parsing and PCM block decoding.
#include "sonvox/modules/codec_wave/wave_codec.h"

#include <cstdint>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"

namespace {

constexpr char kContentType[] = "audio/pcm";
// How often a header read that timed out is tried again.
constexpr int kTimeoutRetries = 100;
// Highest sampling rate taken for real; larger values come from broken headers.
constexpr uint32_t kMaxSampleRate = 768000;

struct WaveCodec
{
    sv_decoder *decoder = nullptr;
    bool parsed = false;
    int parse_error = SV_ERR_UNSUPPORTED_FORMAT; // why the header was refused
    uint32_t riff_size = 0;
    uint16_t format_tag = 0;
    uint16_t channels = 0;
    uint32_t sample_rate = 0;
    uint32_t byte_rate = 0;
    uint16_t block_align = 0;
    uint16_t bits_per_sample = 0;
    uint32_t data_size = 0;                       // as written in the header
    int64_t data_offset = 0;                      // offset of the first sample byte
    int64_t data_end = -1;                        // offset after the last sample byte; -1 = up to the end of input
    int setting = 0;                              // the one stored setting (which 1)
    bool is_float = false;                        // 32-bit IEEE float samples
    unsigned char wide[WAVE_MAX_BLOCK_BYTES * 2]; // 24- and 32-bit samples before conversion
};

uint16_t le16(const unsigned char *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t le32(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16)
           | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads exactly `size` bytes. Returns size, 0 at the end of input (a partial read counts
// as the end) or the input's error. A read that times out is retried `retries` times.
int read_fully(sv_decoder *d, void *buffer, int size, int retries)
{
    auto *out = static_cast<unsigned char *>(buffer);
    int got = 0;
    while (got < size) {
        int r = d->read(d->engine, out + got, size - got);
        if (r == SV_ERR_TIMEOUT && retries > 0) {
            --retries;
            continue;
        }
        if (r < 0)
            return r;
        if (r == 0)
            return 0;
        got += r;
    }
    return size;
}

// Moves the input to `target`: by seeking when the input can, else (forward only) by
// reading and dropping bytes in pieces of at most 32.
int skip_to(sv_decoder *d, int64_t target)
{
    int64_t pos = d->position(d->engine);
    if (pos == target)
        return 0;
    if (d->seek(d->engine, target) >= 0 && d->position(d->engine) == target)
        return 0;
    pos = d->position(d->engine);
    if (pos > target)
        return SV_ERR_READ_FAILED;
    unsigned char scratch[32];
    while (pos < target) {
        int piece = static_cast<int>(target - pos < 32 ? target - pos : 32);
        int r = read_fully(d, scratch, piece, 0);
        if (r < 0)
            return r;
        if (r == 0)
            return SV_ERR_END_OF_STREAM;
        pos += piece;
    }
    return 0;
}

// Parses the RIFF header from the start of the input. On success the input stands at the
// first sample byte.
int parse_header(WaveCodec *c)
{
    sv_decoder *d = c->decoder;
    c->parsed = false;
    if (d->position(d->engine) != 0)
        d->seek(d->engine, 0);

    unsigned char head[12];
    int r = read_fully(d, head, 12, kTimeoutRetries);
    if (r < 0 && r != SV_ERR_TIMEOUT)
        return r;
    if (r != 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0)
        return SV_ERR_UNSUPPORTED_FORMAT;
    c->riff_size = le32(head + 4);

    bool have_format = false;
    int64_t offset = 12;
    for (;;) {
        unsigned char chunk[8];
        r = read_fully(d, chunk, 8, kTimeoutRetries);
        if (r < 0 && r != SV_ERR_TIMEOUT && r != SV_ERR_END_OF_STREAM)
            return r;
        if (r != 8)
            return SV_ERR_UNSUPPORTED_FORMAT; // no "data" chunk
        offset += 8;
        uint32_t size = le32(chunk + 4);
        // Chunks are padded to an even length.
        int64_t next = offset + size + (size & 1);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16)
                return SV_ERR_UNSUPPORTED_FORMAT;
            unsigned char f[16];
            if (read_fully(d, f, 16, kTimeoutRetries) != 16)
                return SV_ERR_UNSUPPORTED_FORMAT;
            c->format_tag = le16(f);
            c->channels = le16(f + 2);
            c->sample_rate = le32(f + 4);
            c->byte_rate = le32(f + 8);
            c->block_align = le16(f + 12);
            c->bits_per_sample = le16(f + 14);
            have_format = true;
            offset += 16;
            // WAVE_FORMAT_EXTENSIBLE names the sample format in the first two bytes of
            // its sub-format GUID, 8 bytes into the extension.
            if (c->format_tag == 0xFFFE && size >= 40) {
                unsigned char ext[10];
                if (read_fully(d, ext, 10, kTimeoutRetries) != 10)
                    return SV_ERR_UNSUPPORTED_FORMAT;
                c->format_tag = le16(ext + 8) == 3 ? 3 : 0xFFFE;
                offset += 10;
            }
            // A longer format chunk (cbSize, WAVE_FORMAT_EXTENSIBLE) is skipped to its end.
            if (next > WAVE_MAX_DATA_OFFSET)
                return SV_ERR_UNSUPPORTED_FORMAT;
            if (skip_to(d, next) != 0)
                return SV_ERR_UNSUPPORTED_FORMAT;
            offset = next;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (offset > WAVE_MAX_DATA_OFFSET || !have_format)
                return SV_ERR_UNSUPPORTED_FORMAT;
            c->data_size = size;
            c->data_offset = offset;
            break;
        } else {
            if (next > WAVE_MAX_DATA_OFFSET)
                return SV_ERR_UNSUPPORTED_FORMAT;
            if (skip_to(d, next) != 0)
                return SV_ERR_UNSUPPORTED_FORMAT;
            offset = next;
        }
    }

    // Integer PCM of 8, 16, 24 or 32 bits and 32-bit float are played, the wider ones
    // converted to 16 bits; anything else (compressed formats) would come out as noise.
    const bool integer = c->format_tag == 1 || c->format_tag == 0xFFFE;
    const int bits = c->bits_per_sample;
    c->is_float = c->format_tag == 3 && bits == 32;
    const bool known = c->is_float || (integer && (bits == 8 || bits == 16 || bits == 24 || bits == 32));
    if (!known || c->channels == 0 || c->channels > 8 || c->sample_rate == 0 || c->sample_rate > kMaxSampleRate)
        return SV_ERR_UNSUPPORTED_FORMAT;
    int frame = c->channels * (c->bits_per_sample / 8);
    if (c->block_align != frame)
        c->block_align = static_cast<uint16_t>(frame);
    if (c->byte_rate == 0)
        c->byte_rate = c->sample_rate * static_cast<uint32_t>(frame);

    // A size of 0 or 0xFFFFFFFF is what streaming writers leave when they never finish
    // the header: such data runs to the end of the input.
    if (c->data_size == 0 || c->data_size == 0xFFFFFFFFu) {
        c->data_end = -1;
    } else {
        c->data_end = c->data_offset + c->data_size;
    }
    c->parsed = true;
    return 0;
}

int wave_probe(const char *content_type, const char *name)
{
    const char *ct = content_type ? content_type : "audio/unknown";
    if (std::strcmp(ct, "audio/wave") == 0 || std::strcmp(ct, "audio/x-wav") == 0
        || std::strcmp(ct, "audio/x-wave") == 0)
        return 0;
    if (std::strcmp(ct, "audio/unknown") != 0 && std::strcmp(ct, "audio") != 0 && std::strcmp(ct, "unknown") != 0)
        return SV_ERR_UNSUPPORTED_FORMAT;
    if (!name)
        return SV_ERR_UNSUPPORTED_FORMAT;
    const char *dot = std::strrchr(name, '.');
    return dot && std::strcmp(dot + 1, "wav") == 0 ? 0 : SV_ERR_UNSUPPORTED_FORMAT;
}

void copy_text(char *dst, const char *src)
{
    std::strncpy(dst, src, SV_NAME_MAX - 1);
    dst[SV_NAME_MAX - 1] = '\0';
}

int wave_info(sv_module_info *info, int flags)
{
    if (!info)
        return SV_ERR_INVALID_PARAMETERS;
    int device = info->count;
    if (flags & SV_INFO_NAME) {
        copy_text(info->name, sv_wave_codec_module.name);
        copy_text(info->description, sv_wave_codec_module.description);
    }
    if (flags & SV_INFO_DEVICE) {
        if (device != 0)
            return SV_ERR_INVALID_PARAMETERS;
        info->flags = 0;
        copy_text(info->name, "any wav stream");
        copy_text(info->description, "");
    }
    if (flags & SV_INFO_DEVICE_COUNT)
        info->count = 1;
    if (flags & SV_INFO_BLOCK_SIZE)
        info->count = WAVE_MAX_BLOCK_BYTES;
    if (flags & SV_INFO_CODEC_FLAGS)
        info->flags = 0;
    return 0;
}

int wave_new(void **instance, const char *, const char *, sv_module_entry *, sv_decoder *decoder)
{
    if (!instance || !decoder)
        return SV_ERR_INVALID_PARAMETERS;
    auto *c = new (std::nothrow) WaveCodec;
    if (!c)
        return SV_ERR_OUT_OF_MEMORY;
    c->decoder = decoder;
    *instance = c;
    return 0;
}

int wave_delete(void *instance)
{
    delete static_cast<WaveCodec *>(instance);
    return 0;
}

int wave_input_changed(void *instance, const char *, const char *)
{
    auto *c = static_cast<WaveCodec *>(instance);
    int r = parse_header(c);
    c->parse_error = r < 0 ? r : SV_ERR_UNSUPPORTED_FORMAT;
    return r;
}

int wave_start_stream(void *instance, sv_stream_info *stream)
{
    auto *c = static_cast<WaveCodec *>(instance);
    // The stream open fails here too, for callers that do not check input changed.
    if (!c->parsed)
        return c->parse_error;
    sv_decoder *d = c->decoder;
    int64_t data_bytes = c->data_size;
    if (c->data_end < 0) {
        int64_t size = d->size(d->engine);
        data_bytes = size > c->data_offset ? size - c->data_offset : 0;
    }
    std::strncpy(stream->content_type, kContentType, SV_CONTENT_TYPE_MAX - 1);
    stream->content_type[SV_CONTENT_TYPE_MAX - 1] = '\0';
    // Whole seconds, as the player shows them.
    int64_t duration = data_bytes / c->byte_rate * 1000;
    stream->duration_ms = static_cast<int>(duration > INT_MAX ? INT_MAX : duration);
    stream->frequency = static_cast<int>(c->sample_rate);
    stream->bitrate = static_cast<int>(c->byte_rate / 125);
    stream->channels = c->channels;
    stream->changed |= SV_STREAM_PARAMETERS_CHANGED | SV_STREAM_CONTENT_TYPE_CHANGED;
    return 0;
}

int wave_decode(void *instance, sv_output_block *block, sv_stream_info *)
{
    auto *c = static_cast<WaveCodec *>(instance);
    if (!c->parsed || !block || !block->samples)
        return SV_ERR_INTERNAL;
    sv_decoder *d = c->decoder;
    const int frame = c->block_align;

    // Move to the data (after a seek back into the header) and onto a sample boundary.
    int64_t pos = d->position(d->engine);
    if (pos < c->data_offset) {
        int r = skip_to(d, c->data_offset);
        if (r < 0)
            return r;
        pos = c->data_offset;
    }
    int64_t into = (pos - c->data_offset) % frame;
    if (into != 0) {
        int r = skip_to(d, pos + frame - into);
        if (r < 0)
            return r;
        pos += frame - into;
    }

    int bytes = c->sample_rate > 24000 ? 4096 : 2048;
    if (c->sample_rate <= 12000)
        bytes /= 2;
    const bool eight_bit = c->bits_per_sample == 8;
    if (eight_bit)
        bytes /= 2;
    int capacity = block->capacity > 0 ? block->capacity : WAVE_MAX_BLOCK_BYTES;
    if (eight_bit)
        capacity /= 2;
    if (bytes > capacity)
        bytes = capacity;
    // The data ends at its declared end or at the end of the input, whichever comes first;
    // the last block is cut to what is left, so nothing after the samples is played.
    int64_t end = c->data_end;
    int64_t input_size = d->size(d->engine);
    if (input_size > 0 && (end < 0 || input_size < end))
        end = input_size;
    if (end >= 0) {
        if (pos >= end)
            return SV_ERR_END_OF_STREAM;
        if (end - pos < bytes)
            bytes = static_cast<int>(end - pos);
    }
    bytes -= bytes % frame;
    if (bytes <= 0)
        return SV_ERR_END_OF_STREAM;

    const int width = c->bits_per_sample / 8;
    auto *out = static_cast<unsigned char *>(block->samples);
    if (width > 2) {
        // Wide samples are read into the codec's own buffer: bytes counted above are of
        // 16-bit output, so the input takes width / 2 times as many.
        bytes = bytes / 2 * width;
        if (end >= 0 && end - pos < bytes)
            bytes = static_cast<int>(end - pos);
        bytes -= bytes % frame;
        if (bytes <= 0)
            return SV_ERR_END_OF_STREAM;
        out = c->wide;
    }
    int got = d->read(d->engine, out, bytes);
    if (got < 0)
        return got;
    if (got == 0)
        return SV_ERR_END_OF_STREAM;
    if (got > bytes)
        got = bytes;
    // A short read leaves a partial sample frame behind; the next call skips its rest.
    got -= got % frame;
    if (got == 0)
        return SV_ERR_END_OF_STREAM;

    int samples = got / width;
    auto *pcm = static_cast<int16_t *>(block->samples);
    if (eight_bit) {
        // Widen in place from the end so that no byte is overwritten before it is read.
        for (int i = samples - 1; i >= 0; --i)
            pcm[i] = static_cast<int16_t>((out[i] - 128) * 256);
    } else if (width == 2) {
        for (int i = 0; i < samples; ++i)
            pcm[i] = static_cast<int16_t>(le16(out + 2 * i));
    } else if (c->is_float) {
        for (int i = 0; i < samples; ++i) {
            uint32_t bits = le32(out + 4 * i);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            float v = f * 32768.0f;
            // NaN and values past full scale are clipped.
            pcm[i] = !(v > -32768.0f) ? static_cast<int16_t>(-32768)
                     : v >= 32767.0f  ? static_cast<int16_t>(32767)
                                      : static_cast<int16_t>(std::lrint(v));
        }
    } else {
        // The top 16 bits of each 24- or 32-bit sample.
        for (int i = 0; i < samples; ++i)
            pcm[i] = static_cast<int16_t>(le16(out + width * i + width - 2));
    }
    block->bytes_per_sample = 2;
    block->channels = c->channels;
    block->frequency = static_cast<int>(c->sample_rate);
    block->samples_per_channel = samples / c->channels;
    return 0;
}

int wave_set_settings(void *instance, const sv_codec_settings *settings, int which)
{
    auto *c = static_cast<WaveCodec *>(instance);
    if (!settings)
        return SV_ERR_INVALID_PARAMETERS;
    if (which & SV_CODEC_SETTING_1)
        c->setting = settings->setting1;
    return 0;
}

int wave_get_settings(void *instance, sv_codec_settings *settings, int which)
{
    auto *c = static_cast<WaveCodec *>(instance);
    if (!settings)
        return SV_ERR_INVALID_PARAMETERS;
    if (which & SV_CODEC_SETTING_1)
        settings->setting1 = c->setting;
    return 0;
}

// Every slot in declaration order, as C++ designated initialisers require; the empty
// ones are optional (see sv_module.h).
const sv_codec_module wave_descriptor = {
    .version = SV_MODULE_INTERFACE_VERSION,
    .probe = wave_probe,
    .info = wave_info,
    .create = wave_new,
    .destroy = wave_delete,
    .decode = wave_decode,
    .start_stream = wave_start_stream,
    .offset_to_fraction = nullptr,
    .fraction_to_offset = nullptr,
    .input_changed = wave_input_changed,
    .input_closed = nullptr,
    .seek_done = nullptr,
    .reset = nullptr,
    .set_settings = wave_set_settings,
    .get_settings = wave_get_settings,
    .unused = nullptr,
};

} // namespace

extern "C" int sv_wave_codec_register(void *descriptor)
{
    if (descriptor == nullptr)
        return SV_ERR_INVALID_PARAMETERS;
    std::memcpy(descriptor, &wave_descriptor, sizeof wave_descriptor);
    return 0;
}

extern "C" const sv_builtin_module sv_wave_codec_module = {
    .kind = SV_KIND_CODEC,
    .name = "WAVE Audio Codec",
    .description = "Version 1.0",
    .descriptor = &wave_descriptor,
    .entry = sv_wave_codec_register,
};
