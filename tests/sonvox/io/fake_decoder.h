// A stand-in for the engine's side of the module interface: report functions that
// record what modules say, a decoder environment and a stream property list.
#pragma once

#include <string>
#include <vector>

#include "sonvox/engine/sv_module.h"

struct Report
{
    char kind; // 'd' debug, 'e' error, 'p' progress
    int code_or_level;
    std::string text;
    std::string detail;
};

class FakeDecoder
{
public:
    FakeDecoder()
    {
        stream_.properties = sv_props_new();
        decoder_.engine = this;
        decoder_.debug = [](void *e, int, int level, const char *text, const char *detail) {
            static_cast<FakeDecoder *>(e)->reports.push_back({'d', level, text ? text : "", detail ? detail : ""});
        };
        decoder_.error = [](void *e, int, int code, const char *text, const char *detail) {
            static_cast<FakeDecoder *>(e)->reports.push_back({'e', code, text ? text : "", detail ? detail : ""});
        };
        decoder_.progress = [](void *e, int, int code, int, const char *text) {
            static_cast<FakeDecoder *>(e)->reports.push_back({'p', code, text ? text : "", ""});
        };
        decoder_.environment = sv_props_new();
        decoder_.stream = &stream_;
    }
    ~FakeDecoder()
    {
        sv_props_free(stream_.properties);
        sv_props_free(decoder_.environment);
    }
    FakeDecoder(const FakeDecoder &) = delete;
    FakeDecoder &operator=(const FakeDecoder &) = delete;

    sv_decoder *get() { return &decoder_; }
    sv_stream_info &stream() { return stream_; }
    sv_props *environment() { return decoder_.environment; }

    // The string property `name` of the stream, or "<none>".
    std::string property(const char *name) const
    {
        char buffer[256];
        if (sv_props_get_string(stream_.properties, name, buffer, sizeof buffer) != 0)
            return "<none>";
        return buffer;
    }

    std::vector<Report> reports;

private:
    sv_decoder decoder_{};
    sv_stream_info stream_{};
};
