// Fuzz target for the MPEG codec: stream start (ID3v2, first header, Xing/VBRI) and the
// frame reader with Layer I/II/III decoding, over arbitrary bytes. The first byte chooses
// how the input behaves (short reads, no seeking, unknown size), the channel selection
// and downsampling, and where to seek after the first pass; the rest is the stream.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"
#include "sonvox/modules/codec_mpeg/mpeg_codec_module.h"
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

    sv_codec_module m{};
    sv_mpeg_codec_register(&m);
    void *codec = nullptr;
    if (m.create(&codec, "audio/unknown", "fuzz.mp3", nullptr, &in.decoder) != 0)
        return 0;
    sv_codec_settings settings{};
    settings.setting1 = (options >> 3) & 3;
    settings.setting2 = (options >> 5) % 3;
    settings.has_equalizer = options >> 7;
    for (int i = 0; i < 64; ++i)
        settings.equalizer[i] = static_cast<signed char>(i * 5 - 160);
    m.set_settings(codec, &settings, SV_CODEC_SETTING_1 | SV_CODEC_SETTING_2 | SV_CODEC_EQUALIZER);

    sv_stream_info info{};
    info.properties = sv_props_new();
    if (m.input_changed(codec, "audio/unknown", "fuzz.mp3") == 0 && m.start_stream(codec, &info) == 0) {
        // Exactly the advertised capacity, so that a write past it is caught.
        std::vector<int16_t> pcm(MPEG_CODEC_MAX_BLOCK_BYTES / 2);
        for (int pass = 0; pass < 2; ++pass) {
            // Every call takes at least one byte (those read ahead at the stream start
            // included), so more calls than bytes mean the reader is stuck.
            const size_t most_calls = in.bytes.size() + 256;
            for (size_t calls = 0;; ++calls) {
                if (calls > most_calls)
                    __builtin_trap();
                sv_output_block block{};
                block.samples = pcm.data();
                block.capacity = MPEG_CODEC_MAX_BLOCK_BYTES;
                int r = m.decode(codec, &block, &info);
                if (r != 0 && r != SV_ERR_INVALID_FRAME)
                    break;
                // Every frame fits the block.
                if (r == 0
                    && (block.channels < 1 || block.channels > 2 || block.samples_per_channel < 0
                        || block.samples_per_channel * block.channels * 2 > block.capacity))
                    __builtin_trap();
            }
            int64_t offset = m.fraction_to_offset(codec, 0.37f);
            m.offset_to_fraction(codec, offset);
            if (in.seek(&in, offset) == 0)
                m.seek_done(codec, offset);
        }
    }
    sv_props_free(info.properties);
    m.destroy(codec);
    return 0;
}
