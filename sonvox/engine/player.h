// The player thread's state: the decoder pipeline (input -> input filters -> codec ->
// output filters -> output) and what the commands set. Its work is spread by job:
// player.cpp (thread body, reports), player_chains.cpp (filter chains),
// player_pipeline.cpp (opening and closing input, codec and output),
// player_decode.cpp (the decode cycle, positions, feedback events) and
// player_commands.cpp (the table of command handlers). Player thread only.
#ifndef SONVOX_ENGINE_PLAYER_H
#define SONVOX_ENGINE_PLAYER_H

#include <cstdint>
#include <string>
#include <vector>

#include "sonvox/engine/engine_internal.h"
#include "sonvox/engine/registry.h"

namespace sv {
struct Player;
}

// One element of a filter chain as seen by a filter: the elements after it.
struct sv_filter_next
{
    sv::Player *player;
    sv_module_kind side; // SV_KIND_INPUT_FILTER or SV_KIND_OUTPUT_FILTER
    size_t index;        // the next filter's place in the chain; past the end = the module
};

namespace sv {

constexpr int kMinPcmBuffer = 4608;
constexpr int kDefaultCaps = 0x7FBFFFFF;

struct InputSlot
{
    bool open = false;
    int64_t position = 0;
    int64_t size = 0;
    int capabilities = 0;
    bool ended = false; // a read found the end of the input
    // The first bytes, read to choose the codec, of an input that cannot seek back: the
    // codec's reads get them first.
    std::vector<uint8_t> lookahead;
    size_t lookahead_at = 0;
    int64_t decoded = 0;  // samples per channel decoded since the open
    bool skipped = false; // a seek past the start: the decoded count proves nothing
    std::string name;
    ModuleEntry *module = nullptr;
    void *instance = nullptr;
};

struct OutputSlot
{
    bool open = false;
    int capabilities = 0;
    std::string name;
    ModuleEntry *module = nullptr;
    void *instance = nullptr;
};

struct CodecSlot
{
    ModuleEntry *module = nullptr;
    void *instance = nullptr;
    int block_size = kMinPcmBuffer;
    int flags = 0;
};

struct Player
{
    EngineShared *shared;
    Receiver receiver;
    Registry registry;
    sv_decoder services{};
    sv_props *environment = nullptr;
    sv_stream_info stream{};
    sv_output_block block{};
    sv_codec_settings settings{};
    std::vector<uint8_t> pcm;

    InputSlot input;
    OutputSlot output;
    CodecSlot codec;

    int state = SV_STATE_STOPPED;
    int mode = 0;
    int position_range = 400;
    int last_position = 0;
    int granularity = 100;
    int last_tc[4] = {-1, -1, -1, -1};
    int input_module = -1;
    std::string input_name;
    int volume_pcm = 255, volume_master = 255, volume_balance = 255;
    int ports = -1;
    int output_module = -1;
    std::string output_name;
    int last_duration = 0;
    int codec_module = -1;
    int feedback_rate = 0;
    int64_t feedback_period_us = 0;
    int64_t last_feedback_us = 0;
    int debug_level = 0;
    int64_t play_sec = 0, play_usec = 0;
    bool quit = false;

    // Reports of the decode cycle queued without waking the client (see quiet()).
    static constexpr int64_t kWakeGapUs = 10000;
    int64_t client_woken_us = INT64_MIN / 2;
    bool wake_owed = false;

    // Blocks for an output that takes them as fast as they come (a file: no latency, no
    // buffer of its own, no output filter) are gathered in `pcm` and written together,
    // up to kBatchBytes at a time. Anything else that reaches the output, every command
    // and the end of the stream write what was gathered first.
    static constexpr size_t kBatchBytes = 65536;
    size_t batched = 0;
    int batch_channels = 0, batch_frequency = 0;
    bool batching();
    int flush_batch();

    explicit Player(EngineShared *s);
    ~Player();

    // ---- reporting ----
    // Reports go to the client's queue in the order they are made. Most wake the client
    // (and with it every report queued before); those of the decode cycle do not.
    void notify(const sv_message &m)
    {
        if (shared->notify(m))
            wake_owed = false;
    }
    void note(int code, int a = 0, int b = 0)
    {
        sv_message m{};
        m.code = code;
        m.n[0] = a;
        m.n[1] = b;
        notify(m);
    }
    void note_string(int code, const char *text)
    {
        sv_message m{};
        m.code = code;
        m.s[0] = text;
        notify(m);
    }
    // A report of the decode cycle (position, timecode, a changed property list): queued
    // at once, but the client is woken for it at most once per kWakeGapUs. Decoding into
    // a file a cycle takes microseconds, and waking the client for each would cost more
    // than the decoding; played in real time, blocks are further apart than that and
    // each wakes the client as before.
    void quiet(const sv_message &m)
    {
        shared->notify(m, false);
        wake_owed = true;
    }
    void quiet_simple(int code, int a, int b);
    // Wakes the client when a quiet report waits and the gap has passed (`now_us` >= 0),
    // or at once (`now_us` < 0: the player is about to wait for a command).
    void wake_client(int64_t now_us = -1);
    void internal_error(const char *detail) { report_error(-1, SV_ERR_INTERNAL, "internal error", detail); }
    void report_error(int source, int code, const char *text, const char *detail);
    void set_state(int s)
    {
        if (state == s)
            return;
        state = s;
        note(SV_NOTE_PLAYER_STATE, s);
    }
    void to_feedback(const sv_message &m, bool retry);
    void feedback_time(int code);

    // ---- chains ----
    int in_open(size_t i);
    int in_close(size_t i);
    int in_read(size_t i, void *buffer, int size);
    int in_seek(size_t i, int64_t offset);
    int64_t in_size(size_t i);
    int in_caps(size_t i);
    int in_message(size_t i, int id, const void *data, int size);
    int out_open(size_t i);
    int out_close(size_t i);
    int out_write(size_t i, const void *buffer, int bytes, int bps, int channels, int frequency);
    void *out_buffer(size_t i, int size);
    int out_set_control(size_t i, const sv_output_control *c, int flags);
    int out_get_control(size_t i, sv_output_control *c, int flags);
    int out_caps(size_t i);
    int out_message(size_t i, int id, const void *data, int size);
    sv_filter_module *filter(sv_module_kind side, size_t i, void **instance, sv_filter_next *next);

    // ---- pipeline ----
    ModuleEntry *choose_stream_module(sv_module_kind kind, int selected, const std::string &name, int unsupported,
                                      int *error);
    int open_input(const std::string &name, bool force);
    void close_input();
    int choose_codec(const char *content_type, const char *name);
    std::string sniff_content_type(const char *declared);
    int read_input(void *buffer, int size);
    void report_no_audio(int result);
    int open_output(const std::string &name, bool force);
    void close_output();
    int control_output(int flags);
    void report_output_levels();
    void reset_stream();
    // `quiet`: from the decode cycle, where a changed property list is a quiet report (a
    // codec may change a property on every frame).
    void report_stream(bool quiet_properties = false);
    int seek_fraction(double x);
    int seek_offset(int64_t offset);
    void update_fraction();
    void update_timecode();
    int decode_cycle(int *samples);
    void after_cycle(int result, int samples);
    void feedback_events(int samples);
    bool grow_pcm(int size);

    // ---- commands (player_commands.cpp) ----
    void handle(const Message &msg);
    int command(const sv_message &m);
    int register_module(sv_module_kind kind, const char *name, int position);
    int cmd_ping(const sv_message &m);
    int cmd_play(const sv_message &m);
    int cmd_pause(const sv_message &m);
    int cmd_stop(const sv_message &m);
    int cmd_seek(const sv_message &m);
    int cmd_input_open(const sv_message &m);
    int cmd_input_close(const sv_message &m);
    int cmd_input_send_message(const sv_message &m);
    int cmd_register_filter(const sv_message &m);
    int cmd_unregister_filter(const sv_message &m);
    int cmd_list_input_filters(const sv_message &m);
    int cmd_list_output_filters(const sv_message &m);
    int cmd_register_module(const sv_message &m);
    int cmd_query_input(const sv_message &m);
    int cmd_query_inputs(const sv_message &m);
    int cmd_query_output(const sv_message &m);
    int cmd_query_outputs(const sv_message &m);
    int cmd_query_codec(const sv_message &m);
    int cmd_query_codecs(const sv_message &m);
    int cmd_output_open(const sv_message &m);
    int cmd_output_close(const sv_message &m);
    int cmd_output_send_message(const sv_message &m);
    int cmd_output_mute(const sv_message &m);
    int cmd_output_unmute(const sv_message &m);
    int cmd_output_reset(const sv_message &m);
    int cmd_output_drain(const sv_message &m);
    int cmd_set_player_mode(const sv_message &m);
    int cmd_get_player_mode(const sv_message &m);
    int cmd_set_env_int(const sv_message &m);
    int cmd_set_env_string(const sv_message &m);
    int cmd_unset_env(const sv_message &m);
    int cmd_get_env_int(const sv_message &m);
    int cmd_get_env_string(const sv_message &m);
    int cmd_set_input_name(const sv_message &m);
    int cmd_get_input_name(const sv_message &m);
    int cmd_set_input_module(const sv_message &m);
    int cmd_get_input_module(const sv_message &m);
    int cmd_set_position_range(const sv_message &m);
    int cmd_get_position_range(const sv_message &m);
    int cmd_set_timecode_granularity(const sv_message &m);
    int cmd_get_timecode_granularity(const sv_message &m);
    int cmd_set_output_name(const sv_message &m);
    int cmd_get_output_name(const sv_message &m);
    int cmd_set_output_module(const sv_message &m);
    int cmd_get_output_module(const sv_message &m);
    int cmd_set_output_volume(const sv_message &m);
    int cmd_get_output_volume(const sv_message &m);
    int cmd_set_codec_setting(const sv_message &m);
    int cmd_get_codec_setting_1(const sv_message &m);
    int cmd_get_codec_setting_2(const sv_message &m);
    int cmd_set_output_ports(const sv_message &m);
    int cmd_get_output_ports(const sv_message &m);
    int cmd_set_codec_equalizer(const sv_message &m);
    int cmd_get_codec_equalizer(const sv_message &m);
    int cmd_set_codec_module(const sv_message &m);
    int cmd_set_notification_mask(const sv_message &m);
    int cmd_get_notification_mask(const sv_message &m);
    int cmd_set_debug_level(const sv_message &m);
    int cmd_get_debug_level(const sv_message &m);
    int cmd_set_feedback_rate(const sv_message &m);
    int cmd_get_feedback_rate(const sv_message &m);
    int query_modules(sv_module_kind kind, int id, int info_code, int device_code);
    void list_filters(sv_module_kind kind, int code);
};

} // namespace sv

#endif
