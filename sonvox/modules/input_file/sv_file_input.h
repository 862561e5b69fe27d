/*
 * "Input From File": reads a stream from a file or, for the name "-", from standard
 * input. Files whose name ends in ".mp3" have their ID3 version 1 tag published as the
 * stream properties "id3/title", "id3/artist", "id3/album", "id3/year", "id3/comment"
 * and "id3/genre". Tag text is published as UTF-8: fields that are not UTF-8 already
 * are read as GB18030 (tags written on Chinese Windows), failing that as Latin-1.
 */
#ifndef SONVOX_MODULES_INPUT_FILE_SV_FILE_INPUT_H
#define SONVOX_MODULES_INPUT_FILE_SV_FILE_INPUT_H

#include "sonvox/engine/sv_module.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Entry point: fills a zeroed sv_input_module. Returns 0. */
int sv_file_input_register(void *descriptor);

/* The module's const record, listed in the table of built-in modules. */
extern const sv_builtin_module sv_file_input_module;

/* Number of names in the ID3 version 1 genre list (indexed 0..79). */
#define SV_ID3V1_GENRE_COUNT 80

/* The genre name for an ID3v1 genre byte, or NULL when the byte is outside the list. */
const char *sv_id3v1_genre(int index);

#ifdef __cplusplus
}
#endif

#endif
