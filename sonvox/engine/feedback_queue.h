// The feedback thread's queue of timed events.
#ifndef SONVOX_ENGINE_FEEDBACK_QUEUE_H
#define SONVOX_ENGINE_FEEDBACK_QUEUE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sonvox/engine/sv_module.h"

namespace sv {

// Events in time order (equal times keep their arrival order). At most kCap + 1 are
// held: when more than kCap are queued, the earliest goes before a new one is added.
// Removed records are kept for reuse with their sample buffers. Times are microseconds
// on the monotonic clock.
class FeedbackQueue
{
public:
    static constexpr size_t kCap = 200;

    struct Event
    {
        int64_t time_us = 0;
        int type = SV_FEEDBACK_AUDIO;
        int frequency = 0;
        int channels = 0;
        int samples_per_channel = 0;
        std::vector<signed char> samples;
    };

    // Adds an audio event; the samples are copied. Returns the number discarded (0 or 1).
    int add(int64_t time_us, int frequency, int channels, int samples_per_channel, const void *samples, int size);

    // 131 / 132 / 133.
    void pause(int64_t at_us);
    void resume(int64_t at_us);
    void flush();

    bool paused() const { return paused_; }
    size_t size() const { return queue_.size(); }
    // Time of the earliest event; only meaningful when size() > 0.
    int64_t earliest() const { return queue_.front()->time_us; }

    // Removes every event due by `due_us` and returns the first of them (valid until the
    // next call), or nullptr. Nothing is removed while paused.
    const Event *take_due(int64_t due_us);

    ~FeedbackQueue();

private:
    std::vector<Event *> queue_; // earliest first
    std::vector<Event *> spare_;
    Event *handed_ = nullptr; // the event returned by take_due, back to spare next time
    bool paused_ = false;
    int64_t pause_at_ = 0;
};

} // namespace sv

#endif
