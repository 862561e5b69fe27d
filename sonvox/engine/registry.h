// Module registry: the lists of registered modules of each kind, their ids, and the
// filter chains.
#ifndef SONVOX_ENGINE_REGISTRY_H
#define SONVOX_ENGINE_REGISTRY_H

#include <string>
#include <vector>

#include "sonvox/engine/sv_engine.h"

namespace sv {

// A registered module. The C entry comes first so that a pointer to it is a pointer to
// the whole record.
struct ModuleEntry
{
    sv_module_entry entry{};
    std::string name; // the name it was registered under
};

struct Registry
{
    Registry() = default;
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;
    ~Registry();

    // Head first for modules (newest first); chain order for filters.
    std::vector<ModuleEntry *> lists[6];
    std::vector<void *> libraries; // dlopen handles, closed when the registry goes

    std::vector<ModuleEntry *> &list(sv_module_kind kind) { return lists[kind]; }
    ModuleEntry *find(sv_module_kind kind, int id);

    // Takes a filled entry: modules at the head with the head's id + 1, filters at
    // `position` with the smallest free positive id. Returns the id.
    int insert(ModuleEntry *e, int position);
    // Removes filter by the rule of the unregister commands; returns it (the caller
    // destroys its instance) or nullptr.
    ModuleEntry *remove_filter(sv_module_kind kind, const char *name, int id);
};

} // namespace sv

#endif
