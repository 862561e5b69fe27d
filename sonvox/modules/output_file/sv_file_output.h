/*
 * "Output To File": writes the decoded 16-bit PCM to a file or to standard output.
 * The name's prefix chooses the format: "raw:" (also a name without prefix), "wav:",
 * "aiff:" and "sun:"; what remains is a path, or "-" for standard output. Only WAV
 * files get a header: written at the first write and rewritten with the real data size
 * at close when the file can be repositioned. "aiff:" and "sun:" files hold the raw
 * samples.
 */
#ifndef SONVOX_MODULES_OUTPUT_FILE_SV_FILE_OUTPUT_H
#define SONVOX_MODULES_OUTPUT_FILE_SV_FILE_OUTPUT_H

#ifdef __cplusplus
extern "C" {
#endif

/* Entry point: fills a zeroed sv_output_module. Returns 0. */
int sv_file_output_register(void *descriptor);

#ifdef __cplusplus
}
#endif

#endif
