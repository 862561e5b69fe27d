// The three pictures of the sample feedback module. Each view owns its surface and
// draws one audio event at a time; views run on the feedback thread only.
#ifndef SONVOX_API_SV_VIEWS_H
#define SONVOX_API_SV_VIEWS_H

#include <memory>
#include <string>
#include <vector>

#include "sonvox/api/sv_bar_meter.h"
#include "sonvox/api/sv_dib_surface.h"
#include "sonvox/engine/sv_module.h"

namespace sonvox {

class FeedbackView
{
public:
    virtual ~FeedbackView() = default;
    virtual void draw(const sv_feedback_event &event) = 0;
    const DibSurface &surface() const { return surface_; }

protected:
    FeedbackView(const sv_panel &panel, int width, int height)
        : surface_(panel, width, height)
    {}
    DibSurface surface_;
};

// "sample-spectrum": `bands` bars of width surface width / (bands + 1), gap 1, each
// reaching at most `bands` pixels; bar i shows bin i + 1 of a 2 x bands point
// transform (the last bar stays still).
class SpectrumView : public FeedbackView
{
public:
    SpectrumView(const sv_panel &panel, int width, int height, int bands);
    void draw(const sv_feedback_event &event) override;
    const BarMeter &meter() const { return meter_; }

private:
    int bands_;
    BarMeter meter_;
};

// "sample-vu": two bars (width 32, gap 4, up to 64 pixels) with the largest sample of
// each channel; a mono stream drives both.
class LevelView : public FeedbackView
{
public:
    LevelView(const sv_panel &panel, int width, int height);
    void draw(const sv_feedback_event &event) override;
    const BarMeter &meter() const { return meter_; }

private:
    BarMeter meter_;
};

// "sample-oscilloscope": one white dot per column for the first channel's samples;
// only the dot drawn in that column last time is erased.
class OscilloscopeView : public FeedbackView
{
public:
    OscilloscopeView(const sv_panel &panel, int width, int height);
    void draw(const sv_feedback_event &event) override;

private:
    std::vector<int> lastRow_;
};

// Creates the view of that exact name ("sample-spectrum", "sample-vu",
// "sample-oscilloscope"); nullptr for another name or an unusable size or band count.
std::unique_ptr<FeedbackView> makeView(const std::string &name, const sv_panel &panel, int width, int height,
                                       int bands);

} // namespace sonvox

#endif
