// The sample feedback module as the feedback thread sees it: descriptor, probe, info,
// handler creation from the feedback environment, events.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "picture.h"
#include "sonvox/api/sv_sample_feedback.h"
#include "sonvox/engine/sv_errors.h"

namespace {

// A feedback environment that knows at most one integer, CLIENT.FEEDBACK-WINDOW.
struct FakeEnv
{
    bool has = false;
    int window = 0;

    static int getInt(void *ctx, const char *name, int *value)
    {
        auto *self = static_cast<FakeEnv *>(ctx);
        if (!self->has || std::strcmp(name, "CLIENT.FEEDBACK-WINDOW") != 0)
            return SV_ERR_NO_SUCH_PROPERTY;
        *value = self->window;
        return 0;
    }
    sv_feedback_env env()
    {
        sv_feedback_env e{};
        e.context = this;
        e.get_int = &FakeEnv::getInt;
        return e;
    }
};

sv_feedback_module describe()
{
    sv_feedback_module m;
    std::memset(&m, 0, sizeof m);
    EXPECT_EQ(sv_sample_feedback_register(&m), 0);
    return m;
}

} // namespace

TEST(SampleFeedbackModuleTest, DescriptorProbeAndInfo)
{
    const sv_feedback_module m = describe();
    EXPECT_EQ(m.version, 0x030801);
    ASSERT_TRUE(m.probe && m.info && m.create && m.destroy && m.event && m.start && m.stop);
    EXPECT_EQ(m.send_message, nullptr);

    const std::pair<const char *, int> probes[] = {{"sample-spectrum", 0},
                                                   {"sample-spectrum-wide", 0},
                                                   {"sample-vu", 0},
                                                   {"sample-vu2", 0},
                                                   {"sample-oscilloscope", 0},
                                                   {"sample-spectru", SV_ERR_PLUGIN_NOT_FOUND},
                                                   {"sample-v", SV_ERR_PLUGIN_NOT_FOUND},
                                                   {"", SV_ERR_PLUGIN_NOT_FOUND},
                                                   {"spectrum", SV_ERR_PLUGIN_NOT_FOUND}};
    for (const auto &[name, want] : probes)
        EXPECT_EQ(m.probe(name), want) << name;

    sv_module_info info{};
    info.flags = 99;
    ASSERT_EQ(m.info(&info, SV_INFO_NAME), 0);
    EXPECT_STREQ(info.name, "Sample Feedback Module");
    EXPECT_STREQ(info.description, "Version 1.0");
    EXPECT_EQ(info.flags, 0);
    ASSERT_EQ(m.info(&info, SV_INFO_DEVICE_COUNT), 0);
    EXPECT_EQ(info.count, 1);
    const char *handlers[] = {"sample-spectrum", "sample-vu", "sample-oscilloscope"};
    for (int i = 0; i < 3; ++i) {
        info.count = i;
        ASSERT_EQ(m.info(&info, SV_INFO_DEVICE), 0);
        EXPECT_STREQ(info.name, handlers[i]);
        EXPECT_STREQ(info.description, "sample feedback handler");
    }
    info.count = 3;
    EXPECT_EQ(m.info(&info, SV_INFO_DEVICE), SV_ERR_INVALID_PARAMETERS);
}

TEST(SampleFeedbackModuleTest, CreatesTheNamedViewOnTheRegisteredPanel)
{
    const sv_feedback_module m = describe();
    testpic::Recorder rec;
    const sv_panel panel = rec.panel();
    const int id = sv_panel_table_add(&panel, 80, 70, 4);
    ASSERT_GT(id, 0);
    FakeEnv env;
    sv_feedback_env e = env.env();
    void *instance = reinterpret_cast<void *>(1);

    // Missing environment integer: its error, no instance.
    EXPECT_EQ(m.create(&instance, "sample-vu", nullptr, nullptr, &e), SV_ERR_NO_SUCH_PROPERTY);
    EXPECT_EQ(instance, nullptr);
    env.has = true;
    env.window = id + 1000; // no such panel
    EXPECT_LT(m.create(&instance, "sample-vu", nullptr, nullptr, &e), 0);
    env.window = id;
    EXPECT_EQ(m.create(&instance, "sample-vu-x", nullptr, nullptr, &e),
              SV_ERR_INVALID_PARAMETERS); // probes, but not exact
    EXPECT_EQ(instance, nullptr);

    for (const char *name : {"sample-spectrum", "sample-vu", "sample-oscilloscope"}) {
        rec.frames.clear();
        ASSERT_EQ(m.create(&instance, name, nullptr, nullptr, &e), 0) << name;
        ASSERT_NE(instance, nullptr);
        EXPECT_EQ(m.start(instance), 0);
        signed char samples[512];
        for (int i = 0; i < 512; ++i)
            samples[i] = static_cast<signed char>(i * 37);
        sv_feedback_event ev{};
        ev.type = SV_FEEDBACK_AUDIO;
        ev.channels = 2;
        ev.samples_per_channel = 256;
        ev.samples = samples;
        EXPECT_EQ(m.event(instance, &ev), 0);
        ev.type = SV_FEEDBACK_TIMECODE; // not audio: nothing drawn
        EXPECT_EQ(m.event(instance, &ev), 0);
        EXPECT_EQ(m.stop(instance), 0);
        EXPECT_EQ(m.destroy(instance), 0);
        ASSERT_EQ(rec.frames.size(), 1u) << name;
        EXPECT_EQ(rec.width, 80);
        EXPECT_EQ(rec.height, 70);
        bool lit = false;
        for (uint32_t p : rec.frames[0])
            lit |= p != 0;
        EXPECT_TRUE(lit) << name << " drew nothing";
    }

    sv_panel_table_remove(id);
    EXPECT_LT(m.create(&instance, "sample-vu", nullptr, nullptr, &e), 0);
}

TEST(SampleFeedbackModuleTest, NoPanelRegistersNothing)
{
    const sv_panel noCallback{nullptr, nullptr};
    EXPECT_EQ(sv_panel_table_add(nullptr, 224, 68, 32), 0);
    EXPECT_EQ(sv_panel_table_add(&noCallback, 224, 68, 32), 0);
}
