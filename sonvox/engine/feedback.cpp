// The feedback thread: keeps the feedback handler, its environment and the queue of
// timed audio events, and hands each event to the handler when it becomes audible.
#include <cstring>
#include <string>

#include "sonvox/engine/engine_internal.h"
#include "sonvox/engine/feedback_queue.h"
#include "sonvox/engine/registry.h"

namespace sv {

namespace {

class Feedback
{
public:
    explicit Feedback(EngineShared *shared)
        : shared_(shared)
    {
        env_ = sv_props_new();
        callbacks_.context = this;
        callbacks_.get_int = [](void *c, const char *name, int *value) {
            return sv_props_get_int(static_cast<Feedback *>(c)->env_, name, value);
        };
        callbacks_.get_string = [](void *c, const char *name, char *buffer, int size) {
            return sv_props_get_string(static_cast<Feedback *>(c)->env_, name, buffer, size);
        };
        callbacks_.add_watcher = [](void *c, const char *name, sv_prop_watcher fn, void *user) {
            return sv_props_add_watcher(static_cast<Feedback *>(c)->env_, name, fn, user);
        };
        callbacks_.remove_watcher = [](void *c, const char *name, sv_prop_watcher fn, void *user) {
            return sv_props_remove_watcher(static_cast<Feedback *>(c)->env_, name, fn, user);
        };
        callbacks_.post = [](void *c, int id, const void *data, int size) {
            auto *self = static_cast<Feedback *>(c);
            sv_message m{};
            m.code = SV_NOTE_DATA;
            m.n[0] = self->handler_ ? self->handler_->entry.id : 0;
            m.n[1] = id;
            m.data = data;
            m.size = size;
            self->shared_->notify(m);
            return 0;
        };
    }

    ~Feedback()
    {
        delete_handler();
        sv_props_free(env_);
    }

    bool ok() const { return env_ != nullptr; }

    // Handles one message; false when the thread is to end.
    bool handle(const Message &msg)
    {
        sv_message m{};
        if (receiver_.decode(msg, m) < 0)
            return true;
        switch (m.code) {
        case SV_CMD_FEEDBACK_EXIT: return false;
        case SV_CMD_SYNC: return true;
        case SV_FB_PAUSE_TIME: queue_.pause(TimeStamp{m.n[0], m.n[1]}.total_us()); return true;
        case SV_FB_PLAY_TIME: queue_.resume(TimeStamp{m.n[0], m.n[1]}.total_us()); return true;
        case SV_FB_FLUSH: queue_.flush(); return true;
        case SV_FB_AUDIO_EVENT:
            queue_.add(TimeStamp{m.n[0], m.n[1]}.total_us(), m.n[2], m.n[3], m.n[4], m.data, m.size);
            return true;
        case SV_FB_TIMECODE_EVENT:
        case SV_FB_TIMECODE_AT:
        case SV_FB_POSITION_AT: return true;
        default: break;
        }
        const int r = command(m);
        if (r == 0)
            shared_->notify_simple(SV_NOTE_ACK, m.code);
        else
            shared_->notify_simple(SV_NOTE_NACK, m.code, r);
        return true;
    }

    void deliver()
    {
        const FeedbackQueue::Event *e = queue_.take_due(now().total_us() + 3000);
        if (e == nullptr || handler_ == nullptr || !running_)
            return;
        sv_feedback_event ev{};
        ev.type = e->type;
        ev.seconds = static_cast<int>(e->time_us / 1000000);
        ev.microseconds = static_cast<int>(e->time_us % 1000000);
        ev.frequency = e->frequency;
        ev.channels = e->channels;
        ev.samples_per_channel = e->samples_per_channel;
        ev.samples = e->samples.data();
        handler_->entry.d.feedback.event(instance_, &ev);
    }

    // How long to wait for the next message: until the next event is 1 ms away.
    std::chrono::microseconds wait_time() const
    {
        if (queue_.size() == 0 || queue_.paused())
            return std::chrono::microseconds(-1);
        const int64_t left = queue_.earliest() - 1000 - now().total_us();
        return std::chrono::microseconds(left > 0 ? left : 0);
    }

private:
    int command(const sv_message &m)
    {
        switch (m.code) {
        case SV_CMD_REGISTER_FEEDBACK: {
            const int r = register_into(registry_, RegistrationContext{shared_, nullptr}, SV_KIND_FEEDBACK, m.s[0], 0);
            return r < 0 ? r : 0;
        }
        case SV_CMD_QUERY_FEEDBACK: {
            ModuleEntry *e = registry_.find(SV_KIND_FEEDBACK, m.n[0]);
            if (e == nullptr)
                return SV_ERR_PLUGIN_NOT_FOUND;
            query(e);
            return 0;
        }
        case SV_CMD_QUERY_FEEDBACKS:
            for (ModuleEntry *e : registry_.list(SV_KIND_FEEDBACK))
                query(e);
            return 0;
        case SV_CMD_FEEDBACK_START: {
            if (instance_ == nullptr) {
                const int r = create_handler();
                if (r < 0)
                    return r;
            }
            if (handler_->entry.d.feedback.start) {
                const int r = handler_->entry.d.feedback.start(instance_);
                if (r < 0)
                    return r;
            }
            running_ = true;
            shared_->notify_simple(SV_NOTE_FEEDBACK_STATE, 0);
            return 0;
        }
        case SV_CMD_FEEDBACK_STOP:
            stop_handler();
            shared_->notify_simple(SV_NOTE_FEEDBACK_STATE, 1);
            return 0;
        case SV_CMD_FEEDBACK_SEND_MESSAGE:
            if (instance_ == nullptr)
                return SV_ERR_INTERNAL;
            if (handler_->entry.d.feedback.send_message == nullptr)
                return SV_ERR_NO_SLOT;
            return handler_->entry.d.feedback.send_message(instance_, m.n[0], m.data, m.size);
        case SV_CMD_SELECT_FEEDBACK_NAME: {
            if (name_ == m.s[0] && (instance_ != nullptr || name_.empty()))
                return 0;
            name_ = m.s[0];
            return recreate();
        }
        case SV_CMD_SELECT_FEEDBACK_ID:
            if (m.n[0] != -1 && registry_.find(SV_KIND_FEEDBACK, m.n[0]) == nullptr)
                return SV_ERR_PLUGIN_NOT_FOUND;
            selected_id_ = m.n[0];
            return name_.empty() ? 0 : recreate();
        case SV_CMD_SET_FEEDBACK_ENV_INT: return sv_props_set_int(env_, m.s[0], m.n[0]);
        case SV_CMD_SET_FEEDBACK_ENV_STRING: return sv_props_set_string(env_, m.s[0], m.s[1]);
        case SV_CMD_UNSET_FEEDBACK_ENV: return sv_props_unset(env_, m.s[0]);
        case SV_CMD_GET_FEEDBACK_ENV_INT: {
            int value = 0;
            const int r = sv_props_get_int(env_, m.s[0], &value);
            if (r < 0)
                return r;
            sv_message out{};
            out.code = SV_NOTE_FEEDBACK_ENV_INT;
            out.s[0] = m.s[0];
            out.n[0] = value;
            shared_->notify(out);
            return 0;
        }
        case SV_CMD_GET_FEEDBACK_ENV_STRING: {
            std::string value(SV_RECEIVE_BUFFER, '\0');
            const int r = sv_props_get_string(env_, m.s[0], value.data(), static_cast<int>(value.size()));
            if (r < 0)
                return r;
            sv_message out{};
            out.code = SV_NOTE_ENV_STRING;
            out.s[0] = m.s[0];
            out.s[1] = value.c_str();
            shared_->notify(out);
            return 0;
        }
        default: return SV_ERR_INVALID_PARAMETERS;
        }
    }

    void query(ModuleEntry *e)
    {
        const sv_feedback_module &d = e->entry.d.feedback;
        sv_module_info info{};
        d.info(&info, SV_INFO_NAME);
        sv_module_info count{};
        if (d.info(&count, SV_INFO_DEVICE_COUNT) < 0)
            count.count = 0;
        sv_message out{};
        out.code = SV_NOTE_FEEDBACK_MODULE_INFO;
        out.n[0] = e->entry.id;
        out.n[1] = count.count;
        out.s[0] = info.name;
        out.s[1] = info.description;
        shared_->notify(out);
        for (int i = 0; i < count.count; ++i) {
            sv_module_info dev{};
            dev.count = i;
            if (d.info(&dev, SV_INFO_DEVICE) < 0)
                continue;
            sv_message o{};
            o.code = SV_NOTE_FEEDBACK_HANDLER_INFO;
            o.n[0] = e->entry.id;
            o.n[1] = i;
            o.n[2] = dev.flags;
            o.s[0] = dev.name;
            o.s[1] = dev.description;
            shared_->notify(o);
        }
    }

    void stop_handler()
    {
        if (instance_ != nullptr && running_ && handler_->entry.d.feedback.stop)
            handler_->entry.d.feedback.stop(instance_);
        running_ = false;
    }

    void delete_handler()
    {
        if (instance_ == nullptr)
            return;
        stop_handler();
        handler_->entry.d.feedback.destroy(instance_);
        instance_ = nullptr;
        handler_ = nullptr;
        shared_->feedback_attached.store(false, std::memory_order_relaxed);
    }

    int create_handler()
    {
        if (name_.empty())
            return SV_ERR_PLUGIN_NOT_FOUND;
        ModuleEntry *chosen = nullptr;
        if (selected_id_ >= 0) {
            chosen = registry_.find(SV_KIND_FEEDBACK, selected_id_);
        } else {
            for (ModuleEntry *e : registry_.list(SV_KIND_FEEDBACK)) {
                if (e->entry.d.feedback.probe(name_.c_str()) == 0) {
                    chosen = e;
                    break;
                }
            }
        }
        if (chosen == nullptr)
            return SV_ERR_PLUGIN_NOT_FOUND;
        void *instance = nullptr;
        const int r = chosen->entry.d.feedback.create(&instance, name_.c_str(), &chosen->entry, this, &callbacks_);
        if (r < 0 || instance == nullptr)
            return r < 0 ? r : SV_ERR_INTERNAL;
        handler_ = chosen;
        instance_ = instance;
        shared_->feedback_attached.store(true, std::memory_order_relaxed);
        shared_->notify_simple(SV_NOTE_FEEDBACK_MODULE, chosen->entry.id);
        sv_message out{};
        out.code = SV_NOTE_FEEDBACK_NAME;
        out.s[0] = name_.c_str();
        shared_->notify(out);
        return 0;
    }

    // Replaces the handler after a new selection; a running handler is started again.
    int recreate()
    {
        const bool was_running = running_;
        delete_handler();
        if (name_.empty())
            return 0;
        const int r = create_handler();
        if (r < 0)
            return r;
        if (was_running) {
            if (handler_->entry.d.feedback.start)
                handler_->entry.d.feedback.start(instance_);
            running_ = true;
        }
        return 0;
    }

    EngineShared *shared_;
    Receiver receiver_;
    Registry registry_;
    FeedbackQueue queue_;
    sv_props *env_ = nullptr;
    sv_feedback_env callbacks_{};
    std::string name_;
    int selected_id_ = -1;
    ModuleEntry *handler_ = nullptr;
    void *instance_ = nullptr;
    bool running_ = false;
};

} // namespace

void feedback_main(std::shared_ptr<EngineShared> shared, std::promise<int> *started)
{
    shared->feedback_tid = current_tid();
    auto *fb = new (std::nothrow) Feedback(shared.get());
    if (fb == nullptr || !fb->ok()) {
        delete fb;
        started->set_value(SV_ERR_OUT_OF_MEMORY);
        return;
    }
    started->set_value(0);
    for (;;) {
        Message msg;
        bool running = true;
        // Take everything queued without waiting.
        while (running && shared->feedback_queue.pop(msg, std::chrono::microseconds(0)))
            running = fb->handle(msg);
        if (!running)
            break;
        fb->deliver();
        if (shared->feedback_queue.pop(msg, fb->wait_time()) && !fb->handle(msg))
            break;
    }
    shared->feedback_queue.close();
    delete fb;
    {
        std::lock_guard<std::mutex> lock(shared->end_mutex);
        shared->feedback_ended = true;
    }
    shared->end_cv.notify_all();
}

} // namespace sv
