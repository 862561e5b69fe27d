// The decode cycle: stream reports, position and seeking, one block from the codec to
// the output, and the feedback events that go with it.
#include <algorithm>
#include <cstring>

#include "sonvox/engine/player.h"

namespace sv {

// ---- stream reports, position and seeking ----

void Player::report_stream(bool quiet_properties)
{
    if (stream.changed & SV_STREAM_CONTENT_TYPE_CHANGED)
        note_string(SV_NOTE_CONTENT_TYPE, stream.content_type);
    const int seconds = stream.duration_ms / 1000;
    if (seconds != last_duration) {
        last_duration = seconds;
        note(SV_NOTE_DURATION, seconds);
    }
    if (stream.changed & SV_STREAM_PARAMETERS_CHANGED) {
        sv_message m{};
        m.code = SV_NOTE_STREAM_PARAMETERS;
        m.n[0] = stream.frequency;
        m.n[1] = stream.bitrate;
        m.n[2] = stream.channels;
        notify(m);
    }
    if (stream.changed & SV_STREAM_PROPERTIES_CHANGED) {
        std::vector<sv_message_property> list;
        const int count = sv_props_count(stream.properties);
        for (int i = 0; i < count; ++i) {
            sv_message_property p{};
            sv_props_item(stream.properties, i, &p.name, &p.type, &p.text, &p.value);
            list.push_back(p);
        }
        sv_message m{};
        m.code = SV_NOTE_STREAM_PROPERTIES;
        m.properties = list.data();
        m.property_count = static_cast<int>(list.size());
        if (quiet_properties)
            quiet(m);
        else
            notify(m);
    }
    stream.changed = 0;
}

void Player::update_fraction()
{
    double f = 0;
    const auto &d = codec.module ? &codec.module->entry.d.codec : nullptr;
    if (d && d->offset_to_fraction)
        f = d->offset_to_fraction(codec.instance, input.position);
    else if (input.size > 0)
        f = static_cast<double>(input.position) / static_cast<double>(input.size);
    stream.position = static_cast<float>(std::clamp(f, 0.0, 1.0));
}

void Player::update_timecode()
{
    stream.tc_hours = static_cast<int>(play_sec / 3600);
    stream.tc_minutes = static_cast<int>(play_sec % 3600 / 60);
    stream.tc_seconds = static_cast<int>(play_sec % 60);
    stream.tc_hundredths = static_cast<int>(play_usec / 10000);
}

int Player::seek_offset(int64_t offset)
{
    if (!input.open)
        return SV_ERR_INTERNAL;
    if (offset < 0)
        offset = 0;
    if (input.size > 0 && offset > input.size)
        offset = input.size;
    const int r = in_seek(0, offset);
    if (r < 0)
        return r;
    input.position = offset;
    input.ended = false;
    input.lookahead.clear();
    input.lookahead_at = 0;
    if (offset > 0)
        input.skipped = true;
    if (codec.instance && codec.module->entry.d.codec.seek_done)
        codec.module->entry.d.codec.seek_done(codec.instance, offset);
    update_fraction();
    double seconds = 0;
    if (stream.duration_ms > 0)
        seconds = stream.duration_ms / 1000.0 * stream.position;
    else if (stream.bitrate > 0)
        seconds = static_cast<double>(offset) / (stream.bitrate * 125.0);
    const auto us = static_cast<int64_t>(seconds * 1e6);
    play_sec = us / 1000000;
    play_usec = us % 1000000;
    update_timecode();
    return 0;
}

int Player::seek_fraction(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    int64_t offset;
    const auto *d = codec.module ? &codec.module->entry.d.codec : nullptr;
    if (d && d->fraction_to_offset)
        offset = d->fraction_to_offset(codec.instance, static_cast<float>(x));
    else
        offset = static_cast<int64_t>(x * static_cast<double>(input.size));
    return seek_offset(offset);
}

// ---- playing ----

int Player::decode_cycle(int *samples)
{
    *samples = 0;
    if (!output.open) {
        internal_error("output not open");
        return SV_ERR_INTERNAL;
    }
    if (!input.open || codec.instance == nullptr) {
        internal_error("input not open");
        return SV_ERR_INTERNAL;
    }
    const bool batch = batching();
    void *buffer;
    if (batch) {
        if (batched + static_cast<size_t>(codec.block_size) > pcm.size() && batched > 0) {
            const int w = flush_batch();
            if (w < 0)
                return w;
        }
        if (!grow_pcm(static_cast<int>(kBatchBytes) + codec.block_size))
            return SV_ERR_OUT_OF_MEMORY;
        buffer = pcm.data() + batched;
    } else {
        const int w = flush_batch();
        if (w < 0)
            return w;
        buffer = out_buffer(0, codec.block_size);
    }
    if (buffer == nullptr)
        return SV_ERR_OUT_OF_MEMORY;
    const int old_bps = block.bytes_per_sample, old_channels = block.channels, old_freq = block.frequency;
    block.samples = buffer;
    block.capacity = codec.block_size;
    block.samples_per_channel = 0;
    block.bytes_per_sample = 2;
    const int result = codec.module->entry.d.codec.decode(codec.instance, &block, &stream);
    const bool ok = result == 0 || result == SV_ERR_INVALID_FRAME || result == SV_ERR_TIMEOUT;
    int n = ok ? block.samples_per_channel : 0;
    if (n < 0 || block.channels <= 0 || static_cast<int64_t>(n) * block.channels * 2 > block.capacity)
        n = 0; // a block that does not fit its buffer is not written
    if (ok && n == 0 && input.ended)
        return SV_ERR_END_OF_STREAM; // the input has nothing more to give
    if (!ok)
        return result;
    input.decoded += n;
    if (block.frequency > 0) {
        for (int left = n; left > 0; left -= 2048) {
            const int part = std::min(left, 2048);
            play_usec += static_cast<int64_t>(part) * 1000000 / block.frequency;
        }
        play_sec += play_usec / 1000000;
        play_usec %= 1000000;
    }
    update_fraction();
    update_timecode();
    int changed = 0;
    if (block.bytes_per_sample != old_bps)
        changed |= SV_BLOCK_SAMPLE_SIZE_CHANGED;
    if (block.channels != old_channels)
        changed |= SV_BLOCK_CHANNELS_CHANGED | SV_BLOCK_FREQUENCY_CHANGED;
    if (block.frequency != old_freq)
        changed |= SV_BLOCK_FREQUENCY_CHANGED;
    block.changed = changed;
    if (changed && batched > 0) {
        // The blocks gathered so far go out in their own format, before the new one is set.
        const int w = flush_batch();
        if (w < 0)
            return w;
        if (n > 0)
            std::memmove(pcm.data(), buffer, static_cast<size_t>(n) * block.channels * 2);
        buffer = pcm.data();
        block.samples = buffer;
    }
    if (changed) {
        sv_output_control c{};
        c.bytes_per_sample = block.bytes_per_sample;
        c.frequency = block.frequency;
        c.channels = block.channels;
        c.master_level = volume_master == 255 ? 100 : volume_master;
        c.pcm_level = volume_pcm == 255 ? 100 : volume_pcm;
        c.balance = volume_balance == 255 ? 50 : volume_balance;
        c.ports = ports < 0 ? 1 : ports;
        const int r = out_set_control(0, &c, changed);
        if (r == SV_ERR_UNSUPPORTED_OUTPUT)
            return r;
    }
    block.latency_ms = 0;
    if (output.capabilities & SV_OUTPUT_CAP_LATENCY) {
        const auto &d = output.module->entry.d.output;
        int ms = 0;
        if (d.get_latency && d.get_latency(output.instance, &ms) >= 0 && ms > 0)
            block.latency_ms = ms;
    }
    if (n > 0 && batch) {
        batched += static_cast<size_t>(2 * n * block.channels);
        batch_channels = block.channels;
        batch_frequency = block.frequency;
        if (batched >= kBatchBytes) {
            const int w = flush_batch();
            if (w < 0)
                return w;
        }
    } else if (n > 0) {
        const int bytes = 2 * n * block.channels;
        const int w = out_write(0, buffer, bytes, 2, block.channels, block.frequency);
        if (w < 0)
            return w;
    }
    *samples = n;
    return result;
}

bool Player::batching()
{
    // A feedback handler sees each block when it is written, as it would be heard.
    return output.open && !(output.capabilities & SV_OUTPUT_CAP_LATENCY)
           && !shared->feedback_attached.load(std::memory_order_relaxed)
           && output.module->entry.d.output.get_buffer == nullptr && registry.list(SV_KIND_OUTPUT_FILTER).empty();
}

int Player::flush_batch()
{
    if (batched == 0)
        return 0;
    const int bytes = static_cast<int>(batched);
    batched = 0;
    if (!output.open)
        return 0;
    const int w = out_write(0, pcm.data(), bytes, 2, batch_channels, batch_frequency);
    return w < 0 ? w : 0;
}

void Player::quiet_simple(int code, int a, int b)
{
    sv_message m{};
    m.code = code;
    m.n[0] = a;
    m.n[1] = b;
    quiet(m);
}

void Player::wake_client(int64_t now_us)
{
    if (!wake_owed || (now_us >= 0 && now_us - client_woken_us < kWakeGapUs))
        return;
    wake_owed = false;
    client_woken_us = now_us >= 0 ? now_us : now().total_us();
    shared->client.wake();
}

void Player::feedback_events(int samples)
{
    // Nobody to hand the events to: the feedback thread is left asleep.
    if (!shared->feedback_attached.load(std::memory_order_relaxed))
        return;
    const int mask = shared->notification_mask.load(std::memory_order_relaxed);
    const int64_t at = now().total_us() + static_cast<int64_t>(block.latency_ms) * 1000;
    const TimeStamp t = TimeStamp::from_us(at);
    const bool tc_changed = stream.tc_hours != last_tc[0] || stream.tc_minutes != last_tc[1]
                            || stream.tc_seconds != last_tc[2] || stream.tc_hundredths != last_tc[3];
    if ((mask & SV_MASK_FEEDBACK_TIMECODE) && tc_changed) {
        sv_message m{};
        m.code = SV_FB_TIMECODE_AT;
        m.n[0] = static_cast<int>(t.sec);
        m.n[1] = static_cast<int>(t.usec);
        m.n[2] = stream.tc_hours;
        m.n[3] = stream.tc_minutes;
        m.n[4] = stream.tc_seconds;
        m.n[5] = stream.tc_hundredths;
        to_feedback(m, false);
    }
    const int offset = std::min(position_range, static_cast<int>(position_range * stream.position));
    if ((mask & SV_MASK_FEEDBACK_POSITION) && offset != last_position) {
        sv_message m{};
        m.code = SV_FB_POSITION_AT;
        m.n[0] = static_cast<int>(t.sec);
        m.n[1] = static_cast<int>(t.usec);
        m.n[2] = offset;
        m.n[3] = position_range;
        to_feedback(m, false);
    }
    if (feedback_period_us <= 0 || samples <= 0 || at < last_feedback_us + feedback_period_us)
        return;
    last_feedback_us = at;
    const int channels = std::min(block.channels, 2);
    signed char bytes[512] = {};
    const auto *pcm16 = static_cast<const int16_t *>(block.samples);
    const int take = std::min(samples, 256);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < take; ++i)
            bytes[c * 256 + i] = static_cast<signed char>(pcm16[i * block.channels + c] / 256);
    sv_message m{};
    m.code = SV_FB_AUDIO_EVENT;
    m.n[0] = static_cast<int>(t.sec);
    m.n[1] = static_cast<int>(t.usec);
    m.n[2] = block.frequency;
    m.n[3] = channels;
    m.n[4] = 256;
    m.data = bytes;
    m.size = 256 * channels;
    to_feedback(m, false);
}

// An input that ended without a single decoded sample played nothing: that is an
// error the client hears of, with the codec's reason when it gave one.
void Player::report_no_audio(int result)
{
    std::string detail = input.name;
    if (stream.no_audio_reason != nullptr)
        detail += std::string(": ") + stream.no_audio_reason;
    else if (result != SV_ERR_END_OF_STREAM)
        detail += std::string(": ") + sv_error_text(result);
    const int source = codec.module ? codec.module->entry.id : -1;
    const int code =
        result == SV_ERR_END_OF_STREAM || result == SV_ERR_INVALID_FRAME ? SV_ERR_UNSUPPORTED_FORMAT : result;
    report_error(source, code, "no audio decoded", detail.c_str());
}

void Player::after_cycle(int result, int samples)
{
    if (result == 0 || result == SV_ERR_INVALID_FRAME || result == SV_ERR_TIMEOUT) {
        feedback_events(samples);
        report_stream(true);
        const int offset = std::min(position_range, static_cast<int>(position_range * stream.position));
        if (offset != last_position) {
            last_position = offset;
            quiet_simple(SV_NOTE_POSITION, offset, position_range);
        }
        int hundredths = stream.tc_hundredths;
        if (granularity != 100)
            hundredths -= hundredths % granularity;
        const int tc[4] = {stream.tc_hours, stream.tc_minutes, stream.tc_seconds, hundredths};
        if (!std::equal(tc, tc + 4, last_tc)) {
            std::copy(tc, tc + 4, last_tc);
            sv_message m{};
            m.code = SV_NOTE_TIMECODE;
            std::copy(tc, tc + 4, m.n);
            quiet(m);
        }
        if (wake_owed)
            wake_client(now().total_us());
        return;
    }
    // What was gathered for the output is written before the end is reported; a write
    // that fails here is reported by the output like any other.
    flush_batch();
    if (input.decoded == 0 && !input.skipped)
        report_no_audio(result);
    set_state(SV_STATE_END_OF_STREAM);
    if ((mode & SV_MODE_CLOSE_AT_END) && output.open) {
        control_output(SV_CTL_DRAIN);
        close_output();
    }
}

} // namespace sv
