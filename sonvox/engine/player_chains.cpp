// The filter chains of the player: each stream operation goes through the filters of its
// side that implement it and ends in the module itself.
#include "sonvox/engine/player.h"

namespace sv {

// ---- filter chains ----

sv_filter_module *Player::filter(sv_module_kind side, size_t i, void **instance, sv_filter_next *next)
{
    auto &chain = registry.list(side);
    if (i >= chain.size())
        return nullptr;
    *instance = chain[i]->entry.instance;
    *next = sv_filter_next{this, side, i + 1};
    return &chain[i]->entry.d.filter;
}

#define SV_THROUGH_FILTER(side, slot, ...)                                                                             \
    do {                                                                                                               \
        void *fi = nullptr;                                                                                            \
        sv_filter_next nx{};                                                                                           \
        for (size_t k = i;; ++k) {                                                                                     \
            sv_filter_module *f = filter(side, k, &fi, &nx);                                                           \
            if (f == nullptr)                                                                                          \
                break;                                                                                                 \
            if (f->slot != nullptr)                                                                                    \
                return f->slot(fi, &nx, ##__VA_ARGS__);                                                                \
        }                                                                                                              \
    } while (0)

int Player::in_open(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, open);
    return input.module->entry.d.input.open(input.instance);
}
int Player::in_close(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, close);
    return input.module->entry.d.input.close(input.instance);
}
int Player::in_read(size_t i, void *buffer, int size)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, read, buffer, size);
    return input.module->entry.d.input.read(input.instance, buffer, size);
}
int Player::in_seek(size_t i, int64_t offset)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, seek, offset);
    if (input.module->entry.d.input.seek == nullptr)
        return SV_ERR_NO_SLOT;
    return input.module->entry.d.input.seek(input.instance, offset);
}
int64_t Player::in_size(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, get_size);
    const auto &d = input.module->entry.d.input;
    return d.get_size ? d.get_size(input.instance) : 0;
}
int Player::in_caps(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, get_capabilities);
    const auto &d = input.module->entry.d.input;
    return d.get_capabilities ? d.get_capabilities(input.instance) : 0;
}
int Player::in_message(size_t i, int id, const void *data, int size)
{
    SV_THROUGH_FILTER(SV_KIND_INPUT_FILTER, send_message, id, data, size);
    const auto &d = input.module->entry.d.input;
    return d.send_message ? d.send_message(input.instance, id, data, size) : SV_ERR_NO_SLOT;
}
int Player::out_open(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, open);
    return output.module->entry.d.output.open(output.instance);
}
int Player::out_close(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, close);
    return output.module->entry.d.output.close(output.instance);
}
int Player::out_write(size_t i, const void *buffer, int bytes, int bps, int channels, int frequency)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, write, buffer, bytes, bps, channels, frequency);
    return output.module->entry.d.output.write(output.instance, buffer, bytes, bps, channels, frequency);
}
void *Player::out_buffer(size_t i, int size)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, get_buffer, size);
    const auto &d = output.module->entry.d.output;
    if (d.get_buffer)
        return d.get_buffer(output.instance, size);
    return grow_pcm(size) ? pcm.data() : nullptr;
}
int Player::out_set_control(size_t i, const sv_output_control *c, int flags)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, set_control, c, flags);
    const auto &d = output.module->entry.d.output;
    return d.set_control ? d.set_control(output.instance, c, flags) : 0;
}
int Player::out_get_control(size_t i, sv_output_control *c, int flags)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, get_control, c, flags);
    const auto &d = output.module->entry.d.output;
    if (d.get_control)
        return d.get_control(output.instance, c, flags);
    c->channels = 2;
    c->master_level = 100;
    c->pcm_level = 100;
    c->balance = 50;
    c->ports = 1;
    return 0;
}
int Player::out_caps(size_t i)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, get_capabilities);
    const auto &d = output.module->entry.d.output;
    return d.get_capabilities ? d.get_capabilities(output.instance) : kDefaultCaps;
}
int Player::out_message(size_t i, int id, const void *data, int size)
{
    SV_THROUGH_FILTER(SV_KIND_OUTPUT_FILTER, send_message, id, data, size);
    const auto &d = output.module->entry.d.output;
    return d.send_message ? d.send_message(output.instance, id, data, size) : SV_ERR_NO_SLOT;
}

#undef SV_THROUGH_FILTER

bool Player::grow_pcm(int size)
{
    if (size < 0)
        return false;
    try {
        if (pcm.size() < static_cast<size_t>(size))
            pcm.resize(static_cast<size_t>(size));
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

} // namespace sv

// ---- what a filter calls to reach the rest of its chain ----

extern "C" {

int sv_next_open(sv_filter_next *next)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_open(next->index)
                                              : next->player->out_open(next->index);
}
int sv_next_close(sv_filter_next *next)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_close(next->index)
                                              : next->player->out_close(next->index);
}
int sv_next_read(sv_filter_next *next, void *buffer, int size)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_read(next->index, buffer, size) : SV_ERR_INTERNAL;
}
int sv_next_seek(sv_filter_next *next, int64_t offset)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_seek(next->index, offset) : SV_ERR_INTERNAL;
}
int64_t sv_next_get_size(sv_filter_next *next)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_size(next->index) : 0;
}
int sv_next_get_capabilities(sv_filter_next *next)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_caps(next->index)
                                              : next->player->out_caps(next->index);
}
int sv_next_send_message(sv_filter_next *next, int id, const void *data, int size)
{
    return next->side == SV_KIND_INPUT_FILTER ? next->player->in_message(next->index, id, data, size)
                                              : next->player->out_message(next->index, id, data, size);
}
int sv_next_write(sv_filter_next *next, const void *buffer, int bytes, int bytes_per_sample, int channels,
                  int frequency)
{
    return next->side == SV_KIND_OUTPUT_FILTER
               ? next->player->out_write(next->index, buffer, bytes, bytes_per_sample, channels, frequency)
               : SV_ERR_INTERNAL;
}
void *sv_next_get_buffer(sv_filter_next *next, int size)
{
    return next->side == SV_KIND_OUTPUT_FILTER ? next->player->out_buffer(next->index, size) : nullptr;
}
int sv_next_set_control(sv_filter_next *next, const sv_output_control *control, int flags)
{
    return next->side == SV_KIND_OUTPUT_FILTER ? next->player->out_set_control(next->index, control, flags)
                                               : SV_ERR_INTERNAL;
}
int sv_next_get_control(sv_filter_next *next, sv_output_control *control, int flags)
{
    return next->side == SV_KIND_OUTPUT_FILTER ? next->player->out_get_control(next->index, control, flags)
                                               : SV_ERR_INTERNAL;
}

} // extern "C"
