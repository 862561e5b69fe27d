#include "player/system_volume.h"

#include "platform/media_player.h"

#include <algorithm>

namespace {

bool stepInRange(int step)
{
    return step >= 0 && step <= kVolumeStepMax;
}

// The media layer applies the word as a gain to every file it plays.
class MediaLayerVolume final : public VolumeOutput
{
public:
    void setVolumeWord(quint32 word) override { setMediaVolumeWord(word); }
};

} // namespace

VolumeChannels balanceChannels(int balance)
{
    if (balance < kBalanceCentre)
        return VolumeChannels::Left;
    if (balance == kBalanceCentre)
        return VolumeChannels::Both;
    return VolumeChannels::Right;
}

ProcessVolume &ProcessVolume::instance()
{
    static ProcessVolume volume;
    return volume;
}

ProcessVolume::ProcessVolume()
{
    static MediaLayerVolume mediaLayer;
    outputs_.push_back(&mediaLayer);
    word_ = mediaVolumeWord();
}

void ProcessVolume::addOutput(VolumeOutput *output)
{
    if (output && std::find(outputs_.begin(), outputs_.end(), output) == outputs_.end()) {
        outputs_.push_back(output);
        output->setVolumeWord(word_);
    }
}

void ProcessVolume::removeOutput(VolumeOutput *output)
{
    outputs_.erase(std::remove(outputs_.begin(), outputs_.end(), output), outputs_.end());
}

void ProcessVolume::setWord(quint32 word)
{
    word_ = word;
    for (VolumeOutput *output : outputs_)
        output->setVolumeWord(word);
}

bool ProcessVolume::SetLeftVolume(int step)
{
    if (!stepInRange(step))
        return false;
    setWord(volumeWord(channelLevel(step), 0));
    return true;
}

bool ProcessVolume::SetRightVolume(int step)
{
    if (!stepInRange(step))
        return false;
    setWord(volumeWord(0, channelLevel(step)));
    return true;
}

bool ProcessVolume::SetBothVolume(int step)
{
    if (!stepInRange(step))
        return false;
    setWord(volumeWord(channelLevel(step), channelLevel(step)));
    return true;
}

bool ProcessVolume::setVolumeByBalance(int step, int balance)
{
    switch (balanceChannels(balance)) {
    case VolumeChannels::Left: return SetLeftVolume(step);
    case VolumeChannels::Both: return SetBothVolume(step);
    case VolumeChannels::Right: return SetRightVolume(step);
    }
    return false;
}

bool ProcessVolume::applySlider(int sliderPosition, int balance)
{
    if (sliderPosition < 0 || sliderPosition > kVolumeSliderMax)
        return false;
    return setVolumeByBalance(volumeStep(sliderPosition), balance);
}

bool ProcessVolume::applyBalance(int balance)
{
    if (balance < kBalanceMin || balance > kBalanceMax)
        return false;
    const int step = balance < kBalanceCentre    ? kBalanceCentre - balance
                     : balance == kBalanceCentre ? kVolumeStepMax
                                                 : balance - kBalanceCentre;
    return setVolumeByBalance(step, balance);
}
