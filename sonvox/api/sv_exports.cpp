// The exported player functions: each acts on the current instance under one lock.
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "sonvox.h"
#include "sonvox/api/sv_player_client.h"
#include "sonvox/engine/sv_errors.h"
#include "sonvox/modules/output_alsa/sv_volume.h"

static_assert(SONVOX_ERR_OUT_OF_MEMORY == SV_ERR_OUT_OF_MEMORY && SONVOX_ERR_INTERNAL == SV_ERR_INTERNAL
                  && SONVOX_ERR_QUEUE_FULL == SV_ERR_QUEUE_FULL
                  && SONVOX_ERR_UNSUPPORTED_FORMAT == SV_ERR_UNSUPPORTED_FORMAT
                  && SONVOX_ERR_DEVICE_BUSY == SV_ERR_DEVICE_BUSY && SONVOX_ERR_NO_SUCH_DEVICE == SV_ERR_NO_SUCH_DEVICE,
              "the public error codes are the library's own");

namespace {

// Library-wide state, guarded by apiLock. The instance's engine threads never read it.
std::mutex apiLock;
sonvox::Mp3Player *current = nullptr;

bool versionMatches()
{
    const int v = sv_version(2);
    return ((v >> 16) & 0xFF) == 3 && ((v >> 8) & 0xFF) == 8;
}

} // namespace

extern "C" {

SONVOX_API int svInitMp3(void *, const sv_panel *panel, int width, int height, int bands)
{
    if (!versionMatches()) {
        std::fputs("MP3 Error: SONVOX DLL API version mismatch\n", stderr);
        return 0;
    }
    std::unique_ptr<sonvox::Mp3Player> fresh;
    try {
        fresh = std::make_unique<sonvox::Mp3Player>(panel, width, height, bands);
    } catch (const std::bad_alloc &) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(apiLock);
    if (fresh->create() < 0)
        return 0; // the current instance stays as it was
    // The instance this one replaces is released: the caller has stopped it, and one
    // instance per track must not pile up threads over a day.
    delete current;
    current = fresh.release();
    return 1;
}

SONVOX_API void svGetMp3Info(const char *file, int *frequency, int *seconds)
{
    std::lock_guard<std::mutex> lock(apiLock);
    if (!current) {
        if (frequency)
            *frequency = 0;
        if (seconds)
            *seconds = 0;
        return;
    }
    current->info(file, frequency, seconds);
}

SONVOX_API int svGetFileInfo(const char *file, int *frequency, int *seconds)
{
    int hz = 0, secs = 0;
    if (file && versionMatches()) {
        try {
            // A private instance without a panel: it opens the file, reports what the
            // codec found and is released; it never plays, so no output is opened.
            sonvox::Mp3Player probe(nullptr, 0, 0, 0);
            if (probe.create() == 0)
                probe.info(file, &hz, &secs);
        } catch (const std::bad_alloc &) {
            hz = secs = 0;
        }
    }
    if (frequency)
        *frequency = hz;
    if (seconds)
        *seconds = secs;
    return hz > 0 ? 1 : 0;
}

SONVOX_API int svPlayMp3(const char *file)
{
    std::lock_guard<std::mutex> lock(apiLock);
    if (!current || !file)
        return 0;
    return current->play(file);
}

SONVOX_API int svGetMp3Error(char *text, int size)
{
    std::lock_guard<std::mutex> lock(apiLock);
    std::string reason;
    const int code = current ? current->lastError(&reason) : 0;
    if (text && size > 0)
        std::snprintf(text, static_cast<size_t>(size), "%s", reason.c_str());
    return code;
}

SONVOX_API int svStopMp3(void)
{
    std::lock_guard<std::mutex> lock(apiLock);
    return current ? current->stop() : 0;
}

SONVOX_API int svPauseMp3(void)
{
    std::lock_guard<std::mutex> lock(apiLock);
    return current ? current->pause() : 0;
}

SONVOX_API int svResumeMp3(void)
{
    std::lock_guard<std::mutex> lock(apiLock);
    return current ? current->resume() : 0;
}

SONVOX_API void svFreeMp3(void)
{
    std::lock_guard<std::mutex> lock(apiLock);
    if (!current)
        return;
    current->stop();
    delete current; // waits for the engine's threads
    current = nullptr;
}

SONVOX_API void svSetVolume(uint32_t word)
{
    sv_volume_word_set(word);
}

SONVOX_API uint32_t svGetVolume(void)
{
    return sv_volume_word_get();
}

SONVOX_API const char *svErrorText(int code)
{
    return sv_error_text(code);
}

} // extern "C"
