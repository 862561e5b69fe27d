// Drives an engine from a test: starts it with the test modules and waits for
// notifications.
#ifndef TESTS_SONVOX_ENGINE_CLIENT_HELPER_H
#define TESTS_SONVOX_ENGINE_CLIENT_HELPER_H

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sonvox/engine/sv_engine.h"
#include "test_modules.h"

// A copied notification (strings kept).
struct Note
{
    int code = 0;
    int n[6] = {};
    std::string s[2];
    std::vector<unsigned char> data;
    std::vector<std::string> props; // "name=value"
};

class Client
{
public:
    explicit Client(const sv_start_entry *list = nullptr)
    {
        static const sv_hook hook = {nullptr, reinterpret_cast<void *>(&testmod::register_all)};
        static const sv_start_entry defaults[] = {{"init-hook", &hook, SV_START_POINTER}, {nullptr, nullptr, 0}};
        testmod::capture().reset();
        testmod::feedback_log().reset();
        start_result = sv_engine_start(&engine, list ? list : defaults);
    }
    ~Client() { sv_engine_free(engine); }

    // Waits up to timeout_ms for a notification accepted by `match`; every notification
    // taken meanwhile is kept in `seen`.
    bool wait_for(const std::function<bool(const Note &)> &match, int timeout_ms = 3000, Note *found = nullptr)
    {
        for (;;) {
            sv_notification n{};
            const int r = sv_client_next(engine, &n, timeout_ms);
            if (r <= 0)
                return false;
            Note note = copy(n);
            seen.push_back(note);
            if (match(note)) {
                if (found)
                    *found = note;
                return true;
            }
        }
    }
    bool wait_code(int code, int timeout_ms = 3000, Note *found = nullptr)
    {
        return wait_for([code](const Note &n) { return n.code == code; }, timeout_ms, found);
    }
    // Waits for the ack or nack of `command`; returns 0 for an ack, the error for a nack,
    // or 1 when neither came.
    int answer(int command, int timeout_ms = 3000)
    {
        Note n;
        if (!wait_for(
                [command](const Note &x) {
                    return (x.code == SV_NOTE_ACK || x.code == SV_NOTE_NACK) && x.n[0] == command;
                },
                timeout_ms, &n))
            return 1;
        return n.code == SV_NOTE_ACK ? 0 : n.n[1];
    }
    bool state_is(int state, int timeout_ms = 3000)
    {
        return wait_for([state](const Note &x) { return x.code == SV_NOTE_PLAYER_STATE && x.n[0] == state; },
                        timeout_ms);
    }
    // Takes everything queued until the engine answers a sync.
    void drain()
    {
        sv_engine_sync(engine, 3000);
        sv_notification n{};
        while (sv_client_next(engine, &n, 0) == 1)
            seen.push_back(copy(n));
    }
    int count(int code) const
    {
        int c = 0;
        for (const Note &n : seen)
            c += n.code == code;
        return c;
    }

    static Note copy(const sv_notification &n)
    {
        Note note;
        note.code = n.code;
        std::copy(n.n, n.n + 6, note.n);
        for (int i = 0; i < 2; ++i)
            if (n.s[i])
                note.s[i] = n.s[i];
        if (n.data)
            note.data.assign(static_cast<const unsigned char *>(n.data),
                             static_cast<const unsigned char *>(n.data) + n.size);
        for (int i = 0; i < n.property_count; ++i) {
            const sv_message_property &p = n.properties[i];
            note.props.push_back(std::string(p.name) + "="
                                 + (p.type == SV_PROP_STRING ? std::string(p.text) : std::to_string(p.value)));
        }
        return note;
    }

    sv_engine *engine = nullptr;
    int start_result = 0;
    std::vector<Note> seen;
};

#endif
