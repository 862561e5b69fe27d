/* The sound-card output's ring of queued buffers and the feeder thread that hands them
 * to the device, with the write and get_buffer operations that fill the ring. */
#include <errno.h>
#include <math.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/modules/output_alsa/sv_alsa_private.h"
#include "sonvox/modules/output_alsa/sv_volume.h"

static sv_alsa_writei_fn pcm_writer = snd_pcm_writei;

void sv_alsa_output_set_writer(sv_alsa_writei_fn fn)
{
    pcm_writer = fn ? fn : snd_pcm_writei;
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

/* Gains in 1/65536 for the left and right channel (lock held): saved volume (zero while muted)
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

static void finish_head(alsa_output *o)
{
    ring_slot *s = &o->ring[o->head];
    s->in_use = 0;
    s->fed = s->bytes = 0;
    o->queued--;
    o->head = (o->head + 1) % SV_ALSA_RING_SIZE;
    pthread_cond_broadcast(&o->done_cond);
}

void sv_alsa_clear_ring(alsa_output *o)
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
    sv_alsa_clear_ring(o);
}

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

void *sv_alsa_feeder_main(void *arg)
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
            o->idle_waits++;
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

/* Waits until the device has played what it was given (bounded), lock held. */
void sv_alsa_wait_played(alsa_output *o)
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
void sv_alsa_wait_fed(alsa_output *o)
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

void sv_alsa_resume_locked(alsa_output *o)
{
    if (!o->paused)
        return;
    if (o->pcm && snd_pcm_state(o->pcm) == SND_PCM_STATE_PAUSED)
        snd_pcm_pause(o->pcm, 0);
    o->paused = 0;
    pthread_cond_broadcast(&o->feed_cond);
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

void *sv_alsa_get_buffer(void *instance, int size)
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

int sv_alsa_write(void *instance, const void *buffer, int bytes, int bytes_per_sample, int channels, int frequency)
{
    alsa_output *o = instance;
    if (!o || bytes < 0 || (!buffer && bytes > 0))
        return SV_ERR_INTERNAL;
    if (!o->opened)
        return SV_ERR_WRITE_FAILED;
    pthread_mutex_lock(&o->lock);
    int dead = o->dead, alsa_error = o->alsa_error;
    int reopen = dead || !o->pcm || channels != o->channels || frequency != o->frequency;
    pthread_mutex_unlock(&o->lock);
    if (dead && !o->reported_dead) {
        /* The write that meets a failed device ends the stream with its error. */
        o->reported_dead = 1;
        sv_alsa_report_error(o, dead, "sound device failed", snd_strerror(alsa_error));
        return dead;
    }
    if (bytes_per_sample != 2)
        return SV_ERR_UNSUPPORTED_FORMAT;
    if (reopen) {
        /* A later write opens the device again (a card plugged back in, a sound
         * server restarted); sv_alsa_open_device closes the failed handle first. */
        int err = sv_alsa_open_device(o, frequency, channels);
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
    int died_while_waiting = 0;
    if (o->dead) {
        /* The feeder met the failure while this write waited for a slot. */
        result = o->dead;
        died_while_waiting = 1;
        alsa_error = o->alsa_error;
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
    if (died_while_waiting && !o->reported_dead) {
        /* Reported here as on the path above: an error returned without a report
         * would leave the engine's listeners without the reason. */
        o->reported_dead = 1;
        sv_alsa_report_error(o, result, "sound device failed", snd_strerror(alsa_error));
    }
    return result;
}

int sv_alsa_output_feeder_idle_count(void *instance)
{
    alsa_output *o = instance;
    pthread_mutex_lock(&o->lock);
    int n = o->idle_waits;
    pthread_mutex_unlock(&o->lock);
    return n;
}
