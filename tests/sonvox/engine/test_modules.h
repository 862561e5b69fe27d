// Small modules for driving the engine in tests: a memory input, a codec that turns
// input bytes into a counted pattern, an output that captures what it is given and a
// feedback handler that records its events.
#ifndef TESTS_SONVOX_ENGINE_TEST_MODULES_H
#define TESTS_SONVOX_ENGINE_TEST_MODULES_H

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "sonvox/engine/sv_engine.h"

namespace testmod {

// Memory input: accepts names "mem:<bytes>" (the stream is that many bytes, byte i
// holding i % 251). The codec makes one stereo frame per input byte.
int memory_input_register(void *descriptor);
// Codec: reads 64 input bytes per decode and writes 64 stereo frames at 8000 Hz whose
// left sample is 256 * (byte index) and right sample the negation; reports content
// type "audio/x-test", a duration of (size / 8000) s, parameters and one property.
int pattern_codec_register(void *descriptor);
// Output: records every write and control call. A non-zero `write_delay_us` paces it.
int capture_output_register(void *descriptor);
// Feedback handler accepting names beginning with "rec".
int recording_feedback_register(void *descriptor);

struct Capture
{
    std::mutex mutex;
    std::vector<int16_t> samples;    // everything written, interleaved
    std::vector<int> control_flags;  // flags of every set_control call
    std::vector<std::string> opened; // output names opened
    int frequency = 0, channels = 0;
    std::atomic<int> write_delay_us{0};
    std::atomic<int> latency_ms{0}; // reported with the latency capability when non-zero
    std::atomic<int> writes{0};

    void reset();
    std::vector<int16_t> take_samples();
    bool saw_control(int flag);
};
Capture &capture();

struct FeedbackLog
{
    std::mutex mutex;
    std::vector<sv_feedback_event> events; // samples pointer cleared
    std::vector<std::vector<signed char>> samples;
    std::vector<long long> delivered_us; // monotonic time of delivery
    int started = 0, stopped = 0;
    void reset();
};
FeedbackLog &feedback_log();

// Init hook that registers the memory input, the pattern codec and the capture output.
int register_all(void *user, sv_engine *control, sv_decoder *decoder);

// Left sample of frame i of "mem:" input as written by the pattern codec.
inline int16_t pattern_left(long i)
{
    return static_cast<int16_t>((i % 251) * 128);
}

} // namespace testmod

#endif
