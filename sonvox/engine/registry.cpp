// Module registration: resolving an entry point, checking a descriptor and keeping the
// registry lists.
#include "sonvox/engine/registry.h"

#include <dlfcn.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "sonvox/engine/engine_internal.h"

namespace sv {

Registry::~Registry()
{
    for (auto &l : lists) {
        for (ModuleEntry *e : l) {
            const bool filter = e->entry.kind == SV_KIND_INPUT_FILTER || e->entry.kind == SV_KIND_OUTPUT_FILTER;
            if (filter && e->entry.instance != nullptr)
                e->entry.d.filter.destroy(e->entry.instance);
            delete e;
        }
        l.clear();
    }
    for (void *lib : libraries)
        dlclose(lib);
}

ModuleEntry *Registry::find(sv_module_kind kind, int id)
{
    for (ModuleEntry *e : lists[kind])
        if (e->entry.id == id)
            return e;
    return nullptr;
}

int Registry::insert(ModuleEntry *e, int position)
{
    auto &l = lists[e->entry.kind];
    const bool filter = e->entry.kind == SV_KIND_INPUT_FILTER || e->entry.kind == SV_KIND_OUTPUT_FILTER;
    if (!filter) {
        e->entry.id = l.empty() ? 0 : l.front()->entry.id + 1;
        l.insert(l.begin(), e);
        return e->entry.id;
    }
    int id = 1;
    while (std::any_of(l.begin(), l.end(), [id](ModuleEntry *x) { return x->entry.id == id; }))
        ++id;
    e->entry.id = id;
    auto at = l.end(); // just before the adapter that ends the chain
    if (position == -1) {
        at = l.begin();
    } else if (position > 1) {
        at = std::find_if(l.begin(), l.end(), [position](ModuleEntry *x) { return x->entry.id == position; });
    }
    l.insert(at, e);
    return id;
}

ModuleEntry *Registry::remove_filter(sv_module_kind kind, const char *name, int id)
{
    auto &l = lists[kind];
    if (l.empty())
        return nullptr;
    auto it = l.end();
    if (id == -2) {
        it = std::find_if(l.begin(), l.end(), [name](ModuleEntry *x) { return name && x->name == name; });
    } else if (id == -1) {
        it = l.begin();
    } else if (id == 0) {
        it = l.end() - 1;
    } else {
        it = std::find_if(l.begin(), l.end(), [id](ModuleEntry *x) { return x->entry.id == id; });
    }
    if (it == l.end())
        return nullptr;
    ModuleEntry *e = *it;
    l.erase(it);
    return e;
}

namespace {

const char *default_symbol(sv_module_kind kind)
{
    switch (kind) {
    case SV_KIND_INPUT: return "input_module_register";
    case SV_KIND_INPUT_FILTER: return "input_filter_module_register";
    case SV_KIND_OUTPUT: return "output_module_register";
    case SV_KIND_OUTPUT_FILTER: return "output_filter_module_register";
    case SV_KIND_CODEC: return "codec_module_register";
    case SV_KIND_FEEDBACK: return "feedback_handler_module_register";
    }
    return "";
}

// "function@<hex>": the entry point at that address.
bool parse_address(const char *name, sv_module_register_fn *out)
{
    static const char prefix[] = "function@";
    if (std::strncmp(name, prefix, sizeof prefix - 1) != 0)
        return false;
    const char *hex = name + sizeof prefix - 1;
    if (*hex == '\0')
        return true; // *out stays NULL: rejected by the caller
    char *end = nullptr;
    const unsigned long long v = std::strtoull(hex, &end, 16);
    if (*end == '\0' && v != 0)
        *out = reinterpret_cast<sv_module_register_fn>(static_cast<uintptr_t>(v));
    return true;
}

int resolve_library(Registry &registry, const char *name, sv_module_kind kind, sv_module_register_fn *out)
{
    std::string library = name;
    std::string symbol = default_symbol(kind);
    if (const char *at = std::strchr(name, '@')) {
        symbol.assign(name, static_cast<size_t>(at - name));
        library = at + 1;
    }
    if (library.empty() || symbol.empty())
        return SV_ERR_INVALID_PARAMETERS;
    void *lib = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr)
        return SV_ERR_LIBRARY_NOT_FOUND;
    void *sym = dlsym(lib, symbol.c_str());
    if (sym == nullptr) {
        dlclose(lib);
        return SV_ERR_SYMBOL_NOT_FOUND;
    }
    registry.libraries.push_back(lib);
    *out = reinterpret_cast<sv_module_register_fn>(sym);
    return SV_OK;
}

void report_missing(const RegistrationContext &ctx, const char *detail)
{
    if (ctx.decoder != nullptr && ctx.decoder->error != nullptr) {
        ctx.decoder->error(ctx.decoder->engine, -1, SV_ERR_INTERNAL, "internal error", detail);
        return;
    }
    std::string text = std::string("internal error (") + detail + ")";
    sv_message m{};
    m.code = SV_NOTE_ERROR;
    m.n[0] = -1;
    m.n[1] = SV_ERR_INTERNAL;
    m.s[0] = text.c_str();
    ctx.shared->notify(m);
}

// The required slots of a kind; the first one missing names the failure.
const char *missing_slot(const sv_module_entry &e)
{
    switch (e.kind) {
    case SV_KIND_INPUT: {
        const sv_input_module &d = e.d.input;
        if (!d.info)
            return "null 'query' method";
        if (!d.create || !d.destroy)
            return "null 'new' method in module";
        if (!d.open)
            return "null 'open' method in module";
        if (!d.close)
            return "null 'close' method in module";
        if (!d.read)
            return "null 'read' method in module";
        return nullptr;
    }
    case SV_KIND_OUTPUT: {
        const sv_output_module &d = e.d.output;
        if (!d.info)
            return "null 'query' method";
        if (!d.create || !d.destroy)
            return "null 'new' method in module";
        if (!d.open)
            return "null 'open' method in module";
        if (!d.close)
            return "null 'close' method in module";
        if (!d.write)
            return "null 'write' method in module";
        return nullptr;
    }
    case SV_KIND_CODEC: {
        const sv_codec_module &d = e.d.codec;
        if (!d.probe)
            return "null 'probe' method in module";
        if (!d.info)
            return "null 'query' method";
        if (!d.create || !d.destroy)
            return "null 'new' method in module";
        if (!d.decode)
            return "null 'decode' method in module";
        return nullptr;
    }
    case SV_KIND_INPUT_FILTER:
    case SV_KIND_OUTPUT_FILTER: {
        const sv_filter_module &d = e.d.filter;
        if (!d.info)
            return "null 'query' method";
        if (!d.create || !d.destroy)
            return "null 'new' method in module";
        return nullptr;
    }
    case SV_KIND_FEEDBACK: {
        const sv_feedback_module &d = e.d.feedback;
        if (!d.probe)
            return "null 'probe' method in module";
        if (!d.info)
            return "null 'query' method";
        if (!d.create || !d.destroy)
            return "null 'new' method in module";
        if (!d.event)
            return "null 'event' method in module";
        return nullptr;
    }
    }
    return "null 'query' method";
}

} // namespace

int register_into(Registry &registry, const RegistrationContext &ctx, sv_module_kind kind, const char *name,
                  int position)
{
    if (name == nullptr || name[0] == '\0' || kind < SV_KIND_INPUT_FILTER || kind > SV_KIND_FEEDBACK)
        return SV_ERR_INVALID_PARAMETERS;
    const char *symbol = default_symbol(kind);
    sv_module_register_fn fn = nullptr;
    const sv_hook hook = ctx.shared->loader_hook;
    auto hook_fn = reinterpret_cast<sv_module_loader_fn>(hook.fn);
    bool resolved = false;
    if (hook_fn != nullptr) {
        const int r = hook_fn(hook.user, kind, 0, ctx.shared->control, ctx.decoder, &fn, name, symbol);
        if (r < 0)
            return r;
        resolved = r == 1 && fn != nullptr;
    }
    if (!resolved) {
        fn = nullptr;
        if (parse_address(name, &fn)) {
            if (fn == nullptr)
                return SV_ERR_SYMBOL_NOT_FOUND;
        } else {
            const int r = resolve_library(registry, name, kind, &fn);
            if (r < 0)
                return r;
        }
    }
    if (hook_fn != nullptr)
        hook_fn(hook.user, kind, 1, ctx.shared->control, ctx.decoder, &fn, name, symbol);

    auto *e = new (std::nothrow) ModuleEntry();
    if (e == nullptr)
        return SV_ERR_OUT_OF_MEMORY;
    e->entry.kind = kind;
    const int r = fn(&e->entry.d);
    if (r != 0) {
        delete e;
        return r < 0 ? r : SV_ERR_INTERNAL;
    }
    const int family = (e->entry.d.version >> 8) & 0xFFFF;
    if (family != (kind == SV_KIND_FEEDBACK ? 0x0308 : 0x0404)) {
        delete e;
        return SV_ERR_VERSION_MISMATCH;
    }
    if (const char *missing = missing_slot(e->entry)) {
        delete e;
        report_missing(ctx, missing);
        return SV_ERR_INTERNAL;
    }
    try {
        e->name = name;
        if (kind == SV_KIND_INPUT_FILTER || kind == SV_KIND_OUTPUT_FILTER) {
            void *instance = nullptr;
            const int c = e->entry.d.filter.create(&instance, name, &e->entry, ctx.decoder);
            if (c < 0) {
                delete e;
                return c;
            }
            e->entry.instance = instance;
        }
        return registry.insert(e, position);
    } catch (const std::bad_alloc &) {
        if (e->entry.instance)
            e->entry.d.filter.destroy(e->entry.instance);
        delete e;
        return SV_ERR_OUT_OF_MEMORY;
    }
}

} // namespace sv

extern "C" int sv_module_address_name(sv_module_register_fn entry, char *buffer, int size)
{
    if (entry == nullptr || buffer == nullptr || size <= 0)
        return SV_ERR_INVALID_PARAMETERS;
    // The full pointer width: on 64-bit systems an address does not fit 8 hex digits.
    const int n =
        std::snprintf(buffer, static_cast<size_t>(size), "function@%" PRIxPTR, reinterpret_cast<uintptr_t>(entry));
    return n < size ? n : SV_ERR_INVALID_PARAMETERS;
}
