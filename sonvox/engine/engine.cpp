// Engine entry points (being filled in): every call reports that the engine is not there yet.
#include "sonvox/engine/sv_engine.h"

extern "C" {

int sv_engine_start(sv_engine **control, const sv_start_entry *) { if (control) *control = nullptr; return SV_ERR_INTERNAL; }
int sv_engine_stop(sv_engine *) { return SV_ERR_INTERNAL; }
void sv_engine_free(sv_engine *) {}
int sv_engine_sync(sv_engine *, int) { return SV_ERR_INTERNAL; }
int sv_send(sv_engine *, const sv_message *) { return SV_ERR_INTERNAL; }
int sv_send_none(sv_engine *, int) { return SV_ERR_INTERNAL; }
int sv_send_int(sv_engine *, int, int) { return SV_ERR_INTERNAL; }
int sv_send_string(sv_engine *, int, const char *) { return SV_ERR_INTERNAL; }
int sv_send_two_ints(sv_engine *, int, int, int) { return SV_ERR_INTERNAL; }
int sv_send_name_int(sv_engine *, int, const char *, int) { return SV_ERR_INTERNAL; }
int sv_send_name_string(sv_engine *, int, const char *, const char *) { return SV_ERR_INTERNAL; }
int sv_send_string_short(sv_engine *, int, const char *, int) { return SV_ERR_INTERNAL; }
int sv_send_bytes3(sv_engine *, int, int, int, int) { return SV_ERR_INTERNAL; }
int sv_send_bytes(sv_engine *, int, int, const void *, int) { return SV_ERR_INTERNAL; }
int sv_send_register(sv_engine *, sv_module_kind, const char *, int) { return SV_ERR_INTERNAL; }
int sv_client_next(sv_engine *, sv_notification *, int) { return SV_ERR_INVALID_PARAMETERS; }
long sv_client_dropped(sv_engine *) { return 0; }
void sv_client_set_wakeup(sv_engine *, void (*)(void *), void *) {}
int sv_version(int which)
{
    switch (which) {
    case 1: return SV_MODULE_INTERFACE_VERSION;
    case 2: return SV_CONTROL_INTERFACE_VERSION;
    case 3: return SV_LIBRARY_VERSION;
    default: return 0;
    }
}
int sv_engine_set_priority(sv_engine *, int, int) { return SV_ERR_INTERNAL; }
int sv_engine_get_priority(sv_engine *, int) { return -1; }
int sv_register_module(sv_decoder *, sv_module_kind, const char *, int) { return SV_ERR_INTERNAL; }
int sv_module_address_name(sv_module_register_fn, char *, int) { return SV_ERR_INTERNAL; }
int sv_builtin_init_hook(void *, sv_engine *, sv_decoder *) { return SV_ERR_INTERNAL; }
const sv_start_entry *sv_builtin_start_list(void) { return nullptr; }

__attribute__((weak)) int sv_file_input_register(void *) { return SV_ERR_PLUGIN_NOT_FOUND; }
__attribute__((weak)) int sv_network_input_register(void *) { return SV_ERR_PLUGIN_NOT_FOUND; }
__attribute__((weak)) int sv_file_output_register(void *) { return SV_ERR_PLUGIN_NOT_FOUND; }
__attribute__((weak)) int sv_alsa_output_register(void *) { return SV_ERR_PLUGIN_NOT_FOUND; }
__attribute__((weak)) int sv_mpeg_codec_register(void *) { return SV_ERR_PLUGIN_NOT_FOUND; }
__attribute__((weak)) int sv_wave_codec_register(void *) { return SV_ERR_PLUGIN_NOT_FOUND; }

}
