/*
 * The one table of the library's built-in modules. The engine registers them in this
 * order at start; within a kind the registry numbers modules 0, 1, 2, ... in the order
 * of registration, and those ids are what the player's "set module" commands and the
 * module queries use, so the order here is part of the interface.
 *
 * Each row names a module's const record directly: a build that leaves a module's
 * source out does not link.
 */
#include "sonvox/modules/builtin_modules.h"

#include <stddef.h>

#include "sonvox/modules/codec_mpeg/mpeg_codec_module.h"
#include "sonvox/modules/codec_wave/wave_codec.h"
#include "sonvox/modules/input_file/sv_file_input.h"
#include "sonvox/modules/input_network/sv_network_input.h"
#include "sonvox/modules/output_alsa/sv_alsa_output.h"
#include "sonvox/modules/output_file/sv_file_output.h"

const sv_builtin_module *const sv_builtin_modules[] = {
    /* Inputs. */
    &sv_file_input_module,    /* input 0 */
    &sv_network_input_module, /* input 1 */

    /* Outputs. */
    &sv_file_output_module, /* output 0 */
    &sv_alsa_output_module, /* output 1 */

    /* Codecs. */
    &sv_mpeg_codec_module, /* codec 0 */
    &sv_wave_codec_module, /* codec 1 */

    NULL,
};
