// Helpers shared by the decoder tests: file loading and whole-stream decoding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sonvox/modules/codec_mpeg/mpa_decoder.h"

std::vector<uint8_t> read_file(const std::string &path);

struct DecodeResult
{
    std::vector<int16_t> pcm;       // all frames, interleaved
    std::vector<int> frame_results; // return value of every decode call
    int channels = 0;               // of the last frame
    int frequency = 0;              // of the last frame
    int frames = 0;                 // frames with output
    int dropped = 0;                // calls returning -700
    int silent = 0;                 // frames output as silence
    int end_code = 0;               // the final negative code
};

// Decodes a whole byte buffer; `setup` may change settings before the first frame.
DecodeResult decode_all(const std::vector<uint8_t> &bytes, int channel_selection = 0, int downsampling = 0);
