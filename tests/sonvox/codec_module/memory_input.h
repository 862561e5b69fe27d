// An in-memory stand-in for the engine's decoder services, for driving codecs in tests
// and fuzz targets without an engine: a byte buffer behind read/seek/position/size.
#ifndef TESTS_SONVOX_CODEC_MODULE_MEMORY_INPUT_H
#define TESTS_SONVOX_CODEC_MODULE_MEMORY_INPUT_H

#include <cstdint>
#include <cstring>
#include <vector>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"

struct MemoryInput
{
    std::vector<uint8_t> bytes;
    int64_t pos = 0;
    bool size_known = true;   // false: size() reports 0 like a stream of unknown length
    bool seekable = true;     // false: seek() fails like a pipe
    bool short_reads = false; // true: a read past the end returns what is left (else 0)
    int timeouts = 0;         // the next reads fail with -104 this many times
    sv_decoder decoder{};

    explicit MemoryInput(std::vector<uint8_t> data = {})
        : bytes(std::move(data))
    {
        decoder.engine = this;
        decoder.read = &MemoryInput::read;
        decoder.seek = &MemoryInput::seek;
        decoder.position = &MemoryInput::position;
        decoder.size = &MemoryInput::size;
    }
    MemoryInput(const MemoryInput &) = delete;
    MemoryInput &operator=(const MemoryInput &) = delete;

    static MemoryInput *self(void *engine) { return static_cast<MemoryInput *>(engine); }

    static int read(void *engine, void *buffer, int size)
    {
        MemoryInput *m = self(engine);
        if (m->timeouts > 0) {
            --m->timeouts;
            return SV_ERR_TIMEOUT;
        }
        if (size <= 0)
            return 0;
        int64_t left = static_cast<int64_t>(m->bytes.size()) - m->pos;
        if (left <= 0)
            return 0;
        if (left < size) {
            if (!m->short_reads)
                return 0;
            size = static_cast<int>(left);
        }
        std::memcpy(buffer, m->bytes.data() + m->pos, static_cast<size_t>(size));
        m->pos += size;
        return size;
    }
    static int seek(void *engine, int64_t offset)
    {
        MemoryInput *m = self(engine);
        if (!m->seekable || offset < 0)
            return SV_ERR_INVALID_PARAMETERS;
        m->pos = offset > static_cast<int64_t>(m->bytes.size()) ? static_cast<int64_t>(m->bytes.size()) : offset;
        return 0;
    }
    static int64_t position(void *engine) { return self(engine)->pos; }
    static int64_t size(void *engine)
    {
        MemoryInput *m = self(engine);
        return m->size_known ? static_cast<int64_t>(m->bytes.size()) : 0;
    }
};

#endif
