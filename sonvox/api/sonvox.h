/*
 * sonvox.h - the public interface of libsonvox, the Sonvox audio library.
 *
 * libsonvox plays MP3 (MPEG audio layers 1-3) and WAVE files through the sound card
 * (ALSA) and can draw a spectrum, a level meter or an oscilloscope of what is playing
 * into pixels that the program paints. This header is the whole interface: the library
 * exports nothing else. It is plain C and may be included from C or C++.
 *
 * Instances
 * ---------
 * All player functions act on the library's *current instance*. svInitMp3() creates an
 * instance (an engine with a player thread and a feedback thread of its own) and makes
 * it current; a later svInitMp3() replaces it, and svFreeMp3() releases it. The usual
 * call sequence for one track is
 *
 *     svStopMp3();                               // stop the previous track
 *     svInitMp3(NULL, &panel, 224, 68, 32);       // a fresh instance for this track
 *     svPlayMp3(path);
 *     svGetMp3Info(path, &hz, &seconds);          // length for the program's own clock
 *     ...  svPauseMp3() / svResumeMp3() / svStopMp3() ...
 *
 * Every function may be called before svInitMp3() or after svFreeMp3(); without an
 * instance it does nothing (see each function for its result).
 *
 * The library never reports the end of a track: the caller times tracks itself with
 * the length from svGetMp3Info().
 *
 * Threads
 * -------
 * The player functions are meant to be called from one thread, the thread that called
 * svInitMp3() (a program's user-interface thread). They are serialised by an internal
 * lock, so calls from other threads are safe but wait for each other. Apart from
 * svInitMp3(), svGetMp3Info() and svFreeMp3(), which may wait as documented, they only
 * post commands to the player thread and return at once.
 *
 * Strings
 * -------
 * File names are zero-terminated UTF-8 (any bytes the file system accepts) and are
 * copied before the function returns; the caller keeps ownership. The library never
 * hands the caller memory that it must free.
 *
 * Errors
 * ------
 * Functions that can fail return a negative error code (>= 0 is success). The codes
 * these functions can return are listed below; svErrorText() names any code.
 *
 * Environment
 * -----------
 * SONVOX_ALSA_DEVICE overrides the ALSA PCM the sound goes to (for example "null", or
 * a PCM of type file defined in an ALSA configuration).
 */
#ifndef SONVOX_SONVOX_H
#define SONVOX_SONVOX_H

#include <stdint.h>

#if defined(__GNUC__) || defined(__clang__)
#define SONVOX_API __attribute__((visibility("default")))
#else
#define SONVOX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Error codes the functions of this header can return. */
#define SONVOX_ERR_OUT_OF_MEMORY (-100) /* "out of memory" */
#define SONVOX_ERR_INTERNAL (-103)      /* "internal error": the player thread has ended */
#define SONVOX_ERR_QUEUE_FULL (-307)    /* "circular queue full": the player did not keep up */
/* Failures svGetMp3Error() reports most often (any code of the library may appear). */
#define SONVOX_ERR_UNSUPPORTED_FORMAT (-510) /* "unsupported format": no audio decoded */
#define SONVOX_ERR_DEVICE_BUSY (-511)        /* "device busy": the sound card is in use */
#define SONVOX_ERR_NO_SUCH_DEVICE (-512)     /* "no such device": no such sound device */

/*
 * Called by the library with a finished picture of the visualisation.
 *
 * `pixels` holds width x height 32-bit pixels 0x00RRGGBB (the top byte is 0), rows
 * bottom-up: pixels[0 .. width-1] is the BOTTOM row of the picture and the last
 * `width` pixels are the top row; there is no padding between rows. To show it, paint
 * the rows mirrored vertically (with Qt: QImage(data, w, h, w * 4,
 * QImage::Format_RGB32).mirrored()).
 *
 * Thread: the callback runs on the instance's feedback thread, never on the caller's
 * thread, up to 100 times a second while a track plays. It must return quickly, must
 * not call any function of this header, and must hand the picture to its own thread
 * (for a Qt widget: copy it and queue an update).
 *
 * Lifetime: `pixels` is valid only during the call; copy what you keep.
 */
typedef void (*sv_present_fn)(void *user, const uint32_t *pixels, int width, int height);

/*
 * Where a visualisation is shown: the present callback and the pointer handed back to
 * it. svInitMp3() copies the descriptor itself; the callback and `user` must stay
 * valid until that instance is released (by the next svInitMp3() that succeeds, by
 * svFreeMp3(), or at process exit). A NULL `present` means no picture is made.
 */
typedef struct sv_panel
{
    sv_present_fn present;
    void *user;
} sv_panel;

/*
 * Creates a player instance and makes it current.
 *
 * module  Unused on this platform (it named the caller's module); pass NULL.
 * panel   Where the visualisation goes; copied. NULL (or a NULL callback) means no
 *         visualisation is drawn; playback is unaffected.
 * width, height
 *         Size of the picture in pixels (the program passes its panel's size,
 *         224 x 68 by default). Each must be 1 .. 8192, else no picture is drawn.
 * bands   Number of spectrum bars, 1 .. 4096 (the program passes 32), else no picture.
 *         The spectrum is computed over 2 x bands samples, at most 256, which must be
 *         a power of two: with 1, 2, 4 ... 64 or more than 128 bands the bars move,
 *         with other counts they stay still. Up to 128 bands, bar i shows
 *         the frequency (i + 1) x rate / (2 x bands); the last bar never moves.
 *
 * The instance shows a spectrum ("sample-spectrum"), with green bars of width
 * width / (bands + 1) and rose peak marks on a black background.
 *
 * Returns 1 when the new instance was created and made current, 0 when it could not be
 * created (the engine's threads could not be started, out of memory, or a library
 * version mismatch, reported on standard error); the current instance then stays as
 * it was.
 *
 * A successful call releases the instance that was current before (it stops playing
 * and its threads end): one instance per track costs nothing that lasts. Waits until
 * the new engine is ready (normally well under a millisecond, at most one second) and
 * for the old instance's threads to end.
 */
SONVOX_API int svInitMp3(void *module, const sv_panel *panel, int width, int height, int bands);

/*
 * Opens `file` in the current instance and reports its sampling frequency and length.
 *
 * file     Zero-terminated path; copied.
 * frequency, seconds
 *          Receive the sampling frequency in Hz and the length in whole seconds
 *          (truncated: 3 min 25.9 s gives 205). Either pointer may be NULL.
 *
 * Waits (on the calling thread) until the player has opened the file, at most
 * 2 seconds. Both outputs are 0 when there is no instance, when `file` is NULL or
 * cannot be opened or decoded, or when the player did not answer in time; they are
 * never values of an earlier file. A file whose length cannot be known reports 0
 * seconds with its frequency.
 *
 * The file becomes the instance's input, as with svPlayMp3() (a playing track goes on
 * with it). Called right after svPlayMp3() on the same file it does not interrupt
 * playback.
 */
SONVOX_API void svGetMp3Info(const char *file, int *frequency, int *seconds);

/*
 * Reports the sampling frequency and length of `file` without playing it.
 *
 * file     Zero-terminated path; copied.
 * frequency, seconds
 *          Receive the sampling frequency in Hz and the length in whole seconds
 *          (truncated), as svGetMp3Info() would. Either pointer may be NULL.
 *
 * Returns 1 when the file was opened and decoded far enough to know its format, 0 when
 * it could not be (both outputs are then 0). A file whose length cannot be known
 * returns 1 with 0 seconds.
 *
 * Unlike svGetMp3Info() this needs no instance and leaves the current one alone: the
 * file is opened by a private engine that never opens a sound output, so nothing is
 * heard and a playing track goes on undisturbed. Any thread may call it, several at
 * once. Waits until the file is opened (normally a fraction of a millisecond, at most
 * 2 seconds) and for the private engine's threads to end.
 */
SONVOX_API int svGetFileInfo(const char *file, int *frequency, int *seconds);

/*
 * Starts playing `file` (zero-terminated path; copied) in the current instance.
 *
 * Returns 1 when the player took the file and opened the sound device, 0 when there is
 * no current instance, `file` is NULL, the commands could not be sent (the player
 * thread is gone or its queue stayed full), or the player refused: the file cannot be
 * opened, or the sound device cannot be opened (a missing or busy card). Waits for the
 * player's answer at most 1 second (normally a few milliseconds) on the calling thread;
 * without an answer in that time it returns 1. svGetMp3Error() tells why a call
 * returned 0, and also holds what failed later: a file in which no audio could be
 * decoded ("no audio decoded") or a sound device that failed while playing.
 */
SONVOX_API int svPlayMp3(const char *file);

/*
 * The latest failure of the current instance since the last svPlayMp3(): a refusal of
 * that call, or a failure while playing (no audio decoded, the sound device failed).
 *
 * text, size
 *          Receive the failure's text, for example "no such device: cannot open sound
 *          device (No such file or directory)" or "unsupported format: no audio decoded
 *          (x.mp3: the input is empty)", cut to size - 1 bytes; "" when there is none.
 *          text may be NULL.
 *
 * Returns the failure's negative error code, or 0 when nothing failed or there is no
 * instance. Does not wait.
 */
SONVOX_API int svGetMp3Error(char *text, int size);

/*
 * Stops playback in the current instance; the file stays open and the next
 * svResumeMp3() plays it again from the beginning. The sound device is closed while
 * stopped.
 *
 * Returns 0 when the command was sent (or there is no instance), or a negative error
 * code when it could not be sent: SONVOX_ERR_QUEUE_FULL when the player's queue stayed
 * full for 100 ms, SONVOX_ERR_INTERNAL when the player thread has ended,
 * SONVOX_ERR_OUT_OF_MEMORY. Returns at once.
 */
SONVOX_API int svStopMp3(void);

/*
 * Pauses playback in the current instance; svResumeMp3() continues where it paused.
 * Result as svStopMp3(). Returns at once.
 */
SONVOX_API int svPauseMp3(void);

/*
 * Plays the current instance's file: continues after svPauseMp3(), starts again from
 * the beginning after svStopMp3(). Result as svStopMp3(). Returns at once.
 */
SONVOX_API int svResumeMp3(void);

/*
 * Stops and releases the current instance; later calls behave as without an instance.
 * Waits for the instance's threads to end (normally a few milliseconds, at most 10 s).
 * Does nothing without an instance. Not required between tracks: svInitMp3() releases
 * the previous instance itself.
 */
SONVOX_API void svFreeMp3(void);

/*
 * The process-wide volume applied as a gain to everything the library plays (and that
 * the program applies to its other players): the left level in the low 16 bits and
 * the right level in the high 16 bits, each 0 (silent) .. 0xFFFF (unchanged).
 * Starts at 0xFFFFFFFF. Any thread may set or read it at any time; a change is heard
 * within the sound output's buffer time. Needs no instance.
 */
SONVOX_API void svSetVolume(uint32_t word);
SONVOX_API uint32_t svGetVolume(void);

/*
 * The text of an error code of this library, such as "circular queue full" for
 * SONVOX_ERR_QUEUE_FULL (-307).
 *
 * code     Any int.
 *
 * Returns a static, zero-terminated English text: "" for codes >= 0 (success) and for
 * an unnamed code inside a known hundred (-515), "unknown error" for any other code
 * (-1100). Never NULL.
 *
 * Thread: any thread, at any time; needs no instance. Lifetime: the text lives as long
 * as the library is loaded; never free it.
 */
SONVOX_API const char *svErrorText(int code);

#ifdef __cplusplus
}
#endif

#endif
