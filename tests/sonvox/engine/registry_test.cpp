#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "client_helper.h"
#include "sonvox/engine/engine_internal.h"
#include "sonvox/engine/registry.h"
#include "sonvox/modules/builtin_modules.h"

namespace {

int old_feedback_version(void *d)
{
    static_cast<sv_input_module *>(d)->version = SV_FEEDBACK_INTERFACE_VERSION;
    return 0;
}

int input_without_read(void *d)
{
    testmod::memory_input_register(d);
    static_cast<sv_input_module *>(d)->read = nullptr;
    return 0;
}

int refusing_entry(void *)
{
    return -511;
}

int filter_info(sv_module_info *, int)
{
    return 0;
}
int filter_create(void **instance, const char *, sv_module_entry *, sv_decoder *)
{
    *instance = new int(1);
    return 0;
}
int filter_destroy(void *instance)
{
    delete static_cast<int *>(instance);
    return 0;
}
// Reverses nothing but counts its reads, then passes them on.
int filter_read(void *instance, sv_filter_next *next, void *buffer, int size)
{
    ++*static_cast<int *>(instance);
    return sv_next_read(next, buffer, size);
}
int filter_register(void *d)
{
    auto *f = static_cast<sv_filter_module *>(d);
    f->version = SV_MODULE_INTERFACE_VERSION;
    f->info = filter_info;
    f->create = filter_create;
    f->destroy = filter_destroy;
    f->read = filter_read;
    return 0;
}

std::string address(sv_module_register_fn fn)
{
    char name[64];
    sv_module_address_name(fn, name, sizeof name);
    return name;
}

} // namespace

TEST(Registry, AddressNamesCarryTheWholePointer)
{
    char name[64];
    ASSERT_GT(sv_module_address_name(testmod::memory_input_register, name, sizeof name), 0);
    char expect[64];
    std::snprintf(expect, sizeof expect, "function@%" PRIxPTR,
                  reinterpret_cast<uintptr_t>(&testmod::memory_input_register));
    EXPECT_STREQ(name, expect);
    char tiny[8];
    EXPECT_EQ(sv_module_address_name(testmod::memory_input_register, tiny, sizeof tiny), SV_ERR_INVALID_PARAMETERS);
}

TEST(Registry, RegistrationErrors)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    const struct
    {
        int code;
        std::string name;
        int expect;
    } cases[] = {
        {SV_CMD_REGISTER_INPUT, "", SV_ERR_INVALID_PARAMETERS},
        {SV_CMD_REGISTER_INPUT, address(old_feedback_version), SV_ERR_VERSION_MISMATCH},
        {SV_CMD_REGISTER_INPUT, address(input_without_read), SV_ERR_INTERNAL},
        {SV_CMD_REGISTER_INPUT, address(refusing_entry), -511},
        {SV_CMD_REGISTER_INPUT, "function@", SV_ERR_SYMBOL_NOT_FOUND},
        {SV_CMD_REGISTER_OUTPUT, "libno-such-sonvox-module.so", SV_ERR_LIBRARY_NOT_FOUND},
        {SV_CMD_REGISTER_CODEC, "no_such_symbol@libc.so.6", SV_ERR_SYMBOL_NOT_FOUND},
        {SV_CMD_REGISTER_FEEDBACK, address(testmod::memory_input_register), SV_ERR_VERSION_MISMATCH},
    };
    for (const auto &k : cases) {
        sv_send_string(c.engine, k.code, k.name.c_str());
        EXPECT_EQ(c.answer(k.code), k.expect) << k.name;
    }
    bool reported = false;
    for (const Note &n : c.seen)
        reported |= n.code == SV_NOTE_ERROR && n.s[0] == "internal error (null 'read' method in module)";
    EXPECT_TRUE(reported);
}

TEST(Registry, NewestModuleIsProbedFirstAndIdsCountUp)
{
    Client c; // memory input id 0, pattern codec id 0, capture output id 0
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    sv_send_string(c.engine, SV_CMD_REGISTER_OUTPUT, address(testmod::capture_output_register).c_str());
    EXPECT_EQ(c.answer(SV_CMD_REGISTER_OUTPUT), 0);
    sv_send_none(c.engine, SV_CMD_QUERY_OUTPUTS);
    Note n;
    ASSERT_TRUE(c.wait_code(SV_NOTE_OUTPUT_MODULE_INFO, 3000, &n));
    EXPECT_EQ(n.n[0], 1); // head first
    ASSERT_TRUE(c.wait_code(SV_NOTE_OUTPUT_MODULE_INFO, 3000, &n));
    EXPECT_EQ(n.n[0], 0);
    EXPECT_EQ(n.s[0], "Capture Output");

    sv_send_int(c.engine, SV_CMD_QUERY_INPUT, 0);
    ASSERT_TRUE(c.wait_code(SV_NOTE_INPUT_MODULE_INFO, 3000, &n));
    EXPECT_EQ(n.s[0], "Memory Input");
    ASSERT_TRUE(c.wait_code(SV_NOTE_INPUT_DEVICE_INFO, 3000, &n));
    EXPECT_EQ(n.s[0], "mem:*");
    EXPECT_EQ(n.n[2], 1);

    sv_send_int(c.engine, SV_CMD_SET_OUTPUT_MODULE, 5);
    EXPECT_EQ(c.answer(SV_CMD_SET_OUTPUT_MODULE), SV_ERR_PLUGIN_NOT_FOUND);
    sv_send_int(c.engine, SV_CMD_SET_INPUT_MODULE, 0);
    EXPECT_EQ(c.answer(SV_CMD_SET_INPUT_MODULE), 0);
}

TEST(Registry, FiltersTakeTheirPlaceAndSmallestFreeId)
{
    sv::Registry reg;
    sv::EngineShared shared;
    const sv::RegistrationContext ctx{&shared, nullptr};
    const std::string f = address(filter_register);
    auto order = [&reg] {
        std::vector<int> ids;
        for (sv::ModuleEntry *e : reg.list(SV_KIND_INPUT_FILTER))
            ids.push_back(e->entry.id);
        return ids;
    };
    EXPECT_EQ(sv::register_into(reg, ctx, SV_KIND_INPUT_FILTER, f.c_str(), 0), 1);
    EXPECT_EQ(sv::register_into(reg, ctx, SV_KIND_INPUT_FILTER, f.c_str(), 1), 2);
    EXPECT_EQ(sv::register_into(reg, ctx, SV_KIND_INPUT_FILTER, f.c_str(), -1), 3);
    EXPECT_EQ(sv::register_into(reg, ctx, SV_KIND_INPUT_FILTER, f.c_str(), 2), 4);  // before id 2
    EXPECT_EQ(sv::register_into(reg, ctx, SV_KIND_INPUT_FILTER, f.c_str(), 77), 5); // no id 77: last
    EXPECT_EQ(order(), (std::vector<int>{3, 1, 4, 2, 5}));

    auto drop = [&reg](const char *name, int id) {
        sv::ModuleEntry *e = reg.remove_filter(SV_KIND_INPUT_FILTER, name, id);
        if (e == nullptr)
            return -1;
        const int got = e->entry.id;
        e->entry.d.filter.destroy(e->entry.instance);
        delete e;
        return got;
    };
    EXPECT_EQ(drop(nullptr, 4), 4);  // that id
    EXPECT_EQ(drop(nullptr, -1), 3); // the first
    EXPECT_EQ(drop(nullptr, 0), 5);  // the last
    EXPECT_EQ(drop(nullptr, 9), -1);
    EXPECT_EQ(drop(f.c_str(), -2), 1); // by name: the first of that name
    // Freed ids are used again.
    EXPECT_EQ(sv::register_into(reg, ctx, SV_KIND_INPUT_FILTER, f.c_str(), 0), 1);
    EXPECT_EQ(order(), (std::vector<int>{2, 1}));
}

TEST(Registry, InputFilterSitsInTheReadPath)
{
    Client c;
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    sv_send_string_short(c.engine, SV_CMD_REGISTER_INPUT_FILTER, address(filter_register).c_str(), -1);
    Note n;
    ASSERT_TRUE(c.wait_code(SV_NOTE_INPUT_FILTER_INFO, 3000, &n));
    EXPECT_EQ(n.n[0], 1);
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "mem:640");
    sv_send_none(c.engine, SV_CMD_PLAY);
    ASSERT_TRUE(c.state_is(SV_STATE_END_OF_STREAM));
    // The data went through the filter unchanged.
    const auto s = testmod::capture().take_samples();
    ASSERT_EQ(s.size(), 640u * 2);
    EXPECT_EQ(s[2 * 300], testmod::pattern_left(300));
    sv_send_string_short(c.engine, SV_CMD_UNREGISTER_INPUT_FILTER, "", 1);
    EXPECT_EQ(c.answer(SV_CMD_UNREGISTER_INPUT_FILTER), 0);
    sv_send_string_short(c.engine, SV_CMD_UNREGISTER_INPUT_FILTER, "", 1);
    EXPECT_EQ(c.answer(SV_CMD_UNREGISTER_INPUT_FILTER), SV_ERR_PLUGIN_NOT_FOUND);
}

namespace {

struct HookLog
{
    std::vector<std::string> calls;
};

int loader_hook(void *user, sv_module_kind kind, int phase, sv_engine *, sv_decoder *, sv_module_register_fn *entry,
                const char *name, const char *default_symbol)
{
    auto *log = static_cast<HookLog *>(user);
    log->calls.push_back(std::to_string(kind) + ":" + std::to_string(phase) + ":" + name + ":" + default_symbol);
    if (phase == 0 && std::strcmp(name, "deny") == 0)
        return SV_ERR_PERMISSION_DENIED;
    if (phase == 0 && std::strcmp(name, "memory") == 0) {
        *entry = testmod::memory_input_register;
        return 1;
    }
    return 0;
}

} // namespace

TEST(Registry, LoaderHookIsAskedBeforeAndAfter)
{
    HookLog log;
    const sv_hook hook = {&log, reinterpret_cast<void *>(&loader_hook)};
    const sv_start_entry list[] = {{"module-loader-hook", &hook, SV_START_POINTER}, {nullptr, nullptr, 0}};
    Client c(list);
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    sv_send_string(c.engine, SV_CMD_REGISTER_INPUT, "deny");
    EXPECT_EQ(c.answer(SV_CMD_REGISTER_INPUT), SV_ERR_PERMISSION_DENIED);
    sv_send_string(c.engine, SV_CMD_REGISTER_INPUT, "memory");
    EXPECT_EQ(c.answer(SV_CMD_REGISTER_INPUT), 0);
    sv_send_string(c.engine, SV_CMD_INPUT_OPEN, "mem:64");
    EXPECT_EQ(c.answer(SV_CMD_INPUT_OPEN), SV_ERR_NO_CODEC); // only the input is there
    EXPECT_EQ(log.calls, (std::vector<std::string>{"1:0:deny:input_module_register", "1:0:memory:input_module_register",
                                                   "1:1:memory:input_module_register"}));
}

TEST(Registry, BuiltinStartListRegistersTheTableInOrder)
{
    // Every module of the built-in table is registered, each kind numbered 0, 1, ... in
    // table order (the network input takes input id 1), and the
    // queries name each id's module from its record.
    Client c(sv_builtin_start_list());
    ASSERT_EQ(c.start_result, SV_OK);
    ASSERT_TRUE(c.wait_code(SV_NOTE_READY));
    const struct
    {
        int query;
        int info;
        std::vector<std::string> names; // by id
    } kinds[] = {
        {SV_CMD_QUERY_INPUTS, SV_NOTE_INPUT_MODULE_INFO, {"Input From File", "Network Streaming Module"}},
        {SV_CMD_QUERY_OUTPUTS, SV_NOTE_OUTPUT_MODULE_INFO, {"Output To File", "Win32 Sound Driver Interface"}},
        {SV_CMD_QUERY_CODECS, SV_NOTE_CODEC_MODULE_INFO, {"MPEG Audio Codec", "WAVE Audio Codec"}},
    };
    for (const auto &k : kinds) {
        c.seen.clear();
        sv_send_none(c.engine, k.query);
        ASSERT_EQ(c.answer(k.query), 0);
        std::vector<std::pair<int, std::string>> got, expect;
        for (const Note &n : c.seen)
            if (n.code == k.info)
                got.emplace_back(n.n[0], n.s[0]);
        for (int id = static_cast<int>(k.names.size()) - 1; id >= 0; --id)
            expect.emplace_back(id, k.names[static_cast<size_t>(id)]); // newest first
        EXPECT_EQ(got, expect) << k.query;
    }
    int rows = 0;
    for (const sv_builtin_module *const *m = sv_builtin_modules; *m != nullptr; ++m, ++rows) {
        alignas(sv_module_entry) unsigned char descriptor[sizeof(sv_module_entry)] = {};
        EXPECT_EQ((*m)->entry(descriptor), 0) << (*m)->name;
        EXPECT_EQ(std::memcmp(descriptor, (*m)->descriptor, sizeof(int)), 0) << (*m)->name; // the version word
    }
    EXPECT_EQ(rows, 6);
}
