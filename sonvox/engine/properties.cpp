// The property store: an ordered list of typed items with watchers. It serves as the
// decoder environment, the feedback environment and each stream's property list.
#include <cstring>
#include <list>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"

namespace {

struct Item
{
    std::string name;
    int type = SV_PROP_STRING;
    std::string text;
    int value = 0;
};

struct Watcher
{
    std::string name;
    sv_prop_watcher fn;
    void *user;
    bool alive = true; // cleared on removal, so a dispatch in progress skips it
};

} // namespace

struct sv_props
{
    std::list<Item> items; // head first; a list keeps names and texts in place
    std::vector<std::shared_ptr<Watcher>> watchers;

    Item *find(const char *name)
    {
        for (Item &item : items)
            if (item.name == name)
                return &item;
        return nullptr;
    }

    // Calls every watcher of `name`. The list is copied first because a watcher may add
    // or remove watchers or change the store while it runs.
    void notify(const std::string &name, const void *value)
    {
        std::vector<std::shared_ptr<Watcher>> due;
        for (const auto &w : watchers)
            if (w->alive && w->name == name)
                due.push_back(w);
        for (const auto &w : due)
            if (w->alive)
                w->fn(w->user, name.c_str(), value);
    }
};

namespace {

bool valid_name(const char *name)
{
    return name != nullptr && name[0] != '\0';
}

// Creates or updates an item of the given type. Returns the item or nullptr with *err set.
Item *prepare(sv_props *props, const char *name, int type, int *err)
{
    if (props == nullptr || !valid_name(name)) {
        *err = SV_ERR_INVALID_PARAMETERS;
        return nullptr;
    }
    Item *item = props->find(name);
    if (item != nullptr) {
        if (item->type != type) {
            *err = SV_ERR_PROPERTY_TYPE;
            return nullptr;
        }
        return item;
    }
    props->items.push_front(Item{name, type, {}, 0});
    return &props->items.front();
}

} // namespace

extern "C" {

sv_props *sv_props_new(void)
{
    return new (std::nothrow) sv_props();
}

void sv_props_free(sv_props *props)
{
    delete props;
}

int sv_props_set_int(sv_props *props, const char *name, int value)
{
    try {
        int err = 0;
        Item *item = prepare(props, name, SV_PROP_INTEGER, &err);
        if (item == nullptr)
            return err;
        item->value = value;
        const std::string key = item->name;
        props->notify(key, &value);
        return SV_OK;
    } catch (const std::bad_alloc &) {
        return SV_ERR_OUT_OF_MEMORY;
    }
}

int sv_props_set_string(sv_props *props, const char *name, const char *text)
{
    if (text == nullptr)
        return SV_ERR_INVALID_PARAMETERS;
    try {
        const std::string copy = text; // text may point into the item being replaced
        int err = 0;
        Item *item = prepare(props, name, SV_PROP_STRING, &err);
        if (item == nullptr)
            return err;
        item->text = copy;
        const std::string key = item->name;
        props->notify(key, copy.c_str());
        return SV_OK;
    } catch (const std::bad_alloc &) {
        return SV_ERR_OUT_OF_MEMORY;
    }
}

int sv_props_get_int(const sv_props *props, const char *name, int *value)
{
    if (props == nullptr || !valid_name(name) || value == nullptr)
        return SV_ERR_INVALID_PARAMETERS;
    const Item *item = const_cast<sv_props *>(props)->find(name);
    if (item == nullptr)
        return SV_ERR_NO_SUCH_PROPERTY;
    if (item->type != SV_PROP_INTEGER)
        return SV_ERR_PROPERTY_TYPE;
    *value = item->value;
    return SV_OK;
}

int sv_props_get_string(const sv_props *props, const char *name, char *buffer, int size)
{
    if (props == nullptr || !valid_name(name) || buffer == nullptr || size <= 0)
        return SV_ERR_INVALID_PARAMETERS;
    const Item *item = const_cast<sv_props *>(props)->find(name);
    if (item == nullptr)
        return SV_ERR_NO_SUCH_PROPERTY;
    if (item->type != SV_PROP_STRING)
        return SV_ERR_PROPERTY_TYPE;
    const size_t n = std::min(item->text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, item->text.data(), n);
    buffer[n] = '\0';
    return SV_OK;
}

int sv_props_unset(sv_props *props, const char *name)
{
    if (props == nullptr || !valid_name(name))
        return SV_ERR_INVALID_PARAMETERS;
    try {
        if (props->find(name) == nullptr)
            return SV_ERR_NO_SUCH_PROPERTY;
        const std::string key = name;
        props->notify(key, nullptr);
        // A watcher may have removed the item already.
        for (auto it = props->items.begin(); it != props->items.end(); ++it) {
            if (it->name == key) {
                props->items.erase(it);
                break;
            }
        }
        return SV_OK;
    } catch (const std::bad_alloc &) {
        return SV_ERR_OUT_OF_MEMORY;
    }
}

int sv_props_add_watcher(sv_props *props, const char *name, sv_prop_watcher fn, void *user)
{
    if (props == nullptr || !valid_name(name) || fn == nullptr)
        return SV_ERR_INVALID_PARAMETERS;
    try {
        props->watchers.push_back(std::make_shared<Watcher>(Watcher{name, fn, user, true}));
        return SV_OK;
    } catch (const std::bad_alloc &) {
        return SV_ERR_OUT_OF_MEMORY;
    }
}

int sv_props_remove_watcher(sv_props *props, const char *name, sv_prop_watcher fn, void *user)
{
    if (props == nullptr || !valid_name(name) || fn == nullptr)
        return SV_ERR_INVALID_PARAMETERS;
    for (auto it = props->watchers.begin(); it != props->watchers.end(); ++it) {
        Watcher &w = **it;
        if (w.name == name && w.fn == fn && w.user == user) {
            w.alive = false;
            props->watchers.erase(it);
            return SV_OK;
        }
    }
    return SV_ERR_INVALID_PARAMETERS;
}

int sv_props_count(const sv_props *props)
{
    return props == nullptr ? 0 : static_cast<int>(props->items.size());
}

int sv_props_item(const sv_props *props, int i, const char **name, int *type, const char **text, int *value)
{
    if (props == nullptr || i < 0 || i >= static_cast<int>(props->items.size()))
        return SV_ERR_NO_SUCH_PROPERTY;
    auto it = props->items.begin();
    std::advance(it, i);
    if (name)
        *name = it->name.c_str();
    if (type)
        *type = it->type;
    if (text)
        *text = it->type == SV_PROP_STRING ? it->text.c_str() : nullptr;
    if (value)
        *value = it->type == SV_PROP_INTEGER ? it->value : 0;
    return SV_OK;
}

void sv_props_clear(sv_props *props)
{
    if (props != nullptr)
        props->items.clear();
}

} // extern "C"
