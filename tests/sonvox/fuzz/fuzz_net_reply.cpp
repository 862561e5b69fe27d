// Fuzz target for the HTTP/ICY reply: the status line, the headers, and then the stream
// read through the ring with its ICY metadata blocks taken out. A fake socket hands the
// bytes over in pieces whose sizes the first byte chooses; the second byte chooses the
// read sizes. Every read gives exactly what it was asked for, or no bytes at all.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"
#include "sonvox/modules/input_network/sv_net_internal.h"

namespace {

struct FakeSocket
{
    const uint8_t *data;
    size_t size, pos = 0;
    int piece; // bytes per receive, 1..16 times a step
    int calls = 0;
    bool streaming = false; // after the headers, receives may also time out
};

int fake_recv(void *ctx, void *buffer, int size, int)
{
    auto *s = static_cast<FakeSocket *>(ctx);
    if (s->pos >= s->size)
        return SV_ERR_SOCKET_CLOSED;
    if (s->streaming && ++s->calls % 7 == 0)
        return SV_ERR_TIMEOUT; // now and then nothing has come in yet
    const size_t n = std::min({static_cast<size_t>(size), static_cast<size_t>(s->piece), s->size - s->pos});
    std::memcpy(buffer, s->data + s->pos, n);
    s->pos += n;
    return static_cast<int>(n);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    static const int pieces[] = {1, 3, 16, 100, 1024, 4096, 8192, 65536};
    static const int reads[] = {1, 4, 417, 1044, 4096};
    FakeSocket sock{data + 2, size - 2, 0, pieces[data[0] & 7]};
    const int icy = (data[0] >> 3) & 1;
    const int read_size = reads[data[1] % 5];

    sv_props *env = sv_props_new();
    sv_props_set_int(env, "INPUT.STREAM.BUFFER-SIZE", 16384);
    sv_props_set_int(env, "INPUT.STREAM.MAX-PACKET-SIZE", 1024);
    sv_props_set_int(env, "INPUT.STREAM.HIGH-MARK", 4096);
    sv_stream_info stream{};
    stream.properties = sv_props_new();
    sv_decoder decoder{};
    decoder.environment = env;
    decoder.stream = &stream;

    net_input in{};
    in.decoder = &decoder;
    in.fd = in.control_fd = -1;
    in.buffer_size = 16384;
    in.max_packet = 1024;
    in.high_mark = 4096;
    in.read_timeout = 100;
    in.max_accu = 2048;
    in.force_fill = 2048;
    in.recv = fake_recv;
    in.recv_ctx = &sock;
    char location[1024];
    if (net_ring_alloc(&in) == 0 && net_http_reply(&in, icy, location, sizeof location) == 0) {
        net_ring_reset(&in);
        in.open = 1;
        sock.streaming = true;
        std::vector<uint8_t> buffer(static_cast<size_t>(read_size) + 1);
        // Every byte of the stream is either delivered or a metadata byte; a bounded loop
        // as the fake never waits.
        for (size_t round = 0; round < 4 * size + 64; ++round) {
            buffer[static_cast<size_t>(read_size)] = 0xA5;
            const int r = net_read(&in, buffer.data(), read_size);
            if (buffer[static_cast<size_t>(read_size)] != 0xA5)
                std::abort(); // wrote past what was asked for
            if (r == SV_ERR_END_OF_STREAM || (r < 0 && r != SV_ERR_TIMEOUT))
                break;
            if (r >= 0 && r != read_size)
                std::abort();
            if (in.count < 0 || in.count > in.buffer_size)
                std::abort();
        }
    }
    std::free(in.ring);
    sv_props_free(stream.properties);
    sv_props_free(env);
    return 0;
}
