/* "Win32 Sound Driver Interface": the sound-card output on ALSA. */
#include "sonvox/modules/output_alsa/sv_alsa_output.h"

#include <errno.h>
#include <math.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <alsa/asoundlib.h>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"
#include "sonvox/modules/output_alsa/sv_alsa_output_internal.h"
#include "sonvox/modules/output_alsa/sv_volume.h"

#define NAME_PREFIX "/dev/wave/"
#define PLAYBACK_RATE_VAR "OUTPUT.WAVE.PLAYBACK-RATE"
#define CAPABILITIES 0x7FFFFF
#define OPEN_ATTEMPTS 10
#define OPEN_RETRY_US 50000
/* How long a queued buffer may stay unplayed before it is given up. */
#define SLOT_WAIT_NS (10LL * 1000000000LL)
/* Device buffer asked for: short, because the ring of 48 frames queues ahead anyway. */
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

    /* Player thread only. */
    int next;          /* ring index that get_buffer and write use next */
    int master_level;  /* 0..100, a gain stage in place of the speaker control */
    int rate_factor;   /* 16.16; 0 = normal */
    int reported_dead; /* the lost device has been reported */
    int opened;        /* between the module's open and close */

    /* Protected by lock (shared with the feeder thread). */
    pthread_mutex_t lock;
    pthread_cond_t feed_cond; /* feeder: work queued, pause lifted, stop asked */
    pthread_cond_t done_cond; /* player: a slot finished, the ring was cleared */
    snd_pcm_t *pcm;           /* NULL while closed */
    int dead;                 /* 0, or the error code of a device that failed */
    int alsa_error;           /* the ALSA error behind `dead` */
    ring_slot ring[SV_ALSA_RING_SIZE];
    int head;                /* oldest queued slot */
    int queued;              /* slots in use */
    uint64_t written_frames; /* frames queued since the last reset or device open */
    uint64_t fed_frames;     /* frames handed to the device since then */
    int frequency, channels; /* stream format the device is open for */
    int device_rate, device_channels;
    int can_pause;
    long long buffer_ns; /* the device buffer's length */
    int paused, muted;
    double balance;        /* 0..1, 0.5 = centre */
    uint32_t saved_volume; /* right << 16 | left */
    int16_t *scratch;      /* gain-applied samples on their way to the device */
    snd_pcm_uframes_t scratch_frames;
    int feeder_running, feeder_stop;
    pthread_t feeder;
} alsa_output;

static sv_alsa_open_fn pcm_opener = snd_pcm_open;
static sv_alsa_writei_fn pcm_writer = snd_pcm_writei;

void sv_alsa_output_set_opener(sv_alsa_open_fn fn)
{
    pcm_opener = fn ? fn : snd_pcm_open;
}

void sv_alsa_output_set_writer(sv_alsa_writei_fn fn)
{
    pcm_writer = fn ? fn : snd_pcm_writei;
}

/* ---- small helpers ---- */

static int source_id(const alsa_output *o)
{
    return o->entry ? o->entry->id : 0;
}

static void report_debug(const alsa_output *o, const char *text, const char *detail)
{
    if (o->decoder && o->decoder->debug)
        o->decoder->debug(o->decoder->engine, source_id(o), REPORT_LEVEL, text, detail);
}

static void report_error(const alsa_output *o, int code, const char *text, const char *detail)
{
    if (o->decoder && o->decoder->error)
        o->decoder->error(o->decoder->engine, source_id(o), code, text, detail);
}

static struct timespec deadline_after(long long ns)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    long long total = (long long)t.tv_nsec + ns;
    t.tv_sec += (time_t)(total / 1000000000LL);
    t.tv_nsec = (long)(total % 1000000000LL);
    return t;
}

static int past(const struct timespec *deadline)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec > deadline->tv_sec || (now.tv_sec == deadline->tv_sec && now.tv_nsec >= deadline->tv_nsec);
}

static void timed_wait(pthread_cond_t *cond, pthread_mutex_t *lock, long long ns)
{
    struct timespec t = deadline_after(ns);
    pthread_cond_timedwait(cond, lock, &t);
}

/* Gains in 1/65536 for the left and right channel: saved volume (zero while muted)
 * times master level times the process-wide volume word. */
static void current_gains(const alsa_output *o, int *left, int *right)
{
    if (o->muted) {
        *left = *right = 0;
        return;
    }
    uint32_t process = sv_volume_word_get();
    double master = o->master_level / 100.0;
    double l = (o->saved_volume & 0xFFFF) / 65535.0 * (process & 0xFFFF) / 65535.0 * master;
    double r = (o->saved_volume >> 16) / 65535.0 * (process >> 16) / 65535.0 * master;
    *left = (int)lround(l * 65536.0);
    *right = (int)lround(r * 65536.0);
}

static inline int16_t scale(int16_t s, int gain)
{
    return (int16_t)(((int32_t)s * gain) / 65536);
}

/* Applies the gains while copying `frames` frames; mono is spread to both device
 * channels so that balance works on it as on stereo. */
static void convert(const int16_t *src, int channels, int16_t *dst, int device_channels, snd_pcm_uframes_t frames,
                    int gl, int gr)
{
    if (channels == 1 && device_channels == 2) {
        for (snd_pcm_uframes_t i = 0; i < frames; i++) {
            dst[2 * i] = scale(src[i], gl);
            dst[2 * i + 1] = scale(src[i], gr);
        }
        return;
    }
    size_t n = (size_t)frames * (size_t)channels;
    if (gl == 65536 && gr == 65536) {
        memcpy(dst, src, n * sizeof *dst);
        return;
    }
    for (size_t i = 0; i < n; i++)
        dst[i] = scale(src[i], (i % (size_t)channels) % 2 == 0 ? gl : gr);
}

/* ---- the ring (lock held) ---- */

static void finish_head(alsa_output *o)
{
    ring_slot *s = &o->ring[o->head];
    s->in_use = 0;
    s->fed = s->bytes = 0;
    o->queued--;
    o->head = (o->head + 1) % SV_ALSA_RING_SIZE;
    pthread_cond_broadcast(&o->done_cond);
}

static void clear_ring(alsa_output *o)
{
    for (int i = 0; i < SV_ALSA_RING_SIZE; i++) {
        o->ring[i].in_use = 0;
        o->ring[i].fed = o->ring[i].bytes = 0;
    }
    o->queued = 0;
    o->head = o->next;
    pthread_cond_broadcast(&o->done_cond);
}

static void mark_dead(alsa_output *o, int alsa_error)
{
    o->alsa_error = alsa_error;
    o->dead = (alsa_error == -ENODEV || alsa_error == -ENXIO || alsa_error == -EBADFD) ? SV_ERR_NO_SUCH_DEVICE
                                                                                       : SV_ERR_WRITE_FAILED;
    clear_ring(o);
}

/* ---- feeder thread: moves queued slots to the device ---- */

static void wait_for_room(alsa_output *o, snd_pcm_sframes_t avail, snd_pcm_uframes_t need)
{
    if (snd_pcm_state(o->pcm) == SND_PCM_STATE_PREPARED)
        snd_pcm_start(o->pcm);
    /* Sleep until the chunk fits, but at least a quarter of the device buffer so that
     * the device is topped up in a few large writes rather than many small ones; half
     * the buffer is still queued when the feeder wakes. */
    long long missing = (long long)need - (avail > 0 ? avail : 0);
    long long ns = o->device_rate > 0 ? missing * 1000000000LL / o->device_rate : 10000000LL;
    long long quarter = o->buffer_ns / 4, half = o->buffer_ns / 2;
    if (ns < quarter)
        ns = quarter;
    if (ns > half)
        ns = half;
    if (ns < 1000000LL)
        ns = 1000000LL;
    timed_wait(&o->feed_cond, &o->lock, ns);
}

/* The device holds sound but has not started (lock held). */
static int holds_unstarted_sound(alsa_output *o)
{
    snd_pcm_sframes_t delay;
    return o->pcm && !o->dead && !o->paused && snd_pcm_state(o->pcm) == SND_PCM_STATE_PREPARED
           && snd_pcm_delay(o->pcm, &delay) == 0 && delay > 0;
}

static void *feeder_main(void *arg)
{
    alsa_output *o = arg;
    pthread_mutex_lock(&o->lock);
    while (!o->feeder_stop) {
        if (!o->pcm || o->dead || o->paused || o->queued == 0) {
            /* A sound shorter than the start threshold would wait in the device
             * until the next write or close: once nothing more has come for 50 ms,
             * start the device. */
            if (holds_unstarted_sound(o)) {
                timed_wait(&o->feed_cond, &o->lock, 50000000LL);
                if (o->queued == 0 && holds_unstarted_sound(o))
                    snd_pcm_start(o->pcm);
                continue;
            }
            pthread_cond_wait(&o->feed_cond, &o->lock);
            continue;
        }
        ring_slot *s = &o->ring[o->head];
        int frame_bytes = 2 * o->channels;
        snd_pcm_uframes_t frames = (snd_pcm_uframes_t)((s->bytes - s->fed) / frame_bytes);
        if (frames == 0) {
            finish_head(o);
            continue;
        }
        if (frames > o->scratch_frames)
            frames = o->scratch_frames;
        snd_pcm_sframes_t avail = snd_pcm_avail_update(o->pcm);
        if (avail >= 0 && (snd_pcm_uframes_t)avail < frames) {
            /* Wait for a whole chunk of room unless the device has some and the
             * chunk is the end of the slot anyway. */
            if (avail == 0 || (snd_pcm_uframes_t)avail < o->scratch_frames / 2) {
                wait_for_room(o, avail, frames);
                continue;
            }
            frames = (snd_pcm_uframes_t)avail;
        }
        snd_pcm_sframes_t n;
        if (avail < 0) {
            n = avail;
        } else {
            int gl, gr;
            current_gains(o, &gl, &gr);
            convert((const int16_t *)(s->data + s->fed), o->channels, o->scratch, o->device_channels, frames, gl, gr);
            n = pcm_writer(o->pcm, o->scratch, frames);
        }
        if (n > 0) {
            s->fed += (int)n * frame_bytes;
            o->fed_frames += (uint64_t)n;
            if (s->bytes - s->fed < frame_bytes)
                finish_head(o);
        } else if (n == 0 || n == -EAGAIN) {
            wait_for_room(o, 0, frames);
        } else if (n == -ENODEV || n == -ENXIO || n == -EBADFD) {
            mark_dead(o, (int)n);
        } else {
            /* Underrun (-EPIPE) or suspend (-ESTRPIPE): recover and go on. */
            int r = snd_pcm_recover(o->pcm, (int)n, 1);
            if (r < 0)
                mark_dead(o, r);
        }
    }
    pthread_mutex_unlock(&o->lock);
    return NULL;
}

/* ---- device open and close ---- */

static int map_open_error(int err)
{
    switch (err) {
    case -EBUSY:
    case -EAGAIN: return SV_ERR_DEVICE_BUSY;
    case -ENOENT:
    case -ENODEV:
    case -ENXIO: return SV_ERR_NO_SUCH_DEVICE;
    default: return SV_ERR_OPEN_FAILED;
    }
}

static int configure(alsa_output *o, snd_pcm_t *pcm, int rate, int channels)
{
    snd_pcm_hw_params_t *hw;
    snd_pcm_hw_params_alloca(&hw);
    int err = snd_pcm_hw_params_any(pcm, hw);
    if (err < 0)
        return err;
    if ((err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0
        || (err = snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16)) < 0
        || (err = snd_pcm_hw_params_set_channels(pcm, hw, (unsigned)channels)) < 0)
        return err;
    unsigned urate = (unsigned)rate;
    if ((err = snd_pcm_hw_params_set_rate_near(pcm, hw, &urate, NULL)) < 0)
        return err;
    unsigned buffer_us = DEVICE_BUFFER_US, period_us = DEVICE_PERIOD_US;
    snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &buffer_us, NULL);
    snd_pcm_hw_params_set_period_time_near(pcm, hw, &period_us, NULL);
    if ((err = snd_pcm_hw_params(pcm, hw)) < 0)
        return err;

    snd_pcm_uframes_t buffer_size = 0, period_size = 0;
    snd_pcm_hw_params_get_buffer_size(hw, &buffer_size);
    snd_pcm_hw_params_get_period_size(hw, &period_size, NULL);
    if (period_size == 0 || period_size > buffer_size)
        period_size = buffer_size;
    o->can_pause = snd_pcm_hw_params_can_pause(hw);
    o->device_rate = (int)urate;
    o->buffer_ns = urate > 0 ? (long long)buffer_size * 1000000000LL / urate : 80000000LL;

    snd_pcm_sw_params_t *sw;
    snd_pcm_sw_params_alloca(&sw);
    if (snd_pcm_sw_params_current(pcm, sw) == 0) {
        snd_pcm_uframes_t start = buffer_size > period_size ? buffer_size - period_size : buffer_size;
        snd_pcm_sw_params_set_start_threshold(pcm, sw, start ? start : 1);
        snd_pcm_sw_params_set_avail_min(pcm, sw, period_size ? period_size : 1);
        snd_pcm_sw_params(pcm, sw);
    }

    snd_pcm_uframes_t chunk = period_size ? period_size : 1024;
    if (chunk < 256)
        chunk = 256;
    if (chunk > 8192)
        chunk = 8192;
    int16_t *scratch = realloc(o->scratch, (size_t)chunk * (size_t)channels * sizeof *scratch);
    if (!scratch)
        return -ENOMEM;
    o->scratch = scratch;
    o->scratch_frames = chunk;
    return snd_pcm_prepare(pcm);
}

static int device_rate_for(const alsa_output *o, int frequency)
{
    if (o->rate_factor <= 0 || o->rate_factor == 0x10000)
        return frequency;
    long long rate = ((long long)frequency * o->rate_factor) >> 16;
    if (rate < 1000)
        rate = 1000;
    if (rate > 384000)
        rate = 384000;
    return (int)rate;
}

/* Waits until the device has played what it was given (bounded), lock held. */
static void wait_played(alsa_output *o)
{
    snd_pcm_sframes_t delay = 0;
    if (!o->pcm || o->dead || snd_pcm_delay(o->pcm, &delay) < 0 || delay <= 0)
        return;
    if (snd_pcm_state(o->pcm) == SND_PCM_STATE_PREPARED)
        snd_pcm_start(o->pcm);
    long long ns = o->device_rate > 0 ? (long long)delay * 1000000000LL / o->device_rate : 0;
    struct timespec deadline = deadline_after(ns + 1000000000LL);
    while (!past(&deadline)) {
        snd_pcm_state_t st = snd_pcm_state(o->pcm);
        if (st != SND_PCM_STATE_RUNNING && st != SND_PCM_STATE_DRAINING)
            break;
        if (snd_pcm_delay(o->pcm, &delay) < 0 || delay <= 0)
            break;
        long long wait = o->device_rate > 0 ? (long long)delay * 1000000000LL / o->device_rate : 10000000LL;
        if (wait > 20000000LL)
            wait = 20000000LL;
        if (wait < 1000000LL)
            wait = 1000000LL;
        timed_wait(&o->done_cond, &o->lock, wait);
    }
}

/* Waits until the feeder has handed every queued slot to the device, lock held. A slot
 * that makes no progress for 10 s is given up. */
static void wait_fed(alsa_output *o)
{
    while (o->queued > 0 && !o->dead && o->pcm && !o->paused) {
        int head = o->head, fed = o->ring[head].fed;
        struct timespec deadline = deadline_after(SLOT_WAIT_NS);
        while (o->queued > 0 && o->head == head && o->ring[head].fed == fed && !o->dead && !past(&deadline))
            timed_wait(&o->done_cond, &o->lock, 20000000LL);
        if (o->queued > 0 && o->head == head && o->ring[head].fed == fed && !o->dead)
            finish_head(o);
    }
}

static void resume_locked(alsa_output *o)
{
    if (!o->paused)
        return;
    if (o->pcm && snd_pcm_state(o->pcm) == SND_PCM_STATE_PAUSED)
        snd_pcm_pause(o->pcm, 0);
    o->paused = 0;
    pthread_cond_broadcast(&o->feed_cond);
}

/* Closes the device; with play_out, what is queued is played first. */
static void close_device(alsa_output *o, int play_out)
{
    pthread_mutex_lock(&o->lock);
    if (!o->pcm) {
        pthread_mutex_unlock(&o->lock);
        return;
    }
    resume_locked(o);
    if (play_out && !o->dead) {
        wait_fed(o);
        wait_played(o);
    }
    if (o->feeder_running) {
        o->feeder_stop = 1;
        pthread_cond_broadcast(&o->feed_cond);
        pthread_mutex_unlock(&o->lock);
        pthread_join(o->feeder, NULL);
        pthread_mutex_lock(&o->lock);
        o->feeder_running = 0;
        o->feeder_stop = 0;
    }
    snd_pcm_drop(o->pcm);
    snd_pcm_close(o->pcm);
    o->pcm = NULL;
    clear_ring(o);
    o->written_frames = o->fed_frames = 0;
    o->frequency = o->channels = 0;
    o->device_rate = o->device_channels = 0;
    o->paused = 0;
    pthread_mutex_unlock(&o->lock);
}

static void balance_from_volume(alsa_output *o)
{
    unsigned left = o->saved_volume & 0xFFFF, right = o->saved_volume >> 16;
    o->balance = (left + right) == 0 ? 0.5 : (double)right / (double)(left + right);
}

/* Opens the device for a stream format; nothing happens when it is open for it. */
static int open_device(alsa_output *o, int frequency, int channels)
{
    if (frequency <= 0 || channels <= 0)
        return SV_ERR_INVALID_PARAMETERS;
    if (o->pcm && o->frequency == frequency && o->channels == channels && !o->dead)
        return 0;
    close_device(o, 1);

    snd_pcm_t *pcm = NULL;
    int err = 0;
    for (int attempt = 1; attempt <= OPEN_ATTEMPTS; attempt++) {
        err = pcm_opener(&pcm, o->pcm_name, SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
        if (err != -EBUSY && err != -EAGAIN)
            break;
        if (attempt < OPEN_ATTEMPTS)
            usleep(OPEN_RETRY_US);
    }
    if (err < 0) {
        report_debug(o, "cannot open sound device", snd_strerror(err));
        return map_open_error(err);
    }

    int rate = device_rate_for(o, frequency);
    int device_channels = channels == 1 ? 2 : channels;
    err = configure(o, pcm, rate, device_channels);
    if (err < 0 && device_channels != channels) {
        device_channels = channels;
        err = configure(o, pcm, rate, device_channels);
    }
    if (err < 0) {
        report_debug(o, "cannot set the sound device's format", snd_strerror(err));
        snd_pcm_close(pcm);
        return err == -ENOMEM ? SV_ERR_OUT_OF_MEMORY : SV_ERR_OPEN_FAILED;
    }

    pthread_mutex_lock(&o->lock);
    o->pcm = pcm;
    o->dead = 0;
    o->alsa_error = 0;
    o->frequency = frequency;
    o->channels = channels;
    o->device_channels = device_channels;
    o->written_frames = o->fed_frames = 0;
    o->paused = 0;
    clear_ring(o);
    balance_from_volume(o);
    o->feeder_stop = 0;
    if (pthread_create(&o->feeder, NULL, feeder_main, o) == 0) {
        o->feeder_running = 1;
    } else {
        o->pcm = NULL;
        pthread_mutex_unlock(&o->lock);
        snd_pcm_close(pcm);
        return SV_ERR_OUT_OF_RESOURCES;
    }
    pthread_mutex_unlock(&o->lock);
    o->reported_dead = 0;
    return 0;
}

/* ---- the playback-rate watcher ---- */

static void playback_rate_changed(void *user, const char *name, const void *value)
{
    alsa_output *o = user;
    int factor = 0;
    if (value && o->decoder && o->decoder->environment) {
        if (sv_props_get_int(o->decoder->environment, name, &factor) != 0) {
            char text[64];
            factor = 0;
            if (sv_props_get_string(o->decoder->environment, name, text, (int)sizeof text) == 0)
                factor = (int)strtol(text, NULL, 0);
        }
    }
    if (factor < 0)
        factor = 0;
    if (factor == o->rate_factor)
        return;
    o->rate_factor = factor;
    if (o->pcm) {
        int frequency = o->frequency, channels = o->channels;
        close_device(o, 1);
        open_device(o, frequency, channels);
    }
}

/* ---- descriptor operations ---- */

static int alsa_probe(const char *name)
{
    if (!name || !name[0] || strncmp(name, NAME_PREFIX, strlen(NAME_PREFIX)) == 0)
        return 0;
    return -1;
}

static int card_count(void)
{
    int card = -1, count = 0;
    while (snd_card_next(&card) == 0 && card >= 0)
        count++;
    return count;
}

static int alsa_info(sv_module_info *info, int flags)
{
    if (!info)
        return SV_ERR_INVALID_PARAMETERS;
    if (flags & SV_INFO_NAME) {
        snprintf(info->name, sizeof info->name, "%s", "Win32 Sound Driver Interface");
        snprintf(info->description, sizeof info->description, "%s", "Version 1.3");
    }
    if (flags & SV_INFO_DEVICE_COUNT)
        info->count = card_count() + 1;
    if (flags & SV_INFO_DEVICE) {
        int n = info->count;
        if (n < 0 || n > card_count() + 1)
            return SV_ERR_INVALID_PARAMETERS;
        if (n == 0) {
            snprintf(info->description, sizeof info->description, "%s", "ALSA default device");
            info->flags = 2;
        } else {
            char *card_name = NULL;
            if (snd_card_get_name(n - 1, &card_name) < 0 || !card_name)
                return -1;
            snprintf(info->description, sizeof info->description, "%s", card_name);
            free(card_name);
            info->flags = 0;
        }
        snprintf(info->name, sizeof info->name, NAME_PREFIX "%d", n);
    }
    return 0;
}

static int alsa_create(void **instance, const char *name, sv_module_entry *entry, sv_decoder *decoder)
{
    if (!instance)
        return SV_ERR_INVALID_PARAMETERS;
    int device = -1;
    if (name && name[0]) {
        size_t len = strlen(NAME_PREFIX);
        if (strlen(name) != len + 1 || strncmp(name, NAME_PREFIX, len) != 0 || name[len] < '0' || name[len] > '9')
            return SV_ERR_NO_SUCH_DEVICE;
        device = name[len] == '0' ? -1 : name[len] - '1';
    }
    alsa_output *o = calloc(1, sizeof *o);
    if (!o)
        return SV_ERR_OUT_OF_MEMORY;
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_mutex_init(&o->lock, NULL);
    pthread_cond_init(&o->feed_cond, &attr);
    pthread_cond_init(&o->done_cond, &attr);
    pthread_condattr_destroy(&attr);
    o->entry = entry;
    o->decoder = decoder;
    o->device = device;
    o->master_level = 100;
    o->saved_volume = 0xFFFFFFFFu;
    o->balance = 0.5;

    const char *override = getenv("SONVOX_ALSA_DEVICE");
    if (override && override[0])
        snprintf(o->pcm_name, sizeof o->pcm_name, "%s", override);
    else if (device < 0)
        snprintf(o->pcm_name, sizeof o->pcm_name, "%s", "default");
    else
        snprintf(o->pcm_name, sizeof o->pcm_name, "plughw:%d", device);

    if (decoder && decoder->environment) {
        if (sv_props_add_watcher(decoder->environment, PLAYBACK_RATE_VAR, playback_rate_changed, o) == 0)
            o->watching = 1;
        /* A rate set before this output existed applies as well. */
        int factor;
        char text[64];
        if (sv_props_get_int(decoder->environment, PLAYBACK_RATE_VAR, &factor) == 0)
            o->rate_factor = factor > 0 ? factor : 0;
        else if (sv_props_get_string(decoder->environment, PLAYBACK_RATE_VAR, text, (int)sizeof text) == 0)
            o->rate_factor = (int)strtol(text, NULL, 0) > 0 ? (int)strtol(text, NULL, 0) : 0;
    }
    *instance = o;
    return 0;
}

static int alsa_close(void *instance)
{
    alsa_output *o = instance;
    if (!o)
        return SV_ERR_INTERNAL;
    o->opened = 0;
    close_device(o, 1);
    return 0;
}

static int alsa_destroy(void *instance)
{
    alsa_output *o = instance;
    if (!o)
        return SV_ERR_INTERNAL;
    if (o->watching && o->decoder && o->decoder->environment)
        sv_props_remove_watcher(o->decoder->environment, PLAYBACK_RATE_VAR, playback_rate_changed, o);
    close_device(o, 0);
    for (int i = 0; i < SV_ALSA_RING_SIZE; i++)
        free(o->ring[i].data);
    free(o->scratch);
    pthread_cond_destroy(&o->feed_cond);
    pthread_cond_destroy(&o->done_cond);
    pthread_mutex_destroy(&o->lock);
    free(o);
    return 0;
}

static int alsa_open(void *instance)
{
    alsa_output *o = instance;
    if (!o)
        return SV_ERR_INTERNAL;
    o->next = 0;
    o->muted = 0;
    o->master_level = 100;
    int err = open_device(o, 44100, 2);
    if (err < 0)
        return err;
    o->opened = 1;
    /* There is no mixer to open: master level is a gain stage of this output, so
     * the system's mixer settings are never changed. */
    return 0;
}

/* Waits until the slot at the ring index is free, lock held. */
static void wait_slot(alsa_output *o)
{
    ring_slot *s = &o->ring[o->next];
    if (!s->in_use)
        return;
    int fed = s->fed;
    struct timespec deadline = deadline_after(SLOT_WAIT_NS);
    while (s->in_use && !o->dead && o->pcm) {
        if (past(&deadline)) {
            if (s->fed != fed) { /* still moving: keep waiting */
                fed = s->fed;
                deadline = deadline_after(SLOT_WAIT_NS);
                continue;
            }
            /* The device has not taken anything for 10 s: give the slot up. */
            if (o->head == o->next)
                finish_head(o);
            break;
        }
        timed_wait(&o->done_cond, &o->lock, 20000000LL);
    }
}

static void *alsa_get_buffer(void *instance, int size)
{
    alsa_output *o = instance;
    if (!o || size <= 0)
        return NULL;
    pthread_mutex_lock(&o->lock);
    wait_slot(o);
    ring_slot *s = &o->ring[o->next];
    void *result = NULL;
    if (!s->in_use) {
        if (s->capacity < size) {
            free(s->data);
            s->data = malloc((size_t)size);
            s->capacity = s->data ? size : 0;
        }
        result = s->data;
    }
    pthread_mutex_unlock(&o->lock);
    return result;
}

static int alsa_write(void *instance, const void *buffer, int bytes, int bytes_per_sample, int channels, int frequency)
{
    alsa_output *o = instance;
    if (!o || bytes < 0 || (!buffer && bytes > 0))
        return SV_ERR_INTERNAL;
    if (!o->opened)
        return SV_ERR_WRITE_FAILED;
    pthread_mutex_lock(&o->lock);
    int dead = o->dead, alsa_error = o->alsa_error;
    pthread_mutex_unlock(&o->lock);
    if (dead && !o->reported_dead) {
        /* The write that meets a failed device ends the stream with its error. */
        o->reported_dead = 1;
        report_error(o, dead, "sound device failed", snd_strerror(alsa_error));
        return dead;
    }
    if (bytes_per_sample != 2)
        return SV_ERR_UNSUPPORTED_FORMAT;
    if (dead || !o->pcm || channels != o->channels || frequency != o->frequency) {
        /* A later write opens the device again (a card plugged back in, a sound
         * server restarted); open_device closes the failed handle first. */
        int err = open_device(o, frequency, channels);
        if (err < 0)
            return err;
    }
    int frame_bytes = 2 * channels;
    bytes -= bytes % frame_bytes;
    if (bytes == 0)
        return 0;

    pthread_mutex_lock(&o->lock);
    wait_slot(o);
    ring_slot *s = &o->ring[o->next];
    int result = 0;
    if (o->dead) {
        result = o->dead;
    } else if (s->in_use) {
        result = SV_ERR_WRITE_FAILED;
    } else {
        if (buffer != s->data) {
            /* Not the buffer get_buffer handed out: copy into the slot. */
            if (s->capacity < bytes) {
                free(s->data);
                s->data = malloc((size_t)bytes);
                s->capacity = s->data ? bytes : 0;
            }
            if (!s->data)
                result = SV_ERR_OUT_OF_MEMORY;
            else
                memcpy(s->data, buffer, (size_t)bytes);
        } else if (bytes > s->capacity) {
            bytes = s->capacity - s->capacity % frame_bytes;
        }
        if (result == 0) {
            s->bytes = bytes;
            s->fed = 0;
            s->in_use = 1;
            o->queued++;
            o->next = (o->next + 1) % SV_ALSA_RING_SIZE;
            o->written_frames += (uint64_t)(bytes / frame_bytes);
            pthread_cond_signal(&o->feed_cond);
        }
    }
    pthread_mutex_unlock(&o->lock);
    return result;
}

static void apply_pcm_level(alsa_output *o, double f)
{
    double left, right;
    if (o->balance > 0.5) {
        right = f;
        left = (1.0 - o->balance) * 2.0 * f;
    } else {
        left = f;
        right = o->balance * 2.0 * f;
    }
    unsigned l = left < 0 ? 0 : left > 65535 ? 65535 : (unsigned)left;
    unsigned r = right < 0 ? 0 : right > 65535 ? 65535 : (unsigned)right;
    o->saved_volume = ((uint32_t)r << 16) | l;
}

static int alsa_set_control(void *instance, const sv_output_control *control, int flags)
{
    alsa_output *o = instance;
    if (!o || !control)
        return SV_ERR_INTERNAL;
    int result = 0;

    if (flags & SV_CTL_RESET) {
        pthread_mutex_lock(&o->lock);
        o->paused = 0;
        if (o->pcm && !o->dead) {
            snd_pcm_drop(o->pcm);
            snd_pcm_prepare(o->pcm);
        }
        clear_ring(o);
        o->written_frames = o->fed_frames = 0;
        pthread_mutex_unlock(&o->lock);
    }
    if (flags & SV_CTL_PAUSE) {
        pthread_mutex_lock(&o->lock);
        if (!o->paused) {
            if (o->pcm && o->can_pause && snd_pcm_state(o->pcm) == SND_PCM_STATE_RUNNING)
                snd_pcm_pause(o->pcm, 1);
            o->paused = 1;
        }
        pthread_mutex_unlock(&o->lock);
    }
    if (flags & SV_CTL_RESUME) {
        pthread_mutex_lock(&o->lock);
        resume_locked(o);
        pthread_mutex_unlock(&o->lock);
    }
    if (flags & (SV_CTL_CHANNELS | SV_CTL_FREQUENCY)) {
        int err = open_device(o, control->frequency, control->channels);
        if (err < 0)
            result = err == SV_ERR_INVALID_PARAMETERS ? SV_ERR_UNSUPPORTED_OUTPUT : err;
    }

    pthread_mutex_lock(&o->lock);
    if (flags & SV_CTL_MUTE)
        o->muted = 1;
    if (flags & SV_CTL_UNMUTE)
        o->muted = 0;
    if ((flags & SV_CTL_MASTER_LEVEL) && control->master_level >= 0 && control->master_level <= 100)
        o->master_level = control->master_level;
    if ((flags & SV_CTL_BALANCE) && control->balance >= 0 && control->balance <= 100)
        o->balance = control->balance / 100.0;
    if ((flags & SV_CTL_PCM_LEVEL) && control->pcm_level >= 0 && control->pcm_level <= 100) {
        apply_pcm_level(o, control->pcm_level * 655.35);
    } else if (flags & SV_CTL_BALANCE) {
        unsigned left = o->saved_volume & 0xFFFF, right = o->saved_volume >> 16;
        apply_pcm_level(o, left > right ? left : right);
    }
    pthread_mutex_unlock(&o->lock);

    if (flags & SV_CTL_DRAIN) {
        /* Play out what is queued; the device stays open for more. */
        pthread_mutex_lock(&o->lock);
        if (o->pcm && !o->dead && !o->paused) {
            wait_fed(o);
            wait_played(o);
        }
        pthread_mutex_unlock(&o->lock);
    }
    return result;
}

static int alsa_get_control(void *instance, sv_output_control *control, int flags)
{
    alsa_output *o = instance;
    if (!o || !control)
        return SV_ERR_INTERNAL;
    pthread_mutex_lock(&o->lock);
    control->bytes_per_sample = 2;
    control->frequency = o->frequency ? o->frequency : 44100;
    control->channels = o->channels ? o->channels : 2;
    control->ports = 1;
    if (flags & SV_CTL_MASTER_LEVEL)
        control->master_level = o->master_level;
    if (flags & SV_CTL_PCM_LEVEL) {
        unsigned left = o->saved_volume & 0xFFFF, right = o->saved_volume >> 16;
        control->pcm_level = (int)((left > right ? left : right) * 100u / 65535u);
    }
    if (flags & SV_CTL_BALANCE)
        control->balance = (int)lround(o->balance * 100.0);
    pthread_mutex_unlock(&o->lock);
    return 0;
}

static int alsa_get_latency(void *instance, int *milliseconds)
{
    alsa_output *o = instance;
    if (!o || !milliseconds)
        return SV_ERR_INTERNAL;
    *milliseconds = 0;
    pthread_mutex_lock(&o->lock);
    snd_pcm_sframes_t delay = 0;
    if (o->pcm && !o->dead && o->frequency > 0 && snd_pcm_delay(o->pcm, &delay) == 0) {
        if (delay < 0)
            delay = 0;
        int64_t played = (int64_t)o->fed_frames - (int64_t)delay;
        int64_t pending = (int64_t)o->written_frames - played;
        if (pending < 0)
            pending = 0;
        *milliseconds = (int)(pending * 1000 / o->frequency);
    }
    pthread_mutex_unlock(&o->lock);
    return 0;
}

static int alsa_get_capabilities(void *instance)
{
    (void)instance;
    return CAPABILITIES;
}

uint32_t sv_alsa_output_saved_volume(void *instance)
{
    alsa_output *o = instance;
    pthread_mutex_lock(&o->lock);
    uint32_t v = o->saved_volume;
    pthread_mutex_unlock(&o->lock);
    return v;
}

const char *sv_alsa_output_pcm_name(void *instance)
{
    return ((alsa_output *)instance)->pcm_name;
}

int sv_alsa_output_device_rate(void *instance)
{
    alsa_output *o = instance;
    pthread_mutex_lock(&o->lock);
    int rate = o->pcm ? o->device_rate : 0;
    pthread_mutex_unlock(&o->lock);
    return rate;
}

int sv_alsa_output_register(void *descriptor)
{
    sv_output_module *m = descriptor;
    if (!m)
        return SV_ERR_INVALID_PARAMETERS;
    m->version = SV_MODULE_INTERFACE_VERSION;
    m->probe = alsa_probe;
    m->info = alsa_info;
    m->create = alsa_create;
    m->destroy = alsa_destroy;
    m->open = alsa_open;
    m->close = alsa_close;
    m->write = alsa_write;
    m->get_buffer = alsa_get_buffer;
    m->set_control = alsa_set_control;
    m->get_control = alsa_get_control;
    m->get_latency = alsa_get_latency;
    m->get_capabilities = alsa_get_capabilities;
    m->send_message = NULL;
    return 0;
}
