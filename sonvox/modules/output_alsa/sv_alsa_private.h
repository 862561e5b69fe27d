/*
 * What the three parts of the sound-card output share: the instance record with the
 * owner of each field, and the operations one part calls in another.
 *   sv_alsa_ring.c     the ring of queued buffers, the feeder thread, write/get_buffer
 *   sv_alsa_device.c   opening, configuring and closing the device; create/destroy
 *   sv_alsa_output.c   the controls, latency and the module's descriptor
 */
#ifndef SONVOX_MODULES_OUTPUT_ALSA_SV_ALSA_PRIVATE_H
#define SONVOX_MODULES_OUTPUT_ALSA_SV_ALSA_PRIVATE_H

#include <pthread.h>
#include <stdint.h>
#include <time.h>

#include <alsa/asoundlib.h>

#include "sonvox/engine/sv_module.h"
#include "sonvox/modules/output_alsa/sv_alsa_output.h"
#include "sonvox/modules/output_alsa/sv_alsa_output_internal.h"

#define NAME_PREFIX "/dev/wave/"
#define PLAYBACK_RATE_VAR "OUTPUT.WAVE.PLAYBACK-RATE"
#define CAPABILITIES 0x7FFFFF
#define OPEN_ATTEMPTS 10
#define OPEN_RETRY_US 50000
#define SLOT_WAIT_NS (10LL * 1000000000LL)
#define DEVICE_BUFFER_US 200000u
#define DEVICE_PERIOD_US 25000u
#define REPORT_LEVEL 1

typedef struct ring_slot
{
    unsigned char *data;
    int capacity; /* bytes allocated */
    int bytes;    /* bytes queued (whole frames) */
    int fed;      /* bytes already handed to the device */
    int in_use;   /* queued and not yet fully handed to the device */
} ring_slot;

typedef struct alsa_output
{
    /* Immutable after create. */
    sv_module_entry *entry;
    sv_decoder *decoder;
    int device; /* -1 default device, else card 0..8 */
    char pcm_name[128];
    int watching; /* the playback-rate watcher is installed */

    /* Player thread only (the module's operations). */
    int rate_factor;   /* 16.16; 0 = normal */
    int reported_dead; /* the lost device has been reported */
    int opened;        /* between the module's open and close */

    /* Protected by lock: shared with the feeder thread, which runs from a device open
     * to its close and takes the lock for everything below. The player thread takes it
     * too, for reads as well as writes. */
    pthread_mutex_t lock;
    pthread_cond_t feed_cond; /* feeder: work queued, pause lifted, stop asked */
    pthread_cond_t done_cond; /* player: a slot finished, the ring was cleared */
    /* NULL while closed. Set and cleared only by the player thread (device open and
     * close, with the feeder stopped around a close); the feeder writes and recovers
     * through it. */
    snd_pcm_t *pcm;
    int dead;       /* 0, or the error code of a device that failed (set by the feeder) */
    int alsa_error; /* the ALSA error behind `dead` */
    ring_slot ring[SV_ALSA_RING_SIZE];
    int next;                /* ring index that get_buffer and write use next */
    int head;                /* oldest queued slot */
    int queued;              /* slots in use */
    uint64_t written_frames; /* frames queued since the last reset or device open */
    uint64_t fed_frames;     /* frames handed to the device since then */
    int frequency, channels; /* stream format the device is open for */
    int device_rate, device_channels;
    int paused;
    /* The gain stages the feeder applies to every chunk it converts: */
    int muted;             /* 1: silence */
    int master_level;      /* 0..100, a gain stage in place of the speaker control */
    double balance;        /* 0..1, 0.5 = centre */
    uint32_t saved_volume; /* pcm level and balance: right << 16 | left */
    int feeder_running, feeder_stop;
    int idle_waits; /* times the feeder found nothing to do and waited to be woken */
    pthread_t feeder;

    /* Written by the player thread while no feeder runs (configure, between a close
     * and the next start of the feeder), read by the feeder. */
    int can_pause;
    long long buffer_ns; /* the device buffer's length */
    int16_t *scratch;    /* gain-applied samples on their way to the device */
    snd_pcm_uframes_t scratch_frames;
} alsa_output;

/* ---- sv_alsa_device.c ---- */

void sv_alsa_report_error(const alsa_output *o, int code, const char *text, const char *detail);
int sv_alsa_open_device(alsa_output *o, int frequency, int channels);
int sv_alsa_probe(const char *name);
int sv_alsa_info(sv_module_info *info, int flags);
int sv_alsa_create(void **instance, const char *name, sv_module_entry *entry, sv_decoder *decoder);
int sv_alsa_close(void *instance);
int sv_alsa_destroy(void *instance);
int sv_alsa_open(void *instance);

/* ---- sv_alsa_ring.c (the lock held unless said otherwise) ---- */

void sv_alsa_clear_ring(alsa_output *o);
void *sv_alsa_feeder_main(void *arg);
void sv_alsa_wait_played(alsa_output *o);
void sv_alsa_wait_fed(alsa_output *o);
void sv_alsa_resume_locked(alsa_output *o);
void *sv_alsa_get_buffer(void *instance, int size);
int sv_alsa_write(void *instance, const void *buffer, int bytes, int bytes_per_sample, int channels, int frequency);

#endif
