// The player thread: owns the decoder pipeline (input -> input filters -> codec ->
// output filters -> output), answers the client's commands and plays.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
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
namespace {

constexpr int kMinPcmBuffer = 4608;
constexpr int kDefaultCaps = 0x7FBFFFFF;

struct InputSlot
{
    bool open = false;
    int64_t position = 0;
    int64_t size = 0;
    int capabilities = 0;
    bool ended = false; // a read found the end of the input
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

} // namespace

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

    explicit Player(EngineShared *s);
    ~Player();

    // ---- reporting ----
    void notify(const sv_message &m) { shared->notify(m); }
    void note(int code, int a = 0, int b = 0) { shared->notify_simple(code, a, b); }
    void note_string(int code, const char *text)
    {
        sv_message m{};
        m.code = code;
        m.s[0] = text;
        notify(m);
    }
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
    int open_output(const std::string &name, bool force);
    void close_output();
    int control_output(int flags);
    void report_output_levels();
    void reset_stream();
    void report_stream();
    int seek_fraction(double x);
    int seek_offset(int64_t offset);
    void update_fraction();
    void update_timecode();
    int decode_cycle(int *samples);
    void after_cycle(int result, int samples);
    void feedback_events(int samples);
    bool grow_pcm(int size);

    // ---- commands ----
    void handle(const Message &msg);
    int command(const sv_message &m);
    int query_modules(sv_module_kind kind, int id, int info_code, int device_code);
    void list_filters(sv_module_kind kind, int code);
};

} // namespace sv

namespace sv {

namespace {

Player *from(void *engine)
{
    return static_cast<Player *>(engine);
}

std::string format_report(const char *text, const char *detail)
{
    std::string s = text ? text : "";
    if (detail != nullptr && detail[0] != '\0')
        s += std::string(" (") + detail + ")";
    if (s.size() > 1024)
        s.resize(1024);
    return s;
}

} // namespace

Player::Player(EngineShared *s)
    : shared(s)
{
    environment = sv_props_new();
    stream.properties = sv_props_new();
    std::strcpy(stream.content_type, "unknown");
    pcm.resize(kMinPcmBuffer);
    services.engine = this;
    services.progress = [](void *e, int source, int code, int value, const char *text) {
        sv_message m{};
        m.code = SV_NOTE_PROGRESS;
        m.n[0] = source;
        m.n[1] = code;
        m.n[2] = value;
        m.s[0] = text;
        from(e)->notify(m);
    };
    services.debug = [](void *e, int source, int level, const char *text, const char *detail) {
        Player *p = from(e);
        if (level > p->debug_level)
            return;
        const std::string s = format_report(text, detail);
        sv_message m{};
        m.code = SV_NOTE_DEBUG;
        m.n[0] = source;
        m.n[1] = level;
        m.s[0] = s.c_str();
        p->notify(m);
    };
    services.error = [](void *e, int source, int code, const char *text, const char *detail) {
        from(e)->report_error(source, code, text, detail);
    };
    services.data = [](void *e, int source, int id, const void *data, int size) {
        sv_message m{};
        m.code = SV_NOTE_DATA;
        m.n[0] = source;
        m.n[1] = id;
        m.data = data;
        m.size = size;
        from(e)->notify(m);
    };
    services.read = [](void *e, void *buffer, int size) {
        Player *p = from(e);
        if (!p->input.open) {
            p->internal_error("input not open");
            return SV_ERR_INTERNAL;
        }
        if (size <= 0 || buffer == nullptr)
            return size == 0 ? 0 : SV_ERR_INVALID_PARAMETERS;
        const int n = p->in_read(0, buffer, size);
        if (n > 0)
            p->input.position += n;
        else if (n == 0)
            p->input.ended = true;
        return n;
    };
    services.seek = [](void *e, int64_t offset) {
        Player *p = from(e);
        if (!p->input.open) {
            p->internal_error("input not open");
            return SV_ERR_INTERNAL;
        }
        const int r = p->in_seek(0, offset);
        if (r >= 0) {
            p->input.position = offset;
            p->input.ended = false;
        }
        return r;
    };
    services.position = [](void *e) { return from(e)->input.position; };
    services.size = [](void *e) { return from(e)->input.size; };
    services.capabilities = [](void *e) { return from(e)->input.capabilities; };
    services.environment = environment;
    services.stream = &stream;
}

Player::~Player()
{
    close_input();
    close_output();
    if (codec.instance)
        codec.module->entry.d.codec.destroy(codec.instance);
    sv_props_free(stream.properties);
    sv_props_free(environment);
}

void Player::report_error(int source, int code, const char *text, const char *detail)
{
    const std::string s = format_report(text, detail);
    sv_message m{};
    m.code = SV_NOTE_ERROR;
    m.n[0] = source;
    m.n[1] = code;
    m.s[0] = s.c_str();
    notify(m);
}

void Player::to_feedback(const sv_message &m, bool retry)
{
    Message msg;
    if (encode_message(m, msg) < 0)
        return;
    if (retry)
        post_with_retry(shared->feedback_queue, std::move(msg));
    else
        shared->feedback_queue.try_push(std::move(msg)); // the player never waits for events
}

void Player::feedback_time(int code)
{
    const TimeStamp t = now();
    sv_message m{};
    m.code = code;
    m.n[0] = static_cast<int>(t.sec);
    m.n[1] = static_cast<int>(t.usec);
    to_feedback(m, true);
}

// ---- filter chains ----

sv_filter_module *Player::filter(sv_module_kind side, size_t i, void **instance, sv_filter_next *next)
{
    auto &chain = registry.list(side);
    if (i >= chain.size())
        return nullptr;
    *instance = chain[i]->entry.instance;
    *next = sv_filter_next{this, side, i + 1};
    return &chain[i]->entry.d.filter;
}

#define SV_THROUGH_FILTER(side, slot, ...)                                                                             \
    do {                                                                                                               \
        void *fi = nullptr;                                                                                            \
        sv_filter_next nx{};                                                                                           \
        for (size_t k = i;; ++k) {                                                                                     \
            sv_filter_module *f = filter(side, k, &fi, &nx);                                                           \
            if (f == nullptr)                                                                                          \
                break;                                                                                                 \
            if (f->slot != nullptr)                                                                                    \
                return f->slot(fi, &nx, ##__VA_ARGS__);                                                                \
        }                                                                                                              \
    } while (0)

int Player::in_open(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, open);
    return input.module->entry.d.input.open(input.instance);
}
int Player::in_close(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, close);
    return input.module->entry.d.input.close(input.instance);
}
int Player::in_read(size_t i, void *buffer, int size)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, read, buffer, size);
    return input.module->entry.d.input.read(input.instance, buffer, size);
}
int Player::in_seek(size_t i, int64_t offset)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, seek, offset);
    if (input.module->entry.d.input.seek == nullptr)
        return -1;
    return input.module->entry.d.input.seek(input.instance, offset);
}
int64_t Player::in_size(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, get_size);
    const auto &d = input.module->entry.d.input;
    return d.get_size ? d.get_size(input.instance) : 0;
}
int Player::in_caps(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, get_capabilities);
    const auto &d = input.module->entry.d.input;
    return d.get_capabilities ? d.get_capabilities(input.instance) : 0;
}
int Player::in_message(size_t i, int id, const void *data, int size)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, send_message, id, data, size);
    const auto &d = input.module->entry.d.input;
    return d.send_message ? d.send_message(input.instance, id, data, size) : -1;
}
int Player::out_open(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, open);
    return output.module->entry.d.output.open(output.instance);
}
int Player::out_close(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, close);
    return output.module->entry.d.output.close(output.instance);
}
int Player::out_write(size_t i, const void *buffer, int bytes, int bps, int channels, int frequency)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, write, buffer, bytes, bps, channels, frequency);
    return output.module->entry.d.output.write(output.instance, buffer, bytes, bps, channels, frequency);
}
void *Player::out_buffer(size_t i, int size)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, get_buffer, size);
    const auto &d = output.module->entry.d.output;
    if (d.get_buffer)
        return d.get_buffer(output.instance, size);
    return grow_pcm(size) ? pcm.data() : nullptr;
}
int Player::out_set_control(size_t i, const sv_output_control *c, int flags)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, set_control, c, flags);
    const auto &d = output.module->entry.d.output;
    return d.set_control ? d.set_control(output.instance, c, flags) : 0;
}
int Player::out_get_control(size_t i, sv_output_control *c, int flags)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, get_control, c, flags);
    const auto &d = output.module->entry.d.output;
    if (d.get_control)
        return d.get_control(output.instance, c, flags);
    c->channels = 2;
    c->master_level = 100;
    c->pcm_level = 100;
    c->balance = 50;
    c->ports = 1;
    return 0;
}
int Player::out_caps(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, get_capabilities);
    const auto &d = output.module->entry.d.output;
    return d.get_capabilities ? d.get_capabilities(output.instance) : kDefaultCaps;
}
int Player::out_message(size_t i, int id, const void *data, int size)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, send_message, id, data, size);
    const auto &d = output.module->entry.d.output;
    return d.send_message ? d.send_message(output.instance, id, data, size) : -1;
}

#undef SV_THROUGH_FILTER

bool Player::grow_pcm(int size)
{
    if (size < 0)
        return false;
    try {
        if (pcm.size() < static_cast<size_t>(size))
            pcm.resize(static_cast<size_t>(size));
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

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
    if (!force && input.open && input.module == chosen && input.name == name) {
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
        const std::string content_type = ctype;
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

// ---- stream reports, position and seeking ----

void Player::report_stream()
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
    void *buffer = out_buffer(0, codec.block_size);
    if (buffer == nullptr)
        return SV_ERR_OUT_OF_MEMORY;
    if (!input.open || codec.instance == nullptr) {
        internal_error("input not open");
        return SV_ERR_INTERNAL;
    }
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
    if (n > 0) {
        const int bytes = 2 * n * block.channels;
        const int w = out_write(0, buffer, bytes, 2, block.channels, block.frequency);
        if (w < 0)
            return w;
    }
    *samples = n;
    return result;
}

void Player::feedback_events(int samples)
{
    const int mask = shared->notification_mask.load(std::memory_order_relaxed);
    const int64_t at = now().total_us() + static_cast<int64_t>(block.latency_ms) * 1000;
    const TimeStamp t = TimeStamp::from_us(at);
    const bool tc_changed = stream.tc_hours != last_tc[0] || stream.tc_minutes != last_tc[1]
                            || stream.tc_seconds != last_tc[2] || stream.tc_hundredths != last_tc[3];
    if ((mask & SV_MASK_FEEDBACK_TIMECODE) && tc_changed) {
        sv_message m{};
        m.code = 137;
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
        m.code = 138;
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
    m.code = 135;
    m.n[0] = static_cast<int>(t.sec);
    m.n[1] = static_cast<int>(t.usec);
    m.n[2] = block.frequency;
    m.n[3] = channels;
    m.n[4] = 256;
    m.data = bytes;
    m.size = 256 * channels;
    to_feedback(m, false);
}

void Player::after_cycle(int result, int samples)
{
    if (result == 0 || result == SV_ERR_INVALID_FRAME || result == SV_ERR_TIMEOUT) {
        feedback_events(samples);
        report_stream();
        const int offset = std::min(position_range, static_cast<int>(position_range * stream.position));
        if (offset != last_position) {
            last_position = offset;
            note(SV_NOTE_POSITION, offset, position_range);
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
            notify(m);
        }
        return;
    }
    set_state(SV_STATE_END_OF_STREAM);
    if ((mode & SV_MODE_CLOSE_AT_END) && output.open) {
        control_output(SV_CTL_DRAIN);
        close_output();
    }
}

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

int Player::command(const sv_message &m)
{
    auto reg = [&](sv_module_kind kind, int position) {
        const int r = register_into(registry, RegistrationContext{shared, &services}, kind, m.s[0], position);
        return r;
    };
    switch (m.code) {
    case SV_CMD_PING: note_string(SV_NOTE_PONG, m.s[0]); return 0;
    case SV_CMD_PLAY: {
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
        feedback_time(132);
        set_state(SV_STATE_PLAYING);
        return 0;
    }
    case SV_CMD_PAUSE:
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
            f.code = 133;
            to_feedback(f, true);
        } else {
            feedback_time(131);
            if (output.open)
                control_output(SV_CTL_PAUSE);
        }
        set_state(SV_STATE_PAUSED);
        return 0;
    case SV_CMD_STOP: {
        if (!input.open) {
            internal_error("input not open");
            return SV_ERR_INTERNAL;
        }
        if (output.open)
            control_output(SV_CTL_RESET);
        sv_message f{};
        f.code = 133;
        to_feedback(f, true);
        // A paused feedback queue must not stay paused after a stop.
        feedback_time(132);
        if ((mode & SV_MODE_CLOSE_ON_STOP) && output.open)
            close_output();
        seek_offset(0);
        set_state(SV_STATE_STOPPED);
        return 0;
    }
    case SV_CMD_SEEK: {
        if (!input.open) {
            internal_error("input not open");
            return SV_ERR_INTERNAL;
        }
        if (m.n[1] <= 0)
            return SV_ERR_INVALID_PARAMETERS;
        if ((state == SV_STATE_PLAYING || state == SV_STATE_PAUSED) && output.open) {
            control_output(SV_CTL_RESET);
            sv_message f{};
            f.code = 133;
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
    case SV_CMD_INPUT_OPEN: return open_input(m.s[0][0] ? std::string(m.s[0]) : input_name, false);
    case SV_CMD_INPUT_CLOSE:
        close_input();
        set_state(SV_STATE_STOPPED);
        return 0;
    case SV_CMD_INPUT_SEND_MESSAGE:
        if (!input.open) {
            internal_error("input not open");
            return SV_ERR_INTERNAL;
        }
        return in_message(0, m.n[0], m.data, m.size);
    case SV_CMD_REGISTER_INPUT_FILTER:
    case SV_CMD_REGISTER_OUTPUT_FILTER: {
        const sv_module_kind kind =
            m.code == SV_CMD_REGISTER_INPUT_FILTER ? SV_KIND_INPUT_FILTER : SV_KIND_OUTPUT_FILTER;
        const int id = reg(kind, m.n[0]);
        if (id < 0)
            return id;
        sv_message o{};
        o.code = kind == SV_KIND_INPUT_FILTER ? SV_NOTE_INPUT_FILTER_INFO : SV_NOTE_OUTPUT_FILTER_INFO;
        o.s[0] = m.s[0];
        o.n[0] = id;
        notify(o);
        return 0;
    }
    case SV_CMD_UNREGISTER_INPUT_FILTER:
    case SV_CMD_UNREGISTER_OUTPUT_FILTER: {
        const sv_module_kind kind =
            m.code == SV_CMD_UNREGISTER_INPUT_FILTER ? SV_KIND_INPUT_FILTER : SV_KIND_OUTPUT_FILTER;
        ModuleEntry *e = registry.remove_filter(kind, m.s[0], m.n[0]);
        if (e == nullptr)
            return SV_ERR_PLUGIN_NOT_FOUND;
        if (e->entry.instance)
            e->entry.d.filter.destroy(e->entry.instance);
        delete e;
        return 0;
    }
    case SV_CMD_LIST_INPUT_FILTERS: list_filters(SV_KIND_INPUT_FILTER, SV_NOTE_INPUT_FILTER_INFO); return 0;
    case SV_CMD_LIST_OUTPUT_FILTERS: list_filters(SV_KIND_OUTPUT_FILTER, SV_NOTE_OUTPUT_FILTER_INFO); return 0;
    case SV_CMD_REGISTER_INPUT:
    case SV_CMD_REGISTER_OUTPUT:
    case SV_CMD_REGISTER_CODEC: {
        const sv_module_kind kind = m.code == SV_CMD_REGISTER_INPUT    ? SV_KIND_INPUT
                                    : m.code == SV_CMD_REGISTER_OUTPUT ? SV_KIND_OUTPUT
                                                                       : SV_KIND_CODEC;
        const int id = reg(kind, 0);
        return id < 0 ? id : 0;
    }
    case SV_CMD_QUERY_INPUT: return m.n[0] < 0 ? SV_ERR_PLUGIN_NOT_FOUND : query_modules(SV_KIND_INPUT, m.n[0], 90, 91);
    case SV_CMD_QUERY_INPUTS: return query_modules(SV_KIND_INPUT, -1, 90, 91);
    case SV_CMD_QUERY_OUTPUT:
        return m.n[0] < 0 ? SV_ERR_PLUGIN_NOT_FOUND : query_modules(SV_KIND_OUTPUT, m.n[0], 107, 108);
    case SV_CMD_QUERY_OUTPUTS: return query_modules(SV_KIND_OUTPUT, -1, 107, 108);
    case SV_CMD_QUERY_CODEC:
        return m.n[0] < 0 ? SV_ERR_PLUGIN_NOT_FOUND : query_modules(SV_KIND_CODEC, m.n[0], 117, 118);
    case SV_CMD_QUERY_CODECS: return query_modules(SV_KIND_CODEC, -1, 117, 118);
    case SV_CMD_OUTPUT_OPEN: return open_output(m.s[0][0] ? std::string(m.s[0]) : output_name, false);
    case SV_CMD_OUTPUT_CLOSE: close_output(); return 0;
    case SV_CMD_OUTPUT_SEND_MESSAGE:
        if (!output.open) {
            internal_error("output not open");
            return SV_ERR_INTERNAL;
        }
        return out_message(0, m.n[0], m.data, m.size);
    case SV_CMD_OUTPUT_MUTE: return control_output(SV_CTL_MUTE);
    case SV_CMD_OUTPUT_UNMUTE: return control_output(SV_CTL_UNMUTE);
    case SV_CMD_OUTPUT_RESET: {
        sv_message f{};
        f.code = 133;
        to_feedback(f, true);
        return control_output(SV_CTL_RESET);
    }
    case SV_CMD_OUTPUT_DRAIN: return control_output(SV_CTL_DRAIN);
    case SV_CMD_SET_PLAYER_MODE: mode = m.n[0]; return 0;
    case SV_CMD_GET_PLAYER_MODE: note(SV_NOTE_PLAYER_MODE, mode); return 0;
    case SV_CMD_SET_ENV_INT: return sv_props_set_int(environment, m.s[0], m.n[0]);
    case SV_CMD_SET_ENV_STRING: return sv_props_set_string(environment, m.s[0], m.s[1]);
    case SV_CMD_UNSET_ENV: return sv_props_unset(environment, m.s[0]);
    case SV_CMD_GET_ENV_INT: {
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
    case SV_CMD_GET_ENV_STRING: {
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
    case SV_CMD_SET_INPUT_NAME: input_name = m.s[0]; return input.open ? open_input(input_name, false) : 0;
    case SV_CMD_GET_INPUT_NAME: note_string(SV_NOTE_INPUT_NAME, input_name.c_str()); return 0;
    case SV_CMD_SET_INPUT_MODULE:
        if (m.n[0] != -1 && registry.find(SV_KIND_INPUT, m.n[0]) == nullptr)
            return SV_ERR_PLUGIN_NOT_FOUND;
        input_module = m.n[0];
        return input.open ? open_input(input_name, true) : 0;
    case SV_CMD_GET_INPUT_MODULE: note(SV_NOTE_INPUT_MODULE, input_module); return 0;
    case SV_CMD_SET_POSITION_RANGE:
        if (m.n[0] <= 0)
            return SV_ERR_INVALID_PARAMETERS;
        position_range = m.n[0];
        return 0;
    case SV_CMD_GET_POSITION_RANGE: note(SV_NOTE_POSITION_RANGE, position_range); return 0;
    case SV_CMD_SET_TIMECODE_GRANULARITY:
        if (m.n[0] <= 0)
            return SV_ERR_INVALID_PARAMETERS;
        granularity = m.n[0];
        return 0;
    case SV_CMD_GET_TIMECODE_GRANULARITY: note(SV_NOTE_TIMECODE_GRANULARITY, granularity); return 0;
    case SV_CMD_SET_OUTPUT_NAME: output_name = m.s[0]; return output.open ? open_output(output_name, false) : 0;
    case SV_CMD_GET_OUTPUT_NAME: note_string(SV_NOTE_OUTPUT_NAME, output_name.c_str()); return 0;
    case SV_CMD_SET_OUTPUT_MODULE:
        if (m.n[0] != -1 && registry.find(SV_KIND_OUTPUT, m.n[0]) == nullptr)
            return SV_ERR_PLUGIN_NOT_FOUND;
        output_module = m.n[0];
        return output.open ? open_output(output_name, true) : 0;
    case SV_CMD_GET_OUTPUT_MODULE: note(SV_NOTE_OUTPUT_MODULE, output_module); return 0;
    case SV_CMD_SET_OUTPUT_VOLUME: {
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
    case SV_CMD_GET_OUTPUT_VOLUME: {
        sv_output_control c{};
        if (output.open)
            out_get_control(0, &c, SV_CTL_BALANCE | SV_CTL_PCM_LEVEL | SV_CTL_MASTER_LEVEL);
        note(SV_NOTE_OUTPUT_BALANCE, volume_balance != 255 ? volume_balance : output.open ? c.balance : 50);
        note(SV_NOTE_OUTPUT_PCM_LEVEL, volume_pcm != 255 ? volume_pcm : output.open ? c.pcm_level : 100);
        note(SV_NOTE_OUTPUT_MASTER_LEVEL, volume_master != 255 ? volume_master : output.open ? c.master_level : 100);
        return 0;
    }
    case SV_CMD_SET_CODEC_SETTING_1:
    case SV_CMD_SET_CODEC_SETTING_2: {
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
    case SV_CMD_GET_CODEC_SETTING_1: note(SV_NOTE_CODEC_SETTING_1, settings.setting1); return 0;
    case SV_CMD_GET_CODEC_SETTING_2: note(SV_NOTE_CODEC_SETTING_2, settings.setting2); return 0;
    case SV_CMD_SET_OUTPUT_PORTS: ports = m.n[0]; return output.open ? control_output(SV_CTL_PORTS) : 0;
    case SV_CMD_GET_OUTPUT_PORTS: {
        sv_output_control c{};
        if (output.open)
            out_get_control(0, &c, SV_CTL_PORTS);
        note(SV_NOTE_OUTPUT_PORTS, ports >= 0 ? ports : output.open ? c.ports : 1);
        return 0;
    }
    case SV_CMD_SET_CODEC_EQUALIZER: {
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
    case SV_CMD_GET_CODEC_EQUALIZER: {
        sv_message o{};
        o.code = SV_NOTE_CODEC_EQUALIZER;
        if (settings.has_equalizer) {
            o.data = settings.equalizer;
            o.size = 64;
        }
        notify(o);
        return 0;
    }
    case SV_CMD_SET_CODEC_MODULE:
        if (m.n[0] != -1 && registry.find(SV_KIND_CODEC, m.n[0]) == nullptr)
            return SV_ERR_PLUGIN_NOT_FOUND;
        codec_module = m.n[0];
        note(SV_NOTE_CODEC_MODULE, codec_module);
        return input.open ? open_input(input_name, true) : 0;
    case SV_CMD_SET_NOTIFICATION_MASK: shared->notification_mask.store(m.n[0], std::memory_order_relaxed); return 0;
    case SV_CMD_GET_NOTIFICATION_MASK:
        note(SV_NOTE_NOTIFICATION_MASK, shared->notification_mask.load(std::memory_order_relaxed));
        return 0;
    case SV_CMD_SET_DEBUG_LEVEL: debug_level = m.n[0]; return 0;
    case SV_CMD_GET_DEBUG_LEVEL: note(SV_NOTE_DEBUG_LEVEL, debug_level); return 0;
    case SV_CMD_SET_FEEDBACK_RATE:
        feedback_rate = m.n[0];
        feedback_period_us = feedback_rate > 0 ? 1000000 / feedback_rate : 0;
        return 0;
    case SV_CMD_GET_FEEDBACK_RATE: note(SV_NOTE_FEEDBACK_RATE, feedback_rate); return 0;
    default: return SV_ERR_INVALID_PARAMETERS;
    }
}

void Player::handle(const Message &msg)
{
    const int code = msg.code;
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
    if ((code >= 125 && code <= 130 && code != 128) || code == 134 || (code >= 141 && code <= 149)) {
        Message copy = msg;
        post_with_retry(shared->feedback_queue, std::move(copy));
        return;
    }
    if (code == 128 || code == 30 || code == 54 || code == 56 || (code >= 131 && code <= 138))
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

void player_main(std::shared_ptr<EngineShared> shared, const sv_start_entry *start_list, std::promise<int> *started)
{
    shared->player_tid = current_tid();
    // Highest priority this process may set; a refusal is not an error.
    sv_engine_set_priority(shared->control, 0, 4);
    auto *player = new (std::nothrow) Player(shared.get());
    if (player == nullptr || player->environment == nullptr || player->stream.properties == nullptr) {
        delete player;
        started->set_value(SV_ERR_OUT_OF_MEMORY);
        return;
    }
    for (const sv_start_entry *e = start_list; e && e->name; ++e) {
        if (e->type != SV_START_POINTER)
            break;
        const auto *hook = static_cast<const sv_hook *>(e->value);
        if (std::strcmp(e->name, "init-hook") == 0 && hook && hook->fn)
            reinterpret_cast<sv_init_hook_fn>(hook->fn)(hook->user, shared->control, &player->services);
        // "module-loader-hook" was taken when the engine started.
    }
    started->set_value(0);
    player->note(SV_NOTE_READY);

    while (!player->quit) {
        Message msg;
        while (!player->quit && shared->player_queue.pop(msg, std::chrono::microseconds(0)))
            player->handle(msg);
        if (player->quit)
            break;
        if (player->state == SV_STATE_PLAYING) {
            int samples = 0;
            const int r = player->decode_cycle(&samples);
            player->after_cycle(r, samples);
        } else if (shared->player_queue.pop(msg, std::chrono::microseconds(-1))) {
            player->handle(msg);
        }
    }
    shared->player_queue.close();
    delete player;
    shared->notify_simple(SV_NOTE_EXITED);
    sv_message bye{};
    bye.code = SV_CMD_FEEDBACK_EXIT;
    Message m;
    encode_message(bye, m);
    post_with_retry(shared->feedback_queue, std::move(m));
    {
        std::unique_lock<std::mutex> lock(shared->end_mutex);
        shared->end_cv.wait_for(lock, std::chrono::milliseconds(10000), [&] { return shared->feedback_ended; });
        shared->player_ended = true;
    }
    shared->end_cv.notify_all();
}

} // namespace sv

// ---- what a filter calls to reach the rest of its chain ----

extern "C" {

int sv_next_open(sv_filter_next *next)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_open(next->index)
                                              : next->player->out_open(next->index);
}
int sv_next_close(sv_filter_next *next)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_close(next->index)
                                              : next->player->out_close(next->index);
}
int sv_next_read(sv_filter_next *next, void *buffer, int size)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_read(next->index, buffer, size) : SV_ERR_INTERNAL;
}
int sv_next_seek(sv_filter_next *next, int64_t offset)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_seek(next->index, offset) : SV_ERR_INTERNAL;
}
int64_t sv_next_get_size(sv_filter_next *next)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_size(next->index) : 0;
}
int sv_next_get_capabilities(sv_filter_next *next)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_caps(next->index)
                                              : next->player->out_caps(next->index);
}
int sv_next_send_message(sv_filter_next *next, int id, const void *data, int size)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_message(next->index, id, data, size)
                                              : next->player->out_message(next->index, id, data, size);
}
int sv_next_write(sv_filter_next *next, const void *buffer, int bytes, int bytes_per_sample, int channels,
                  int frequency)
{
    return next->side == SV_KIND_OUTPUT_FILTER
               ? next->player->out_write(next->index, buffer, bytes, bytes_per_sample, channels, frequency)
               : SV_ERR_INTERNAL;
}
void *sv_next_get_buffer(sv_filter_next *next, int size)
{
    return next->side == SV_KIND_OUTPUT_FILTER ? next->player->out_buffer(next->index, size) : nullptr;
}
int sv_next_set_control(sv_filter_next *next, const sv_output_control *control, int flags)
{
    return next->side == SV_KIND_OUTPUT_FILTER ? next->player->out_set_control(next->index, control, flags)
                                               : SV_ERR_INTERNAL;
}
int sv_next_get_control(sv_filter_next *next, sv_output_control *control, int flags)
{
    return next->side == SV_KIND_OUTPUT_FILTER ? next->player->out_get_control(next->index, control, flags)
                                               : SV_ERR_INTERNAL;
}

} // extern "C"

namespace sv {

int register_on_player(sv_decoder *decoder, sv_module_kind kind, const char *name, int position)
{
    auto *player = static_cast<Player *>(decoder->engine);
    if (kind == SV_KIND_FEEDBACK)
        return SV_ERR_INVALID_PARAMETERS; // feedback handlers live on the feedback thread
    return register_into(player->registry, RegistrationContext{player->shared, decoder}, kind, name, position);
}

} // namespace sv
