#include "sonvox/engine/feedback_queue.h"

#include <algorithm>
#include <cstring>

namespace sv {

FeedbackQueue::~FeedbackQueue()
{
    for (Event *e : queue_)
        delete e;
    for (Event *e : spare_)
        delete e;
    delete handed_;
}

int FeedbackQueue::add(int64_t time_us, int frequency, int channels, int samples_per_channel, const void *samples,
                       int size)
{
    int discarded = 0;
    if (queue_.size() > kCap) {
        spare_.push_back(queue_.front());
        queue_.erase(queue_.begin());
        discarded = 1;
    }
    Event *e;
    if (!spare_.empty()) {
        e = spare_.back();
        spare_.pop_back();
    } else {
        e = new Event();
    }
    e->time_us = time_us;
    e->type = SV_FEEDBACK_AUDIO;
    e->frequency = frequency;
    e->channels = channels;
    e->samples_per_channel = samples_per_channel;
    const size_t n = size > 0 ? static_cast<size_t>(size) : 0;
    if (e->samples.size() < n)
        e->samples.resize(n); // only grows
    if (n)
        std::memcpy(e->samples.data(), samples, n);
    auto at = std::upper_bound(queue_.begin(), queue_.end(), time_us,
                               [](int64_t t, const Event *x) { return t < x->time_us; });
    queue_.insert(at, e);
    return discarded;
}

void FeedbackQueue::pause(int64_t at_us)
{
    if (paused_)
        return; // a second pause keeps the first pause time
    paused_ = true;
    pause_at_ = at_us;
}

void FeedbackQueue::resume(int64_t at_us)
{
    if (!paused_)
        return;
    const int64_t shift = at_us - pause_at_;
    for (Event *e : queue_)
        e->time_us += shift;
    paused_ = false;
}

void FeedbackQueue::flush()
{
    for (Event *e : queue_)
        spare_.push_back(e);
    queue_.clear();
}

const FeedbackQueue::Event *FeedbackQueue::take_due(int64_t due_us)
{
    if (handed_ != nullptr) {
        spare_.push_back(handed_);
        handed_ = nullptr;
    }
    if (paused_)
        return nullptr;
    size_t n = 0;
    while (n < queue_.size() && queue_[n]->time_us <= due_us)
        ++n;
    if (n == 0)
        return nullptr;
    handed_ = queue_[0];
    for (size_t i = 1; i < n; ++i)
        spare_.push_back(queue_[i]);
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<long>(n));
    return handed_;
}

} // namespace sv
