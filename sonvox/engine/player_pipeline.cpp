// Opening and closing the pipeline: the input and its codec, the output.
#include <algorithm>
#include <cstring>
#include <string>

#include "sonvox/engine/player.h"

namespace sv {

// ---- input ----

void Player::reset_stream()
{
    stream.position = 0;
    stream.changed = 0;
    stream.duration_ms = 0;
    stream.frequency = 0;
    stream.bitrate = 0;
    stream.channels = 0;
    stream.content_type[0] = '\0';
    stream.no_audio_reason = nullptr;
    sv_props_clear(stream.properties);
    stream.tc_hours = stream.tc_minutes = stream.tc_seconds = stream.tc_hundredths = 0;
    play_sec = play_usec = 0;
    last_duration = 0;
    last_position = 0;
    for (int &t : last_tc)
        t = -1;
}

void Player::close_input()
{
    if (input.module == nullptr)
        return;
    if (input.open) {
        if (codec.instance && codec.module->entry.d.codec.input_closed)
            codec.module->entry.d.codec.input_closed(codec.instance);
        in_close(0);
    }
    input.module->entry.d.input.destroy(input.instance);
    const bool was_open = input.open;
    input = InputSlot{};
    std::strcpy(stream.content_type, "unknown");
    if (was_open)
        note(SV_NOTE_INPUT_STATE, 1);
}

int Player::choose_codec(const char *content_type, const char *name)
{
    ModuleEntry *chosen = nullptr;
    if (codec_module >= 0)
        chosen = registry.find(SV_KIND_CODEC, codec_module);
    if (chosen == nullptr) {
        for (ModuleEntry *e : registry.list(SV_KIND_CODEC)) {
            if (e->entry.d.codec.probe(content_type, name) == 0) {
                chosen = e;
                break;
            }
        }
    }
    if (chosen == nullptr)
        return SV_ERR_NO_CODEC;
    if (chosen != codec.module || codec.instance == nullptr) {
        if (codec.instance)
            codec.module->entry.d.codec.destroy(codec.instance);
        codec = CodecSlot{};
        const sv_codec_module &d = chosen->entry.d.codec;
        void *instance = nullptr;
        const int r = d.create(&instance, content_type, name, &chosen->entry, &services);
        if (r < 0 || instance == nullptr)
            return r < 0 ? r : SV_ERR_INTERNAL;
        codec.module = chosen;
        codec.instance = instance;
        sv_module_info info{};
        if (d.info(&info, SV_INFO_BLOCK_SIZE) >= 0 && info.count > 0)
            codec.block_size = info.count;
        info = sv_module_info{};
        if (d.info(&info, SV_INFO_CODEC_FLAGS) >= 0)
            codec.flags = info.flags;
        if (!grow_pcm(codec.block_size))
            return SV_ERR_OUT_OF_MEMORY;
        if (d.set_settings)
            d.set_settings(codec.instance, &settings, SV_CODEC_SETTING_1 | SV_CODEC_SETTING_2 | SV_CODEC_EQUALIZER);
    }
    return 0;
}

// The codec is chosen by the input's first bytes, not by its name: a RIFF/WAVE header
// is "audio/wave" whatever the name (standard input included), and anything else whose
// type the input did not declare is "audio/mpeg", which the MPEG codec takes. The bytes
// are read here; an input that cannot seek back hands them to the codec's first reads.
std::string Player::sniff_content_type(const char *declared)
{
    uint8_t head[12];
    const int r = in_read(0, head, sizeof head);
    if (r > 0 && !(in_seek(0, 0) >= 0)) {
        input.lookahead.assign(head, head + r);
        input.lookahead_at = 0;
    } else if (r == 0) {
        in_seek(0, 0); // fewer bytes than the header: the codec reads them from the start
    }
    if (r == static_cast<int>(sizeof head) && std::memcmp(head, "RIFF", 4) == 0
        && std::memcmp(head + 8, "WAVE", 4) == 0)
        return "audio/wave";
    if (std::strcmp(declared, "audio/unknown") == 0)
        return "audio/mpeg";
    return declared;
}

// The input or output module for a name: the selected id when one is set (-507 when no
// such module is registered), else the newest module whose probe accepts the name.
ModuleEntry *Player::choose_stream_module(sv_module_kind kind, int selected, const std::string &name, int unsupported,
                                          int *error)
{
    if (selected >= 0) {
        ModuleEntry *e = registry.find(kind, selected);
        if (e == nullptr)
            *error = SV_ERR_PLUGIN_NOT_FOUND;
        return e;
    }
    for (ModuleEntry *e : registry.list(kind)) {
        int (*probe)(const char *) = kind == SV_KIND_INPUT ? e->entry.d.input.probe : e->entry.d.output.probe;
        if (probe == nullptr || probe(name.c_str()) == 0)
            return e;
    }
    *error = unsupported;
    return nullptr;
}

int Player::open_input(const std::string &name, bool force)
{
    if (name.empty())
        return SV_ERR_INVALID_PARAMETERS;
    int error = 0;
    ModuleEntry *chosen = choose_stream_module(SV_KIND_INPUT, input_module, name, SV_ERR_UNSUPPORTED_INPUT, &error);
    if (chosen == nullptr)
        return error;
    input_name = name;
    // A stream that cannot seek (a network stream) is connected afresh: the connection of
    // an earlier play may long have been dropped by its server.
    if (!force && input.open && input.module == chosen && input.name == name
        && (input.capabilities & SV_INPUT_CAP_SEEKABLE)) {
        // Already open on this name. At the end of the stream it starts over, so that
        // playing the same name again plays it rather than ending at once.
        if (state == SV_STATE_END_OF_STREAM) {
            seek_offset(0);
            set_state(SV_STATE_STOPPED);
        }
        return 0;
    }
    close_input();
    reset_stream();
    void *instance = nullptr;
    int r = chosen->entry.d.input.create(&instance, name.c_str(), &chosen->entry, &services);
    if (r < 0 || instance == nullptr) {
        set_state(SV_STATE_STOPPED);
        return r < 0 ? r : SV_ERR_INTERNAL;
    }
    input.module = chosen;
    input.instance = instance;
    input.name = name;
    r = in_open(0);
    if (r >= 0) {
        input.open = true;
        input.size = in_size(0);
        if (input.size < 0)
            input.size = 0;
        input.capabilities = in_caps(0);
        const char *ctype = stream.content_type[0] && std::strcmp(stream.content_type, "unknown") != 0
                                ? stream.content_type
                                : "audio/unknown";
        const std::string content_type = sniff_content_type(ctype);
        r = choose_codec(content_type.c_str(), name.c_str());
        if (r >= 0) {
            const sv_codec_module &d = codec.module->entry.d.codec;
            if (d.input_changed)
                d.input_changed(codec.instance, content_type.c_str(), name.c_str());
            if (d.start_stream) {
                const int s = d.start_stream(codec.instance, &stream);
                if (s < 0 && s != SV_ERR_INVALID_FRAME && s != SV_ERR_TIMEOUT)
                    r = s;
            }
        }
    }
    if (r < 0) {
        close_input();
        set_state(SV_STATE_STOPPED);
        return r;
    }
    note(SV_NOTE_INPUT_STATE, 0);
    note_string(SV_NOTE_INPUT_NAME, input.name.c_str());
    note(SV_NOTE_INPUT_CAPABILITIES, input.capabilities);
    report_stream();
    return 0;
}

// ---- output ----

void Player::close_output()
{
    if (output.module == nullptr)
        return;
    flush_batch();
    if (output.open)
        out_close(0);
    output.module->entry.d.output.destroy(output.instance);
    const bool was_open = output.open;
    output = OutputSlot{};
    if (was_open)
        note(SV_NOTE_OUTPUT_STATE, 1);
}

int Player::control_output(int flags)
{
    if (!output.open) {
        internal_error("output not open");
        return SV_ERR_INTERNAL;
    }
    sv_output_control c{};
    c.bytes_per_sample = 2;
    c.frequency = block.frequency;
    c.channels = block.channels;
    c.master_level = volume_master == 255 ? 100 : volume_master;
    c.pcm_level = volume_pcm == 255 ? 100 : volume_pcm;
    c.balance = volume_balance == 255 ? 50 : volume_balance;
    c.ports = ports < 0 ? 1 : ports;
    return out_set_control(0, &c, flags);
}

void Player::report_output_levels()
{
    sv_output_control c{};
    if (output.open)
        out_get_control(0, &c, SV_CTL_BALANCE | SV_CTL_PCM_LEVEL | SV_CTL_MASTER_LEVEL | SV_CTL_PORTS);
    const int balance = volume_balance != 255 ? volume_balance : output.open ? c.balance : 50;
    const int pcm_level = volume_pcm != 255 ? volume_pcm : output.open ? c.pcm_level : 100;
    const int master = volume_master != 255 ? volume_master : output.open ? c.master_level : 100;
    note(SV_NOTE_OUTPUT_BALANCE, balance);
    note(SV_NOTE_OUTPUT_PCM_LEVEL, pcm_level);
    note(SV_NOTE_OUTPUT_MASTER_LEVEL, master);
    note(SV_NOTE_OUTPUT_PORTS, ports >= 0 ? ports : output.open ? c.ports : 1);
}

int Player::open_output(const std::string &name, bool force)
{
    int error = 0;
    ModuleEntry *chosen = choose_stream_module(SV_KIND_OUTPUT, output_module, name, SV_ERR_UNSUPPORTED_OUTPUT, &error);
    if (chosen == nullptr)
        return error;
    output_name = name;
    if (!force && output.open && output.module == chosen && output.name == name)
        return 0;
    close_output();
    void *instance = nullptr;
    int r = chosen->entry.d.output.create(&instance, name.c_str(), &chosen->entry, &services);
    if (r < 0 || instance == nullptr)
        return r < 0 ? r : SV_ERR_INTERNAL;
    output.module = chosen;
    output.instance = instance;
    output.name = name;
    r = out_open(0);
    if (r < 0) {
        chosen->entry.d.output.destroy(instance);
        output = OutputSlot{};
        return r;
    }
    output.open = true;
    output.capabilities = out_caps(0);
    // Cleared so that the first cycle sends the format.
    block.bytes_per_sample = 0;
    block.channels = 0;
    block.frequency = 0;
    note(SV_NOTE_OUTPUT_STATE, 0);
    note_string(SV_NOTE_OUTPUT_NAME, output.name.c_str());
    note(SV_NOTE_OUTPUT_CAPABILITIES, output.capabilities);
    int flags = 0;
    if (volume_balance != 255)
        flags |= SV_CTL_BALANCE;
    if (volume_pcm != 255)
        flags |= SV_CTL_PCM_LEVEL;
    if (volume_master != 255)
        flags |= SV_CTL_MASTER_LEVEL;
    if (ports >= 0)
        flags |= SV_CTL_PORTS;
    if (flags)
        control_output(flags);
    report_output_levels();
    return 0;
}

} // namespace sv
