#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"

namespace {

struct Store
{
    sv_props *p = sv_props_new();
    ~Store() { sv_props_free(p); }
};

struct Seen
{
    std::vector<std::string> calls; // "name=value" or "name unset"
    sv_props *props = nullptr;
    bool remove_self = false;
};

void record(void *user, const char *name, const void *value)
{
    auto *seen = static_cast<Seen *>(user);
    std::string line = name;
    if (value == nullptr) {
        line += " unset";
    } else {
        int type = -1;
        for (int i = 0; i < sv_props_count(seen->props); ++i) {
            const char *n;
            sv_props_item(seen->props, i, &n, &type, nullptr, nullptr);
            if (std::string(n) == name)
                break;
        }
        line += "="
                + (type == SV_PROP_INTEGER ? std::to_string(*static_cast<const int *>(value))
                                           : std::string(static_cast<const char *>(value)));
    }
    seen->calls.push_back(line);
    if (seen->remove_self)
        sv_props_remove_watcher(seen->props, name, record, user);
}

} // namespace

TEST(Properties, TypedSetGetAndErrors)
{
    Store s;
    EXPECT_EQ(sv_props_set_int(s.p, "a", 7), SV_OK);
    EXPECT_EQ(sv_props_set_string(s.p, "b", "hello"), SV_OK);
    int v = 0;
    char buf[16];
    EXPECT_EQ(sv_props_get_int(s.p, "a", &v), SV_OK);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(sv_props_get_string(s.p, "b", buf, sizeof buf), SV_OK);
    EXPECT_STREQ(buf, "hello");

    // Wrong type either way, missing names, and bad arguments.
    EXPECT_EQ(sv_props_set_string(s.p, "a", "x"), SV_ERR_PROPERTY_TYPE);
    EXPECT_EQ(sv_props_set_int(s.p, "b", 1), SV_ERR_PROPERTY_TYPE);
    EXPECT_EQ(sv_props_get_int(s.p, "b", &v), SV_ERR_PROPERTY_TYPE);
    EXPECT_EQ(sv_props_get_string(s.p, "a", buf, sizeof buf), SV_ERR_PROPERTY_TYPE);
    EXPECT_EQ(sv_props_get_int(s.p, "zz", &v), SV_ERR_NO_SUCH_PROPERTY);
    EXPECT_EQ(sv_props_unset(s.p, "zz"), SV_ERR_NO_SUCH_PROPERTY);
    EXPECT_EQ(sv_props_set_int(s.p, "", 1), SV_ERR_INVALID_PARAMETERS);
    EXPECT_EQ(sv_props_set_string(s.p, "c", nullptr), SV_ERR_INVALID_PARAMETERS);
    EXPECT_EQ(sv_props_get_string(s.p, "b", buf, 0), SV_ERR_INVALID_PARAMETERS);
    EXPECT_EQ(sv_props_set_int(nullptr, "a", 1), SV_ERR_INVALID_PARAMETERS);
    EXPECT_EQ(v, 7);

    // The old value survives a failed set.
    EXPECT_EQ(sv_props_get_int(s.p, "a", &v), SV_OK);
    EXPECT_EQ(v, 7);

    // A short buffer gets a cut, terminated copy.
    char small[4];
    EXPECT_EQ(sv_props_get_string(s.p, "b", small, sizeof small), SV_OK);
    EXPECT_STREQ(small, "hel");

    // Unset removes; the name may then be reused with another type.
    EXPECT_EQ(sv_props_unset(s.p, "a"), SV_OK);
    EXPECT_EQ(sv_props_get_int(s.p, "a", &v), SV_ERR_NO_SUCH_PROPERTY);
    EXPECT_EQ(sv_props_set_string(s.p, "a", "now text"), SV_OK);
}

TEST(Properties, NewItemsGoToTheHeadAndUpdatesKeepTheirPlace)
{
    Store s;
    sv_props_set_int(s.p, "first", 1);
    sv_props_set_string(s.p, "second", "two");
    sv_props_set_int(s.p, "third", 3);
    sv_props_set_int(s.p, "first", 10); // update in place
    ASSERT_EQ(sv_props_count(s.p), 3);
    const char *expect[] = {"third", "second", "first"};
    for (int i = 0; i < 3; ++i) {
        const char *name = nullptr;
        ASSERT_EQ(sv_props_item(s.p, i, &name, nullptr, nullptr, nullptr), SV_OK);
        EXPECT_STREQ(name, expect[i]);
    }
    const char *text = nullptr;
    int type = -1, value = 0;
    sv_props_item(s.p, 1, nullptr, &type, &text, nullptr);
    EXPECT_EQ(type, SV_PROP_STRING);
    EXPECT_STREQ(text, "two");
    sv_props_item(s.p, 2, nullptr, &type, nullptr, &value);
    EXPECT_EQ(type, SV_PROP_INTEGER);
    EXPECT_EQ(value, 10);
    EXPECT_EQ(sv_props_item(s.p, 3, nullptr, nullptr, nullptr, nullptr), SV_ERR_NO_SUCH_PROPERTY);
    EXPECT_EQ(sv_props_item(s.p, -1, nullptr, nullptr, nullptr, nullptr), SV_ERR_NO_SUCH_PROPERTY);

    // Setting a string from the item's own text must not read freed memory.
    sv_props_item(s.p, 1, nullptr, nullptr, &text, nullptr);
    EXPECT_EQ(sv_props_set_string(s.p, "second", text), SV_OK);
    sv_props_clear(s.p);
    EXPECT_EQ(sv_props_count(s.p), 0);
}

TEST(Properties, WatchersSeeSetsAndUnsetsOfTheirNameOnly)
{
    Store s;
    Seen seen;
    seen.props = s.p;
    ASSERT_EQ(sv_props_add_watcher(s.p, "vol", record, &seen), SV_OK);
    sv_props_set_int(s.p, "vol", 5);
    sv_props_set_int(s.p, "other", 9);
    sv_props_set_int(s.p, "vol", 6);
    sv_props_set_string(s.p, "vol", "bad"); // type error: not reported
    sv_props_unset(s.p, "vol");
    sv_props_set_string(s.p, "vol", "txt");
    EXPECT_EQ(seen.calls, (std::vector<std::string>{"vol=5", "vol=6", "vol unset", "vol=txt"}));

    EXPECT_EQ(sv_props_remove_watcher(s.p, "vol", record, &seen), SV_OK);
    EXPECT_EQ(sv_props_remove_watcher(s.p, "vol", record, &seen), SV_ERR_INVALID_PARAMETERS);
    sv_props_set_string(s.p, "vol", "after");
    EXPECT_EQ(seen.calls.size(), 4u);
}

TEST(Properties, WatcherMayRemoveItselfWhileCalled)
{
    Store s;
    Seen a, b;
    a.props = b.props = s.p;
    a.remove_self = true;
    sv_props_add_watcher(s.p, "x", record, &a);
    sv_props_add_watcher(s.p, "x", record, &b);
    sv_props_set_int(s.p, "x", 1);
    sv_props_set_int(s.p, "x", 2);
    EXPECT_EQ(a.calls, (std::vector<std::string>{"x=1"}));
    EXPECT_EQ(b.calls, (std::vector<std::string>{"x=1", "x=2"}));
}
