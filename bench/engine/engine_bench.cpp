// Engine overhead: the command round trip (play posted -> its ack taken by the client)
// and the time from posting play to the first block reaching the output. The modules
// are trivial (a silent endless input, a codec that copies bytes to samples, an output
// that notes the time of its first write), so the figures are the engine's own cost.
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sonvox/engine/sv_engine.h"

namespace {

long long now_ns()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

std::atomic<long long> first_write_ns{0};
sv_decoder *g_decoder = nullptr;

int info(sv_module_info *i, int flags)
{
    if (flags & SV_INFO_NAME)
        std::strcpy(i->name, "bench");
    if (flags & SV_INFO_BLOCK_SIZE)
        i->count = 4608;
    return 0;
}
int accept_all(const char *)
{
    return 0;
}
int accept_codec(const char *, const char *)
{
    return 0;
}
int make(void **instance, const char *, sv_module_entry *, sv_decoder *d)
{
    g_decoder = d;
    *instance = d;
    return 0;
}
int make_codec(void **instance, const char *, const char *, sv_module_entry *, sv_decoder *d)
{
    *instance = d;
    return 0;
}
int nothing(void *)
{
    return 0;
}
int endless_read(void *, void *buffer, int size)
{
    std::memset(buffer, 0, static_cast<size_t>(size));
    return size;
}
int seek_anywhere(void *, int64_t)
{
    return 0;
}
int decode(void *instance, sv_output_block *block, sv_stream_info *)
{
    auto *d = static_cast<sv_decoder *>(instance);
    const int n = d->read(d->engine, block->samples, 1152 * 4);
    if (n <= 0)
        return SV_ERR_END_OF_STREAM;
    block->samples_per_channel = 1152;
    block->channels = 2;
    block->frequency = 44100;
    return 0;
}
int write_out(void *, const void *, int, int, int, int)
{
    long long expected = 0;
    first_write_ns.compare_exchange_strong(expected, now_ns());
    return 0;
}

int input_register(void *p)
{
    auto *d = static_cast<sv_input_module *>(p);
    d->version = SV_MODULE_INTERFACE_VERSION;
    d->probe = accept_all;
    d->info = info;
    d->create = make;
    d->destroy = nothing;
    d->open = nothing;
    d->close = nothing;
    d->read = endless_read;
    d->seek = seek_anywhere;
    return 0;
}
int codec_register(void *p)
{
    auto *d = static_cast<sv_codec_module *>(p);
    d->version = SV_MODULE_INTERFACE_VERSION;
    d->probe = accept_codec;
    d->info = info;
    d->create = make_codec;
    d->destroy = nothing;
    d->decode = decode;
    return 0;
}
int output_register(void *p)
{
    auto *d = static_cast<sv_output_module *>(p);
    d->version = SV_MODULE_INTERFACE_VERSION;
    d->probe = accept_all;
    d->info = info;
    d->create = make;
    d->destroy = nothing;
    d->open = nothing;
    d->close = nothing;
    d->write = write_out;
    return 0;
}

int init_hook(void *, sv_engine *, sv_decoder *decoder)
{
    char name[64];
    sv_module_address_name(input_register, name, sizeof name);
    sv_register_module(decoder, SV_KIND_INPUT, name, 0);
    sv_module_address_name(codec_register, name, sizeof name);
    sv_register_module(decoder, SV_KIND_CODEC, name, 0);
    sv_module_address_name(output_register, name, sizeof name);
    sv_register_module(decoder, SV_KIND_OUTPUT, name, 0);
    return 0;
}

// Takes notifications until the ack (or nack) of `command`; false on a nack or time-out.
bool wait_ack(sv_engine *e, int command)
{
    for (;;) {
        sv_notification n{};
        if (sv_client_next(e, &n, 5000) != 1)
            return false;
        if ((n.code == SV_NOTE_ACK || n.code == SV_NOTE_NACK) && n.n[0] == command)
            return n.code == SV_NOTE_ACK;
    }
}

void report(const char *what, std::vector<long long> v)
{
    std::sort(v.begin(), v.end());
    const auto at = [&v](double q) { return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1))] / 1000.0; };
    std::printf("%-34s median %8.1f us   p90 %8.1f us   p99 %8.1f us   (%zu runs)\n", what, at(0.5), at(0.9), at(0.99),
                v.size());
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 2000;
    const sv_hook hook = {nullptr, reinterpret_cast<void *>(&init_hook)};
    const sv_start_entry list[] = {{"init-hook", &hook, SV_START_POINTER}, {nullptr, nullptr, 0}};
    sv_engine *e = nullptr;
    if (sv_engine_start(&e, list) != 0) {
        std::fprintf(stderr, "engine did not start\n");
        return 1;
    }
    // Quiet the chatter the bench does not read.
    sv_send_int(e, SV_CMD_SET_NOTIFICATION_MASK, SV_MASK_ACK | SV_MASK_NACK);
    sv_send_string(e, SV_CMD_INPUT_OPEN, "endless");
    if (!wait_ack(e, SV_CMD_INPUT_OPEN)) {
        std::fprintf(stderr, "input did not open\n");
        return 1;
    }
    std::vector<long long> round_trip, first_block, ping;
    for (int i = 0; i < runs; ++i) {
        first_write_ns = 0;
        const long long t0 = now_ns();
        sv_send_none(e, SV_CMD_PLAY);
        if (!wait_ack(e, SV_CMD_PLAY))
            return 1;
        const long long t1 = now_ns();
        while (first_write_ns.load() == 0)
            ;
        round_trip.push_back(t1 - t0);
        first_block.push_back(first_write_ns.load() - t0);
        sv_send_none(e, SV_CMD_STOP);
        if (!wait_ack(e, SV_CMD_STOP))
            return 1;
        const long long p0 = now_ns();
        sv_send_string(e, SV_CMD_PING, "x");
        if (!wait_ack(e, SV_CMD_PING))
            return 1;
        ping.push_back(now_ns() - p0);
    }
    sv_engine_free(e);
    report("play -> ack received", round_trip);
    report("play -> first block at the output", first_block);
    report("ping -> ack (engine idle)", ping);
    return 0;
}
