// The player's commands: one handler per command code, found through one table.
#include <algorithm>
#include <cstring>
#include <string>

#include "sonvox/engine/player.h"

namespace sv {

// ---- commands ----

int Player::query_modules(sv_module_kind kind, int id, int info_code, int device_code)
{
    bool any = false;
    for (ModuleEntry *e : registry.list(kind)) {
        if (id != -1 && e->entry.id != id)
            continue;
        any = true;
        int (*info)(sv_module_info *, int) = kind == SV_KIND_INPUT    ? e->entry.d.input.info
                                             : kind == SV_KIND_OUTPUT ? e->entry.d.output.info
                                                                      : e->entry.d.codec.info;
        sv_module_info name{};
        info(&name, SV_INFO_NAME);
        sv_module_info count{};
        if (info(&count, SV_INFO_DEVICE_COUNT) < 0)
            count.count = 0;
        sv_message m{};
        m.code = info_code;
        m.n[0] = e->entry.id;
        m.n[1] = count.count;
        m.s[0] = name.name;
        m.s[1] = name.description;
        notify(m);
        for (int i = 0; i < count.count; ++i) {
            sv_module_info dev{};
            dev.count = i;
            if (info(&dev, SV_INFO_DEVICE) < 0)
                continue;
            sv_message d{};
            d.code = device_code;
            d.n[0] = e->entry.id;
            d.n[1] = i;
            d.n[2] = dev.flags;
            d.s[0] = dev.name;
            d.s[1] = dev.description;
            notify(d);
        }
    }
    return (id != -1 && !any) ? SV_ERR_PLUGIN_NOT_FOUND : 0;
}

void Player::list_filters(sv_module_kind kind, int code)
{
    for (ModuleEntry *e : registry.list(kind)) {
        sv_message m{};
        m.code = code;
        m.s[0] = e->name.c_str();
        m.n[0] = e->entry.id;
        notify(m);
    }
}

int Player::register_module(sv_module_kind kind, const char *name, int position)
{
    return register_into(registry, RegistrationContext{shared, &services}, kind, name, position);
}

int Player::cmd_ping(const sv_message &m)
{
    note_string(SV_NOTE_PONG, m.s[0]);
    return 0;
}

int Player::cmd_play(const sv_message &)
{
    if (state == SV_STATE_PLAYING)
        return 0;
    if (!input.open) {
        const int r = open_input(input_name, true);
        if (r < 0)
            return r;
    }
    if (!output.open) {
        const int r = open_output(output_name, true);
        if (r < 0)
            return r;
    }
    control_output(SV_CTL_RESUME);
    feedback_time(SV_FB_PLAY_TIME);
    set_state(SV_STATE_PLAYING);
    return 0;
}

int Player::cmd_pause(const sv_message &)
{
    if (!input.open) {
        internal_error("input not open");
        return SV_ERR_INTERNAL;
    }
    if (state == SV_STATE_PAUSED)
        return 0;
    if (mode & SV_MODE_CLOSE_ON_PAUSE) {
        if (output.open) {
            control_output(SV_CTL_RESET);
            close_output();
        }
        sv_message f{};
        f.code = SV_FB_FLUSH;
        to_feedback(f, true);
    } else {
        feedback_time(SV_FB_PAUSE_TIME);
        if (output.open)
            control_output(SV_CTL_PAUSE);
    }
    set_state(SV_STATE_PAUSED);
    return 0;
}

int Player::cmd_stop(const sv_message &)
{
    if (!input.open) {
        internal_error("input not open");
        return SV_ERR_INTERNAL;
    }
    if (output.open)
        control_output(SV_CTL_RESET);
    sv_message f{};
    f.code = SV_FB_FLUSH;
    to_feedback(f, true);
    // A paused feedback queue must not stay paused after a stop.
    feedback_time(SV_FB_PLAY_TIME);
    if ((mode & SV_MODE_CLOSE_ON_STOP) && output.open)
        close_output();
    seek_offset(0);
    set_state(SV_STATE_STOPPED);
    return 0;
}

int Player::cmd_seek(const sv_message &m)
{
    if (!input.open) {
        internal_error("input not open");
        return SV_ERR_INTERNAL;
    }
    if (m.n[1] <= 0)
        return SV_ERR_INVALID_PARAMETERS;
    if ((state == SV_STATE_PLAYING || state == SV_STATE_PAUSED) && output.open) {
        control_output(SV_CTL_RESET);
        sv_message f{};
        f.code = SV_FB_FLUSH;
        to_feedback(f, true);
    }
    const int r = seek_fraction(static_cast<double>(m.n[0]) / m.n[1]);
    if (r < 0)
        return r;
    last_position = std::min(position_range, static_cast<int>(position_range * stream.position));
    note(SV_NOTE_POSITION, m.n[0], m.n[1]);
    last_tc[0] = stream.tc_hours;
    last_tc[1] = stream.tc_minutes;
    last_tc[2] = stream.tc_seconds;
    last_tc[3] = stream.tc_hundredths;
    sv_message tc{};
    tc.code = SV_NOTE_TIMECODE;
    std::copy(last_tc, last_tc + 4, tc.n);
    notify(tc);
    if (state == SV_STATE_END_OF_STREAM)
        set_state(SV_STATE_STOPPED);
    return 0;
}

int Player::cmd_input_open(const sv_message &m)
{
    return open_input(m.s[0][0] ? std::string(m.s[0]) : input_name, false);
}

int Player::cmd_input_close(const sv_message &)
{
    close_input();
    set_state(SV_STATE_STOPPED);
    return 0;
}

int Player::cmd_input_send_message(const sv_message &m)
{
    if (!input.open) {
        internal_error("input not open");
        return SV_ERR_INTERNAL;
    }
    return in_message(0, m.n[0], m.data, m.size);
}

int Player::cmd_register_filter(const sv_message &m)
{
    const sv_module_kind kind = m.code == SV_CMD_REGISTER_INPUT_FILTER ? SV_KIND_INPUT_FILTER : SV_KIND_OUTPUT_FILTER;
    const int id = register_module(kind, m.s[0], m.n[0]);
    if (id < 0)
        return id;
    sv_message o{};
    o.code = kind == SV_KIND_INPUT_FILTER ? SV_NOTE_INPUT_FILTER_INFO : SV_NOTE_OUTPUT_FILTER_INFO;
    o.s[0] = m.s[0];
    o.n[0] = id;
    notify(o);
    return 0;
}

int Player::cmd_unregister_filter(const sv_message &m)
{
    const sv_module_kind kind = m.code == SV_CMD_UNREGISTER_INPUT_FILTER ? SV_KIND_INPUT_FILTER : SV_KIND_OUTPUT_FILTER;
    ModuleEntry *e = registry.remove_filter(kind, m.s[0], m.n[0]);
    if (e == nullptr)
        return SV_ERR_PLUGIN_NOT_FOUND;
    if (e->entry.instance)
        e->entry.d.filter.destroy(e->entry.instance);
    delete e;
    return 0;
}

int Player::cmd_list_input_filters(const sv_message &)
{
    list_filters(SV_KIND_INPUT_FILTER, SV_NOTE_INPUT_FILTER_INFO);
    return 0;
}

int Player::cmd_list_output_filters(const sv_message &)
{
    list_filters(SV_KIND_OUTPUT_FILTER, SV_NOTE_OUTPUT_FILTER_INFO);
    return 0;
}

int Player::cmd_register_module(const sv_message &m)
{
    const sv_module_kind kind = m.code == SV_CMD_REGISTER_INPUT    ? SV_KIND_INPUT
                                : m.code == SV_CMD_REGISTER_OUTPUT ? SV_KIND_OUTPUT
                                                                   : SV_KIND_CODEC;
    const int id = register_module(kind, m.s[0], 0);
    return id < 0 ? id : 0;
}

int Player::cmd_query_input(const sv_message &m)
{
    return m.n[0] < 0 ? SV_ERR_PLUGIN_NOT_FOUND
                      : query_modules(SV_KIND_INPUT, m.n[0], SV_NOTE_INPUT_MODULE_INFO, SV_NOTE_INPUT_DEVICE_INFO);
}

int Player::cmd_query_inputs(const sv_message &)
{
    return query_modules(SV_KIND_INPUT, -1, SV_NOTE_INPUT_MODULE_INFO, SV_NOTE_INPUT_DEVICE_INFO);
}

int Player::cmd_query_output(const sv_message &m)
{
    return m.n[0] < 0 ? SV_ERR_PLUGIN_NOT_FOUND
                      : query_modules(SV_KIND_OUTPUT, m.n[0], SV_NOTE_OUTPUT_MODULE_INFO, SV_NOTE_OUTPUT_DEVICE_INFO);
}

int Player::cmd_query_outputs(const sv_message &)
{
    return query_modules(SV_KIND_OUTPUT, -1, SV_NOTE_OUTPUT_MODULE_INFO, SV_NOTE_OUTPUT_DEVICE_INFO);
}

int Player::cmd_query_codec(const sv_message &m)
{
    return m.n[0] < 0 ? SV_ERR_PLUGIN_NOT_FOUND
                      : query_modules(SV_KIND_CODEC, m.n[0], SV_NOTE_CODEC_MODULE_INFO, SV_NOTE_CODEC_DEVICE_INFO);
}

int Player::cmd_query_codecs(const sv_message &)
{
    return query_modules(SV_KIND_CODEC, -1, SV_NOTE_CODEC_MODULE_INFO, SV_NOTE_CODEC_DEVICE_INFO);
}

int Player::cmd_output_open(const sv_message &m)
{
    return open_output(m.s[0][0] ? std::string(m.s[0]) : output_name, false);
}

int Player::cmd_output_close(const sv_message &)
{
    close_output();
    return 0;
}

int Player::cmd_output_send_message(const sv_message &m)
{
    if (!output.open) {
        internal_error("output not open");
        return SV_ERR_INTERNAL;
    }
    return out_message(0, m.n[0], m.data, m.size);
}

int Player::cmd_output_mute(const sv_message &)
{
    return control_output(SV_CTL_MUTE);
}

int Player::cmd_output_unmute(const sv_message &)
{
    return control_output(SV_CTL_UNMUTE);
}

int Player::cmd_output_reset(const sv_message &)
{
    sv_message f{};
    f.code = SV_FB_FLUSH;
    to_feedback(f, true);
    return control_output(SV_CTL_RESET);
}

int Player::cmd_output_drain(const sv_message &)
{
    return control_output(SV_CTL_DRAIN);
}

int Player::cmd_set_player_mode(const sv_message &m)
{
    mode = m.n[0];
    return 0;
}

int Player::cmd_get_player_mode(const sv_message &)
{
    note(SV_NOTE_PLAYER_MODE, mode);
    return 0;
}

int Player::cmd_set_env_int(const sv_message &m)
{
    return sv_props_set_int(environment, m.s[0], m.n[0]);
}

int Player::cmd_set_env_string(const sv_message &m)
{
    return sv_props_set_string(environment, m.s[0], m.s[1]);
}

int Player::cmd_unset_env(const sv_message &m)
{
    return sv_props_unset(environment, m.s[0]);
}

int Player::cmd_get_env_int(const sv_message &m)
{
    int value = 0;
    const int r = sv_props_get_int(environment, m.s[0], &value);
    if (r < 0)
        return r;
    sv_message o{};
    o.code = SV_NOTE_ENV_INT;
    o.s[0] = m.s[0];
    o.n[0] = value;
    notify(o);
    return 0;
}

int Player::cmd_get_env_string(const sv_message &m)
{
    std::string value(SV_RECEIVE_BUFFER, '\0');
    const int r = sv_props_get_string(environment, m.s[0], value.data(), static_cast<int>(value.size()));
    if (r < 0)
        return r;
    sv_message o{};
    o.code = SV_NOTE_ENV_STRING;
    o.s[0] = m.s[0];
    o.s[1] = value.c_str();
    notify(o);
    return 0;
}

int Player::cmd_set_input_name(const sv_message &m)
{
    input_name = m.s[0];
    return input.open ? open_input(input_name, false) : 0;
}

int Player::cmd_get_input_name(const sv_message &)
{
    note_string(SV_NOTE_INPUT_NAME, input_name.c_str());
    return 0;
}

int Player::cmd_set_input_module(const sv_message &m)
{
    if (m.n[0] != -1 && registry.find(SV_KIND_INPUT, m.n[0]) == nullptr)
        return SV_ERR_PLUGIN_NOT_FOUND;
    input_module = m.n[0];
    return input.open ? open_input(input_name, true) : 0;
}

int Player::cmd_get_input_module(const sv_message &)
{
    note(SV_NOTE_INPUT_MODULE, input_module);
    return 0;
}

int Player::cmd_set_position_range(const sv_message &m)
{
    if (m.n[0] <= 0)
        return SV_ERR_INVALID_PARAMETERS;
    position_range = m.n[0];
    return 0;
}

int Player::cmd_get_position_range(const sv_message &)
{
    note(SV_NOTE_POSITION_RANGE, position_range);
    return 0;
}

int Player::cmd_set_timecode_granularity(const sv_message &m)
{
    if (m.n[0] <= 0)
        return SV_ERR_INVALID_PARAMETERS;
    granularity = m.n[0];
    return 0;
}

int Player::cmd_get_timecode_granularity(const sv_message &)
{
    note(SV_NOTE_TIMECODE_GRANULARITY, granularity);
    return 0;
}

int Player::cmd_set_output_name(const sv_message &m)
{
    output_name = m.s[0];
    return output.open ? open_output(output_name, false) : 0;
}

int Player::cmd_get_output_name(const sv_message &)
{
    note_string(SV_NOTE_OUTPUT_NAME, output_name.c_str());
    return 0;
}

int Player::cmd_set_output_module(const sv_message &m)
{
    if (m.n[0] != -1 && registry.find(SV_KIND_OUTPUT, m.n[0]) == nullptr)
        return SV_ERR_PLUGIN_NOT_FOUND;
    output_module = m.n[0];
    return output.open ? open_output(output_name, true) : 0;
}

int Player::cmd_get_output_module(const sv_message &)
{
    note(SV_NOTE_OUTPUT_MODULE, output_module);
    return 0;
}

int Player::cmd_set_output_volume(const sv_message &m)
{
    int flags = 0;
    if (m.n[0] <= 100) {
        volume_balance = m.n[0];
        flags |= SV_CTL_BALANCE;
    }
    if (m.n[1] <= 100) {
        volume_pcm = m.n[1];
        flags |= SV_CTL_PCM_LEVEL;
    }
    if (m.n[2] <= 100) {
        volume_master = m.n[2];
        flags |= SV_CTL_MASTER_LEVEL;
    }
    if (flags && output.open)
        return control_output(flags);
    return 0;
}

int Player::cmd_get_output_volume(const sv_message &)
{
    sv_output_control c{};
    if (output.open)
        out_get_control(0, &c, SV_CTL_BALANCE | SV_CTL_PCM_LEVEL | SV_CTL_MASTER_LEVEL);
    note(SV_NOTE_OUTPUT_BALANCE, volume_balance != 255 ? volume_balance : output.open ? c.balance : 50);
    note(SV_NOTE_OUTPUT_PCM_LEVEL, volume_pcm != 255 ? volume_pcm : output.open ? c.pcm_level : 100);
    note(SV_NOTE_OUTPUT_MASTER_LEVEL, volume_master != 255 ? volume_master : output.open ? c.master_level : 100);
    return 0;
}

int Player::cmd_set_codec_setting(const sv_message &m)
{
    const bool first = m.code == SV_CMD_SET_CODEC_SETTING_1;
    (first ? settings.setting1 : settings.setting2) = m.n[0];
    int r = 0;
    if (codec.instance && codec.module->entry.d.codec.set_settings)
        r = codec.module->entry.d.codec.set_settings(codec.instance, &settings,
                                                     first ? SV_CODEC_SETTING_1 : SV_CODEC_SETTING_2);
    if (first && output.open)
        control_output(SV_CTL_RESET);
    return r < 0 ? r : 0;
}

int Player::cmd_get_codec_setting_1(const sv_message &)
{
    note(SV_NOTE_CODEC_SETTING_1, settings.setting1);
    return 0;
}

int Player::cmd_get_codec_setting_2(const sv_message &)
{
    note(SV_NOTE_CODEC_SETTING_2, settings.setting2);
    return 0;
}

int Player::cmd_set_output_ports(const sv_message &m)
{
    ports = m.n[0];
    return output.open ? control_output(SV_CTL_PORTS) : 0;
}

int Player::cmd_get_output_ports(const sv_message &)
{
    sv_output_control c{};
    if (output.open)
        out_get_control(0, &c, SV_CTL_PORTS);
    note(SV_NOTE_OUTPUT_PORTS, ports >= 0 ? ports : output.open ? c.ports : 1);
    return 0;
}

int Player::cmd_set_codec_equalizer(const sv_message &m)
{
    if (m.size != 0 && m.size != 64)
        return SV_ERR_INVALID_PARAMETERS;
    settings.has_equalizer = m.size == 64;
    if (m.size == 64)
        std::memcpy(settings.equalizer, m.data, 64);
    int r = 0;
    if (codec.instance && codec.module->entry.d.codec.set_settings)
        r = codec.module->entry.d.codec.set_settings(codec.instance, &settings, SV_CODEC_EQUALIZER);
    return r < 0 ? r : 0;
}

int Player::cmd_get_codec_equalizer(const sv_message &)
{
    sv_message o{};
    o.code = SV_NOTE_CODEC_EQUALIZER;
    if (settings.has_equalizer) {
        o.data = settings.equalizer;
        o.size = 64;
    }
    notify(o);
    return 0;
}

int Player::cmd_set_codec_module(const sv_message &m)
{
    if (m.n[0] != -1 && registry.find(SV_KIND_CODEC, m.n[0]) == nullptr)
        return SV_ERR_PLUGIN_NOT_FOUND;
    codec_module = m.n[0];
    note(SV_NOTE_CODEC_MODULE, codec_module);
    return input.open ? open_input(input_name, true) : 0;
}

int Player::cmd_set_notification_mask(const sv_message &m)
{
    shared->notification_mask.store(m.n[0], std::memory_order_relaxed);
    return 0;
}

int Player::cmd_get_notification_mask(const sv_message &)
{
    note(SV_NOTE_NOTIFICATION_MASK, shared->notification_mask.load(std::memory_order_relaxed));
    return 0;
}

int Player::cmd_set_debug_level(const sv_message &m)
{
    debug_level = m.n[0];
    return 0;
}

int Player::cmd_get_debug_level(const sv_message &)
{
    note(SV_NOTE_DEBUG_LEVEL, debug_level);
    return 0;
}

int Player::cmd_set_feedback_rate(const sv_message &m)
{
    feedback_rate = m.n[0];
    feedback_period_us = feedback_rate > 0 ? 1000000 / feedback_rate : 0;
    return 0;
}

int Player::cmd_get_feedback_rate(const sv_message &)
{
    note(SV_NOTE_FEEDBACK_RATE, feedback_rate);
    return 0;
}

namespace {

struct CommandHandler
{
    int code;
    int (Player::*run)(const sv_message &m);
};

// Every command the player answers itself. A code missing here is answered with -102.
const CommandHandler kCommands[] = {
    {SV_CMD_PING, &Player::cmd_ping},
    {SV_CMD_PLAY, &Player::cmd_play},
    {SV_CMD_PAUSE, &Player::cmd_pause},
    {SV_CMD_STOP, &Player::cmd_stop},
    {SV_CMD_SEEK, &Player::cmd_seek},
    {SV_CMD_INPUT_OPEN, &Player::cmd_input_open},
    {SV_CMD_INPUT_CLOSE, &Player::cmd_input_close},
    {SV_CMD_INPUT_SEND_MESSAGE, &Player::cmd_input_send_message},
    {SV_CMD_REGISTER_INPUT_FILTER, &Player::cmd_register_filter},
    {SV_CMD_REGISTER_OUTPUT_FILTER, &Player::cmd_register_filter},
    {SV_CMD_UNREGISTER_INPUT_FILTER, &Player::cmd_unregister_filter},
    {SV_CMD_UNREGISTER_OUTPUT_FILTER, &Player::cmd_unregister_filter},
    {SV_CMD_LIST_INPUT_FILTERS, &Player::cmd_list_input_filters},
    {SV_CMD_LIST_OUTPUT_FILTERS, &Player::cmd_list_output_filters},
    {SV_CMD_REGISTER_INPUT, &Player::cmd_register_module},
    {SV_CMD_REGISTER_OUTPUT, &Player::cmd_register_module},
    {SV_CMD_REGISTER_CODEC, &Player::cmd_register_module},
    {SV_CMD_QUERY_INPUT, &Player::cmd_query_input},
    {SV_CMD_QUERY_INPUTS, &Player::cmd_query_inputs},
    {SV_CMD_QUERY_OUTPUT, &Player::cmd_query_output},
    {SV_CMD_QUERY_OUTPUTS, &Player::cmd_query_outputs},
    {SV_CMD_QUERY_CODEC, &Player::cmd_query_codec},
    {SV_CMD_QUERY_CODECS, &Player::cmd_query_codecs},
    {SV_CMD_OUTPUT_OPEN, &Player::cmd_output_open},
    {SV_CMD_OUTPUT_CLOSE, &Player::cmd_output_close},
    {SV_CMD_OUTPUT_SEND_MESSAGE, &Player::cmd_output_send_message},
    {SV_CMD_OUTPUT_MUTE, &Player::cmd_output_mute},
    {SV_CMD_OUTPUT_UNMUTE, &Player::cmd_output_unmute},
    {SV_CMD_OUTPUT_RESET, &Player::cmd_output_reset},
    {SV_CMD_OUTPUT_DRAIN, &Player::cmd_output_drain},
    {SV_CMD_SET_PLAYER_MODE, &Player::cmd_set_player_mode},
    {SV_CMD_GET_PLAYER_MODE, &Player::cmd_get_player_mode},
    {SV_CMD_SET_ENV_INT, &Player::cmd_set_env_int},
    {SV_CMD_SET_ENV_STRING, &Player::cmd_set_env_string},
    {SV_CMD_UNSET_ENV, &Player::cmd_unset_env},
    {SV_CMD_GET_ENV_INT, &Player::cmd_get_env_int},
    {SV_CMD_GET_ENV_STRING, &Player::cmd_get_env_string},
    {SV_CMD_SET_INPUT_NAME, &Player::cmd_set_input_name},
    {SV_CMD_GET_INPUT_NAME, &Player::cmd_get_input_name},
    {SV_CMD_SET_INPUT_MODULE, &Player::cmd_set_input_module},
    {SV_CMD_GET_INPUT_MODULE, &Player::cmd_get_input_module},
    {SV_CMD_SET_POSITION_RANGE, &Player::cmd_set_position_range},
    {SV_CMD_GET_POSITION_RANGE, &Player::cmd_get_position_range},
    {SV_CMD_SET_TIMECODE_GRANULARITY, &Player::cmd_set_timecode_granularity},
    {SV_CMD_GET_TIMECODE_GRANULARITY, &Player::cmd_get_timecode_granularity},
    {SV_CMD_SET_OUTPUT_NAME, &Player::cmd_set_output_name},
    {SV_CMD_GET_OUTPUT_NAME, &Player::cmd_get_output_name},
    {SV_CMD_SET_OUTPUT_MODULE, &Player::cmd_set_output_module},
    {SV_CMD_GET_OUTPUT_MODULE, &Player::cmd_get_output_module},
    {SV_CMD_SET_OUTPUT_VOLUME, &Player::cmd_set_output_volume},
    {SV_CMD_GET_OUTPUT_VOLUME, &Player::cmd_get_output_volume},
    {SV_CMD_SET_CODEC_SETTING_1, &Player::cmd_set_codec_setting},
    {SV_CMD_SET_CODEC_SETTING_2, &Player::cmd_set_codec_setting},
    {SV_CMD_GET_CODEC_SETTING_1, &Player::cmd_get_codec_setting_1},
    {SV_CMD_GET_CODEC_SETTING_2, &Player::cmd_get_codec_setting_2},
    {SV_CMD_SET_OUTPUT_PORTS, &Player::cmd_set_output_ports},
    {SV_CMD_GET_OUTPUT_PORTS, &Player::cmd_get_output_ports},
    {SV_CMD_SET_CODEC_EQUALIZER, &Player::cmd_set_codec_equalizer},
    {SV_CMD_GET_CODEC_EQUALIZER, &Player::cmd_get_codec_equalizer},
    {SV_CMD_SET_CODEC_MODULE, &Player::cmd_set_codec_module},
    {SV_CMD_SET_NOTIFICATION_MASK, &Player::cmd_set_notification_mask},
    {SV_CMD_GET_NOTIFICATION_MASK, &Player::cmd_get_notification_mask},
    {SV_CMD_SET_DEBUG_LEVEL, &Player::cmd_set_debug_level},
    {SV_CMD_GET_DEBUG_LEVEL, &Player::cmd_get_debug_level},
    {SV_CMD_SET_FEEDBACK_RATE, &Player::cmd_set_feedback_rate},
    {SV_CMD_GET_FEEDBACK_RATE, &Player::cmd_get_feedback_rate},
};

} // namespace

int Player::command(const sv_message &m)
{
    for (const CommandHandler &h : kCommands)
        if (h.code == m.code)
            return (this->*h.run)(m);
    return SV_ERR_INVALID_PARAMETERS;
}

void Player::handle(const Message &msg)
{
    const int code = msg.code;
    // Every command finds the output holding all that was decoded before it.
    if (batched > 0) {
        const int w = flush_batch();
        if (w < 0 && state == SV_STATE_PLAYING)
            after_cycle(w, 0);
    }
    if (code == SV_CMD_EXIT) {
        quit = true;
        return;
    }
    if (code == SV_CMD_SYNC) {
        {
            std::lock_guard<std::mutex> lock(shared->sync_mutex);
            ++shared->sync_seen;
        }
        shared->sync_cv.notify_all();
        return;
    }
    // The feedback thread's commands go on unchanged (it answers them itself).
    const bool feedback_command =
        (code >= SV_CMD_REGISTER_FEEDBACK && code <= SV_CMD_FEEDBACK_STOP && code != SV_CMD_FEEDBACK_EXIT)
        || code == SV_CMD_FEEDBACK_SEND_MESSAGE
        || (code >= SV_CMD_SELECT_FEEDBACK_NAME && code <= SV_CMD_UNSET_FEEDBACK_ENV);
    if (feedback_command) {
        Message copy = msg;
        post_with_retry(shared->feedback_queue, std::move(copy));
        return;
    }
    // Codes the player takes without effect and without reply: the feedback thread's
    // own exit, the reserved codes and the player-to-feedback messages.
    if (code == SV_CMD_FEEDBACK_EXIT || code == SV_CMD_RESERVED_30 || code == SV_CMD_RESERVED_54
        || code == SV_CMD_RESERVED_56 || (code >= SV_FB_PAUSE_TIME && code <= SV_FB_POSITION_AT))
        return; // taken without effect and without reply
    sv_message m{};
    if (receiver.decode(msg, m) < 0)
        return;
    const int r = command(m);
    if (r >= 0)
        note(SV_NOTE_ACK, code);
    else
        note(SV_NOTE_NACK, code, r);
}

} // namespace sv
