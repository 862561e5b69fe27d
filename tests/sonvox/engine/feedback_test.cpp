#include <gtest/gtest.h>

#include <time.h>

#include <chrono>
#include <functional>
#include <thread>

#include "client_helper.h"
#include "sonvox/engine/feedback_queue.h"

using sv::FeedbackQueue;

namespace {

int add(FeedbackQueue &q, int64_t t, signed char marker)
{
    return q.add(t, 8000, 1, 1, &marker, 1);
}

// Polls the condition until it holds or the limit passes.
bool eventually(const std::function<bool()> &condition, std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

size_t delivered()
{
    std::lock_guard<std::mutex> lock(testmod::feedback_log().mutex);
    return testmod::feedback_log().delivered_us.size();
}

} // namespace

TEST(FeedbackQueue, KeepsTimeOrderAndHandsOutOnlyTheFirstDueEvent)
{
    FeedbackQueue q;
    add(q, 300, 3);
    add(q, 100, 1);
    add(q, 200, 2);
    add(q, 200, 22); // equal times keep their arrival order
    EXPECT_EQ(q.take_due(50), nullptr);
    const FeedbackQueue::Event *e = q.take_due(250);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->samples[0], 1); // 1, 2 and 22 were due: only the first is handed out
    EXPECT_EQ(q.size(), 1u);
    e = q.take_due(1000);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->samples[0], 3);
}

TEST(FeedbackQueue, DiscardsTheEarliestBeyondTheCap)
{
    FeedbackQueue q;
    for (int i = 0; i < 201; ++i)
        EXPECT_EQ(add(q, 1000 + i, static_cast<signed char>(i)), 0);
    EXPECT_EQ(q.size(), 201u);
    EXPECT_EQ(add(q, 5000, 99), 1); // the 202nd pushes the earliest out
    EXPECT_EQ(q.size(), 201u);
    EXPECT_EQ(q.earliest(), 1001);
}

TEST(FeedbackQueue, PauseHoldsEventsAndResumeShiftsThemByThePause)
{
    FeedbackQueue q;
    add(q, 1000, 1);
    q.pause(900);
    EXPECT_EQ(q.take_due(5000), nullptr);
    q.pause(950); // a second pause keeps the first time
    q.resume(1400);
    EXPECT_EQ(q.earliest(), 1500);
    EXPECT_EQ(q.take_due(1499), nullptr);
    EXPECT_NE(q.take_due(1500), nullptr);
    add(q, 10, 1);
    q.flush();
    EXPECT_EQ(q.size(), 0u);
}

TEST(Feedback, HandlerGetsAudioEventsInStepWithPlayback)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    testmod::capture().write_delay_us = 1000;
    char name[64];
    sv_module_address_name(testmod::recording_feedback_register, name, sizeof name);
    sv_send_string(c.engine, SV_CMD_REGISTER_FEEDBACK, name);
    EXPECT_EQ(c.answer(SV_CMD_REGISTER_FEEDBACK), 0);
    sv_send_string(c.engine, SV_CMD_SELECT_FEEDBACK_NAME, "nothing");
    EXPECT_EQ(c.answer(SV_CMD_SELECT_FEEDBACK_NAME), SV_ERR_PLUGIN_NOT_FOUND);
    sv_send_string(c.engine, SV_CMD_SELECT_FEEDBACK_NAME, "recorder");
    Note n;
    ASSERT_TRUE(c.wait_code(SV_NOTE_FEEDBACK_MODULE, 3000, &n));
    EXPECT_EQ(n.n[0], 0);
    ASSERT_TRUE(c.wait_code(SV_NOTE_FEEDBACK_NAME, 3000, &n));
    EXPECT_EQ(n.s[0], "recorder");
    sv_send_none(c.engine, SV_CMD_FEEDBACK_START);
    ASSERT_TRUE(c.wait_code(SV_NOTE_FEEDBACK_STATE, 3000, &n));
    EXPECT_EQ(n.n[0], 0);
    sv_send_int(c.engine, SV_CMD_SET_FEEDBACK_RATE, 100);

    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "mem:6400");
    sv_send_none(c.engine, SV_CMD_PLAY);
    ASSERT_TRUE(c.state_is(SV_STATE_END_OF_STREAM));
    // Events are delivered when they become audible, after the decoding has ended.
    ASSERT_TRUE(eventually([] { return delivered() >= 2; }));
    sv_send_none(c.engine, SV_CMD_FEEDBACK_STOP);
    EXPECT_EQ(c.answer(SV_CMD_FEEDBACK_STOP), 0);

    auto &log = testmod::feedback_log();
    std::lock_guard<std::mutex> lock(log.mutex);
    ASSERT_FALSE(log.events.empty());
    EXPECT_EQ(log.started, 1);
    EXPECT_EQ(log.stopped, 1);
    const sv_feedback_event &first = log.events.front();
    EXPECT_EQ(first.type, SV_FEEDBACK_AUDIO);
    EXPECT_EQ(first.channels, 2);
    EXPECT_EQ(first.samples_per_channel, 256);
    EXPECT_EQ(first.frequency, 8000);
    // The first event shows the first block: 64 frames of the pattern divided by 256,
    // the first channel's 256 bytes before the second's, zero-padded.
    ASSERT_EQ(log.samples.front().size(), 512u);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(log.samples.front()[i], testmod::pattern_left(i) / 256) << i;
        EXPECT_EQ(log.samples.front()[256 + i], -testmod::pattern_left(i) / 256) << i;
    }
    EXPECT_EQ(log.samples.front()[100], 0);
    // Events are at least one period (10 ms) apart and never delivered early.
    for (size_t i = 0; i < log.events.size(); ++i) {
        const long long at = log.events[i].seconds * 1000000LL + log.events[i].microseconds;
        EXPECT_GE(log.delivered_us[i] + 3000, at) << i;
        if (i > 0) {
            const long long prev = log.events[i - 1].seconds * 1000000LL + log.events[i - 1].microseconds;
            EXPECT_GE(at - prev, 10000) << i;
        }
    }
}

TEST(Feedback, EnvironmentCommandsAndFailedHandlerCreation)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    char name[64];
    sv_module_address_name(testmod::recording_feedback_register, name, sizeof name);
    sv_send_string(c.engine, SV_CMD_REGISTER_FEEDBACK, name);
    sv_send_name_int(c.engine, SV_CMD_SET_FEEDBACK_ENV_INT, "TEST.REQUIRED", -513);
    sv_send_string(c.engine, SV_CMD_GET_FEEDBACK_ENV_INT, "TEST.REQUIRED");
    Note n;
    ASSERT_TRUE(c.wait_code(SV_NOTE_FEEDBACK_ENV_INT, 3000, &n));
    EXPECT_EQ(n.s[0], "TEST.REQUIRED");
    EXPECT_EQ(n.n[0], -513);
    // The handler refuses to be made: the selection is nacked with its error.
    sv_send_string(c.engine, SV_CMD_SELECT_FEEDBACK_NAME, "rec");
    EXPECT_EQ(c.answer(SV_CMD_SELECT_FEEDBACK_NAME), -513);
    sv_send_string(c.engine, SV_CMD_UNSET_FEEDBACK_ENV, "TEST.REQUIRED");
    EXPECT_EQ(c.answer(SV_CMD_UNSET_FEEDBACK_ENV), 0);
    sv_send_none(c.engine, SV_CMD_FEEDBACK_START); // now it can be made
    EXPECT_EQ(c.answer(SV_CMD_FEEDBACK_START), 0);
    sv_send_none(c.engine, SV_CMD_QUERY_FEEDBACKS);
    ASSERT_TRUE(c.wait_code(SV_NOTE_FEEDBACK_MODULE_INFO, 3000, &n));
    EXPECT_EQ(n.s[0], "Recording Feedback");
    EXPECT_EQ(n.n[1], 1);
    ASSERT_TRUE(c.wait_code(SV_NOTE_FEEDBACK_HANDLER_INFO, 3000, &n));
    EXPECT_EQ(n.s[0], "rec");
}

namespace {

long long monotonic_us()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

} // namespace

TEST(Feedback, PauseHoldsQueuedEventsForThePauseLength)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    testmod::capture().write_delay_us = 2000;
    testmod::capture().latency_ms = 100; // events become audible 100 ms after decoding
    char name[64];
    sv_module_address_name(testmod::recording_feedback_register, name, sizeof name);
    sv_send_string(c.engine, SV_CMD_REGISTER_FEEDBACK, name);
    sv_send_string(c.engine, SV_CMD_SELECT_FEEDBACK_NAME, "rec");
    sv_send_none(c.engine, SV_CMD_FEEDBACK_START);
    sv_send_int(c.engine, SV_CMD_SET_FEEDBACK_RATE, 100);
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "mem:1000000");
    ASSERT_EQ(c.answer(SV_CMD_INPUT_OPEN), 0);

    const long long play_at = monotonic_us();
    sv_send_none(c.engine, SV_CMD_PLAY);
    // Pause once a few blocks were decoded, so that their events wait in the queue.
    ASSERT_TRUE(eventually([] { return testmod::capture().writes.load() >= 3; }));
    sv_send_none(c.engine, SV_CMD_PAUSE);
    ASSERT_EQ(c.answer(SV_CMD_PAUSE), 0);
    const long long paused_at = monotonic_us();
    // The pause lasts past the time every queued event was due (100 ms after it was
    // decoded, before the pause). What the handler got is judged afterwards from the
    // delivery times, so the check does not depend on when it is looked at.
    while (monotonic_us() < paused_at + 200000)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const long long resumed_at = monotonic_us();
    sv_send_none(c.engine, SV_CMD_PLAY);
    ASSERT_EQ(c.answer(SV_CMD_PLAY), 0);
    ASSERT_TRUE(eventually([] { return delivered() >= 1; }));
    sv_send_none(c.engine, SV_CMD_STOP);
    ASSERT_EQ(c.answer(SV_CMD_STOP), 0);

    auto &log = testmod::feedback_log();
    std::lock_guard<std::mutex> lock(log.mutex);
    ASSERT_FALSE(log.delivered_us.empty());
    for (long long at : log.delivered_us)
        EXPECT_GE(at, resumed_at) << "delivered while paused"; // all held while paused
    // The earliest event was stamped at least 100 ms after play; the pause moved it on
    // by the whole pause.
    const long long pause_length = resumed_at - paused_at;
    EXPECT_GE(log.delivered_us.front() + 3000, play_at + 100000 + pause_length);
    EXPECT_GE(log.delivered_us.front(), resumed_at);
}
