// The player thread: its body, the services it offers modules and its reports.
#include <algorithm>
#include <cstring>
#include <string>

#include "sonvox/engine/player.h"

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
    services.read = [](void *e, void *buffer, int size) { return from(e)->read_input(buffer, size); };
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
            p->input.lookahead.clear();
            p->input.lookahead_at = 0;
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

// A codec's read: the bytes looked ahead first, then the input. All or nothing, as
// the input itself answers: at the end the looked-ahead bytes stay unread.
int Player::read_input(void *buffer, int size)
{
    if (!input.open) {
        internal_error("input not open");
        return SV_ERR_INTERNAL;
    }
    if (size <= 0 || buffer == nullptr)
        return size == 0 ? 0 : SV_ERR_INVALID_PARAMETERS;
    auto *out = static_cast<uint8_t *>(buffer);
    size_t k = 0;
    if (input.lookahead_at < input.lookahead.size()) {
        k = std::min(input.lookahead.size() - input.lookahead_at, static_cast<size_t>(size));
        std::memcpy(out, input.lookahead.data() + input.lookahead_at, k);
    }
    int n = static_cast<int>(k);
    if (n < size) {
        const int r = in_read(0, out + k, size - n);
        if (r <= 0) {
            if (r == 0)
                input.ended = true;
            return r;
        }
        n += r;
    }
    input.ended = false; // a smaller read after one that found the end may still get bytes
    input.lookahead_at += k;
    input.position += n;
    return n;
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
        while (!player->quit && !shared->player_queue.looks_empty()
               && shared->player_queue.pop(msg, std::chrono::microseconds(0)))
            player->handle(msg);
        if (player->quit)
            break;
        if (player->state == SV_STATE_PLAYING) {
            int samples = 0;
            const int r = player->decode_cycle(&samples);
            player->after_cycle(r, samples);
            continue;
        }
        player->wake_client(); // nothing more comes until a command
        if (shared->player_queue.pop(msg, std::chrono::microseconds(-1)))
            player->handle(msg);
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

int register_on_player(sv_decoder *decoder, sv_module_kind kind, const char *name, int position)
{
    auto *player = static_cast<Player *>(decoder->engine);
    if (kind == SV_KIND_FEEDBACK)
        return SV_ERR_INVALID_PARAMETERS; // feedback handlers live on the feedback thread
    return register_into(player->registry, RegistrationContext{player->shared, decoder}, kind, name, position);
}

} // namespace sv
