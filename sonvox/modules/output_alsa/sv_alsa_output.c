/* "Win32 Sound Driver Interface": the sound-card output on ALSA. This part holds the
 * controls (levels, balance, mute, pause, reset, drain), the latency and the module's
 * descriptor; the ring and feeder and the device are in their own files. */
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
        sv_alsa_clear_ring(o);
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
        sv_alsa_resume_locked(o);
        pthread_mutex_unlock(&o->lock);
    }
    if (flags & (SV_CTL_CHANNELS | SV_CTL_FREQUENCY)) {
        int err = sv_alsa_open_device(o, control->frequency, control->channels);
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
            sv_alsa_wait_fed(o);
            sv_alsa_wait_played(o);
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

static const sv_output_module alsa_output_descriptor = {
    .version = SV_MODULE_INTERFACE_VERSION,
    .probe = sv_alsa_probe,
    .info = sv_alsa_info,
    .create = sv_alsa_create,
    .destroy = sv_alsa_destroy,
    .open = sv_alsa_open,
    .close = sv_alsa_close,
    .write = sv_alsa_write,
    .get_buffer = sv_alsa_get_buffer,
    .set_control = alsa_set_control,
    .get_control = alsa_get_control,
    .get_latency = alsa_get_latency,
    .get_capabilities = alsa_get_capabilities,
};

int sv_alsa_output_register(void *descriptor)
{
    if (!descriptor)
        return SV_ERR_INVALID_PARAMETERS;
    memcpy(descriptor, &alsa_output_descriptor, sizeof alsa_output_descriptor);
    return 0;
}

const sv_builtin_module sv_alsa_output_module = {
    .kind = SV_KIND_OUTPUT,
    .name = "Win32 Sound Driver Interface",
    .description = "Version 1.3",
    .descriptor = &alsa_output_descriptor,
    .entry = sv_alsa_output_register,
};
