#pragma once
// Volume arithmetic and the process-wide volume word.
//
// Volume sliders run 0 ... 169 and give a step (position div 13, 0 ... 13); a step s
// gives the channel level s * 5000, so the loudest step gives 65000. The control
// window's balance slider (1 ... 26, centre 13) sends the level to the left channel
// (1 ... 12), both (13) or the right channel (14 ... 26); the other channel is silent.
//
// The volume word carries the left level in its low 16 bits and the right level in its
// high 16 bits. Setting it reaches every output of the process at once: each
// VolumeOutput registered with the ProcessVolume (the media layer's gain, the audio
// library's setter) receives the new word. All calls come from the user-interface
// thread.

#include <QtGlobal>

#include <functional>
#include <vector>

constexpr int kVolumeSliderMax = 169;
constexpr int kVolumeSliderDefault = 85;
constexpr int kVolumeStepMax = 13;
constexpr int kVolumeLevelPerStep = 5000;
constexpr int kBalanceMin = 1;
constexpr int kBalanceCentre = 13;
constexpr int kBalanceMax = 26;

enum class VolumeChannels { Left, Both, Right };

// Step of a volume slider position (position div 13).
constexpr int volumeStep(int sliderPosition)
{
    return sliderPosition / 13;
}
// Level of one channel for a step.
constexpr quint16 channelLevel(int step)
{
    return quint16(step * kVolumeLevelPerStep);
}
// The word for a pair of channel levels.
constexpr quint32 volumeWord(quint16 left, quint16 right)
{
    return quint32(right) << 16 | left;
}
constexpr quint16 leftLevel(quint32 word)
{
    return quint16(word & 0xFFFFu);
}
constexpr quint16 rightLevel(quint32 word)
{
    return quint16(word >> 16);
}

// Which channels a balance position selects.
VolumeChannels balanceChannels(int balance);

// Receives the volume word whenever it changes.
class VolumeOutput
{
public:
    virtual ~VolumeOutput() = default;
    virtual void setVolumeWord(quint32 word) = 0;
};

// The process-wide volume word and the outputs it is sent to. The media layer's gain is
// always one of them; the integration adds the audio library's setter.
class ProcessVolume
{
public:
    static ProcessVolume &instance();

    void addOutput(VolumeOutput *output);
    void removeOutput(VolumeOutput *output);
    // Stores the word and hands it to every output.
    void setWord(quint32 word);
    quint32 word() const { return word_; }

    // The three setters: step s (0 ... 13) to the left channel, the right channel or
    // both; the other channel is set to 0. A step out of range is refused (false) and
    // the volume is left as it was.
    bool SetLeftVolume(int step);
    bool SetRightVolume(int step);
    bool SetBothVolume(int step);
    // The setter chosen by a balance position, with step s.
    bool setVolumeByBalance(int step, int balance);

    // A volume slider moved: its step to the channels the balance selects.
    bool applySlider(int sliderPosition, int balance);
    // The balance slider moved: the level comes from the balance position alone
    // (13 - p to the left for p <= 12, 13 to both at the centre, p - 13 to the right).
    bool applyBalance(int balance);

private:
    ProcessVolume();
    quint32 word_ = 0xFFFFFFFFu;
    std::vector<VolumeOutput *> outputs_;
};
