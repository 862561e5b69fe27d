// Fuzz target for the WAVE codec: header parsing, stream start and block decoding over
// arbitrary bytes. The first byte chooses how the input behaves (short reads, no seeking,
// unknown size, timeouts) and where to seek afterwards; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sonvox/engine/sv_module.h"
#include "sonvox/modules/codec_wave/wave_codec.h"
#include "tests/sonvox/codec_module/memory_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t options = data[0];
    MemoryInput in(std::vector<uint8_t>(data + 1, data + size));
    in.short_reads = options & 1;
    in.seekable = !(options & 2);
    in.size_known = !(options & 4);
    in.timeouts = (options >> 3) & 3;

    sv_codec_module m{};
    sv_wave_codec_register(&m);
    void *codec = nullptr;
    if (m.create(&codec, "audio/unknown", "fuzz.wav", nullptr, &in.decoder) != 0)
        return 0;
    sv_stream_info info{};
    if (m.input_changed(codec, "audio/unknown", "fuzz.wav") == 0 && m.start_stream(codec, &info) == 0) {
        // Exactly the advertised capacity, so that a write past it is caught.
        std::vector<uint8_t> buffer(WAVE_MAX_BLOCK_BYTES);
        for (int pass = 0; pass < 2; ++pass) {
            for (;;) {
                sv_output_block block{};
                block.samples = buffer.data();
                block.capacity = static_cast<int>(buffer.size());
                int64_t before = in.pos;
                if (m.decode(codec, &block, &info) != 0)
                    break;
                // Every successful block makes progress and fits the buffer.
                if (in.pos <= before || block.channels < 1 || block.samples_per_channel < 1
                    || block.samples_per_channel * block.channels * 2 > block.capacity)
                    __builtin_trap();
            }
            in.seek(&in, static_cast<int64_t>(in.bytes.size()) * (options >> 5) / 8);
        }
    }
    m.destroy(codec);
    return 0;
}
