// The engine's client side: starting and stopping the threads, posting commands and the
// client's notification queue.
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <functional>
#include <future>
#include <new>

#include "sonvox/engine/engine_internal.h"
#include "sonvox/modules/builtin_modules.h"

namespace sv {

// ---- queues ----

bool MessageQueue::try_push(Message &&m)
{
    bool wake;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_ || queue_.size() >= capacity_)
            return false;
        queue_.push_back(std::move(m));
        count_.store(queue_.size(), std::memory_order_release);
        wake = waiting_ > 0;
    }
    if (wake)
        cv_.notify_one();
    return true;
}

bool MessageQueue::pop(Message &out, std::chrono::microseconds timeout)
{
    if (timeout.count() == 0 && looks_empty())
        return false;
    std::unique_lock<std::mutex> lock(mutex_);
    if (queue_.empty()) {
        if (timeout.count() == 0)
            return false;
        ++waiting_;
        bool got = true;
        if (timeout.count() < 0)
            cv_.wait(lock, [this] { return !queue_.empty(); });
        else
            got = cv_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
        --waiting_;
        if (!got)
            return false;
    }
    out = std::move(queue_.front());
    queue_.pop_front();
    count_.store(queue_.size(), std::memory_order_release);
    return true;
}

void MessageQueue::close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    queue_.clear();
    count_.store(0, std::memory_order_release);
}

bool MessageQueue::closed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

int post_with_retry(MessageQueue &queue, Message &&m)
{
    for (int attempt = 0; attempt < 11; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (queue.closed())
            return SV_ERR_INTERNAL;
        Message copy = attempt < 10 ? m : std::move(m);
        if (queue.try_push(std::move(copy)))
            return SV_OK;
    }
    return SV_ERR_QUEUE_FULL;
}

namespace {

// Notifications that are never dropped, however full the client's queue is.
bool essential(int code)
{
    switch (code) {
    case SV_NOTE_READY:
    case SV_NOTE_ACK:
    case SV_NOTE_NACK:
    case SV_NOTE_EXITED:
    case SV_NOTE_PLAYER_STATE:
    case SV_NOTE_CONTENT_TYPE:
    case SV_NOTE_DURATION:
    case SV_NOTE_STREAM_PARAMETERS:
    case SV_NOTE_STREAM_PROPERTIES:
    case SV_NOTE_ERROR: return true;
    default: return false;
    }
}

} // namespace

bool ClientQueue::push(Message &&m, bool wake_client)
{
    void (*wakeup)(void *) = nullptr;
    void *user = nullptr;
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const int code = m.code;
        const size_t n = queue_.size();
        if (!essential(code)) {
            const bool minor = code == SV_NOTE_PROGRESS || code == SV_NOTE_DEBUG || code == SV_NOTE_DATA;
            if (n >= kHardLimit || (minor && n >= kSoftLimit)) {
                ++dropped_;
                return false;
            }
        }
        // At most one position and one timecode wait: the newest replaces the older.
        auto *pending = code == SV_NOTE_POSITION   ? &pending_position_
                        : code == SV_NOTE_TIMECODE ? &pending_timecode_
                                                   : nullptr;
        if (pending != nullptr && *pending != queue_.end()) {
            queue_.erase(*pending);
            ++dropped_;
        }
        queue_.push_back(std::move(m));
        if (pending != nullptr)
            *pending = std::prev(queue_.end());
        if (!wake_client)
            return false;
        wakeup = wakeup_;
        user = wakeup_user_;
        wake = waiting_ > 0;
    }
    if (wake)
        cv_.notify_one();
    if (wakeup)
        wakeup(user);
    return true;
}

void ClientQueue::wake()
{
    void (*wakeup)(void *) = nullptr;
    void *user = nullptr;
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wakeup = wakeup_;
        user = wakeup_user_;
        wake = waiting_ > 0;
    }
    if (wake)
        cv_.notify_one();
    if (wakeup)
        wakeup(user);
}

bool ClientQueue::pop(Message &out, std::chrono::milliseconds timeout, bool forever)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (queue_.empty()) {
        ++waiting_;
        bool got = true;
        if (forever)
            cv_.wait(lock, [this] { return !queue_.empty(); });
        else
            got = cv_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
        --waiting_;
        if (!got)
            return false;
    }
    if (queue_.begin() == pending_position_)
        pending_position_ = queue_.end();
    if (queue_.begin() == pending_timecode_)
        pending_timecode_ = queue_.end();
    out = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

long ClientQueue::dropped() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

size_t ClientQueue::size() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

void ClientQueue::set_wakeup(void (*fn)(void *), void *user)
{
    std::lock_guard<std::mutex> lock(mutex_);
    wakeup_ = fn;
    wakeup_user_ = user;
}

TimeStamp now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return {static_cast<int64_t>(ts.tv_sec), static_cast<int64_t>(ts.tv_nsec / 1000)};
}

int current_tid()
{
    return static_cast<int>(syscall(SYS_gettid));
}

int notification_mask_bit(int code)
{
    switch (code) {
    case SV_NOTE_ACK: return SV_MASK_ACK;
    case SV_NOTE_NACK: return SV_MASK_NACK;
    case SV_NOTE_PLAYER_STATE: return SV_MASK_PLAYER_STATE;
    case SV_NOTE_INPUT_STATE: return SV_MASK_INPUT_STATE;
    case SV_NOTE_INPUT_NAME: return SV_MASK_INPUT_NAME;
    case SV_NOTE_INPUT_CAPABILITIES: return SV_MASK_INPUT_CAPABILITIES;
    case SV_NOTE_POSITION: return SV_MASK_POSITION;
    case SV_NOTE_TIMECODE: return SV_MASK_TIMECODE;
    case SV_NOTE_OUTPUT_STATE: return SV_MASK_OUTPUT_STATE;
    case SV_NOTE_OUTPUT_NAME: return SV_MASK_OUTPUT_NAME;
    case SV_NOTE_OUTPUT_CAPABILITIES: return SV_MASK_OUTPUT_CAPABILITIES;
    case SV_NOTE_OUTPUT_BALANCE: return SV_MASK_OUTPUT_BALANCE;
    case SV_NOTE_OUTPUT_PCM_LEVEL: return SV_MASK_OUTPUT_PCM_LEVEL;
    case SV_NOTE_OUTPUT_MASTER_LEVEL: return SV_MASK_OUTPUT_MASTER_LEVEL;
    case SV_NOTE_OUTPUT_PORTS: return SV_MASK_OUTPUT_PORTS;
    case SV_NOTE_CONTENT_TYPE: return SV_MASK_CONTENT_TYPE;
    case SV_NOTE_DURATION: return SV_MASK_DURATION;
    case SV_NOTE_STREAM_PARAMETERS: return SV_MASK_STREAM_PARAMETERS;
    case SV_NOTE_STREAM_PROPERTIES: return SV_MASK_STREAM_PROPERTIES;
    case SV_NOTE_PROGRESS: return SV_MASK_PROGRESS;
    case SV_NOTE_DEBUG: return SV_MASK_DEBUG;
    case SV_NOTE_ERROR: return SV_MASK_ERROR;
    case SV_NOTE_DATA: return SV_MASK_DATA;
    default: return 0;
    }
}

bool EngineShared::notify(const sv_message &m, bool wake)
{
    const int bit = notification_mask_bit(m.code);
    if (bit != 0 && (notification_mask.load(std::memory_order_relaxed) & bit) == 0)
        return false;
    Message msg;
    if (encode_message(m, msg) < 0)
        return false;
    return client.push(std::move(msg), wake);
}

void EngineShared::notify_simple(int code, int a, int b)
{
    sv_message m{};
    m.code = code;
    m.n[0] = a;
    m.n[1] = b;
    notify(m);
}

} // namespace sv

// The control handle.
struct sv_engine
{
    std::shared_ptr<sv::EngineShared> shared;
    std::thread player;
    std::thread feedback;
    bool stopped = false;
    sv::Receiver receiver; // the client's, for sv_client_next
};

using sv::EngineShared;

namespace {

bool priority_of(int level, int *nice_value)
{
    static const int kNice[] = {19, 5, 0, -5, -10};
    if (level < 0 || level > 4)
        return false;
    *nice_value = kNice[level];
    return true;
}

int start_thread(std::thread &t, std::function<void(std::promise<int> *)> body)
{
    // Shared with the new thread: it may still be leaving set_value when we go on.
    auto started = std::make_shared<std::promise<int>>();
    std::future<int> result = started->get_future();
    try {
        t = std::thread([body, started] { body(started.get()); });
    } catch (const std::system_error &) {
        return SV_ERR_OUT_OF_RESOURCES;
    }
    const int r = result.get();
    if (r < 0)
        t.join();
    return r;
}

// Waits for the engine threads to end; detaches them when they do not end in time.
int finish_threads(sv_engine *e, bool post_exit)
{
    if (e->stopped)
        return SV_OK;
    e->stopped = true;
    EngineShared &s = *e->shared;
    if (post_exit) {
        sv::Message m;
        m.code = SV_CMD_EXIT;
        sv::post_with_retry(s.player_queue, std::move(m));
    }
    bool ended;
    {
        std::unique_lock<std::mutex> lock(s.end_mutex);
        ended = s.end_cv.wait_for(lock, std::chrono::milliseconds(10000),
                                  [&] { return s.player_ended && s.feedback_ended; });
    }
    if (!ended) {
        // The threads hold their own reference to the shared state and finish alone.
        if (e->player.joinable())
            e->player.detach();
        if (e->feedback.joinable())
            e->feedback.detach();
        return SV_ERR_TIMEOUT;
    }
    if (e->player.joinable())
        e->player.join();
    if (e->feedback.joinable())
        e->feedback.join();
    return SV_OK;
}

} // namespace

extern "C" {

int sv_engine_start(sv_engine **control, const sv_start_entry *start_list)
{
    if (control == nullptr)
        return SV_ERR_INVALID_PARAMETERS;
    *control = nullptr;
    auto *e = new (std::nothrow) sv_engine();
    if (e == nullptr)
        return SV_ERR_OUT_OF_MEMORY;
    try {
        e->shared = std::make_shared<EngineShared>();
    } catch (const std::bad_alloc &) {
        delete e;
        return SV_ERR_OUT_OF_MEMORY;
    }
    auto shared = e->shared;
    shared->control = e;
    for (const sv_start_entry *s = start_list; s && s->name; ++s) {
        if (s->type != SV_START_POINTER)
            break;
        if (std::strcmp(s->name, "module-loader-hook") == 0 && s->value)
            shared->loader_hook = *static_cast<const sv_hook *>(s->value);
    }
    int r = start_thread(e->feedback, [shared](std::promise<int> *p) { sv::feedback_main(shared, p); });
    if (r < 0) {
        e->stopped = true;
        delete e;
        return r;
    }
    r = start_thread(e->player, [shared, start_list](std::promise<int> *p) { sv::player_main(shared, start_list, p); });
    if (r < 0) {
        sv::Message m;
        m.code = SV_CMD_FEEDBACK_EXIT;
        sv::post_with_retry(shared->feedback_queue, std::move(m));
        e->feedback.join();
        e->stopped = true;
        delete e;
        return r;
    }
    *control = e;
    return SV_OK;
}

int sv_engine_stop(sv_engine *control)
{
    if (control == nullptr)
        return SV_ERR_INVALID_PARAMETERS;
    return finish_threads(control, true);
}

void sv_engine_free(sv_engine *control)
{
    if (control == nullptr)
        return;
    finish_threads(control, true);
    delete control;
}

int sv_engine_sync(sv_engine *control, int timeout_ms)
{
    if (control == nullptr)
        return SV_ERR_INVALID_PARAMETERS;
    EngineShared &s = *control->shared;
    uint64_t target;
    {
        std::lock_guard<std::mutex> lock(s.sync_mutex);
        target = s.sync_seen + 1;
    }
    const int r = sv_send_none(control, SV_CMD_SYNC);
    if (r < 0)
        return r;
    std::unique_lock<std::mutex> lock(s.sync_mutex);
    return s.sync_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return s.sync_seen >= target; })
               ? SV_OK
               : SV_ERR_TIMEOUT;
}

int sv_send(sv_engine *control, const sv_message *message)
{
    if (control == nullptr || message == nullptr)
        return SV_ERR_INVALID_PARAMETERS;
    sv::Message m;
    try {
        const int r = sv::encode_message(*message, m);
        if (r < 0)
            return r;
    } catch (const std::bad_alloc &) {
        return SV_ERR_OUT_OF_MEMORY;
    }
    return sv::post_with_retry(control->shared->player_queue, std::move(m));
}

namespace {

bool shape_is(int code, const char *want)
{
    const char *shape = sv::payload_shape(code);
    return shape != nullptr && std::strcmp(shape, want) == 0;
}

int send_checked(sv_engine *control, const sv_message &m, std::initializer_list<const char *> shapes)
{
    for (const char *s : shapes)
        if (shape_is(m.code, s))
            return sv_send(control, &m);
    return SV_ERR_INVALID_MESSAGE;
}

} // namespace

int sv_send_none(sv_engine *control, int code)
{
    sv_message m{};
    m.code = code;
    return send_checked(control, m, {""});
}

int sv_send_int(sv_engine *control, int code, int value)
{
    sv_message m{};
    m.code = code;
    m.n[0] = value;
    return send_checked(control, m, {"i", "h", "b"});
}

int sv_send_string(sv_engine *control, int code, const char *text)
{
    sv_message m{};
    m.code = code;
    m.s[0] = text;
    return send_checked(control, m, {"t"});
}

int sv_send_two_ints(sv_engine *control, int code, int a, int b)
{
    sv_message m{};
    m.code = code;
    m.n[0] = a;
    m.n[1] = b;
    return send_checked(control, m, {"ii"});
}

int sv_send_name_int(sv_engine *control, int code, const char *name, int value)
{
    sv_message m{};
    m.code = code;
    m.s[0] = name;
    m.n[0] = value;
    return send_checked(control, m, {"ti"});
}

int sv_send_name_string(sv_engine *control, int code, const char *name, const char *value)
{
    sv_message m{};
    m.code = code;
    m.s[0] = name;
    m.s[1] = value;
    return send_checked(control, m, {"tt"});
}

int sv_send_string_short(sv_engine *control, int code, const char *name, int value)
{
    sv_message m{};
    m.code = code;
    m.s[0] = name;
    m.n[0] = value;
    return send_checked(control, m, {"th"});
}

int sv_send_bytes3(sv_engine *control, int code, int first, int second, int third)
{
    sv_message m{};
    m.code = code;
    m.n[0] = first;
    m.n[1] = second;
    m.n[2] = third;
    return send_checked(control, m, {"bbb"});
}

int sv_send_bytes(sv_engine *control, int code, int id, const void *data, int size)
{
    sv_message m{};
    m.code = code;
    if (shape_is(code, "d")) {
        m.data = data;
        m.size = data ? size : 0;
        return sv_send(control, &m);
    }
    m.n[0] = id;
    m.data = data;
    m.size = size;
    return send_checked(control, m, {"hd"});
}

int sv_send_register(sv_engine *control, sv_module_kind kind, const char *name, int position)
{
    switch (kind) {
    case SV_KIND_INPUT_FILTER: return sv_send_string_short(control, SV_CMD_REGISTER_INPUT_FILTER, name, position);
    case SV_KIND_OUTPUT_FILTER: return sv_send_string_short(control, SV_CMD_REGISTER_OUTPUT_FILTER, name, position);
    case SV_KIND_INPUT: return sv_send_string(control, SV_CMD_REGISTER_INPUT, name);
    case SV_KIND_OUTPUT: return sv_send_string(control, SV_CMD_REGISTER_OUTPUT, name);
    case SV_KIND_CODEC: return sv_send_string(control, SV_CMD_REGISTER_CODEC, name);
    case SV_KIND_FEEDBACK: return sv_send_string(control, SV_CMD_REGISTER_FEEDBACK, name);
    }
    return SV_ERR_INVALID_PARAMETERS;
}

int sv_client_next(sv_engine *control, sv_notification *out, int timeout_ms)
{
    if (control == nullptr || out == nullptr)
        return SV_ERR_INVALID_PARAMETERS;
    sv::Message m;
    if (!control->shared->client.pop(m, std::chrono::milliseconds(timeout_ms > 0 ? timeout_ms : 0), timeout_ms < 0))
        return 0;
    control->receiver.decode(m, *out);
    return 1;
}

long sv_client_dropped(sv_engine *control)
{
    return control ? control->shared->client.dropped() : 0;
}

void sv_client_set_wakeup(sv_engine *control, void (*fn)(void *user), void *user)
{
    if (control)
        control->shared->client.set_wakeup(fn, user);
}

int sv_version(int which)
{
    switch (which) {
    case 1: return SV_MODULE_INTERFACE_VERSION;
    case 2: return SV_CONTROL_INTERFACE_VERSION;
    case 3: return SV_LIBRARY_VERSION;
    default: return 0;
    }
}

int sv_engine_set_priority(sv_engine *control, int which, int level)
{
    int nice_value = 0;
    if (control == nullptr || (which != 0 && which != 1) || !priority_of(level, &nice_value))
        return SV_ERR_INVALID_PARAMETERS;
    const int tid = which == 0 ? control->shared->player_tid.load() : control->shared->feedback_tid.load();
    if (tid == 0)
        return SV_ERR_INTERNAL;
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice_value) != 0)
        return SV_ERR_PERMISSION_DENIED;
    return SV_OK;
}

int sv_engine_get_priority(sv_engine *control, int which)
{
    if (control == nullptr || (which != 0 && which != 1))
        return SV_PRIORITY_UNKNOWN;
    const int tid = which == 0 ? control->shared->player_tid.load() : control->shared->feedback_tid.load();
    if (tid == 0)
        return SV_PRIORITY_UNKNOWN;
    errno = 0;
    const int nice_value = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (nice_value == -1 && errno != 0)
        return SV_PRIORITY_UNKNOWN;
    if (nice_value >= 15)
        return 0;
    if (nice_value > 0)
        return 1;
    if (nice_value == 0)
        return 2;
    if (nice_value > -10)
        return 3;
    return 4;
}

int sv_register_module(sv_decoder *decoder, sv_module_kind kind, const char *name, int position)
{
    if (decoder == nullptr)
        return SV_ERR_INVALID_PARAMETERS;
    return sv::register_on_player(decoder, kind, name, position);
}

int sv_builtin_init_hook(void *, sv_engine *, sv_decoder *decoder)
{
    int registered = 0;
    for (const sv_builtin_module *const *m = sv_builtin_modules; *m != nullptr; ++m) {
        char name[64];
        if (sv_module_address_name((*m)->entry, name, sizeof name) < 0)
            continue;
        if (sv_register_module(decoder, (*m)->kind, name, 0) >= 0)
            ++registered;
    }
    return registered;
}

const sv_start_entry *sv_builtin_start_list(void)
{
    static const sv_hook hook = {nullptr, reinterpret_cast<void *>(&sv_builtin_init_hook)};
    static const sv_start_entry list[] = {
        {"init-hook", &hook, SV_START_POINTER},
        {nullptr, nullptr, 0},
    };
    return list;
}

} // extern "C"
