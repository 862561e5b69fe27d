/* The sound-card output's device: opening, configuring and closing the ALSA PCM, the
 * playback-rate watcher, and the module operations that create, open and close. */
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

static sv_alsa_open_fn pcm_opener = snd_pcm_open;

void sv_alsa_output_set_opener(sv_alsa_open_fn fn)
{
    pcm_opener = fn ? fn : snd_pcm_open;
}

static int source_id(const alsa_output *o)
{
    return o->entry ? o->entry->id : 0;
}

static void report_debug(const alsa_output *o, const char *text, const char *detail)
{
    if (o->decoder && o->decoder->debug)
        o->decoder->debug(o->decoder->engine, source_id(o), REPORT_LEVEL, text, detail);
}

void sv_alsa_report_error(const alsa_output *o, int code, const char *text, const char *detail)
{
    if (o->decoder && o->decoder->error)
        o->decoder->error(o->decoder->engine, source_id(o), code, text, detail);
}

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

/* Closes the device; with play_out, what is queued is played first. */
static void close_device(alsa_output *o, int play_out)
{
    pthread_mutex_lock(&o->lock);
    if (!o->pcm) {
        pthread_mutex_unlock(&o->lock);
        return;
    }
    sv_alsa_resume_locked(o);
    if (play_out && !o->dead) {
        sv_alsa_wait_fed(o);
        sv_alsa_wait_played(o);
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
    sv_alsa_clear_ring(o);
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
int sv_alsa_open_device(alsa_output *o, int frequency, int channels)
{
    if (frequency <= 0 || channels <= 0)
        return SV_ERR_INVALID_PARAMETERS;
    pthread_mutex_lock(&o->lock);
    int same = o->pcm && o->frequency == frequency && o->channels == channels && !o->dead;
    pthread_mutex_unlock(&o->lock);
    if (same)
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
    sv_alsa_clear_ring(o);
    balance_from_volume(o);
    o->feeder_stop = 0;
    if (pthread_create(&o->feeder, NULL, sv_alsa_feeder_main, o) == 0) {
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
    pthread_mutex_lock(&o->lock);
    int open = o->pcm != NULL, frequency = o->frequency, channels = o->channels;
    pthread_mutex_unlock(&o->lock);
    if (open) {
        close_device(o, 1);
        sv_alsa_open_device(o, frequency, channels);
    }
}

int sv_alsa_probe(const char *name)
{
    if (!name || !name[0] || strncmp(name, NAME_PREFIX, strlen(NAME_PREFIX)) == 0)
        return 0;
    return SV_ERR_UNSUPPORTED_OUTPUT;
}

static int card_count(void)
{
    int card = -1, count = 0;
    while (snd_card_next(&card) == 0 && card >= 0)
        count++;
    return count;
}

int sv_alsa_info(sv_module_info *info, int flags)
{
    if (!info)
        return SV_ERR_INVALID_PARAMETERS;
    if (flags & SV_INFO_NAME) {
        snprintf(info->name, sizeof info->name, "%s", sv_alsa_output_module.name);
        snprintf(info->description, sizeof info->description, "%s", sv_alsa_output_module.description);
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
                return SV_ERR_NO_SUCH_DEVICE;
            snprintf(info->description, sizeof info->description, "%s", card_name);
            free(card_name);
            info->flags = 0;
        }
        snprintf(info->name, sizeof info->name, NAME_PREFIX "%d", n);
    }
    return 0;
}

int sv_alsa_create(void **instance, const char *name, sv_module_entry *entry, sv_decoder *decoder)
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

int sv_alsa_close(void *instance)
{
    alsa_output *o = instance;
    if (!o)
        return SV_ERR_INTERNAL;
    o->opened = 0;
    close_device(o, 1);
    return 0;
}

int sv_alsa_destroy(void *instance)
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

int sv_alsa_open(void *instance)
{
    alsa_output *o = instance;
    if (!o)
        return SV_ERR_INTERNAL;
    pthread_mutex_lock(&o->lock);
    o->next = 0;
    o->muted = 0;
    o->master_level = 100;
    pthread_mutex_unlock(&o->lock);
    int err = sv_alsa_open_device(o, 44100, 2);
    if (err < 0)
        return err;
    o->opened = 1;
    /* There is no mixer to open: master level is a gain stage of this output, so
     * the system's mixer settings are never changed. */
    return 0;
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
