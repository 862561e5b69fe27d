// The decode cycle's cost-saving paths: blocks gathered for an output that takes them
// as fast as they come, and reports that are queued without waking the client.
#include <gtest/gtest.h>

#include <chrono>

#include "client_helper.h"

namespace {

// Plays "mem:<frames>" to its end and returns the number of output writes.
int play_to_end(Client &c, long frames)
{
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, ("mem:" + std::to_string(frames)).c_str());
    sv_send_none(c.engine, SV_CMD_PLAY);
    EXPECT_TRUE(c.state_is(SV_STATE_END_OF_STREAM, 10000));
    return testmod::capture().writes.load();
}

} // namespace

// Without a latency the output gets the blocks gathered into a few large writes; with
// one (a sound card) it gets each block as before. Either way it gets every sample once,
// in order.
TEST(Pipeline, BlocksAreGatheredOnlyForAnOutputWithoutLatency)
{
    const long frames = 102400; // 1600 blocks of 64 frames
    const long blocks = frames / 64;
    struct Case
    {
        int latency_ms;
        bool gathered;
    };
    for (const Case k : {Case{0, true}, Case{50, false}}) {
        SCOPED_TRACE(k.latency_ms);
        Client c;
        ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
        testmod::capture().latency_ms = k.latency_ms;
        const int writes = play_to_end(c, frames);
        if (k.gathered) {
            EXPECT_LT(writes, blocks / 8);
        } else {
            EXPECT_EQ(writes, blocks);
        }
        const std::vector<int16_t> got = testmod::capture().take_samples();
        ASSERT_EQ(got.size(), static_cast<size_t>(2 * frames));
        for (long i = 0; i < frames; ++i) {
            ASSERT_EQ(got[2 * i], testmod::pattern_left(i)) << i;
            ASSERT_EQ(got[2 * i + 1], -testmod::pattern_left(i)) << i;
        }
    }
}

// A command finds the output holding everything decoded before it: once a pause is
// answered, the output holds whole blocks up to the paused place and nothing more comes.
TEST(Pipeline, ACommandFindsTheGatheredBlocksWritten)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "mem:4000000");
    sv_send_none(c.engine, SV_CMD_PLAY);
    ASSERT_TRUE(c.state_is(SV_STATE_PLAYING));
    sv_send_none(c.engine, SV_CMD_PAUSE);
    ASSERT_EQ(c.answer(SV_CMD_PAUSE), 0);
    sv_engine_sync(c.engine, 3000);
    const std::vector<int16_t> got = testmod::capture().take_samples();
    // The last timecode before the pause names the frames decoded; all of them were
    // written (8000 frames a second, to the hundredth).
    long decoded_hundredths = -1;
    for (const Note &n : c.seen)
        if (n.code == SV_NOTE_TIMECODE)
            decoded_hundredths = ((n.n[0] * 60L + n.n[1]) * 60 + n.n[2]) * 100 + n.n[3];
    const long written = static_cast<long>(got.size() / 2);
    EXPECT_EQ(written % 64, 0);
    EXPECT_GE(written * 100 / 8000, decoded_hundredths);
    ASSERT_LT(written, 4000000); // paused before the end
    sv_engine_sync(c.engine, 3000);
    EXPECT_EQ(testmod::capture().take_samples().size(), got.size()); // nothing more while paused
}

// Position and timecode reports are queued without waking the client; the player wakes
// it when it stops decoding, even when no other report would (all masked here). A
// waiting client gets the last timecode promptly, not at the end of its wait (which
// would show a wake-up that never came).
TEST(Pipeline, QuietReportsWakeAClientWhenThePlayerStops)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    // Blocks about 1 ms apart: the client waits while reports come faster than it is
    // woken for them, so the last ones are queued without a wake of their own.
    testmod::capture().latency_ms = 50;
    testmod::capture().write_delay_us = 1000;
    sv_send_int(c.engine, SV_CMD_SET_NOTIFICATION_MASK, SV_MASK_POSITION | SV_MASK_TIMECODE);
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "mem:12800");
    const auto start = std::chrono::steady_clock::now();
    sv_send_none(c.engine, SV_CMD_PLAY);
    // 12800 frames at 8000 Hz end at 1.60 s.
    for (;;) {
        sv_notification n{};
        ASSERT_EQ(sv_client_next(c.engine, &n, 10000), 1);
        if (n.code == SV_NOTE_TIMECODE && n.n[2] == 1 && n.n[3] == 60)
            break;
        EXPECT_TRUE(n.code == SV_NOTE_POSITION || n.code == SV_NOTE_TIMECODE) << n.code;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}
