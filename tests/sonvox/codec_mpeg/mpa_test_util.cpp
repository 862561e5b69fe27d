#include "mpa_test_util.h"

#include <fstream>
#include <iterator>

std::vector<uint8_t> read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

DecodeResult decode_all(const std::vector<uint8_t> &bytes, int channel_selection, int downsampling)
{
    DecodeResult r;
    mpa_decoder *d = mpa_new();
    mpa_set_channel_selection(d, channel_selection);
    mpa_set_downsampling(d, downsampling);
    mpa_memory_input in{bytes.data(), bytes.size(), 0};
    int16_t pcm[MPA_MAX_FRAME_SAMPLES];
    mpa_frame_info info{};
    // a stream can never need more calls than it has bytes (every call consumes input)
    for (size_t calls = 0; calls <= bytes.size() + 1; calls++) {
        int n = mpa_decode_frame(d, mpa_memory_read, &in, pcm, &info);
        r.frame_results.push_back(n);
        if (n == SV_ERR_INVALID_FRAME) {
            r.dropped++;
            continue;
        }
        if (n < 0) {
            r.end_code = n;
            break;
        }
        r.frames++;
        r.silent += info.silent;
        r.channels = info.out_channels;
        r.frequency = info.out_frequency;
        r.pcm.insert(r.pcm.end(), pcm, pcm + n * info.out_channels);
    }
    mpa_free(d);
    return r;
}
