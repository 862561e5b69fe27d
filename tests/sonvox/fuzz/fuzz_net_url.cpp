// Fuzz target for the stream URL parser: the bytes up to the first zero are a URL, the
// bytes after it a redirect target resolved against that URL. Whatever parses must
// carry a scheme, a host and a port in range and a path that starts with "/".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sonvox/modules/input_network/sv_net_url.h"

namespace {

void check(const sv_url &u)
{
    if (u.scheme < SV_URL_FILE || u.scheme > SV_URL_ICY || !u.whole || !u.path)
        std::abort();
    if (u.scheme == SV_URL_FILE)
        return;
    if (!u.host || !u.host[0] || u.port < 1 || u.port > 65535 || u.path[0] != '/')
        std::abort();
    if (u.scheme == SV_URL_FTP && (!u.user || !u.password))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string all(reinterpret_cast<const char *>(data), size);
    const size_t zero = all.find('\0');
    const std::string text = all.substr(0, zero);
    const std::string location = zero == std::string::npos ? std::string() : all.substr(zero + 1);

    sv_url url;
    if (sv_url_parse(text.c_str(), &url) == 0) {
        check(url);
        sv_url next;
        if (sv_url_resolve(&url, location.c_str(), &next) == 0)
            check(next);
        sv_url_free(&next);
    }
    sv_url_free(&url);
    return 0;
}
