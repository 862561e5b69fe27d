#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sonvox/engine/engine_internal.h"
#include "sonvox/engine/message.h"

using sv::Message;

TEST(Messages, BlocksAndPropertyListsTravelBigEndian)
{
    const unsigned char data[3] = {1, 2, 3};
    sv_message m{};
    m.code = SV_NOTE_DATA; // byte, short, block
    m.n[0] = 7;
    m.n[1] = 0x1234;
    m.data = data;
    m.size = 3;
    Message out;
    ASSERT_EQ(sv::encode_message(m, out), SV_OK);
    EXPECT_EQ(out.bytes, (std::vector<uint8_t>{7, 0x12, 0x34, 0, 0, 0, 3, 1, 2, 3}));

    const sv_message_property props[] = {{"ab", SV_PROP_STRING, "xy", 0}, {"n", SV_PROP_INTEGER, nullptr, 258}};
    sv_message p{};
    p.code = SV_NOTE_STREAM_PROPERTIES;
    p.properties = props;
    p.property_count = 2;
    ASSERT_EQ(sv::encode_message(p, out), SV_OK);
    EXPECT_EQ(out.bytes, (std::vector<uint8_t>{0, 0, 0, 2,                              // count
                                               0, 0, 2, 'a', 'b', 0, 0, 2, 'x', 'y', 0, // string item
                                               1, 0, 1, 'n', 0,   0, 0, 1, 2}));        // integer item
    sv::Receiver r;
    sv_message back{};
    ASSERT_EQ(r.decode(out, back), SV_OK);
    ASSERT_EQ(back.property_count, 2);
    EXPECT_STREQ(back.properties[0].name, "ab");
    EXPECT_STREQ(back.properties[0].text, "xy");
    EXPECT_STREQ(back.properties[1].name, "n");
    EXPECT_EQ(back.properties[1].value, 258);
}

TEST(Messages, FieldsKeepTheirWidthAndOrder)
{
    const struct
    {
        int code;
        sv_message in;
        std::vector<int> numbers; // as received
    } cases[] = {
        {75, {75, {4, -514}, {}, nullptr, 0, nullptr, 0}, {4, -514}},
        {112, {112, {44100, 128, 2}, {}, nullptr, 0, nullptr, 0}, {44100, 128, 2}},
        {57, {57, {300, 50, 255}, {}, nullptr, 0, nullptr, 0}, {44, 50, 255}}, // bytes wrap
        {87, {87, {1, 2, 3, 99}, {}, nullptr, 0, nullptr, 0}, {1, 2, 3, 99}},
        {138, {138, {-5, 6, 7, 8}, {}, nullptr, 0, nullptr, 0}, {-5, 6, 7, 8}},
    };
    for (const auto &c : cases) {
        Message out;
        ASSERT_EQ(sv::encode_message(c.in, out), SV_OK) << c.code;
        sv::Receiver r;
        sv_message back{};
        ASSERT_EQ(r.decode(out, back), SV_OK) << c.code;
        for (size_t i = 0; i < c.numbers.size(); ++i)
            EXPECT_EQ(back.n[i], c.numbers[i]) << c.code << " field " << i;
    }
}

TEST(Messages, StringsShareTheReceiveBuffer)
{
    const struct
    {
        size_t name_len, value_len;
        size_t want_name, want_value;
    } cases[] = {
        {5, 5, 5, 5},
        {9000, 0, 8191, 0},
        {8191, 10, 8191, 0},    // the name fills the buffer: the value is dropped
        {8000, 500, 8000, 190}, // the value gets what is left
    };
    for (const auto &c : cases) {
        const std::string name(c.name_len, 'n'), value(c.value_len, 'v');
        sv_message m{};
        m.code = SV_NOTE_ENV_STRING;
        m.s[0] = name.c_str();
        m.s[1] = value.c_str();
        Message out;
        ASSERT_EQ(sv::encode_message(m, out), SV_OK);
        sv::Receiver r;
        sv_message back{};
        ASSERT_EQ(r.decode(out, back), SV_OK);
        EXPECT_EQ(std::string(back.s[0]), name.substr(0, c.want_name)) << c.name_len;
        EXPECT_EQ(std::string(back.s[1]), value.substr(0, c.want_value)) << c.name_len;
    }
}

TEST(Messages, ShapesAndBrokenPayloads)
{
    for (int code : {0, 53, 55, 68, 97, 99, 160, -1})
        EXPECT_EQ(sv::payload_shape(code), nullptr) << code;
    int with_shape = 0;
    for (int code = 1; code <= 159; ++code)
        with_shape += sv::payload_shape(code) != nullptr;
    EXPECT_EQ(with_shape, 159 - 5);

    sv_message m{};
    m.code = SV_NOTE_DATA;
    m.size = 4; // a size without data
    Message out;
    EXPECT_EQ(sv::encode_message(m, out), SV_ERR_INVALID_MESSAGE);

    // A payload cut short is refused rather than read past its end.
    Message cut;
    cut.code = SV_NOTE_ENV_STRING;
    cut.bytes = {0, 0, 0, 50, 'a'};
    sv::Receiver r;
    sv_message back{};
    EXPECT_EQ(r.decode(cut, back), SV_ERR_INVALID_MESSAGE);
}

TEST(ClientQueue, CoalescesPositionsAndDropsMinorReportsFirst)
{
    sv::ClientQueue q;
    auto push = [&q](int code, int value) {
        Message m;
        m.code = code;
        m.bytes = {static_cast<uint8_t>(value)};
        q.push(std::move(m));
    };
    push(SV_NOTE_ACK, 1);
    for (int i = 0; i < 5000; ++i) {
        push(SV_NOTE_POSITION, i);
        push(SV_NOTE_TIMECODE, i);
    }
    push(SV_NOTE_PLAYER_STATE, 3);
    EXPECT_EQ(q.size(), 4u); // ack, one position, one timecode, state
    Message m;
    ASSERT_TRUE(q.pop(m, std::chrono::milliseconds(0), false));
    EXPECT_EQ(m.code, SV_NOTE_ACK);
    ASSERT_TRUE(q.pop(m, std::chrono::milliseconds(0), false));
    EXPECT_EQ(m.code, SV_NOTE_POSITION);
    EXPECT_EQ(m.bytes[0], static_cast<uint8_t>(4999));

    // Past the soft limit progress/debug/data reports go; acks and errors stay.
    for (size_t i = 0; i < sv::ClientQueue::kSoftLimit + 10; ++i)
        push(SV_NOTE_DEBUG, 0);
    const size_t before = q.size();
    push(SV_NOTE_DEBUG, 0);
    push(SV_NOTE_ERROR, 0);
    push(SV_NOTE_NACK, 0);
    EXPECT_EQ(q.size(), before + 2);
    EXPECT_GE(q.dropped(), 9998 + 1);
}

TEST(MessageQueue, FullQueueIsReportedAfterTheRetriesAndClosedQueueRefuses)
{
    sv::MessageQueue q(1);
    Message a;
    a.code = SV_CMD_PLAY;
    ASSERT_EQ(sv::post_with_retry(q, std::move(a)), SV_OK);
    Message b;
    b.code = SV_CMD_STOP;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(sv::post_with_retry(q, std::move(b)), SV_ERR_QUEUE_FULL);
    // Eleven attempts ten milliseconds apart.
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(100));
    Message out;
    ASSERT_TRUE(q.pop(out, std::chrono::microseconds(0)));
    EXPECT_EQ(out.code, SV_CMD_PLAY);
    EXPECT_FALSE(q.pop(out, std::chrono::microseconds(1000)));
    q.close();
    Message c;
    c.code = SV_CMD_PLAY;
    EXPECT_EQ(sv::post_with_retry(q, std::move(c)), SV_ERR_INTERNAL);
}
