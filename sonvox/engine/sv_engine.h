/*
 * Sonvox engine, client side.
 *
 * A client starts the engine and gets a control handle. The engine runs two threads:
 * the player thread (decoder pipeline input -> input filters -> codec -> output
 * filters -> output) and the feedback thread (replays timed audio events to a feedback
 * handler). The client posts numbered commands with sv_send_*; the engine answers with
 * numbered notifications that queue up on the handle until the client takes them with
 * sv_client_next. Nothing is shared between the threads: every payload is copied when
 * it is posted.
 *
 * Threads: sv_engine_start, sv_engine_stop, sv_engine_free, sv_client_next and
 * sv_client_set_wakeup belong to the client (one thread at a time per handle). The
 * sv_send_* functions may be called from any thread. sv_register_module and
 * sv_builtin_init_hook run on the player thread (from an init hook).
 *
 * Errors: every function returns 0 (or a count) on success and a negative code from
 * sv_errors.h on failure.
 */
#ifndef SONVOX_ENGINE_SV_ENGINE_H
#define SONVOX_ENGINE_SV_ENGINE_H

#include <stdint.h>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Command and notification codes ---- */

enum {
    /* commands, client -> player (125..149 are passed on to the feedback thread) */
    SV_CMD_EXIT = 1,
    SV_CMD_SYNC = 2,
    SV_CMD_PING = 3,
    SV_CMD_PLAY = 4,
    SV_CMD_PAUSE = 5,
    SV_CMD_STOP = 6,
    SV_CMD_SEEK = 7,
    SV_CMD_INPUT_OPEN = 8,
    SV_CMD_INPUT_CLOSE = 9,
    SV_CMD_INPUT_SEND_MESSAGE = 10,
    SV_CMD_REGISTER_INPUT_FILTER = 11,
    SV_CMD_UNREGISTER_INPUT_FILTER = 12,
    SV_CMD_LIST_INPUT_FILTERS = 13,
    SV_CMD_REGISTER_INPUT = 14,
    SV_CMD_QUERY_INPUT = 15,
    SV_CMD_QUERY_INPUTS = 16,
    SV_CMD_OUTPUT_OPEN = 17,
    SV_CMD_OUTPUT_CLOSE = 18,
    SV_CMD_OUTPUT_SEND_MESSAGE = 19,
    SV_CMD_OUTPUT_MUTE = 20,
    SV_CMD_OUTPUT_UNMUTE = 21,
    SV_CMD_OUTPUT_RESET = 22,
    SV_CMD_OUTPUT_DRAIN = 23,
    SV_CMD_REGISTER_OUTPUT_FILTER = 24,
    SV_CMD_UNREGISTER_OUTPUT_FILTER = 25,
    SV_CMD_LIST_OUTPUT_FILTERS = 26,
    SV_CMD_REGISTER_OUTPUT = 27,
    SV_CMD_QUERY_OUTPUT = 28,
    SV_CMD_QUERY_OUTPUTS = 29,
    SV_CMD_REGISTER_CODEC = 31,
    SV_CMD_QUERY_CODEC = 32,
    SV_CMD_QUERY_CODECS = 33,
    SV_CMD_SET_PLAYER_MODE = 34,
    SV_CMD_GET_PLAYER_MODE = 35,
    SV_CMD_SET_ENV_INT = 36,
    SV_CMD_GET_ENV_INT = 37,
    SV_CMD_SET_ENV_STRING = 38,
    SV_CMD_GET_ENV_STRING = 39,
    SV_CMD_UNSET_ENV = 40,
    SV_CMD_SET_INPUT_NAME = 41,
    SV_CMD_GET_INPUT_NAME = 42,
    SV_CMD_SET_INPUT_MODULE = 43,
    SV_CMD_GET_INPUT_MODULE = 44,
    SV_CMD_SET_POSITION_RANGE = 45,
    SV_CMD_GET_POSITION_RANGE = 46,
    SV_CMD_SET_TIMECODE_GRANULARITY = 47,
    SV_CMD_GET_TIMECODE_GRANULARITY = 48,
    SV_CMD_SET_OUTPUT_NAME = 49,
    SV_CMD_GET_OUTPUT_NAME = 50,
    SV_CMD_SET_OUTPUT_MODULE = 51,
    SV_CMD_GET_OUTPUT_MODULE = 52,
    SV_CMD_SET_OUTPUT_VOLUME = 57,
    SV_CMD_GET_OUTPUT_VOLUME = 58,
    SV_CMD_SET_CODEC_SETTING_1 = 59,
    SV_CMD_GET_CODEC_SETTING_1 = 60,
    SV_CMD_SET_OUTPUT_PORTS = 61,
    SV_CMD_GET_OUTPUT_PORTS = 62,
    SV_CMD_SET_CODEC_SETTING_2 = 63,
    SV_CMD_GET_CODEC_SETTING_2 = 64,
    SV_CMD_SET_CODEC_EQUALIZER = 65,
    SV_CMD_GET_CODEC_EQUALIZER = 66,
    SV_CMD_SET_CODEC_MODULE = 67,
    SV_CMD_SET_NOTIFICATION_MASK = 69,
    SV_CMD_GET_NOTIFICATION_MASK = 70,
    SV_CMD_SET_DEBUG_LEVEL = 71,
    SV_CMD_GET_DEBUG_LEVEL = 72,
    SV_CMD_REGISTER_FEEDBACK = 125,
    SV_CMD_QUERY_FEEDBACK = 126,
    SV_CMD_QUERY_FEEDBACKS = 127,
    SV_CMD_FEEDBACK_EXIT = 128,
    SV_CMD_FEEDBACK_START = 129,
    SV_CMD_FEEDBACK_STOP = 130,
    SV_CMD_FEEDBACK_SEND_MESSAGE = 134,
    SV_CMD_SET_FEEDBACK_RATE = 139,
    SV_CMD_GET_FEEDBACK_RATE = 140,
    SV_CMD_SELECT_FEEDBACK_NAME = 141,
    SV_CMD_SELECT_FEEDBACK_ID = 143,
    SV_CMD_SET_FEEDBACK_ENV_INT = 145,
    SV_CMD_GET_FEEDBACK_ENV_INT = 146,
    SV_CMD_SET_FEEDBACK_ENV_STRING = 147,
    SV_CMD_GET_FEEDBACK_ENV_STRING = 148,
    SV_CMD_UNSET_FEEDBACK_ENV = 149,

    /* Codes with a payload shape but no command behind them: taken without effect and
     * without reply. */
    SV_CMD_RESERVED_30 = 30,
    SV_CMD_RESERVED_54 = 54,
    SV_CMD_RESERVED_56 = 56,

    /* player -> feedback thread only (a client sending one is taken without effect) */
    SV_FB_PAUSE_TIME = 131,     /* n[0] seconds, n[1] microseconds of the pause */
    SV_FB_PLAY_TIME = 132,      /* n[0] seconds, n[1] microseconds of the (re)start */
    SV_FB_FLUSH = 133,          /* discard the queued events */
    SV_FB_AUDIO_EVENT = 135,    /* SV_FEEDBACK_AUDIO: time, format and samples */
    SV_FB_TIMECODE_EVENT = 136, /* SV_FEEDBACK_TIMECODE */
    SV_FB_TIMECODE_AT = 137,    /* timecode at a time (ignored by the feedback thread) */
    SV_FB_POSITION_AT = 138,    /* position at a time (ignored by the feedback thread) */

    /* notifications, engine -> client */
    SV_NOTE_READY = 73,
    SV_NOTE_ACK = 74,
    SV_NOTE_NACK = 75,
    SV_NOTE_PONG = 76,
    SV_NOTE_EXITED = 77,
    SV_NOTE_PLAYER_STATE = 78,
    SV_NOTE_PLAYER_MODE = 79,
    SV_NOTE_ENV_INT = 80,
    SV_NOTE_ENV_STRING = 81,
    SV_NOTE_INPUT_STATE = 82,
    SV_NOTE_INPUT_NAME = 83,
    SV_NOTE_INPUT_CAPABILITIES = 84,
    SV_NOTE_POSITION = 85,
    SV_NOTE_POSITION_RANGE = 86,
    SV_NOTE_TIMECODE = 87,
    SV_NOTE_TIMECODE_GRANULARITY = 88,
    SV_NOTE_INPUT_MODULE = 89,
    SV_NOTE_INPUT_MODULE_INFO = 90,
    SV_NOTE_INPUT_DEVICE_INFO = 91,
    SV_NOTE_INPUT_FILTER_INFO = 92,
    SV_NOTE_OUTPUT_STATE = 93,
    SV_NOTE_OUTPUT_NAME = 94,
    SV_NOTE_OUTPUT_CAPABILITIES = 95,
    SV_NOTE_OUTPUT_BALANCE = 101,
    SV_NOTE_OUTPUT_PCM_LEVEL = 102,
    SV_NOTE_OUTPUT_MASTER_LEVEL = 103,
    SV_NOTE_CODEC_SETTING_1 = 104,
    SV_NOTE_OUTPUT_PORTS = 105,
    SV_NOTE_OUTPUT_MODULE = 106,
    SV_NOTE_OUTPUT_MODULE_INFO = 107,
    SV_NOTE_OUTPUT_DEVICE_INFO = 108,
    SV_NOTE_OUTPUT_FILTER_INFO = 109,
    SV_NOTE_CONTENT_TYPE = 110,
    SV_NOTE_DURATION = 111,
    SV_NOTE_STREAM_PARAMETERS = 112,
    SV_NOTE_STREAM_PROPERTIES = 113,
    SV_NOTE_CODEC_SETTING_2 = 114,
    SV_NOTE_CODEC_EQUALIZER = 115,
    SV_NOTE_CODEC_MODULE = 116,
    SV_NOTE_CODEC_MODULE_INFO = 117,
    SV_NOTE_CODEC_DEVICE_INFO = 118,
    SV_NOTE_NOTIFICATION_MASK = 119,
    SV_NOTE_DEBUG_LEVEL = 120,
    SV_NOTE_PROGRESS = 121,
    SV_NOTE_DEBUG = 122,
    SV_NOTE_ERROR = 123,
    SV_NOTE_DATA = 124,
    SV_NOTE_FEEDBACK_RATE = 150,
    SV_NOTE_FEEDBACK_STATE = 151,
    SV_NOTE_FEEDBACK_MODULE = 152,
    SV_NOTE_FEEDBACK_MODULE_INFO = 153,
    SV_NOTE_FEEDBACK_NAME = 154,
    SV_NOTE_FEEDBACK_HANDLER_INFO = 155,
    SV_NOTE_FEEDBACK_ENV_INT = 156
};

/* Notification mask bits (command 69): a notification whose bit is clear is not sent.
 * Notifications without a bit are always sent. */
#define SV_MASK_ERROR 0x1
#define SV_MASK_DEBUG 0x2
#define SV_MASK_PROGRESS 0x4
#define SV_MASK_ACK 0x8
#define SV_MASK_NACK 0x10
#define SV_MASK_PLAYER_STATE 0x20
#define SV_MASK_INPUT_STATE 0x40
#define SV_MASK_INPUT_NAME 0x80
#define SV_MASK_INPUT_CAPABILITIES 0x100
#define SV_MASK_POSITION 0x200
#define SV_MASK_TIMECODE 0x400
#define SV_MASK_OUTPUT_STATE 0x800
#define SV_MASK_OUTPUT_NAME 0x1000
#define SV_MASK_OUTPUT_CAPABILITIES 0x2000
#define SV_MASK_FEEDBACK_POSITION 0x4000 /* position events to the feedback thread */
#define SV_MASK_FEEDBACK_TIMECODE 0x8000 /* timecode events to the feedback thread */
#define SV_MASK_OUTPUT_BALANCE 0x20000
#define SV_MASK_OUTPUT_PCM_LEVEL 0x40000
#define SV_MASK_OUTPUT_MASTER_LEVEL 0x80000
#define SV_MASK_OUTPUT_PORTS 0x100000
#define SV_MASK_CONTENT_TYPE 0x200000
#define SV_MASK_DURATION 0x400000
#define SV_MASK_STREAM_PARAMETERS 0x800000
#define SV_MASK_STREAM_PROPERTIES 0x1000000
#define SV_MASK_DATA 0x8000000

/* Player states (notification 78) and player mode bits (command 34). */
#define SV_STATE_STOPPED 0
#define SV_STATE_PLAYING 1
#define SV_STATE_PAUSED 2
#define SV_STATE_END_OF_STREAM 3
#define SV_MODE_CLOSE_ON_STOP 1
#define SV_MODE_CLOSE_ON_PAUSE 2
#define SV_MODE_CLOSE_AT_END 4

/* Receive limit: a message's strings share one buffer of this size, so one string
 * arrives cut to SV_RECEIVE_BUFFER - 1 characters; of a pair of strings the second gets
 * what the first leaves (nothing when the first fills the buffer). */
#define SV_RECEIVE_BUFFER 8192

/* ---- Messages ---- */

/* One item of a stream property list (notification 113). */
typedef struct sv_message_property
{
    const char *name;
    int type;         /* SV_PROP_STRING or SV_PROP_INTEGER */
    const char *text; /* strings; NULL for integers */
    int value;        /* integers */
} sv_message_property;

/* A command or a notification with its payload fields in the order of its payload
 * shape. Numbers go to n[] (bytes and shorts widened: bytes are 0..255, shorts
 * -32768..32767), strings to s[], a data block to data/size, a property list to
 * properties/property_count. Examples: 75 nack: n[0] command, n[1] error; 80: s[0] name,
 * n[0] value; 81: s[0] name, s[1] value; 91: n[0] module id, n[1] device index,
 * n[2] device flags, s[0] name, s[1] description; 121: n[0] source, n[1] code,
 * n[2] value, s[0] text; 124: n[0] source, n[1] id, data/size; 135: n[0] seconds,
 * n[1] microseconds, n[2] frequency, n[3] channels, n[4] samples per channel, data.
 * Fields the shape does not use are 0 / NULL. */
typedef struct sv_message
{
    int code;
    int n[6];
    const char *s[2];
    const void *data;
    int size;
    const sv_message_property *properties;
    int property_count;
} sv_message;

typedef sv_message sv_notification;

/* ---- Engine ---- */

typedef struct sv_engine sv_engine; /* the control handle */

/* Start list: entries (name, value, type) ended by an entry whose name is NULL. Type
 * SV_START_POINTER entries carry a pointer to an sv_hook. "init-hook": fn is an
 * sv_init_hook_fn, called on the player thread once it is set up, before 73 is sent.
 * "module-loader-hook": fn is an sv_module_loader_fn asked before and after every module
 * load. An entry of another type ends the walk. */
#define SV_START_POINTER 8

typedef struct sv_start_entry
{
    const char *name;
    const void *value;
    int type;
} sv_start_entry;

typedef struct sv_hook
{
    void *user;
    void *fn;
} sv_hook;

/* Init hook: runs on the player thread; register modules with sv_register_module. */
typedef int (*sv_init_hook_fn)(void *user, sv_engine *control, sv_decoder *decoder);

/* Loader hook: phase 0 before the entry point is resolved, phase 1 once it is resolved
 * and before it is called (*entry then holds it). In phase 0 a negative answer aborts
 * the registration with that code, 1 means the hook stored the entry point in *entry,
 * anything else lets the engine resolve the name itself; the answer in phase 1 is not
 * used. Runs on the player thread (the feedback thread for feedback handlers, with a
 * NULL decoder). */
typedef int (*sv_module_loader_fn)(void *user, sv_module_kind kind, int phase, sv_engine *control, sv_decoder *decoder,
                                   sv_module_register_fn *entry, const char *name, const char *default_symbol);

/* Starts the engine: the feedback thread, then the player thread (its priority raised
 * as far as the process may; a refusal is not an error). The start list is walked on
 * the player thread before this returns; the list and what it points to need only live
 * during the call. *control receives the handle (NULL on failure). The first
 * notification is 73 (ready). Results: 0, -102 (control NULL), -100, -101. */
int sv_engine_start(sv_engine **control, const sv_start_entry *start_list);

/* Posts command 1 and waits up to 10 000 ms for both engine threads to end (the player
 * closes its input and output, deletes its modules, sends 77). The handle stays valid
 * so that the client can drain the last notifications; sends then fail with -103.
 * Returns 0, or -104 when the threads did not end in time (they are left to finish on
 * their own). Calling it twice is harmless. */
int sv_engine_stop(sv_engine *control);

/* Stops the engine when it still runs and frees the handle and its notification queue.
 * NULL is ignored. */
void sv_engine_free(sv_engine *control);

/* Posts command 2 and waits up to timeout_ms until the player has taken it, i.e. until
 * every command sent before it by this thread has been handled. 0 or -104. */
int sv_engine_sync(sv_engine *control, int timeout_ms);

/* Sends a command. The payload is copied before the call returns. Results: 0; -306 for
 * a code without a payload shape (53, 55, 68, 97, 99, anything outside 1..159) and for
 * fields that do not fit the code's shape; -102 for a NULL handle; -103 once the engine
 * has stopped; -307 when the player's queue stayed full through every retry (11 tries,
 * 10 ms apart). */
int sv_send(sv_engine *control, const sv_message *message);

/* Typed shortcuts for sv_send. Each fails with -306 when the code does not have the
 * shape named. */
int sv_send_none(sv_engine *control, int code);
int sv_send_int(sv_engine *control, int code, int value); /* int, short or byte */
int sv_send_string(sv_engine *control, int code, const char *text);
int sv_send_two_ints(sv_engine *control, int code, int a, int b); /* e.g. 7 seek */
int sv_send_name_int(sv_engine *control, int code, const char *name, int value);
int sv_send_name_string(sv_engine *control, int code, const char *name, const char *value);
int sv_send_string_short(sv_engine *control, int code, const char *name, int value);
int sv_send_bytes3(sv_engine *control, int code, int first, int second, int third);
/* Codes 10, 19, 134 (id, data, size) and 65 (data = 64 bytes, or NULL/0 for none). */
int sv_send_bytes(sv_engine *control, int code, int id, const void *data, int size);

/* Registers a module through its command (11, 14, 24, 27, 31 or 125 by kind). The
 * position is used by filters only. Answered by ack/nack like every command. */
int sv_send_register(sv_engine *control, sv_module_kind kind, const char *name, int position);

/* ---- Client notification queue ---- */

/* Takes the next notification. Waits up to timeout_ms (0 = do not wait, negative = no
 * limit). Returns 1 with *out filled, 0 when nothing arrived in time, or -102. Strings,
 * data and property lists in *out stay valid until the next call on this handle or
 * until sv_engine_free. Call from one thread at a time.
 *
 * The queue is bounded for clients that drain it rarely: a position (85) or timecode
 * (87) notification replaces the one of its code still waiting, so at most one of each
 * waits; beyond 1024 waiting notifications new progress, debug and data reports (121,
 * 122, 124) are dropped; beyond 65536 every notification except ready, exited, acks,
 * nacks, player state, stream information (110..113) and error reports is dropped.
 * sv_client_dropped counts what was dropped. */
int sv_client_next(sv_engine *control, sv_notification *out, int timeout_ms);
long sv_client_dropped(sv_engine *control);

/* Installs a function called on the engine thread right after a notification was
 * queued (for clients that run an event loop: post a wake-up to it and take every
 * queued notification; do not call back into the engine from fn). NULL removes it.
 * While the player decodes faster than real time, the position, timecode and stream
 * property reports it queues call fn (and wake a waiting sv_client_next) at most once
 * per 10 ms, with all that was queued meanwhile; any other notification calls it at
 * once. */
void sv_client_set_wakeup(sv_engine *control, void (*fn)(void *user), void *user);

/* ---- Versions and threads ---- */

/* 1 -> 0x040400 (module interface), 2 -> 0x030801 (control interface),
 * 3 -> 0x030209 (library); anything else 0. */
int sv_version(int which);

/* Priority of an engine thread (which: 0 player, 1 feedback). Levels 0 idle, 1 below
 * normal, 2 normal, 3 above normal, 4 highest, mapped to nice values 19, 5, 0, -5, -10
 * of that thread. Set: other levels give -102; a refusal by the system gives -504.
 * Get: the level, or SV_PRIORITY_UNKNOWN (-1, a level, not an error code) when it
 * cannot be read. */
#define SV_PRIORITY_UNKNOWN (-1)
int sv_engine_set_priority(sv_engine *control, int which, int level);
int sv_engine_get_priority(sv_engine *control, int which);

/* ---- Modules ---- */

/* Registers a module on the engine's player thread (call it from an init hook with the
 * decoder it was given). name: "function@<hex address>" (the entry point's address,
 * full 64-bit width: see sv_module_address_name), "symbol@library" or a library name
 * (dlopen, then the kind's default symbol). position: filters only (-1 front, 0 or 1
 * last, n before the filter with id n). Returns the new entry's id (>= 0) or an error:
 * -102 empty name, -800/-801 loading failures, -106 wrong version, -103 missing
 * required slot, or the entry point's own non-zero result. */
int sv_register_module(sv_decoder *decoder, sv_module_kind kind, const char *name, int position);

/* Writes "function@<address in hex>" for an entry point into buffer (64 bytes are
 * always enough). Returns the length or -102. */
int sv_module_address_name(sv_module_register_fn entry, char *buffer, int size);

/* The init hook that registers the library's built-in modules (the table in
 * modules/builtin_modules.c, in its order: file input 0; file output 0, ALSA output 1;
 * MPEG codec 0, WAVE codec 1) by address (user data unused), and a start list holding
 * it as "init-hook". The hook returns the number of modules registered. */
int sv_builtin_init_hook(void *user, sv_engine *control, sv_decoder *decoder);
const sv_start_entry *sv_builtin_start_list(void);

#ifdef __cplusplus
}
#endif

#endif
