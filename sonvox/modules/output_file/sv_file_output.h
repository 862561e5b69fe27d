/*
 * "Output To File": writes the decoded 16-bit PCM to a file or to standard output.
 * The name's prefix chooses the format: "raw:" (also a name without prefix) raw
 * little-endian samples, "wav:" a WAV file, "aiff:" an AIFF file and "sun:" a Sun/NeXT
 * .au file (both with big-endian samples); what remains is a path, or "-" for standard
 * output. The header is written at the first write with the format of that write and
 * rewritten with the real sizes at close when the file can be repositioned (through a
 * pipe the sizes stay 0, or "unknown" for Sun).
 */
#ifndef SONVOX_MODULES_OUTPUT_FILE_SV_FILE_OUTPUT_H
#define SONVOX_MODULES_OUTPUT_FILE_SV_FILE_OUTPUT_H

#include "sonvox/engine/sv_module.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Entry point: fills a zeroed sv_output_module. Returns 0. */
int sv_file_output_register(void *descriptor);

/* The module's const record, listed in the table of built-in modules. */
extern const sv_builtin_module sv_file_output_module;

#ifdef __cplusplus
}
#endif

#endif
