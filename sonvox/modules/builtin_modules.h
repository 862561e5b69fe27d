/*
 * The modules built into the library, in the order the engine registers them at start.
 */
#ifndef SONVOX_MODULES_BUILTIN_MODULES_H
#define SONVOX_MODULES_BUILTIN_MODULES_H

#include "sonvox/engine/sv_module.h"

#ifdef __cplusplus
extern "C" {
#endif

/* NULL-terminated. Each kind's modules get the ids 0, 1, 2, ... in the order they
 * appear here (see builtin_modules.c). */
extern const sv_builtin_module *const sv_builtin_modules[];

#ifdef __cplusplus
}
#endif

#endif
