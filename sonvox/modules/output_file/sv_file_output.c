/* "Output To File": raw, WAV, AIFF and Sun PCM files, or standard output. */
#include "sonvox/modules/output_file/sv_file_output.h"

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"

enum { FORMAT_RAW = 0, FORMAT_WAV = 1, FORMAT_AIFF = 2, FORMAT_SUN = 3 };

#define WAV_HEADER_SIZE 44
#define AIFF_HEADER_SIZE 54
#define SUN_HEADER_SIZE 28 /* the 24 fixed bytes and an empty annotation */
#define HEADER_MAX 54
/* The largest data size a header can describe (the RIFF and FORM sizes add to it). */
#define DATA_MAX (UINT32_MAX - 64u)
/* Sun's "size unknown", used while the size is not yet known (and for pipes). */
#define SUN_SIZE_UNKNOWN 0xFFFFFFFFu

typedef struct file_output
{
    char *name; /* owned copy of the output name, prefix included */
    sv_module_entry *entry;
    sv_decoder *decoder;
    int fd; /* -1 while closed */
    int is_stdout;
    int format;
    int frequency;       /* 44100 until the first write */
    int channels;        /* 2 until the first write */
    uint64_t data_bytes; /* sample bytes that reached the file */
    int header_written;
    int write_failed;    /* a failed write has been reported */
    off_t header_offset; /* where the header starts; -1 when the file cannot seek */
} file_output;

static int source_id(const file_output *out)
{
    return out->entry ? out->entry->id : 0;
}

static void report_error(const file_output *out, int code, const char *text, const char *detail)
{
    if (out->decoder && out->decoder->error)
        out->decoder->error(out->decoder->engine, source_id(out), code, text, detail);
}

/* Reports the first failed write of this open (a full disk fails every write after). */
static int write_failure(file_output *out, int err)
{
    if (!out->write_failed) {
        out->write_failed = 1;
        report_error(out, SV_ERR_WRITE_FAILED, "cannot write output file", err ? strerror(err) : "short write");
    }
    return SV_ERR_WRITE_FAILED;
}

static int file_probe(const char *name)
{
    (void)name;
    return 0;
}

static void set_text(char *dst, size_t size, const char *text)
{
    snprintf(dst, size, "%s", text);
}

static int file_info(sv_module_info *info, int flags)
{
    if (!info)
        return SV_ERR_INVALID_PARAMETERS;
    if (flags & SV_INFO_NAME) {
        set_text(info->name, sizeof info->name, sv_file_output_module.name);
        set_text(info->description, sizeof info->description, sv_file_output_module.description);
    }
    if (flags & SV_INFO_DEVICE_COUNT)
        info->count = 3;
    if (flags & SV_INFO_DEVICE) {
        static const struct
        {
            const char *name, *description;
            int flags;
        } devices[] = {
            {"*, or raw:*", "file name (raw PCM format)", 1},
            {"wav:*", "file name (WAV format)", 1},
            {"standard output", "", 0},
        };
        if (info->count < 0 || info->count > 2)
            return SV_ERR_INVALID_PARAMETERS;
        set_text(info->name, sizeof info->name, devices[info->count].name);
        set_text(info->description, sizeof info->description, devices[info->count].description);
        info->flags = devices[info->count].flags;
    }
    return 0;
}

static int file_create(void **instance, const char *name, sv_module_entry *entry, sv_decoder *decoder)
{
    if (!instance || !name || !name[0]) {
        if (decoder && decoder->error)
            decoder->error(decoder->engine, entry ? entry->id : 0, SV_ERR_INTERNAL, "internal error",
                           "null params or null/empty output name");
        return SV_ERR_INVALID_PARAMETERS;
    }
    file_output *out = calloc(1, sizeof *out);
    if (!out)
        return SV_ERR_OUT_OF_MEMORY;
    out->name = strdup(name);
    if (!out->name) {
        free(out);
        return SV_ERR_OUT_OF_MEMORY;
    }
    out->entry = entry;
    out->decoder = decoder;
    out->fd = -1;
    out->header_offset = -1;
    *instance = out;
    return 0;
}

/* Writes all of `size` bytes; returns the number written (less on an error). */
static size_t write_all(int fd, const void *data, size_t size)
{
    const unsigned char *p = data;
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, p + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (n == 0)
            break;
        done += (size_t)n;
    }
    return done;
}

static void put_le16(unsigned char *p, unsigned v)
{
    p[0] = (unsigned char)(v & 0xFF);
    p[1] = (unsigned char)((v >> 8) & 0xFF);
}

static void put_le32(unsigned char *p, uint32_t v)
{
    put_le16(p, v & 0xFFFF);
    put_le16(p + 2, v >> 16);
}

static void put_be16(unsigned char *p, unsigned v)
{
    p[0] = (unsigned char)((v >> 8) & 0xFF);
    p[1] = (unsigned char)(v & 0xFF);
}

static void put_be32(unsigned char *p, uint32_t v)
{
    put_be16(p, v >> 16);
    put_be16(p + 2, v & 0xFFFF);
}

/* An 80-bit IEEE extended number holding a positive integer, as AIFF stores rates. */
static void put_extended(unsigned char *p, uint32_t value)
{
    memset(p, 0, 10);
    if (value == 0)
        return;
    int shift = 0;
    while ((value >> shift) > 1)
        shift++;
    put_be16(p, (unsigned)(16383 + shift));
    uint64_t mantissa = (uint64_t)value << (63 - shift);
    for (int i = 0; i < 8; i++)
        p[2 + i] = (unsigned char)(mantissa >> (56 - 8 * i));
}

static size_t header_size(int format)
{
    switch (format) {
    case FORMAT_WAV: return WAV_HEADER_SIZE;
    case FORMAT_AIFF: return AIFF_HEADER_SIZE;
    case FORMAT_SUN: return SUN_HEADER_SIZE;
    default: return 0;
    }
}

/* Builds the header of `format` for data_bytes of 16-bit samples; `known` is false
 * while the size is not yet known. Returns its size. */
static size_t build_header(unsigned char *h, int format, int channels, int frequency, uint64_t data_bytes, int known)
{
    uint32_t data = data_bytes > DATA_MAX ? DATA_MAX : (uint32_t)data_bytes;
    data -= data % (uint32_t)(channels * 2);
    switch (format) {
    case FORMAT_WAV:
        memcpy(h, "RIFF", 4);
        put_le32(h + 4, data + 36);
        memcpy(h + 8, "WAVE", 4);
        memcpy(h + 12, "fmt ", 4);
        put_le32(h + 16, 16);
        put_le16(h + 20, 1);
        put_le16(h + 22, (unsigned)channels);
        put_le32(h + 24, (uint32_t)frequency);
        put_le32(h + 28, (uint32_t)(channels * frequency * 2));
        put_le16(h + 32, (unsigned)(channels * 2));
        put_le16(h + 34, 16);
        memcpy(h + 36, "data", 4);
        put_le32(h + 40, data);
        return WAV_HEADER_SIZE;
    case FORMAT_AIFF:
        memcpy(h, "FORM", 4);
        put_be32(h + 4, data + AIFF_HEADER_SIZE - 8);
        memcpy(h + 8, "AIFF", 4);
        memcpy(h + 12, "COMM", 4);
        put_be32(h + 16, 18);
        put_be16(h + 20, (unsigned)channels);
        put_be32(h + 22, data / (uint32_t)(channels * 2));
        put_be16(h + 26, 16);
        put_extended(h + 28, (uint32_t)frequency);
        memcpy(h + 38, "SSND", 4);
        put_be32(h + 42, data + 8);
        put_be32(h + 46, 0);
        put_be32(h + 50, 0);
        return AIFF_HEADER_SIZE;
    case FORMAT_SUN:
        memcpy(h, ".snd", 4);
        put_be32(h + 4, SUN_HEADER_SIZE);
        put_be32(h + 8, known ? data : SUN_SIZE_UNKNOWN);
        put_be32(h + 12, 3); /* 16-bit linear PCM */
        put_be32(h + 16, (uint32_t)frequency);
        put_be32(h + 20, (uint32_t)channels);
        memset(h + 24, 0, 4);
        return SUN_HEADER_SIZE;
    default: return 0;
    }
}

static int file_open(void *instance)
{
    file_output *out = instance;
    if (!out)
        return SV_ERR_INTERNAL;
    if (out->fd >= 0)
        return 0;
    out->frequency = 44100;
    out->channels = 2;
    out->data_bytes = 0;
    out->header_written = 0;
    out->write_failed = 0;
    out->header_offset = -1;

    const char *path = out->name;
    static const struct
    {
        const char *prefix;
        int format;
    } prefixes[] = {{"raw:", FORMAT_RAW}, {"wav:", FORMAT_WAV}, {"aiff:", FORMAT_AIFF}, {"sun:", FORMAT_SUN}};
    out->format = FORMAT_RAW;
    for (size_t i = 0; i < sizeof prefixes / sizeof prefixes[0]; i++) {
        size_t len = strlen(prefixes[i].prefix);
        if (strncmp(path, prefixes[i].prefix, len) == 0) {
            out->format = prefixes[i].format;
            path += len;
            break;
        }
    }

    if (strcmp(path, "-") == 0) {
        out->fd = STDOUT_FILENO;
        out->is_stdout = 1;
        fflush(stdout); /* keep text the program printed before the samples */
    } else {
        int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            int err = errno;
            if (err == EACCES || err == EPERM) {
                report_error(out, SV_ERR_PERMISSION_DENIED, "cannot open output file", "permission denied");
                return SV_ERR_PERMISSION_DENIED;
            }
            report_error(out, SV_ERR_OPEN_FAILED, "cannot open output file", strerror(err));
            return SV_ERR_OPEN_FAILED;
        }
        out->fd = fd;
        out->is_stdout = 0;
    }
    /* A header can be rewritten only where the file can be repositioned; standard
     * output redirected to a file qualifies, a pipe or terminal does not. */
    off_t here = lseek(out->fd, 0, SEEK_CUR);
    out->header_offset = here >= 0 ? here : -1;
    return 0;
}

/* Writes samples in the file's byte order: AIFF and Sun files hold big-endian samples. */
static size_t write_samples(file_output *out, const void *buffer, size_t bytes)
{
    if (out->format != FORMAT_AIFF && out->format != FORMAT_SUN)
        return write_all(out->fd, buffer, bytes);
    const unsigned char *src = buffer;
    unsigned char swapped[4096];
    size_t done = 0;
    while (done < bytes) {
        size_t n = bytes - done < sizeof swapped ? bytes - done : sizeof swapped;
        for (size_t i = 0; i + 1 < n; i += 2) {
            uint16_t v;
            memcpy(&v, src + done + i, 2); /* native-endian sample */
            put_be16(swapped + i, v);
        }
        size_t w = write_all(out->fd, swapped, n);
        done += w;
        if (w != n)
            break;
    }
    return done;
}

static int file_write(void *instance, const void *buffer, int bytes, int bytes_per_sample, int channels, int frequency)
{
    (void)bytes_per_sample;
    file_output *out = instance;
    if (!out || out->fd < 0 || bytes < 0 || (!buffer && bytes > 0))
        return SV_ERR_INTERNAL;
    if (!out->header_written) {
        if (channels > 0)
            out->channels = channels;
        if (frequency > 0)
            out->frequency = frequency;
        unsigned char h[HEADER_MAX];
        size_t size = build_header(h, out->format, out->channels, out->frequency, 0, 0);
        if (size > 0 && write_all(out->fd, h, size) != size) {
            int err = errno;
            /* A header that did not fit is not rewritten later either. */
            out->header_offset = -1;
            return write_failure(out, err);
        }
        out->header_written = 1;
    } else if ((channels > 0 && channels != out->channels) || (frequency > 0 && frequency != out->frequency)) {
        /* A file holds one format: samples of another rate would play at the wrong
         * speed, so the change ends the writing with a reason. */
        if (!out->write_failed) {
            char detail[128];
            snprintf(detail, sizeof detail, "the file holds %d Hz, %d channel(s); the stream changed to %d Hz, %d",
                     out->frequency, out->channels, frequency, channels);
            out->write_failed = 1;
            report_error(out, SV_ERR_UNSUPPORTED_FORMAT, "stream format changed", detail);
        }
        return SV_ERR_UNSUPPORTED_FORMAT;
    }
    size_t done = write_samples(out, buffer, (size_t)bytes);
    /* Count what reached the file, so the final header describes exactly that: on a
     * full disk whole sample frames only, cutting a partial frame off again. */
    if (done != (size_t)bytes) {
        int err = errno;
        size_t frame = (size_t)out->channels * 2;
        size_t whole = done - done % frame;
        if (whole != done && out->header_offset >= 0 && !out->is_stdout) {
            off_t end = out->header_offset + (off_t)header_size(out->format) + (off_t)(out->data_bytes + whole);
            if (ftruncate(out->fd, end) == 0)
                done = whole;
        }
        out->data_bytes += done;
        return write_failure(out, err);
    }
    out->data_bytes += done;
    return 0;
}

static int file_close(void *instance)
{
    file_output *out = instance;
    if (!out)
        return SV_ERR_INTERNAL;
    if (out->fd < 0)
        return 0;
    int result = 0;
    if (out->format != FORMAT_RAW && out->header_written && out->header_offset >= 0) {
        unsigned char h[HEADER_MAX];
        size_t size = build_header(h, out->format, out->channels, out->frequency, out->data_bytes, 1);
        if (pwrite(out->fd, h, size, out->header_offset) != (ssize_t)size)
            result = SV_ERR_WRITE_FAILED;
    }
    if (!out->is_stdout && close(out->fd) != 0 && result == 0)
        result = SV_ERR_CLOSE_FAILED;
    out->fd = -1;
    out->is_stdout = 0;
    return result;
}

static int file_destroy(void *instance)
{
    file_output *out = instance;
    if (!out)
        return SV_ERR_INTERNAL;
    file_close(out);
    free(out->name);
    free(out);
    return 0;
}

/* No get_buffer, controls or latency: the engine's fall-backs apply. */
static const sv_output_module file_output_descriptor = {
    .version = SV_MODULE_INTERFACE_VERSION,
    .probe = file_probe,
    .info = file_info,
    .create = file_create,
    .destroy = file_destroy,
    .open = file_open,
    .close = file_close,
    .write = file_write,
};

int sv_file_output_register(void *descriptor)
{
    if (!descriptor)
        return SV_ERR_INVALID_PARAMETERS;
    memcpy(descriptor, &file_output_descriptor, sizeof file_output_descriptor);
    return 0;
}

const sv_builtin_module sv_file_output_module = {
    .kind = SV_KIND_OUTPUT,
    .name = "Output To File",
    .description = "Version 1.2",
    .descriptor = &file_output_descriptor,
    .entry = sv_file_output_register,
};
