#include "sonvox/api/sv_views.h"

#include <algorithm>

#include "sonvox/api/sv_spectrum_math.h"

namespace sonvox {

namespace {

bool usableAudio(const sv_feedback_event &e)
{
    return e.type == SV_FEEDBACK_AUDIO && e.samples != nullptr && e.samples_per_channel > 0 && e.channels > 0;
}

unsigned largestSample(const signed char *block, int count)
{
    int top = 0; // negative samples count as 0
    for (int i = 0; i < count; ++i)
        top = std::max(top, static_cast<int>(block[i]));
    return static_cast<unsigned>(top);
}

} // namespace

SpectrumView::SpectrumView(const sv_panel &panel, int width, int height, int bands)
    : FeedbackView(panel, width, height),
      bands_(bands),
      meter_(bands, static_cast<unsigned>(width / (bands + 1)), 1, static_cast<unsigned>(bands))
{}

void SpectrumView::draw(const sv_feedback_event &event)
{
    if (!usableAudio(event))
        return;
    const int n = std::min(2 * bands_, event.samples_per_channel);
    if (spectrum::isPowerOfTwo(n) && n >= 2 && n <= spectrum::kTableSize) {
        std::vector<spectrum::Complex> data = spectrum::windowedInput(event.samples, n);
        spectrum::fft(data);
        const std::vector<int> values = spectrum::stretch(spectrum::binLevels(data), bands_);
        for (int i = 1; i < bands_; ++i)
            meter_.bar(i - 1).update(static_cast<unsigned>(values[static_cast<size_t>(i)]) / 2);
    }
    meter_.draw(surface_);
}

LevelView::LevelView(const sv_panel &panel, int width, int height)
    : FeedbackView(panel, width, height),
      meter_(2, 32, 4, 64)
{}

void LevelView::draw(const sv_feedback_event &event)
{
    if (!usableAudio(event))
        return;
    const int count = event.samples_per_channel;
    const unsigned left = largestSample(event.samples, count);
    const unsigned right = event.channels >= 2 ? largestSample(event.samples + count, count) : left;
    meter_.bar(0).update(left);
    meter_.bar(1).update(right);
    meter_.draw(surface_);
}

OscilloscopeView::OscilloscopeView(const sv_panel &panel, int width, int height)
    : FeedbackView(panel, width, height),
      lastRow_(static_cast<size_t>(width), 0)
{}

void OscilloscopeView::draw(const sv_feedback_event &event)
{
    if (!usableAudio(event))
        return;
    const int height = surface_.height();
    const int columns = std::min(event.samples_per_channel, surface_.width());
    for (int i = 0; i < columns; ++i) {
        const int y = height * event.samples[i] / 256 + height / 2;
        surface_.setPixel(i, lastRow_[static_cast<size_t>(i)], 0x000000);
        lastRow_[static_cast<size_t>(i)] = y;
        surface_.setPixel(i, y, 0xFFFFFF);
    }
    surface_.show();
}

std::unique_ptr<FeedbackView> makeView(const std::string &name, const sv_panel &panel, int width, int height, int bands)
{
    if (!DibSurface::validSize(width, height))
        return nullptr;
    if (name == "sample-spectrum") {
        if (bands < 1 || bands > 4096)
            return nullptr;
        return std::make_unique<SpectrumView>(panel, width, height, bands);
    }
    if (name == "sample-vu")
        return std::make_unique<LevelView>(panel, width, height);
    if (name == "sample-oscilloscope")
        return std::make_unique<OscilloscopeView>(panel, width, height);
    return nullptr;
}

} // namespace sonvox
