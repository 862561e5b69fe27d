// Payload shapes and the byte layout of messages.
#include "sonvox/engine/message.h"

#include <cstring>

namespace sv {

const char *payload_shape(int code)
{
    switch (code) {
    case 1:
    case 2:
    case 4:
    case 5:
    case 6:
    case 9:
    case 13:
    case 16:
    case 18:
    case 20:
    case 21:
    case 22:
    case 23:
    case 26:
    case 29:
    case 33:
    case 35:
    case 42:
    case 44:
    case 46:
    case 48:
    case 50:
    case 52:
    case 54:
    case 56:
    case 58:
    case 60:
    case 62:
    case 64:
    case 66:
    case 70:
    case 72:
    case 73:
    case 77:
    case 127:
    case 128:
    case 129:
    case 130:
    case 133:
    case 140:
    case 142:
    case 144: return "";
    // one int
    case 34:
    case 45:
    case 47:
    case 69:
    case 79:
    case 84:
    case 86:
    case 88:
    case 95:
    case 111:
    case 119: return "i";
    // one string
    case 3:
    case 8:
    case 14:
    case 17:
    case 27:
    case 31:
    case 37:
    case 39:
    case 40:
    case 41:
    case 49:
    case 76:
    case 83:
    case 94:
    case 110:
    case 125:
    case 141:
    case 146:
    case 148:
    case 149:
    case 154: return "t";
    // equaliser: a 64-byte block or none
    case 65:
    case 115: return "d";
    case 15:
    case 28:
    case 32:
    case 43:
    case 51:
    case 67:
    case 89:
    case 106:
    case 116:
    case 126:
    case 143:
    case 152: return "h";
    case 59:
    case 61:
    case 63:
    case 71:
    case 74:
    case 78:
    case 82:
    case 93:
    case 103:
    case 104:
    case 105:
    case 114:
    case 120:
    case 139:
    case 150:
    case 151:
    case 101:
    case 102: return "b";
    // two numbers
    case 7:
    case 85:
    case 96:
    case 131:
    case 132:
    case 157: return "ii";
    // name and integer value, name and string value
    case 36:
    case 80:
    case 145:
    case 156: return "ti";
    case 38:
    case 81:
    case 147: return "tt";
    case 10:
    case 19:
    case 30:
    case 134: return "hd";
    case 11:
    case 12:
    case 24:
    case 25:
    case 92:
    case 109: return "th";
    case 57:
    case 100: return "bbb";
    case 75: return "bh";
    case 87:
    case 98: return "bbbb";
    case 90:
    case 107:
    case 117:
    case 153: return "bbtt";
    case 91:
    case 108:
    case 118:
    case 155: return "bbbtt";
    case 112: return "ihb";
    case 113: return "p";
    case 121: return "bbht";
    case 122: return "bbt";
    case 123: return "bht";
    case 124: return "bhd";
    case 135:
    case 158: return "iiihhd";
    case 136:
    case 159: return "iii";
    case 137: return "iibbbb";
    case 138: return "iiii";
    default: return nullptr; // 53, 55, 68, 97, 99 and everything outside 1..159
    }
}

namespace {

void put32(std::vector<uint8_t> &b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v >> 24));
    b.push_back(static_cast<uint8_t>(v >> 16));
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}

void put16(std::vector<uint8_t> &b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}

void put_bytes(std::vector<uint8_t> &b, const void *p, size_t n)
{
    const auto *c = static_cast<const uint8_t *>(p);
    b.insert(b.end(), c, c + n);
}

struct Reader
{
    const std::vector<uint8_t> &b;
    size_t at = 0;
    bool ok = true;

    bool need(size_t n)
    {
        if (b.size() - at < n)
            ok = false;
        return ok;
    }
    uint32_t get32()
    {
        if (!need(4))
            return 0;
        uint32_t v =
            (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | uint32_t(b[at + 3]);
        at += 4;
        return v;
    }
    uint16_t get16()
    {
        if (!need(2))
            return 0;
        uint16_t v = static_cast<uint16_t>((b[at] << 8) | b[at + 1]);
        at += 2;
        return v;
    }
    uint8_t get8()
    {
        if (!need(1))
            return 0;
        return b[at++];
    }
    const uint8_t *take(size_t n)
    {
        if (!need(n))
            return nullptr;
        const uint8_t *p = b.data() + at;
        at += n;
        return p;
    }
};

} // namespace

int encode_message(const sv_message &m, Message &out)
{
    const char *shape = payload_shape(m.code);
    if (shape == nullptr)
        return SV_ERR_INVALID_MESSAGE;
    out.code = m.code;
    out.bytes.clear();
    int ni = 0, si = 0;
    for (const char *f = shape; *f; ++f) {
        switch (*f) {
        case 'i': put32(out.bytes, static_cast<uint32_t>(m.n[ni++])); break;
        case 'h': put16(out.bytes, static_cast<uint16_t>(m.n[ni++])); break;
        case 'b': out.bytes.push_back(static_cast<uint8_t>(m.n[ni++])); break;
        case 't': {
            const char *s = m.s[si++];
            const size_t len = s ? std::strlen(s) : 0;
            put32(out.bytes, static_cast<uint32_t>(len));
            put_bytes(out.bytes, s, len);
            break;
        }
        case 'd':
            if (m.size < 0 || (m.size > 0 && m.data == nullptr))
                return SV_ERR_INVALID_MESSAGE;
            put32(out.bytes, static_cast<uint32_t>(m.size));
            put_bytes(out.bytes, m.data, static_cast<size_t>(m.size));
            break;
        case 'p': {
            if (m.property_count < 0 || (m.property_count > 0 && m.properties == nullptr))
                return SV_ERR_INVALID_MESSAGE;
            put32(out.bytes, static_cast<uint32_t>(m.property_count));
            for (int i = 0; i < m.property_count; ++i) {
                const sv_message_property &p = m.properties[i];
                out.bytes.push_back(static_cast<uint8_t>(p.type));
                const size_t nlen = std::min<size_t>(p.name ? std::strlen(p.name) : 0, 0xFFFF);
                put16(out.bytes, static_cast<uint16_t>(nlen));
                put_bytes(out.bytes, p.name, nlen);
                out.bytes.push_back(0);
                if (p.type == SV_PROP_STRING) {
                    const size_t tlen = std::min<size_t>(p.text ? std::strlen(p.text) : 0, 0xFFFF);
                    put16(out.bytes, static_cast<uint16_t>(tlen));
                    put_bytes(out.bytes, p.text, tlen);
                    out.bytes.push_back(0);
                } else {
                    put32(out.bytes, static_cast<uint32_t>(p.value));
                }
            }
            break;
        }
        default: return SV_ERR_INTERNAL;
        }
    }
    return SV_OK;
}

int Receiver::decode(const Message &msg, sv_message &out)
{
    out = sv_message{};
    out.code = msg.code;
    const char *shape = payload_shape(msg.code);
    if (shape == nullptr)
        return SV_ERR_INVALID_MESSAGE;
    Reader r{msg.bytes};
    size_t used = 0; // bytes of text_ taken by this message's strings
    int ni = 0, si = 0;
    for (const char *f = shape; *f && r.ok; ++f) {
        switch (*f) {
        case 'i': out.n[ni++] = static_cast<int32_t>(r.get32()); break;
        case 'h': out.n[ni++] = static_cast<int16_t>(r.get16()); break;
        case 'b': out.n[ni++] = r.get8(); break;
        case 't': {
            const size_t len = r.get32();
            const uint8_t *p = r.take(len);
            if (p == nullptr)
                break;
            char *dst = text_ + used;
            const size_t room = sizeof text_ - used; // always >= 1
            const size_t n = room > 1 ? std::min(len, room - 1) : 0;
            std::memcpy(dst, p, n);
            dst[n] = '\0';
            used = std::min(sizeof text_ - 1, used + n + 1);
            out.s[si++] = dst;
            break;
        }
        case 'd': {
            const size_t len = r.get32();
            const uint8_t *p = r.take(len);
            if (p == nullptr)
                break;
            block_.assign(p, p + len);
            out.data = len ? block_.data() : nullptr;
            out.size = static_cast<int>(len);
            break;
        }
        case 'p': {
            const uint32_t count = r.get32();
            props_.clear();
            prop_strings_.clear();
            std::vector<size_t> text_at; // index into prop_strings_, or SIZE_MAX
            for (uint32_t i = 0; i < count && r.ok; ++i) {
                const int type = r.get8();
                const size_t nlen = r.get16();
                const uint8_t *name = r.take(nlen + 1);
                if (name == nullptr)
                    break;
                prop_strings_.emplace_back(reinterpret_cast<const char *>(name), nlen);
                sv_message_property prop{nullptr, type, nullptr, 0};
                if (type == SV_PROP_STRING) {
                    const size_t tlen = r.get16();
                    const uint8_t *text = r.take(tlen + 1);
                    if (text == nullptr)
                        break;
                    prop_strings_.emplace_back(reinterpret_cast<const char *>(text), tlen);
                    text_at.push_back(prop_strings_.size() - 1);
                } else {
                    prop.value = static_cast<int32_t>(r.get32());
                    text_at.push_back(SIZE_MAX);
                }
                props_.push_back(prop);
            }
            // Pointers are taken once every string is in place.
            for (size_t i = 0, s = 0; i < props_.size(); ++i) {
                props_[i].name = prop_strings_[s++].c_str();
                if (text_at[i] != SIZE_MAX) {
                    props_[i].text = prop_strings_[s++].c_str();
                }
            }
            out.properties = props_.empty() ? nullptr : props_.data();
            out.property_count = static_cast<int>(props_.size());
            break;
        }
        default: break;
        }
    }
    // Strings never left NULL for the string fields of a shape.
    static const char empty[] = "";
    int strings = 0;
    for (const char *f = shape; *f; ++f)
        strings += *f == 't';
    for (int i = 0; i < strings; ++i)
        if (out.s[i] == nullptr)
            out.s[i] = empty;
    return r.ok ? SV_OK : SV_ERR_INVALID_MESSAGE;
}

} // namespace sv
