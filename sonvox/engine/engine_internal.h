// Engine internals shared by the client side, the player thread and the feedback thread.
#ifndef SONVOX_ENGINE_ENGINE_INTERNAL_H
#define SONVOX_ENGINE_ENGINE_INTERNAL_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sonvox/engine/message.h"
#include "sonvox/engine/sv_engine.h"

namespace sv {

// A thread's incoming queue: bounded, many posters, one taker.
class MessageQueue
{
public:
    explicit MessageQueue(size_t capacity)
        : capacity_(capacity)
    {}

    // false when the queue is full or closed. Wakes the taker only when it waits.
    bool try_push(Message &&m);
    // Whether anything is queued, without taking the lock: the taker's look between two
    // decode cycles. A message posted meanwhile is seen by the next look.
    bool looks_empty() const { return count_.load(std::memory_order_acquire) == 0; }
    // Takes the next message: waits up to `timeout` (negative: no limit). false on time-out.
    bool pop(Message &out, std::chrono::microseconds timeout);
    void close();
    bool closed() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Message> queue_;
    std::atomic<size_t> count_{0}; // queue_.size(), readable without the lock
    size_t capacity_;
    int waiting_ = 0; // takers blocked in pop
    bool closed_ = false;
};

// Posts with the retry rule: 11 attempts 10 ms apart. 0, -307 (still full) or -103
// (the queue is closed).
int post_with_retry(MessageQueue &queue, Message &&m);

// The client's notification queue (see sv_client_next for its bounds).
class ClientQueue
{
public:
    static constexpr size_t kSoftLimit = 1024;
    static constexpr size_t kHardLimit = 65536;

    // Queues `m`; `wake`: wakes a waiting client (and calls the wake-up function).
    // Returns whether the client was woken: false for a dropped or quiet message.
    bool push(Message &&m, bool wake = true);
    // Wakes a waiting client for what was queued without waking it.
    void wake();
    bool pop(Message &out, std::chrono::milliseconds timeout, bool forever);
    long dropped() const;
    void set_wakeup(void (*fn)(void *), void *user);
    size_t size() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::list<Message> queue_;
    std::list<Message>::iterator pending_position_ = queue_.end();
    std::list<Message>::iterator pending_timecode_ = queue_.end();
    long dropped_ = 0;
    int waiting_ = 0; // clients blocked in pop
    void (*wakeup_)(void *) = nullptr;
    void *wakeup_user_ = nullptr;
};

// Time on the monotonic clock as seconds and microseconds.
struct TimeStamp
{
    int64_t sec = 0;
    int64_t usec = 0;
    int64_t total_us() const { return sec * 1000000 + usec; }
    static TimeStamp from_us(int64_t us) { return {us / 1000000, us % 1000000}; }
};
TimeStamp now();

// What the two engine threads and the client hold together. Fields are written before
// the threads start or are atomic.
struct EngineShared
{
    MessageQueue player_queue{4096};
    MessageQueue feedback_queue{4096};
    ClientQueue client;

    // set before the threads start, read-only afterwards
    sv_hook loader_hook{nullptr, nullptr};
    sv_engine *control = nullptr;

    std::atomic<int> notification_mask{-1}; // written by the player
    // A feedback handler exists: written by the feedback thread. Without one the player
    // sends it no per-block events, so that the thread sleeps while a file plays.
    std::atomic<bool> feedback_attached{false};
    std::atomic<int> player_tid{0};
    std::atomic<int> feedback_tid{0};

    // synchronise: the player counts the code-2 messages it took
    std::mutex sync_mutex;
    std::condition_variable sync_cv;
    uint64_t sync_seen = 0;

    // thread ends
    std::mutex end_mutex;
    std::condition_variable end_cv;
    bool player_ended = false;
    bool feedback_ended = false;

    // Posts a notification to the client when the mask lets it through; `wake` as in
    // ClientQueue::push.
    // Returns whether the client was woken for it.
    bool notify(const sv_message &m, bool wake = true);
    void notify_simple(int code, int a = 0, int b = 0);
};

// Mask bit of a notification code, 0 for those that are always sent.
int notification_mask_bit(int code);

// Thread bodies.
void player_main(std::shared_ptr<EngineShared> shared, const sv_start_entry *start_list, std::promise<int> *started);
void feedback_main(std::shared_ptr<EngineShared> shared, std::promise<int> *started);

// Module registration shared by both threads.
struct Registry;
struct RegistrationContext
{
    EngineShared *shared;
    sv_decoder *decoder; // NULL on the feedback thread
};
int register_into(Registry &registry, const RegistrationContext &ctx, sv_module_kind kind, const char *name,
                  int position);

int current_tid();

// Registers a module from an init hook, on the player thread that owns `decoder`.
int register_on_player(sv_decoder *decoder, sv_module_kind kind, const char *name, int position);

} // namespace sv

#endif
