#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>
#include <string>

#include "client_helper.h"

TEST(Engine, StartsReadyAnswersPingAndStops)
{
    Client c;
    ASSERT_EQ(c.start_result, SV_OK);
    sv_notification first{};
    ASSERT_EQ(sv_client_next(c.engine, &first, 3000), 1);
    EXPECT_EQ(first.code, SV_NOTE_READY);

    // The wake-up function hears of every queued notification.
    static std::atomic<int> wakeups{0};
    wakeups = 0; // the counter outlives one run of the test (--gtest_repeat)
    sv_client_set_wakeup(
        c.engine, [](void *) { ++wakeups; }, nullptr);

    // A long string arrives cut to what the receive buffer holds.
    const std::string long_text(9000, 'x');
    ASSERT_EQ(sv_send_string(c.engine, SV_CMD_PING, long_text.c_str()), SV_OK);
    Note pong;
    ASSERT_TRUE(c.wait_code(SV_NOTE_PONG, 3000, &pong));
    EXPECT_EQ(pong.s[0], std::string(8191, 'x'));
    EXPECT_EQ(c.answer(SV_CMD_PING), 0);
    sv_engine_sync(c.engine, 3000); // the player has left the ping's handling
    EXPECT_EQ(wakeups.load(), 2);   // pong and ack
    sv_client_set_wakeup(c.engine, nullptr, nullptr);

    EXPECT_EQ(sv_engine_stop(c.engine), SV_OK);
    EXPECT_TRUE(c.wait_code(SV_NOTE_EXITED));
    EXPECT_EQ(sv_send_none(c.engine, SV_CMD_PLAY), SV_ERR_INTERNAL);
    EXPECT_EQ(sv_engine_stop(c.engine), SV_OK); // twice is harmless
}

TEST(Engine, RejectsCodesWithoutShapeAndWrongHelpers)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    for (int code : {0, 53, 55, 68, 97, 99, 160})
        EXPECT_EQ(sv_send_none(c.engine, code), SV_ERR_INVALID_MESSAGE) << code;
    EXPECT_EQ(sv_send_int(c.engine, SV_CMD_PING, 1), SV_ERR_INVALID_MESSAGE);      // ping carries a string
    EXPECT_EQ(sv_send_string(c.engine, SV_CMD_PLAY, "x"), SV_ERR_INVALID_MESSAGE); // play carries nothing
    EXPECT_EQ(sv_send_none(nullptr, SV_CMD_PLAY), SV_ERR_INVALID_PARAMETERS);
    // Nothing was posted by the failed sends: the next answer is the sync's neighbour.
    sv_send_string(c.engine, SV_CMD_PING, "after");
    Note n;
    ASSERT_TRUE(c.wait_for([](const Note &x) { return x.code != SV_NOTE_READY; }, 3000, &n));
    EXPECT_EQ(n.code, SV_NOTE_PONG);
    EXPECT_EQ(n.s[0], "after");
}

TEST(Engine, VersionWords)
{
    EXPECT_EQ(sv_version(1), 0x040400);
    EXPECT_EQ(sv_version(2), 0x030801);
    EXPECT_EQ(sv_version(3), 0x030209);
    EXPECT_EQ(sv_version(0), 0);
    EXPECT_EQ(sv_version(4), 0);
}

TEST(Engine, FailingCommandsAreNackedAndLeaveTheStateAlone)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    const struct
    {
        int code;
        int expect;
    } cases[] = {
        {SV_CMD_PLAY, SV_ERR_INVALID_PARAMETERS}, // never opened, no last name
        {SV_CMD_STOP, SV_ERR_INTERNAL},
        {SV_CMD_PAUSE, SV_ERR_INTERNAL},
        {SV_CMD_OUTPUT_MUTE, SV_ERR_INTERNAL}, // output not open
    };
    for (const auto &k : cases) {
        sv_send_none(c.engine, k.code);
        EXPECT_EQ(c.answer(k.code), k.expect) << k.code;
    }
    sv_send_int(c.engine, SV_CMD_QUERY_INPUT, 7);
    EXPECT_EQ(c.answer(SV_CMD_QUERY_INPUT), SV_ERR_PLUGIN_NOT_FOUND);
    sv_send_int(c.engine, SV_CMD_SET_POSITION_RANGE, 0);
    EXPECT_EQ(c.answer(SV_CMD_SET_POSITION_RANGE), SV_ERR_INVALID_PARAMETERS);
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "nothing-takes-this");
    EXPECT_EQ(c.answer(SV_CMD_INPUT_OPEN), SV_ERR_UNSUPPORTED_INPUT);
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "mem:0"); // the input fails to open
    EXPECT_EQ(c.answer(SV_CMD_INPUT_OPEN), SV_ERR_NO_SUCH_FILE);
    c.drain();
    EXPECT_EQ(c.count(SV_NOTE_PLAYER_STATE), 0);
    // The internal misuse is reported as an error text too.
    bool reported = false;
    for (const Note &n : c.seen)
        reported |= n.code == SV_NOTE_ERROR && n.s[0] == "internal error (input not open)";
    EXPECT_TRUE(reported);
}

TEST(Engine, PlaysAStreamToItsEndThroughThePipeline)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "mem:1000");
    ASSERT_EQ(c.answer(SV_CMD_INPUT_OPEN), 0);
    sv_send_none(c.engine, SV_CMD_PLAY);
    ASSERT_TRUE(c.state_is(SV_STATE_PLAYING));
    ASSERT_TRUE(c.state_is(SV_STATE_END_OF_STREAM));
    c.drain();

    // 1000 bytes in 64-byte reads: 15 full blocks, the last 40 bytes never make a read.
    const std::vector<int16_t> s = testmod::capture().take_samples();
    ASSERT_EQ(s.size(), 960u * 2);
    for (long i = 0; i < 960; ++i) {
        ASSERT_EQ(s[2 * i], testmod::pattern_left(i)) << i;
        ASSERT_EQ(s[2 * i + 1], -testmod::pattern_left(i)) << i;
    }
    EXPECT_EQ(testmod::capture().frequency, 8000);
    EXPECT_EQ(testmod::capture().channels, 2);
    // The first block sent the format to the output.
    EXPECT_TRUE(testmod::capture().saw_control(SV_BLOCK_FREQUENCY_CHANGED));

    // Stream information came once each, with its payload.
    EXPECT_EQ(c.count(SV_NOTE_CONTENT_TYPE), 1);
    EXPECT_EQ(c.count(SV_NOTE_STREAM_PARAMETERS), 1);
    EXPECT_EQ(c.count(SV_NOTE_STREAM_PROPERTIES), 1);
    for (const Note &n : c.seen) {
        if (n.code == SV_NOTE_CONTENT_TYPE) {
            EXPECT_EQ(n.s[0], "audio/x-test");
        }
        if (n.code == SV_NOTE_STREAM_PARAMETERS) {
            EXPECT_EQ(n.n[0], 8000);
            EXPECT_EQ(n.n[1], 128);
            EXPECT_EQ(n.n[2], 2);
        }
        if (n.code == SV_NOTE_STREAM_PROPERTIES) {
            EXPECT_EQ(n.props, std::vector<std::string>{"test/title=pattern"});
        }
        if (n.code == SV_NOTE_INPUT_NAME) {
            EXPECT_EQ(n.s[0], "mem:1000");
        }
    }
    // Position: the last report is 960/1000 of the default range of 400.
    int last_position = -1;
    for (const Note &n : c.seen)
        if (n.code == SV_NOTE_POSITION)
            last_position = n.n[0];
    EXPECT_EQ(last_position, 384);
}

TEST(Engine, PauseResumeStopAndSeekFollowTheStateMachine)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    testmod::capture().write_delay_us = 2000; // about 8 ms of audio per 2 ms
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "mem:100000");
    sv_send_none(c.engine, SV_CMD_PLAY);
    ASSERT_TRUE(c.state_is(SV_STATE_PLAYING));

    sv_send_none(c.engine, SV_CMD_PAUSE);
    ASSERT_EQ(c.answer(SV_CMD_PAUSE), 0);
    EXPECT_TRUE(testmod::capture().saw_control(SV_CTL_PAUSE));
    sv_engine_sync(c.engine, 3000);
    const int writes = testmod::capture().writes;
    usleep(20000);
    EXPECT_EQ(testmod::capture().writes, writes); // nothing is written while paused

    sv_send_none(c.engine, SV_CMD_PLAY);
    ASSERT_TRUE(c.state_is(SV_STATE_PLAYING));
    EXPECT_TRUE(testmod::capture().saw_control(SV_CTL_RESUME));

    sv_send_none(c.engine, SV_CMD_STOP);
    ASSERT_TRUE(c.state_is(SV_STATE_STOPPED));
    EXPECT_TRUE(testmod::capture().saw_control(SV_CTL_RESET));

    // Seek while stopped reports the position and the timecode of the new place.
    sv_send_two_ints(c.engine, SV_CMD_SEEK, 1, 2);
    Note pos, tc;
    ASSERT_TRUE(c.wait_code(SV_NOTE_POSITION, 3000, &pos));
    EXPECT_EQ(pos.n[0], 1);
    EXPECT_EQ(pos.n[1], 2);
    ASSERT_TRUE(c.wait_code(SV_NOTE_TIMECODE, 3000, &tc));
    // Half of 100000 frames at 8000 Hz is 6.25 s.
    EXPECT_EQ(tc.n[2], 6);
    EXPECT_EQ(tc.n[3], 25);
    EXPECT_EQ(c.answer(SV_CMD_SEEK), 0);

    // Playing on from the seek point: the first sample written is frame 50000.
    testmod::capture().reset();
    testmod::capture().write_delay_us = 2000; // keep the stream from ending before the pause
    sv_send_none(c.engine, SV_CMD_PLAY);
    ASSERT_TRUE(c.state_is(SV_STATE_PLAYING));
    // The state report comes before the first decode cycle: wait for a block to be
    // written before pausing, or a busy machine can pause before anything was played.
    for (int i = 0; i < 3000 && testmod::capture().writes == 0; i++)
        usleep(1000);
    sv_send_none(c.engine, SV_CMD_PAUSE);
    ASSERT_TRUE(c.state_is(SV_STATE_PAUSED));
    const auto s = testmod::capture().take_samples();
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(s[0], testmod::pattern_left(50000));
}

TEST(Engine, EndOfStreamThenSeekStopsAndReplayingTheSameNamePlaysAgain)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "mem:640");
    sv_send_none(c.engine, SV_CMD_PLAY);
    ASSERT_TRUE(c.state_is(SV_STATE_END_OF_STREAM));
    sv_send_two_ints(c.engine, SV_CMD_SEEK, 0, 1);
    ASSERT_TRUE(c.state_is(SV_STATE_STOPPED));
    sv_send_none(c.engine, SV_CMD_PLAY);
    ASSERT_TRUE(c.state_is(SV_STATE_END_OF_STREAM));
    EXPECT_EQ(testmod::capture().take_samples().size(), 2u * 640 * 2);

    // Opening the same name at the end of the stream starts it over.
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "mem:640");
    sv_send_none(c.engine, SV_CMD_PLAY);
    ASSERT_TRUE(c.state_is(SV_STATE_END_OF_STREAM));
    EXPECT_EQ(testmod::capture().take_samples().size(), 3u * 640 * 2);
}

TEST(Engine, InputAndOutputReopenWhilePlaying)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    testmod::capture().write_delay_us = 1000;
    sv_send_string(c.engine, SV_CMD_OUTPUT_OPEN, "first");
    ASSERT_EQ(c.answer(SV_CMD_OUTPUT_OPEN), 0);
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "mem:1000000");
    sv_send_none(c.engine, SV_CMD_PLAY);
    ASSERT_TRUE(c.state_is(SV_STATE_PLAYING));

    // A new input replaces the old one and playback goes on from its start.
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "mem:640");
    ASSERT_EQ(c.answer(SV_CMD_INPUT_OPEN), 0);
    ASSERT_TRUE(c.state_is(SV_STATE_END_OF_STREAM));
    EXPECT_EQ(c.count(SV_NOTE_INPUT_STATE), 3); // open, closed, open

    // The output re-opens under its new name; the same name changes nothing.
    sv_send_string(c.engine, SV_CMD_OUTPUT_OPEN, "second");
    EXPECT_EQ(c.answer(SV_CMD_OUTPUT_OPEN), 0);
    sv_send_string(c.engine, SV_CMD_OUTPUT_OPEN, "second");
    EXPECT_EQ(c.answer(SV_CMD_OUTPUT_OPEN), 0);
    {
        std::lock_guard<std::mutex> lock(testmod::capture().mutex);
        EXPECT_EQ(testmod::capture().opened, (std::vector<std::string>{"first", "second"}));
    }
    c.drain();
    int closed = 0;
    for (const Note &n : c.seen)
        closed += n.code == SV_NOTE_OUTPUT_STATE && n.n[0] == 1;
    EXPECT_EQ(closed, 1);
}

TEST(Engine, EnvironmentMaskAndSettingsRoundTrip)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    sv_send_name_int(c.engine, SV_CMD_SET_ENV_INT, "A", 42);
    sv_send_name_string(c.engine, SV_CMD_SET_ENV_STRING, "B", "text");
    sv_send_string(c.engine, SV_CMD_GET_ENV_INT, "A");
    sv_send_string(c.engine, SV_CMD_GET_ENV_STRING, "B");
    sv_send_string(c.engine, SV_CMD_GET_ENV_INT, "B");
    Note n;
    ASSERT_TRUE(c.wait_code(SV_NOTE_ENV_INT, 3000, &n));
    EXPECT_EQ(n.s[0], "A");
    EXPECT_EQ(n.n[0], 42);
    ASSERT_TRUE(c.wait_code(SV_NOTE_ENV_STRING, 3000, &n));
    EXPECT_EQ(n.s[1], "text");
    EXPECT_EQ(c.answer(SV_CMD_GET_ENV_INT), SV_ERR_PROPERTY_TYPE);

    // With the ack bit cleared acks stop; nacks still come.
    sv_send_int(c.engine, SV_CMD_SET_NOTIFICATION_MASK, ~SV_MASK_ACK);
    sv_send_none(c.engine, SV_CMD_GET_PLAYER_MODE);
    sv_send_none(c.engine, SV_CMD_STOP);
    EXPECT_EQ(c.answer(SV_CMD_STOP), SV_ERR_INTERNAL);
    EXPECT_EQ(c.count(SV_NOTE_PLAYER_MODE), 1);
    for (const Note &x : c.seen)
        EXPECT_FALSE(x.code == SV_NOTE_ACK && x.n[0] == SV_CMD_GET_PLAYER_MODE);

    sv_send_bytes3(c.engine, SV_CMD_SET_OUTPUT_VOLUME, 30, 200, 70); // 200: left alone
    sv_send_none(c.engine, SV_CMD_GET_OUTPUT_VOLUME);
    ASSERT_TRUE(c.wait_code(SV_NOTE_OUTPUT_BALANCE, 3000, &n));
    EXPECT_EQ(n.n[0], 30);
    ASSERT_TRUE(c.wait_code(SV_NOTE_OUTPUT_PCM_LEVEL, 3000, &n));
    EXPECT_EQ(n.n[0], 100);
    ASSERT_TRUE(c.wait_code(SV_NOTE_OUTPUT_MASTER_LEVEL, 3000, &n));
    EXPECT_EQ(n.n[0], 70);
}

TEST(Engine, StartsAndStopsManyTimesCleanly)
{
    for (int i = 0; i < 1000; ++i) {
        sv_engine *e = nullptr;
        ASSERT_EQ(sv_engine_start(&e, nullptr), SV_OK) << i;
        if (i % 100 == 0)
            sv_send_string(e, SV_CMD_PING, "x");
        ASSERT_EQ(sv_engine_stop(e), SV_OK) << i;
        sv_engine_free(e);
    }
}

TEST(Engine, ThreadPriorityLevels)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    for (int bad : {-1, 5})
        EXPECT_EQ(sv_engine_set_priority(c.engine, 1, bad), SV_ERR_INVALID_PARAMETERS) << bad;
    EXPECT_EQ(sv_engine_set_priority(c.engine, 2, 2), SV_ERR_INVALID_PARAMETERS);
    // The player runs at the highest level the process may set: never below the
    // feedback thread, which keeps the process's own level.
    const int feedback_level = sv_engine_get_priority(c.engine, 1);
    ASSERT_GE(feedback_level, 0);
    EXPECT_GE(sv_engine_get_priority(c.engine, 0), feedback_level);
    // Lowering a thread's priority is always allowed.
    ASSERT_EQ(sv_engine_set_priority(c.engine, 1, 0), SV_OK);
    EXPECT_EQ(sv_engine_get_priority(c.engine, 1), 0);
    EXPECT_EQ(sv_engine_get_priority(c.engine, 7), -1);
}

TEST(Engine, ManySendersKeepTheirOwnOrder)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&c, t] {
            for (int i = 0; i < kEach; ++i)
                EXPECT_EQ(sv_send_string(c.engine, SV_CMD_PING, (std::to_string(t) + ":" + std::to_string(i)).c_str()),
                          SV_OK);
        });
    for (auto &s : senders)
        s.join();
    std::vector<int> next(kThreads, 0);
    int pongs = 0;
    while (pongs < kThreads * kEach) {
        Note n;
        ASSERT_TRUE(c.wait_code(SV_NOTE_PONG, 3000, &n)) << pongs;
        const size_t colon = n.s[0].find(':');
        const int t = std::stoi(n.s[0].substr(0, colon));
        ASSERT_EQ(std::stoi(n.s[0].substr(colon + 1)), next[t]) << "sender " << t;
        ++next[t];
        ++pongs;
    }
    EXPECT_EQ(sv_client_dropped(c.engine), 0);
}
