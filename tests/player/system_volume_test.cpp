#include "player/system_volume.h"

#include "platform/media_player.h"

#include <gtest/gtest.h>

namespace {

class RecordingOutput final : public VolumeOutput
{
public:
    void setVolumeWord(quint32 word) override { words.push_back(word); }
    std::vector<quint32> words;
};

class SystemVolume : public ::testing::Test
{
protected:
    void SetUp() override { volume.addOutput(&output); }
    void TearDown() override
    {
        volume.removeOutput(&output);
        volume.setWord(0xFFFFFFFFu);
    }
    ProcessVolume &volume = ProcessVolume::instance();
    RecordingOutput output;
};

TEST_F(SystemVolume, SliderAndBalanceGiveChannelLevels)
{
    struct Case
    {
        int slider;
        int balance;
        quint16 left;
        quint16 right;
    };
    const Case cases[] = {
        {0, 13, 0, 0},          {12, 13, 0, 0},          {13, 13, 5000, 5000},    {25, 13, 5000, 5000},
        {85, 13, 30000, 30000}, {168, 13, 60000, 60000}, {169, 13, 65000, 65000}, {169, 1, 65000, 0},
        {169, 12, 65000, 0},    {169, 14, 0, 65000},     {169, 26, 0, 65000},     {85, 26, 0, 30000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "slider " << c.slider << " balance " << c.balance);
        ASSERT_TRUE(volume.applySlider(c.slider, c.balance));
        EXPECT_EQ(leftLevel(volume.word()), c.left);
        EXPECT_EQ(rightLevel(volume.word()), c.right);
        // Every output hears the change at once: the media layer and the others.
        EXPECT_EQ(mediaVolumeWord(), volume.word());
        EXPECT_EQ(output.words.back(), volume.word());
    }
}

TEST_F(SystemVolume, BalanceAloneSetsTheLevel)
{
    struct Case
    {
        int balance;
        quint16 left;
        quint16 right;
    };
    const Case cases[] = {
        {1, 60000, 0}, {12, 5000, 0}, {13, 65000, 65000}, {14, 0, 5000}, {26, 0, 65000},
    };
    volume.applySlider(0, 13); // the main slider is not consulted
    for (const Case &c : cases) {
        SCOPED_TRACE(c.balance);
        ASSERT_TRUE(volume.applyBalance(c.balance));
        EXPECT_EQ(leftLevel(volume.word()), c.left);
        EXPECT_EQ(rightLevel(volume.word()), c.right);
    }
}

TEST_F(SystemVolume, WordLayoutAndRefusedSteps)
{
    EXPECT_EQ(volumeWord(1, 2), 0x00020001u);
    ASSERT_TRUE(volume.SetLeftVolume(3));
    EXPECT_EQ(volume.word(), 15000u);
    ASSERT_TRUE(volume.SetRightVolume(13));
    EXPECT_EQ(volume.word(), 65000u << 16);

    const quint32 before = volume.word();
    const size_t calls = output.words.size();
    EXPECT_FALSE(volume.SetBothVolume(14));
    EXPECT_FALSE(volume.SetLeftVolume(-1));
    EXPECT_FALSE(volume.applySlider(170, 13));
    EXPECT_FALSE(volume.applySlider(-1, 13));
    EXPECT_FALSE(volume.applyBalance(0));
    EXPECT_FALSE(volume.applyBalance(27));
    EXPECT_EQ(volume.word(), before);
    EXPECT_EQ(output.words.size(), calls);
}

TEST_F(SystemVolume, NewOutputGetsTheCurrentWord)
{
    volume.applySlider(85, 13);
    RecordingOutput late;
    volume.addOutput(&late);
    ASSERT_EQ(late.words.size(), 1u);
    EXPECT_EQ(late.words[0], volumeWord(30000, 30000));
    volume.removeOutput(&late);
}

} // namespace
