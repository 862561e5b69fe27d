// Stream URLs, the probe and the module's info.
#include <gtest/gtest.h>

#include <string>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/modules/input_network/sv_net_url.h"
#include "sonvox/modules/input_network/sv_network_input.h"

namespace {

struct UrlCase
{
    const char *text;
    int result;
    int scheme = 0;
    const char *user = nullptr, *password = nullptr, *host = nullptr;
    int port = 0;
    const char *path = nullptr;
};

const char *or_none(const char *s)
{
    return s ? s : "<none>";
}

TEST(NetUrl, ParsesSchemesAuthoritiesAndPaths)
{
    const char *anon = SV_FTP_ANONYMOUS_PASSWORD;
    const UrlCase cases[] = {
        {"HTTP://example/x.mp3", 0, SV_URL_HTTP, nullptr, nullptr, "example", 80, "/x.mp3"},
        {"http://127.0.0.1:8000", 0, SV_URL_HTTP, nullptr, nullptr, "127.0.0.1", 8000, "/"},
        {"http://[::1]:8000/live?x=1", 0, SV_URL_HTTP, nullptr, nullptr, "::1", 8000, "/live?x=1"},
        {"icy://radio/", 0, SV_URL_ICY, nullptr, nullptr, "radio", 80, "/"},
        {"ftp://example/dir/a.mp3", 0, SV_URL_FTP, "anonymous", anon, "example", 21, "/dir/a.mp3"},
        {"ftp://bob:se:cret@h@example:2121/a", 0, SV_URL_FTP, "bob", "se:cret@h", "example", 2121, "/a"},
        {"ftp://bob@example/a", 0, SV_URL_FTP, "bob", anon, "example", 21, "/a"},
        {"udp://example:9000", 0, SV_URL_UDP, nullptr, nullptr, "example", 9000, "/"},
        {"tcp://example", 0, SV_URL_TCP, nullptr, nullptr, "example", 23, "/"},
        {"udp://host", 0, SV_URL_UDP, nullptr, nullptr, "host", 8888, "/"},
        {"http://example:0/x", SV_ERR_INVALID_URL_SYNTAX},
        {"http://example:80a/x", SV_ERR_INVALID_URL_SYNTAX},
        {"http://example:65536/x", SV_ERR_INVALID_URL_SYNTAX},
        {"http://example:/x", SV_ERR_INVALID_URL_SYNTAX},
        {"http:example/x", SV_ERR_INVALID_URL_SYNTAX},
        {"http:///x", SV_ERR_INVALID_URL_SYNTAX},
        {"http://user@/x", SV_ERR_INVALID_URL_SYNTAX},
        {"http://[::1/x", SV_ERR_INVALID_URL_SYNTAX},
        {"http://[::1]x/", SV_ERR_INVALID_URL_SYNTAX},
        {"gopher://example/", SV_ERR_UNSUPPORTED_URL_SCHEME},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        sv_url u;
        ASSERT_EQ(sv_url_parse(c.text, &u), c.result);
        if (c.result == 0) {
            EXPECT_EQ(u.scheme, c.scheme);
            EXPECT_STREQ(or_none(u.user), or_none(c.user));
            EXPECT_STREQ(or_none(u.password), or_none(c.password));
            EXPECT_STREQ(u.host, c.host);
            EXPECT_EQ(u.port, c.port);
            EXPECT_STREQ(u.path, c.path);
            EXPECT_STREQ(u.whole, c.text);
        }
        sv_url_free(&u);
    }
}

TEST(NetUrl, NamesWithoutASchemeAreFileNames)
{
    for (const char *name : {"/music/a.mp3", "a.mp3", "C:\\bells\\a.mp3", "file:/music/b.mp3"}) {
        sv_url u;
        ASSERT_EQ(sv_url_parse(name, &u), 0) << name;
        EXPECT_EQ(u.scheme, SV_URL_FILE) << name;
        sv_url_free(&u);
    }
}

TEST(NetUrl, RedirectTargetsResolveAgainstTheCurrentUrl)
{
    const struct
    {
        const char *base, *location, *host;
        int port;
        const char *path;
    } cases[] = {
        {"http://a:81/dir/x.mp3", "http://b:82/y", "b", 82, "/y"},
        {"http://a:81/dir/x.mp3", "/root.mp3", "a", 81, "/root.mp3"},
        {"http://a:81/dir/x.mp3?q=/z", "next.mp3", "a", 81, "/dir/next.mp3"},
        {"http://a:81/x.mp3", "//c/z", "c", 80, "/z"},
        {"http://[::1]:81/dir/", "../up", "::1", 81, "/dir/../up"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.location);
        sv_url base, out;
        ASSERT_EQ(sv_url_parse(c.base, &base), 0);
        ASSERT_EQ(sv_url_resolve(&base, c.location, &out), 0);
        EXPECT_EQ(out.scheme, SV_URL_HTTP);
        EXPECT_STREQ(out.host, c.host);
        EXPECT_EQ(out.port, c.port);
        EXPECT_STREQ(out.path, c.path);
        sv_url_free(&out);
        sv_url_free(&base);
    }
}

TEST(NetModule, ProbeTakesNetworkSchemesInAnyCase)
{
    sv_input_module m{};
    ASSERT_EQ(sv_network_input_register(&m), 0);
    for (const char *yes : {"http://a/", "HTTP://a/", "Ftp://a/b", "udp://:9", "tcp://a", "ICY://a"})
        EXPECT_EQ(m.probe(yes), 0) << yes;
    for (const char *no : {"gopher://example/", "https://a/", "/music/a.mp3", "http:/a", "file:///a.mp3", ""})
        EXPECT_EQ(m.probe(no), -1) << no;
}

TEST(NetModule, InfoNamesTheModuleAndItsOneDevice)
{
    sv_input_module m{};
    sv_network_input_register(&m);
    sv_module_info info{};
    ASSERT_EQ(m.info(&info, SV_INFO_NAME | SV_INFO_DEVICE_COUNT), 0);
    EXPECT_STREQ(info.name, "Network Streaming Module");
    EXPECT_STREQ(info.description, "Version 1.4");
    EXPECT_EQ(info.count, 1);
    info.count = 0;
    ASSERT_EQ(m.info(&info, SV_INFO_DEVICE), 0);
    EXPECT_STREQ(info.name, "http://*, ftp://*, udp://*, icy://*");
    EXPECT_STREQ(info.description, "streaming url");
    EXPECT_EQ(info.flags, 1);
    info.count = 1;
    EXPECT_LT(m.info(&info, SV_INFO_DEVICE), 0);
}

} // namespace
