/*
 * Internal seams of the sound-card output, used by the library's own tests to stand in
 * for conditions a test machine cannot produce (a device held by another program, a
 * USB card unplugged mid-stream). Not part of any public interface.
 */
#ifndef SONVOX_MODULES_OUTPUT_ALSA_SV_ALSA_OUTPUT_INTERNAL_H
#define SONVOX_MODULES_OUTPUT_ALSA_SV_ALSA_OUTPUT_INTERNAL_H

#include <alsa/asoundlib.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int (*sv_alsa_open_fn)(snd_pcm_t **pcm, const char *name, snd_pcm_stream_t stream, int mode);
typedef snd_pcm_sframes_t (*sv_alsa_writei_fn)(snd_pcm_t *pcm, const void *buffer, snd_pcm_uframes_t frames);

/* Replace snd_pcm_open / snd_pcm_writei for every instance; NULL restores ALSA's own.
 * Call only while no instance is open. */
void sv_alsa_output_set_opener(sv_alsa_open_fn fn);
void sv_alsa_output_set_writer(sv_alsa_writei_fn fn);

/* The instance's saved volume word (right << 16 | left, before mute and master level). */
uint32_t sv_alsa_output_saved_volume(void *instance);

/* The PCM name an instance opens (after SONVOX_ALSA_DEVICE is applied). */
const char *sv_alsa_output_pcm_name(void *instance);

/* How often the feeder thread has found nothing it may do (closed, failed, paused or
 * an empty ring) and gone to wait until it is woken. A test that sees this count grow
 * after a change knows the feeder has taken the change into account. */
int sv_alsa_output_feeder_idle_count(void *instance);

/* The sample rate the device was opened at (0 while closed). */
int sv_alsa_output_device_rate(void *instance);

#ifdef __cplusplus
}
#endif

#endif
