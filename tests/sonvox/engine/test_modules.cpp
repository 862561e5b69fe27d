#include "test_modules.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace testmod {

namespace {

long long monotonic_us()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

// ---- memory input ----

struct MemInput
{
    long size = 0;
    long at = 0;
};

int mem_probe(const char *name)
{
    return std::strncmp(name, "mem:", 4) == 0 ? 0 : -1;
}
int mem_info(sv_module_info *info, int flags)
{
    if (flags & SV_INFO_NAME) {
        std::strcpy(info->name, "Memory Input");
        std::strcpy(info->description, "test");
    }
    if (flags & SV_INFO_DEVICE_COUNT)
        info->count = 1;
    if (flags & SV_INFO_DEVICE) {
        if (info->count != 0)
            return SV_ERR_INVALID_PARAMETERS;
        std::strcpy(info->name, "mem:*");
        std::strcpy(info->description, "bytes in memory");
        info->flags = 1;
    }
    return 0;
}
int mem_create(void **instance, const char *name, sv_module_entry *, sv_decoder *)
{
    if (std::strncmp(name, "mem:", 4) != 0)
        return SV_ERR_INVALID_PARAMETERS;
    auto *m = new MemInput();
    m->size = std::atol(name + 4);
    *instance = m;
    return 0;
}
int mem_destroy(void *instance)
{
    delete static_cast<MemInput *>(instance);
    return 0;
}
int mem_open(void *instance)
{
    auto *m = static_cast<MemInput *>(instance);
    m->at = 0;
    return m->size > 0 ? 0 : SV_ERR_NO_SUCH_FILE;
}
int mem_close(void *)
{
    return 0;
}
int mem_read(void *instance, void *buffer, int size)
{
    auto *m = static_cast<MemInput *>(instance);
    if (m->size - m->at < size)
        return 0;
    auto *b = static_cast<unsigned char *>(buffer);
    for (int i = 0; i < size; ++i)
        b[i] = static_cast<unsigned char>((m->at + i) % 251);
    m->at += size;
    return size;
}
int mem_seek(void *instance, int64_t offset)
{
    auto *m = static_cast<MemInput *>(instance);
    if (offset < 0 || offset > m->size)
        return -1;
    m->at = static_cast<long>(offset);
    return 0;
}
int mem_caps(void *)
{
    return SV_INPUT_CAP_SEEKABLE;
}
int64_t mem_size(void *instance)
{
    return static_cast<MemInput *>(instance)->size;
}

// ---- pattern codec ----

struct Codec
{
    sv_decoder *decoder;
    long frame = 0; // index of the next input byte
};

int codec_probe(const char *, const char *name)
{
    return std::strncmp(name, "mem:", 4) == 0 ? 0 : -1;
}
int codec_info(sv_module_info *info, int flags)
{
    if (flags & SV_INFO_NAME) {
        std::strcpy(info->name, "Pattern Codec");
        std::strcpy(info->description, "test");
    }
    if (flags & SV_INFO_DEVICE_COUNT)
        info->count = 0;
    if (flags & SV_INFO_BLOCK_SIZE)
        info->count = 64 * 2 * 2;
    if (flags & SV_INFO_CODEC_FLAGS)
        info->flags = 0;
    return 0;
}
int codec_create(void **instance, const char *, const char *, sv_module_entry *, sv_decoder *decoder)
{
    *instance = new Codec{decoder, 0};
    return 0;
}
int codec_destroy(void *instance)
{
    delete static_cast<Codec *>(instance);
    return 0;
}
int codec_start(void *instance, sv_stream_info *stream)
{
    auto *c = static_cast<Codec *>(instance);
    c->frame = 0;
    std::strcpy(stream->content_type, "audio/x-test");
    stream->frequency = 8000;
    stream->bitrate = 128;
    stream->channels = 2;
    stream->duration_ms = static_cast<int>(c->decoder->size(c->decoder->engine) * 1000 / 8000);
    sv_props_set_string(stream->properties, "test/title", "pattern");
    stream->changed |= SV_STREAM_CONTENT_TYPE_CHANGED | SV_STREAM_PARAMETERS_CHANGED | SV_STREAM_PROPERTIES_CHANGED;
    return 0;
}
int codec_decode(void *instance, sv_output_block *block, sv_stream_info *)
{
    auto *c = static_cast<Codec *>(instance);
    unsigned char in[64];
    const int n = c->decoder->read(c->decoder->engine, in, sizeof in);
    if (n <= 0)
        return n < 0 ? n : SV_ERR_END_OF_STREAM;
    auto *out = static_cast<int16_t *>(block->samples);
    for (int i = 0; i < n; ++i) {
        out[2 * i] = static_cast<int16_t>(in[i] * 128);
        out[2 * i + 1] = static_cast<int16_t>(-in[i] * 128);
    }
    block->samples_per_channel = n;
    block->channels = 2;
    block->frequency = 8000;
    return 0;
}
int codec_seek_done(void *instance, int64_t offset)
{
    static_cast<Codec *>(instance)->frame = static_cast<long>(offset);
    return 0;
}

// ---- capture output ----

int out_probe(const char *)
{
    return 0;
}
int out_info(sv_module_info *info, int flags)
{
    if (flags & SV_INFO_NAME) {
        std::strcpy(info->name, "Capture Output");
        std::strcpy(info->description, "test");
    }
    if (flags & SV_INFO_DEVICE_COUNT)
        info->count = 0;
    return 0;
}
int out_create(void **instance, const char *name, sv_module_entry *, sv_decoder *)
{
    *instance = new std::string(name);
    return 0;
}
int out_destroy(void *instance)
{
    delete static_cast<std::string *>(instance);
    return 0;
}
int out_open(void *instance)
{
    std::lock_guard<std::mutex> lock(capture().mutex);
    capture().opened.push_back(*static_cast<std::string *>(instance));
    return 0;
}
int out_close(void *)
{
    return 0;
}
int out_write(void *, const void *buffer, int bytes, int, int channels, int frequency)
{
    {
        std::lock_guard<std::mutex> lock(capture().mutex);
        const auto *s = static_cast<const int16_t *>(buffer);
        capture().samples.insert(capture().samples.end(), s, s + bytes / 2);
        capture().channels = channels;
        capture().frequency = frequency;
    }
    ++capture().writes;
    if (const int d = capture().write_delay_us.load())
        usleep(static_cast<useconds_t>(d));
    return bytes;
}
int out_set_control(void *, const sv_output_control *, int flags)
{
    std::lock_guard<std::mutex> lock(capture().mutex);
    capture().control_flags.push_back(flags);
    return 0;
}

int out_latency(void *, int *ms)
{
    *ms = capture().latency_ms.load();
    return 0;
}
int out_caps(void *)
{
    return capture().latency_ms.load() ? SV_OUTPUT_CAP_LATENCY : 0;
}

// ---- recording feedback handler ----

int fb_probe(const char *name)
{
    return std::strncmp(name, "rec", 3) == 0 ? 0 : -1;
}
int fb_info(sv_module_info *info, int flags)
{
    if (flags & SV_INFO_NAME) {
        std::strcpy(info->name, "Recording Feedback");
        std::strcpy(info->description, "test");
    }
    if (flags & SV_INFO_DEVICE_COUNT)
        info->count = 1;
    if ((flags & SV_INFO_DEVICE) && !(flags & SV_INFO_NAME)) {
        if (info->count != 0)
            return SV_ERR_INVALID_PARAMETERS;
        std::strcpy(info->name, "rec");
        std::strcpy(info->description, "records events");
    }
    return 0;
}
int fb_create(void **instance, const char *, sv_module_entry *, void *, const sv_feedback_env *env)
{
    int must = 0;
    if (env->get_int(env->context, "TEST.REQUIRED", &must) == 0 && must < 0)
        return must;
    *instance = new int(0);
    return 0;
}
int fb_destroy(void *instance)
{
    delete static_cast<int *>(instance);
    return 0;
}
int fb_start(void *)
{
    std::lock_guard<std::mutex> lock(feedback_log().mutex);
    ++feedback_log().started;
    return 0;
}
int fb_stop(void *)
{
    std::lock_guard<std::mutex> lock(feedback_log().mutex);
    ++feedback_log().stopped;
    return 0;
}
int fb_event(void *, const sv_feedback_event *event)
{
    std::lock_guard<std::mutex> lock(feedback_log().mutex);
    sv_feedback_event copy = *event;
    copy.samples = nullptr;
    feedback_log().events.push_back(copy);
    feedback_log().samples.emplace_back(event->samples, event->samples + event->channels * event->samples_per_channel);
    feedback_log().delivered_us.push_back(monotonic_us());
    return 0;
}

} // namespace

void Capture::reset()
{
    std::lock_guard<std::mutex> lock(mutex);
    samples.clear();
    control_flags.clear();
    opened.clear();
    frequency = channels = 0;
    write_delay_us = 0;
    latency_ms = 0;
    writes = 0;
}

std::vector<int16_t> Capture::take_samples()
{
    std::lock_guard<std::mutex> lock(mutex);
    return samples;
}

bool Capture::saw_control(int flag)
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::any_of(control_flags.begin(), control_flags.end(), [flag](int f) { return (f & flag) != 0; });
}

Capture &capture()
{
    static Capture c;
    return c;
}

void FeedbackLog::reset()
{
    std::lock_guard<std::mutex> lock(mutex);
    events.clear();
    samples.clear();
    delivered_us.clear();
    started = stopped = 0;
}

FeedbackLog &feedback_log()
{
    static FeedbackLog f;
    return f;
}

int memory_input_register(void *descriptor)
{
    auto *d = static_cast<sv_input_module *>(descriptor);
    d->version = SV_MODULE_INTERFACE_VERSION;
    d->probe = mem_probe;
    d->info = mem_info;
    d->create = mem_create;
    d->destroy = mem_destroy;
    d->open = mem_open;
    d->close = mem_close;
    d->read = mem_read;
    d->seek = mem_seek;
    d->get_capabilities = mem_caps;
    d->get_size = mem_size;
    return 0;
}

int pattern_codec_register(void *descriptor)
{
    auto *d = static_cast<sv_codec_module *>(descriptor);
    d->version = SV_MODULE_INTERFACE_VERSION;
    d->probe = codec_probe;
    d->info = codec_info;
    d->create = codec_create;
    d->destroy = codec_destroy;
    d->decode = codec_decode;
    d->start_stream = codec_start;
    d->seek_done = codec_seek_done;
    return 0;
}

int capture_output_register(void *descriptor)
{
    auto *d = static_cast<sv_output_module *>(descriptor);
    d->version = SV_MODULE_INTERFACE_VERSION;
    d->probe = out_probe;
    d->info = out_info;
    d->create = out_create;
    d->destroy = out_destroy;
    d->open = out_open;
    d->close = out_close;
    d->write = out_write;
    d->set_control = out_set_control;
    d->get_latency = out_latency;
    d->get_capabilities = out_caps;
    return 0;
}

int recording_feedback_register(void *descriptor)
{
    auto *d = static_cast<sv_feedback_module *>(descriptor);
    d->version = SV_FEEDBACK_INTERFACE_VERSION;
    d->probe = fb_probe;
    d->info = fb_info;
    d->create = fb_create;
    d->destroy = fb_destroy;
    d->start = fb_start;
    d->stop = fb_stop;
    d->event = fb_event;
    return 0;
}

int register_all(void *, sv_engine *, sv_decoder *decoder)
{
    char name[64];
    sv_module_address_name(memory_input_register, name, sizeof name);
    sv_register_module(decoder, SV_KIND_INPUT, name, 0);
    sv_module_address_name(pattern_codec_register, name, sizeof name);
    sv_register_module(decoder, SV_KIND_CODEC, name, 0);
    sv_module_address_name(capture_output_register, name, sizeof name);
    sv_register_module(decoder, SV_KIND_OUTPUT, name, 0);
    return 0;
}

} // namespace testmod
