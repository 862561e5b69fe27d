#include "sonvox/api/sv_sample_feedback.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "sonvox/api/sv_views.h"
#include "sonvox/engine/sv_errors.h"

namespace {

struct PanelEntry
{
    sv_panel panel;
    int width, height, bands;
};

// Written by client threads (instance creation and release), read by feedback
// threads (view creation): guarded by the mutex.
std::mutex panelLock;
std::map<int, PanelEntry> panels;
int nextPanelId = 1;

bool findPanel(int id, PanelEntry *out)
{
    std::lock_guard<std::mutex> lock(panelLock);
    auto it = panels.find(id);
    if (it == panels.end())
        return false;
    *out = it->second;
    return true;
}

const char *const kHandlerNames[] = {"sample-spectrum", "sample-vu", "sample-oscilloscope"};

void copyText(char *dst, const char *src)
{
    std::snprintf(dst, SV_NAME_MAX, "%s", src);
}

int probe(const char *name)
{
    if (!name)
        return SV_ERR_PLUGIN_NOT_FOUND;
    // Prefix matches, so "sample-spectrum-32" probes as the spectrum module; new()
    // then wants the exact name.
    for (const char *h : kHandlerNames)
        if (std::strncmp(name, h, std::strlen(h)) == 0)
            return 0;
    return SV_ERR_PLUGIN_NOT_FOUND;
}

int info(sv_module_info *record, int flags)
{
    if (!record)
        return SV_ERR_INVALID_PARAMETERS;
    if (flags & SV_INFO_NAME) {
        copyText(record->name, "Sample Feedback Module");
        copyText(record->description, "Version 1.0");
        record->flags = 0;
    }
    if (flags & SV_INFO_DEVICE_COUNT)
        record->count = 1;
    if ((flags & SV_INFO_DEVICE) && !(flags & SV_INFO_NAME)) {
        if (record->count < 0 || record->count > 2)
            return SV_ERR_INVALID_PARAMETERS;
        copyText(record->name, kHandlerNames[record->count]);
        copyText(record->description, "sample feedback handler");
    }
    return 0;
}

int create(void **instance, const char *name, sv_module_entry *, void *, const sv_feedback_env *env)
{
    if (!instance || !name || !env || !env->get_int)
        return SV_ERR_INVALID_PARAMETERS;
    *instance = nullptr;
    int id = 0;
    const int rc = env->get_int(env->context, SV_FEEDBACK_WINDOW_VARIABLE, &id);
    if (rc < 0)
        return rc;
    PanelEntry entry;
    if (!findPanel(id, &entry))
        return SV_ERR_INVALID_PARAMETERS;
    try {
        std::unique_ptr<sonvox::FeedbackView> view =
            sonvox::makeView(name, entry.panel, entry.width, entry.height, entry.bands);
        if (!view)
            return SV_ERR_INVALID_PARAMETERS; // probed, but not one of the exact names
        *instance = view.release();
    } catch (const std::bad_alloc &) {
        return SV_ERR_OUT_OF_MEMORY;
    }
    return 0;
}

int destroy(void *instance)
{
    delete static_cast<sonvox::FeedbackView *>(instance);
    return 0;
}

int startStop(void *)
{
    return 0;
}

int event(void *instance, const sv_feedback_event *e)
{
    if (!instance || !e)
        return SV_ERR_INVALID_PARAMETERS;
    try {
        static_cast<sonvox::FeedbackView *>(instance)->draw(*e);
    } catch (const std::bad_alloc &) {
        return SV_ERR_OUT_OF_MEMORY;
    }
    return 0;
}

} // namespace

extern "C" int sv_sample_feedback_register(void *descriptor)
{
    auto *d = static_cast<sv_feedback_module *>(descriptor);
    d->version = SV_FEEDBACK_INTERFACE_VERSION;
    d->probe = probe;
    d->info = info;
    d->create = create;
    d->destroy = destroy;
    d->start = startStop;
    d->stop = startStop;
    d->send_message = nullptr;
    d->event = event;
    return 0;
}

extern "C" int sv_panel_table_add(const sv_panel *panel, int width, int height, int bands)
{
    if (!panel || !panel->present)
        return 0;
    std::lock_guard<std::mutex> lock(panelLock);
    const int id = nextPanelId++;
    if (nextPanelId <= 0)
        nextPanelId = 1; // wraps after 2^31 instances
    try {
        panels[id] = PanelEntry{*panel, width, height, bands};
    } catch (const std::bad_alloc &) {
        return 0; // no picture, playback unaffected
    }
    return id;
}

extern "C" void sv_panel_table_remove(int id)
{
    std::lock_guard<std::mutex> lock(panelLock);
    panels.erase(id);
}
