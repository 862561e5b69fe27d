// Messages between the engine's threads and its client: payload shapes, the byte layout
// a payload travels in, and the receiving side that unpacks it.
#ifndef SONVOX_ENGINE_MESSAGE_H
#define SONVOX_ENGINE_MESSAGE_H

#include <cstdint>
#include <string>
#include <vector>

#include "sonvox/engine/sv_engine.h"

namespace sv {

// A posted message: its code and its payload packed into bytes (big-endian numbers,
// strings and blocks as a 32-bit length and the bytes). The queue owns it once posted.
struct Message
{
    int code = 0;
    std::vector<uint8_t> bytes;
};

// The payload shape of a code as a string of field letters: i int, h short, b byte,
// t string, d data block, p property list. nullptr for codes without a shape.
const char *payload_shape(int code);

// Packs `m` by the shape of m.code into `out`. -306 for a code without a shape or
// fields that do not fit it (a NULL block with a size, a negative size).
int encode_message(const sv_message &m, Message &out);

// Unpacks received messages. Strings of one message share a buffer of
// SV_RECEIVE_BUFFER bytes; blocks and property lists are held whole. What a decoded
// sv_message points to lives until the next decode.
class Receiver
{
public:
    int decode(const Message &msg, sv_message &out);

private:
    char text_[SV_RECEIVE_BUFFER];
    std::vector<uint8_t> block_;
    std::vector<sv_message_property> props_;
    std::vector<std::string> prop_strings_;
};

} // namespace sv

#endif
