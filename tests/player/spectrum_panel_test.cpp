#include "player/spectrum_panel.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A picture whose bottom row is red and the rest blue, sent bottom row first.
std::vector<uint32_t> bottomRedPicture(int width, int height)
{
    std::vector<uint32_t> pixels(size_t(width) * size_t(height), 0x000000FFu);
    for (int x = 0; x < width; ++x)
        pixels[size_t(x)] = 0x00FF0000u;
    return pixels;
}

TEST(SpectrumPanelTest, PictureFromAnotherThreadIsShownUpright)
{
    SpectrumPanel panel;
    EXPECT_EQ(panel.objectName(), QStringLiteral("Panel2"));
    EXPECT_EQ(panel.size(), QSize(257, 47));
    EXPECT_TRUE(panel.picture().isNull());

    const sv_panel *descriptor = panel.panel();
    ASSERT_NE(descriptor->present, nullptr);
    const auto pixels = bottomRedPicture(8, 4);
    std::thread feedback([&] { descriptor->present(descriptor->user, pixels.data(), 8, 4); });
    feedback.join();
    QCoreApplication::processEvents();

    const QImage shown = panel.picture();
    ASSERT_EQ(shown.size(), QSize(8, 4));
    EXPECT_EQ(shown.pixel(0, 3) & 0xFFFFFFu, 0xFF0000u) << "the first row sent is the bottom row";
    EXPECT_EQ(shown.pixel(0, 0) & 0xFFFFFFu, 0x0000FFu);
}

} // namespace
