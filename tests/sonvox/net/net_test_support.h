// What the network input's tests share: a recorder standing in for the engine's side of
// the module interface and the module driven through its descriptor.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"
#include "sonvox/modules/input_network/sv_net_internal.h"
#include "sonvox/modules/input_network/sv_network_input.h"
#include "tests/sonvox/net/loopback_server.h"

namespace nettest {

struct Report
{
    char kind; // 'p' progress, 'd' debug, 'e' error
    int code;  // progress code, debug level or error code
    int value; // progress value
    std::string text, detail;
};

class Recorder
{
public:
    Recorder()
    {
        stream_.properties = sv_props_new();
        std::snprintf(stream_.content_type, sizeof stream_.content_type, "unknown");
        decoder_.engine = this;
        decoder_.progress = [](void *e, int, int code, int value, const char *text) {
            static_cast<Recorder *>(e)->reports.push_back({'p', code, value, text ? text : "", ""});
        };
        decoder_.debug = [](void *e, int, int level, const char *text, const char *detail) {
            static_cast<Recorder *>(e)->reports.push_back({'d', level, 0, text ? text : "", detail ? detail : ""});
        };
        decoder_.error = [](void *e, int, int code, const char *text, const char *detail) {
            static_cast<Recorder *>(e)->reports.push_back({'e', code, 0, text ? text : "", detail ? detail : ""});
        };
        decoder_.environment = sv_props_new();
        decoder_.stream = &stream_;
    }
    ~Recorder()
    {
        sv_props_free(stream_.properties);
        sv_props_free(decoder_.environment);
    }
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    sv_decoder *get() { return &decoder_; }
    sv_stream_info &stream() { return stream_; }
    void set(const char *name, int value) { sv_props_set_int(decoder_.environment, name, value); }
    void set(const char *name, const char *text) { sv_props_set_string(decoder_.environment, name, text); }

    std::string property(const char *name) const
    {
        char buffer[1024];
        return sv_props_get_string(stream_.properties, name, buffer, sizeof buffer) == 0 ? buffer : "<none>";
    }
    bool has(char kind, int code, const std::string &text) const
    {
        for (const auto &r : reports)
            if (r.kind == kind && r.code == code && r.text == text)
                return true;
        return false;
    }
    // Progress codes in the order they were reported.
    std::vector<int> progress_codes() const
    {
        std::vector<int> codes;
        for (const auto &r : reports)
            if (r.kind == 'p')
                codes.push_back(r.code);
        return codes;
    }

    std::vector<Report> reports;

private:
    sv_decoder decoder_{};
    sv_stream_info stream_{};
};

// The module's instance, created on a name and destroyed with the object.
class NetInput
{
public:
    NetInput(Recorder &rec, const std::string &name)
    {
        sv_network_input_register(&m_);
        entry_.id = 1;
        created_ = m_.create(&instance_, name.c_str(), &entry_, rec.get());
    }
    ~NetInput()
    {
        if (instance_)
            m_.destroy(instance_);
    }
    NetInput(const NetInput &) = delete;
    NetInput &operator=(const NetInput &) = delete;

    int created() const { return created_; }
    int open() { return m_.open(instance_); }
    int read(void *buffer, int size) { return m_.read(instance_, buffer, size); }
    int64_t size() { return m_.get_size(instance_); }
    net_input *state() { return static_cast<net_input *>(instance_); }

    // Reads in pieces of `piece` bytes until the input ends or fails, retrying while it
    // refills, for at most `limit`. Returns the last result (-514 at a clean end).
    int read_to_end(std::vector<uint8_t> &out, int piece, std::chrono::seconds limit = std::chrono::seconds(30))
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::vector<uint8_t> buffer(static_cast<size_t>(piece));
        while (std::chrono::steady_clock::now() < deadline) {
            int r = read(buffer.data(), piece);
            if (r > 0)
                out.insert(out.end(), buffer.begin(), buffer.begin() + r);
            else if (r != SV_ERR_TIMEOUT)
                return r;
        }
        return SV_ERR_TIMEOUT;
    }

private:
    sv_input_module m_{};
    sv_module_entry entry_{};
    void *instance_ = nullptr;
    int created_ = 0;
};

} // namespace nettest
