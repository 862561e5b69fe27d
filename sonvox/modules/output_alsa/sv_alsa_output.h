/*
 * "Win32 Sound Driver Interface": the sound-card output, played through ALSA.
 *
 * Names: the empty name and "/dev/wave/0" are ALSA "default"; "/dev/wave/N" (N = 1..9)
 * is card N-1; any other name beginning with "/dev/wave/" is rejected with -512. The
 * environment variable SONVOX_ALSA_DEVICE, when set and not empty, replaces the PCM name
 * whatever the output name says.
 *
 * Decoded frames are queued in a ring of 48 buffers that get_buffer hands out in ring
 * order; a feeder thread owned by the instance moves queued buffers to the device as it
 * accepts them, applying the instance's volume (pcm level, balance, master level, mute)
 * and the process-wide volume word (sv_volume.h) as gain. A real card therefore plays
 * in real time: get_buffer waits only while the buffer at the ring index is still
 * queued. The system mixer is never touched.
 *
 * A device that fails while playing (an unplugged USB card: -ENODEV) ends the write
 * that meets it with -512 and an error report; queued sound is dropped and nothing
 * waits on the device. The next write opens the device again.
 *
 * The decoder environment variable "OUTPUT.WAVE.PLAYBACK-RATE" (a 16.16 fixed-point
 * factor; 0, 0x10000 or unset = normal) changes the device's sample rate, so speed and
 * pitch change together; queued sound is played out at the old rate first.
 */
#ifndef SONVOX_MODULES_OUTPUT_ALSA_SV_ALSA_OUTPUT_H
#define SONVOX_MODULES_OUTPUT_ALSA_SV_ALSA_OUTPUT_H

#include "sonvox/engine/sv_module.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Entry point: fills a zeroed sv_output_module. Returns 0. */
int sv_alsa_output_register(void *descriptor);

/* The module's const record, listed in the table of built-in modules. */
extern const sv_builtin_module sv_alsa_output_module;

/* Number of buffers in the ring. */
#define SV_ALSA_RING_SIZE 48

#ifdef __cplusplus
}
#endif

#endif
