/*
 * Sonvox module interface: the contract between the engine and every module
 * (inputs, input filters, codecs, output filters, outputs, feedback handlers).
 *
 * A module is a descriptor: a table whose first slot is the interface version and
 * whose other slots are functions. A module's entry point receives a zeroed
 * descriptor of its kind and fills it; the registry checks the version and the
 * required slots, copies the descriptor into a registry entry and puts that entry
 * at the head of its list, so probing meets the newest module first.
 *
 * Conventions:
 * - Every function returns 0 (or a count, where noted) on success and a negative
 *   error code from sv_errors.h on failure. Nothing throws across this boundary.
 * - Beside each descriptor type below, headings say which slots are required (the
 *   registry refuses a descriptor without them, -103) and which optional (NULL: the
 *   engine applies the fall-back given there), and on which thread they run.
 * - A module instance is never used from two engine threads.
 * - Strings passed in are owned by the caller and valid only during the call:
 *   a module that keeps one copies it.
 */
#ifndef SONVOX_ENGINE_SV_MODULE_H
#define SONVOX_ENGINE_SV_MODULE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Version words (slot 0 of a descriptor). Bits 8..23 must hold 0x0404 for input,
 * output, codec and filter modules; feedback handlers carry 0x030801. */
#define SV_MODULE_INTERFACE_VERSION 0x040400
#define SV_FEEDBACK_INTERFACE_VERSION 0x030801
#define SV_CONTROL_INTERFACE_VERSION 0x030801
#define SV_LIBRARY_VERSION 0x030209

/* Module kinds, used by the registry and the loader hook. */
typedef enum sv_module_kind {
    SV_KIND_INPUT_FILTER = 0,
    SV_KIND_INPUT = 1,
    SV_KIND_OUTPUT_FILTER = 2,
    SV_KIND_OUTPUT = 3,
    SV_KIND_CODEC = 4,
    SV_KIND_FEEDBACK = 5
} sv_module_kind;

/* info(record, flags): flag 1 asks for the module name and description, flag 2 for
 * the device count (into count), flag 4 for the name and description of device
 * number `count` (its device flags into flags). Codecs also answer flag 8 (largest
 * output block in bytes, into count) and flag 16 (codec flags, into flags). */
#define SV_INFO_NAME 1
#define SV_INFO_DEVICE_COUNT 2
#define SV_INFO_DEVICE 4
#define SV_INFO_BLOCK_SIZE 8
#define SV_INFO_CODEC_FLAGS 16

#define SV_NAME_MAX 256

typedef struct sv_module_info
{
    int count;              /* device count, device index asked for, or block size */
    int flags;              /* device flags or codec flags */
    char name[SV_NAME_MAX]; /* up to 255 characters and a terminating zero */
    char description[SV_NAME_MAX];
} sv_module_info;

/* ---- Property store (decoder environment, feedback environment, stream properties) ---- */

/* An ordered list of named items, each a string (type 0) or an integer (type 1), with
 * watchers called after every set (with a pointer to the value: const char* text or
 * const int*) and on unset (with NULL). Implemented in engine/properties. Not
 * thread-safe: each store belongs to one thread. */
typedef struct sv_props sv_props;

#define SV_PROP_STRING 0
#define SV_PROP_INTEGER 1

typedef void (*sv_prop_watcher)(void *user, const char *name, const void *value);

sv_props *sv_props_new(void);
void sv_props_free(sv_props *props);
int sv_props_set_int(sv_props *props, const char *name, int value);
int sv_props_set_string(sv_props *props, const char *name, const char *text);
int sv_props_get_int(const sv_props *props, const char *name, int *value);
/* Copies the text (cut to size - 1 characters, always terminated). */
int sv_props_get_string(const sv_props *props, const char *name, char *buffer, int size);
int sv_props_unset(sv_props *props, const char *name);
int sv_props_add_watcher(sv_props *props, const char *name, sv_prop_watcher fn, void *user);
int sv_props_remove_watcher(sv_props *props, const char *name, sv_prop_watcher fn, void *user);
/* Number of items, and item i in list order (0 = head). The returned name and text
 * live until the item is changed or removed. Returns -900 when i is out of range. */
int sv_props_count(const sv_props *props);
int sv_props_item(const sv_props *props, int i, const char **name, int *type, const char **text, int *value);
void sv_props_clear(sv_props *props);

/* ---- Records shared by the engine and the modules ---- */

/* Stream information kept by the decoder and updated by the codec (and by an input
 * that publishes properties). The engine turns changes into notifications 110..113. */
#define SV_STREAM_PROPERTIES_CHANGED 0x1
#define SV_STREAM_PARAMETERS_CHANGED 0x2
#define SV_STREAM_CONTENT_TYPE_CHANGED 0x4

#define SV_CONTENT_TYPE_MAX 128

typedef struct sv_stream_info
{
    float position;  /* fraction of the stream, 0..1 */
    int changed;     /* SV_STREAM_* bits */
    int duration_ms; /* 0 when unknown */
    int frequency;   /* Hz */
    int bitrate;     /* kbit/s */
    int channels;
    char content_type[SV_CONTENT_TYPE_MAX];
    sv_props *properties;                                /* owned by the decoder */
    int tc_hours, tc_minutes, tc_seconds, tc_hundredths; /* current timecode */
    /* Why the input holds nothing the codec can play, when it knows ("free-format MPEG
     * audio is not supported"): a static text the codec may set, NULL otherwise. The
     * engine names it when an input ends without a single decoded sample. */
    const char *no_audio_reason;
} sv_stream_info;

/* Output block filled by a codec's decode. `samples` points to a buffer of at least the
 * codec's largest block in bytes; the codec writes 16-bit native-endian interleaved PCM,
 * sets samples_per_channel, channels and frequency. */
#define SV_BLOCK_SAMPLE_SIZE_CHANGED 0x1
#define SV_BLOCK_CHANNELS_CHANGED 0x2
#define SV_BLOCK_FREQUENCY_CHANGED 0x4

typedef struct sv_output_block
{
    int changed; /* SV_BLOCK_* bits, set by the engine */
    void *samples;
    int capacity; /* bytes available at samples */
    int samples_per_channel;
    int bytes_per_sample; /* always 2 */
    int channels;
    int frequency;
    int latency_ms; /* output latency, filled by the engine */
} sv_output_block;

/* Codec settings: setting 1 and 2 and the optional 64-byte equaliser block
 * (NULL = none). `which` bits for set/get settings: 1 setting 1, 2 setting 2, 4 equaliser. */
#define SV_CODEC_SETTING_1 1
#define SV_CODEC_SETTING_2 2
#define SV_CODEC_EQUALIZER 4

typedef struct sv_codec_settings
{
    int setting1;
    int setting2;
    int has_equalizer;
    signed char equalizer[64];
} sv_codec_settings;

/* Output control record and its flags. */
typedef struct sv_output_control
{
    int bytes_per_sample;
    int frequency;
    int channels;
    int master_level; /* 0..100 */
    int pcm_level;    /* 0..100 */
    int balance;      /* 0..100, 50 = centre */
    int ports;        /* port mask */
} sv_output_control;

#define SV_CTL_SAMPLE_SIZE 0x1
#define SV_CTL_CHANNELS 0x2
#define SV_CTL_FREQUENCY 0x4
#define SV_CTL_MASTER_LEVEL 0x8
#define SV_CTL_PCM_LEVEL 0x10
#define SV_CTL_BALANCE 0x20
#define SV_CTL_PORTS 0x40
#define SV_CTL_MUTE 0x80
#define SV_CTL_UNMUTE 0x100
#define SV_CTL_RESET 0x200
#define SV_CTL_PAUSE 0x400
#define SV_CTL_RESUME 0x800
#define SV_CTL_DRAIN 0x1000

/* Output capability bit: the output can report its latency. */
#define SV_OUTPUT_CAP_LATENCY 0x400000
/* Input capability bit: the input can seek. */
#define SV_INPUT_CAP_SEEKABLE 0x1

/* ---- What the engine offers a module ---- */

struct sv_module_entry;

/* Handed to every input, output, filter and codec at new(). The engine owns it; it lives
 * as long as the decoder. `source` in the report functions is the module's id. */
typedef struct sv_decoder
{
    void *engine; /* opaque, for the functions below */

    /* Report functions: they post notifications 121..124 to the client. */
    void (*progress)(void *engine, int source, int code, int value, const char *text);
    void (*debug)(void *engine, int source, int level, const char *text, const char *detail);
    void (*error)(void *engine, int source, int code, const char *text, const char *detail);
    void (*data)(void *engine, int source, int id, const void *data, int size);

    /* Input operations through the input filter chain, for codecs. read returns the
     * bytes read (exactly size, or 0 at the end of input) or a negative error; seek
     * moves to a byte offset from the start; position is the byte offset of the next
     * read; size is the stream size in bytes (0 when unknown). */
    int (*read)(void *engine, void *buffer, int size);
    int (*seek)(void *engine, int64_t offset);
    int64_t (*position)(void *engine);
    int64_t (*size)(void *engine);
    int (*capabilities)(void *engine);

    sv_props *environment;  /* decoder environment (commands 36..40) */
    sv_stream_info *stream; /* current stream information (inputs may add properties) */
} sv_decoder;

/* ---- Descriptors ---- */

typedef struct sv_input_module
{
    int version; /* SV_MODULE_INTERFACE_VERSION */

    /* All operations run on the player thread, one call at a time per instance. */

    /* Optional: without it the module accepts every name. */
    int (*probe)(const char *name); /* 0 accepts */

    /* Required. */
    int (*info)(sv_module_info *info, int flags);
    int (*create)(void **instance, const char *name, struct sv_module_entry *entry, sv_decoder *decoder);
    int (*destroy)(void *instance);
    int (*open)(void *instance);
    int (*close)(void *instance);
    int (*read)(void *instance, void *buffer, int size); /* bytes read; 0 at end */

    /* Optional; the engine's fall-back is given beside each. */
    int (*seek)(void *instance, int64_t offset);                             /* -1 */
    int (*get_capabilities)(void *instance);                                 /* 0 */
    int64_t (*get_size)(void *instance);                                     /* 0 */
    int (*send_message)(void *instance, int id, const void *data, int size); /* -1 */
} sv_input_module;

typedef struct sv_output_module
{
    int version; /* SV_MODULE_INTERFACE_VERSION */

    /* All operations run on the player thread, one call at a time per instance. A
     * module that hands the sound to a thread of its own (the ALSA output's feeder)
     * guards what that thread shares with a lock of its own. */

    /* Optional: without it the module accepts every name. */
    int (*probe)(const char *name);

    /* Required. */
    int (*info)(sv_module_info *info, int flags);
    int (*create)(void **instance, const char *name, struct sv_module_entry *entry, sv_decoder *decoder);
    int (*destroy)(void *instance);
    int (*open)(void *instance);
    int (*close)(void *instance);
    int (*write)(void *instance, const void *buffer, int bytes, int bytes_per_sample, int channels, int frequency);

    /* Optional; the engine's fall-back is given beside each. */
    void *(*get_buffer)(void *instance, int size);                                   /* the decoder's own PCM buffer */
    int (*set_control)(void *instance, const sv_output_control *control, int flags); /* ignored: 0 */
    /* 2 channels, master 100, pcm 100, balance 50, ports 1 */
    int (*get_control)(void *instance, sv_output_control *control, int flags);
    int (*get_latency)(void *instance, int *milliseconds);                   /* none known: 0 ms */
    int (*get_capabilities)(void *instance);                                 /* 0x7FBFFFFF */
    int (*send_message)(void *instance, int id, const void *data, int size); /* -1 */
} sv_output_module;

typedef struct sv_codec_module
{
    int version; /* SV_MODULE_INTERFACE_VERSION */

    /* All operations run on the player thread, one call at a time per instance. */

    /* Required. */
    int (*probe)(const char *content_type, const char *name);
    int (*info)(sv_module_info *info, int flags);
    int (*create)(void **instance, const char *content_type, const char *name, struct sv_module_entry *entry,
                  sv_decoder *decoder);
    int (*destroy)(void *instance);
    int (*decode)(void *instance, sv_output_block *block, sv_stream_info *stream);

    /* Optional: left empty, the engine does without (no position mapping, no seek
     * notice, no settings). */
    int (*start_stream)(void *instance, sv_stream_info *stream);
    float (*offset_to_fraction)(void *instance, int64_t offset);
    int64_t (*fraction_to_offset)(void *instance, float fraction);
    int (*input_changed)(void *instance, const char *content_type, const char *name);
    int (*input_closed)(void *instance);
    int (*seek_done)(void *instance, int64_t offset);
    int (*reset)(void *instance);
    int (*set_settings)(void *instance, const sv_codec_settings *settings, int which);
    int (*get_settings)(void *instance, sv_codec_settings *settings, int which);

    /* Unused: always NULL. */
    void *unused;
} sv_codec_module;

/* Filters implement any of their side's stream operations; an empty one passes the call
 * to the next element of the chain. `next` is the element after this filter. */
typedef struct sv_filter_next sv_filter_next;
typedef struct sv_filter_module
{
    int version; /* SV_MODULE_INTERFACE_VERSION */

    /* All operations run on the player thread. create runs once, at registration. */

    /* Optional. */
    int (*probe)(const char *name);

    /* Required. */
    int (*info)(sv_module_info *info, int flags);
    int (*create)(void **instance, const char *name, struct sv_module_entry *entry, sv_decoder *decoder);
    int (*destroy)(void *instance);

    /* Optional: an empty operation passes straight on to `next`. */
    int (*open)(void *instance, sv_filter_next *next);
    int (*close)(void *instance, sv_filter_next *next);
    /* input filters: read; output filters: write (bytes, bytes per sample, channels, frequency) */
    int (*read)(void *instance, sv_filter_next *next, void *buffer, int size);
    int (*write)(void *instance, sv_filter_next *next, const void *buffer, int bytes, int bytes_per_sample,
                 int channels, int frequency);
    int (*seek)(void *instance, sv_filter_next *next, int64_t offset);
    void *(*get_buffer)(void *instance, sv_filter_next *next, int size);
    int (*set_control)(void *instance, sv_filter_next *next, const sv_output_control *control, int flags);
    int (*get_control)(void *instance, sv_filter_next *next, sv_output_control *control, int flags);
    int64_t (*get_size)(void *instance, sv_filter_next *next);
    int (*get_capabilities)(void *instance, sv_filter_next *next);
    int (*send_message)(void *instance, sv_filter_next *next, int id, const void *data, int size);
} sv_filter_module;

/* What a filter calls to pass an operation on to the rest of its chain (the next filter
 * that implements it, else the module itself). Player thread only. */
int sv_next_open(sv_filter_next *next);
int sv_next_close(sv_filter_next *next);
int sv_next_read(sv_filter_next *next, void *buffer, int size);
int sv_next_seek(sv_filter_next *next, int64_t offset);
int64_t sv_next_get_size(sv_filter_next *next);
int sv_next_get_capabilities(sv_filter_next *next);
int sv_next_send_message(sv_filter_next *next, int id, const void *data, int size);
int sv_next_write(sv_filter_next *next, const void *buffer, int bytes, int bytes_per_sample, int channels,
                  int frequency);
void *sv_next_get_buffer(sv_filter_next *next, int size);
int sv_next_set_control(sv_filter_next *next, const sv_output_control *control, int flags);
int sv_next_get_control(sv_filter_next *next, sv_output_control *control, int flags);

/* Feedback events handed to a feedback handler's event operation. */
#define SV_FEEDBACK_AUDIO 135
#define SV_FEEDBACK_TIMECODE 136

typedef struct sv_feedback_event
{
    int type;                  /* SV_FEEDBACK_AUDIO or SV_FEEDBACK_TIMECODE */
    int seconds, microseconds; /* when the event becomes audible */
    int frequency;
    int channels;
    int samples_per_channel; /* 256 */
    /* Audio: per channel, samples_per_channel signed bytes (16-bit sample / 256), the
     * first channel's block followed by the second's. */
    const signed char *samples;
    int tc_hours, tc_minutes, tc_seconds, tc_hundredths; /* timecode events */
} sv_feedback_event;

/* What the feedback thread offers a handler (its environment, commands 145..149). */
typedef struct sv_feedback_env
{
    void *context;
    int (*get_int)(void *context, const char *name, int *value);
    int (*get_string)(void *context, const char *name, char *buffer, int size);
    int (*add_watcher)(void *context, const char *name, sv_prop_watcher fn, void *user);
    int (*remove_watcher)(void *context, const char *name, sv_prop_watcher fn, void *user);
    /* Posts a data report (notification 124) to the client. */
    int (*post)(void *context, int id, const void *data, int size);
} sv_feedback_env;

typedef struct sv_feedback_module
{
    int version; /* SV_FEEDBACK_INTERFACE_VERSION */

    /* All operations run on the feedback thread, one call at a time per instance. */

    /* Required. */
    int (*probe)(const char *name);
    int (*info)(sv_module_info *info, int flags);
    int (*create)(void **instance, const char *name, struct sv_module_entry *entry, void *feedback_context,
                  const sv_feedback_env *env);
    int (*destroy)(void *instance);

    /* Optional: start and stop left empty are skipped; send_message gives -1. */
    int (*start)(void *instance);
    int (*stop)(void *instance);
    int (*send_message)(void *instance, int id, const void *data, int size);

    /* Required. */
    int (*event)(void *instance, const sv_feedback_event *event);
} sv_feedback_module;

/* A module's entry point: fills the zeroed descriptor of its kind (one of the structs
 * above, chosen by the kind it is registered as). Non-zero aborts the registration. */
typedef int (*sv_module_register_fn)(void *descriptor);

/* A module built into the library: a const record beside its callbacks, listed in the
 * library's table of built-in modules (modules/builtin_modules.c), which the engine
 * registers at start. `descriptor` points to the filled, const descriptor of `kind`;
 * `entry` copies it into the zeroed descriptor the registry hands it, and its address
 * ("function@<hex>") is what the engine registers. */
typedef struct sv_builtin_module
{
    sv_module_kind kind;
    const char *name;        /* what info reports for SV_INFO_NAME */
    const char *description; /* the module's version text */
    const void *descriptor;  /* version in slot 0, then the operations */
    sv_module_register_fn entry;
} sv_builtin_module;

/* A registry entry; modules only read `id` (their report source). */
typedef struct sv_module_entry
{
    int id;
    sv_module_kind kind;
    union
    {
        int version;
        sv_input_module input;
        sv_output_module output;
        sv_codec_module codec;
        sv_filter_module filter;
        sv_feedback_module feedback;
    } d;
    void *instance; /* filters: their instance */
    struct sv_module_entry *next;
} sv_module_entry;

#ifdef __cplusplus
}
#endif

#endif
