/* "Input From File": a stream read from a file or from standard input ("-"). */
#include "sonvox/modules/input_file/sv_file_input.h"

#include <errno.h>
#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/engine/sv_module.h"

/* Debug level of the reports this module sends. */
#define REPORT_LEVEL 1

static const char *const id3v1_genres[SV_ID3V1_GENRE_COUNT] = {
    "Blues",
    "Classic Rock",
    "Country",
    "Dance",
    "Disco",
    "Funk",
    "Grunge",
    "Hip-Hop",
    "Jazz",
    "Metal",
    "New Age",
    "Oldies",
    "Other",
    "Pop",
    "R&B",
    "Rap",
    "Reggae",
    "Rock",
    "Techno",
    "Industrial",
    "Alternative",
    "Ska",
    "Death Metal",
    "Pranks",
    "Soundtrack",
    "Euro-Techno",
    "Ambient",
    "Trip-Hop",
    "Vocal",
    "Jazz+Funk",
    "Fusion",
    "Trance",
    "Classical",
    "Instrumental",
    "Acid",
    "House",
    "Game",
    "Sound Clip",
    "Gospel",
    "Noise",
    "AlternRock",
    "Bass",
    "Soul",
    "Punk",
    "Space",
    "Meditative",
    "Instrumental Pop",
    "Instrumental Rock",
    "Ethnic",
    "Gothic",
    "Darkwave",
    "Techno-Industrial",
    "Electronic",
    "Pop-Folk",
    "Eurodance",
    "Dream",
    "Southern Rock",
    "Comedy",
    "Cult",
    "Gangsta",
    "Top 40",
    "Christian Rap",
    "Pop/Funk",
    "Jungle",
    "Native American",
    "Cabaret",
    "New Wave",
    "Psychadelic",
    "Rave",
    "Showtunes",
    "Trailer",
    "Lo-Fi",
    "Tribal",
    "Acid Punk",
    "Acid Jazz",
    "Polka",
    "Retro",
    "Musical",
    "Rock & Roll",
    "Hard Rock",
};

const char *sv_id3v1_genre(int index)
{
    if (index < 0 || index >= SV_ID3V1_GENRE_COUNT)
        return NULL;
    return id3v1_genres[index];
}

typedef struct file_input
{
    char *name;             /* owned copy of the input name */
    sv_module_entry *entry; /* our registry entry (report source) */
    sv_decoder *decoder;
    FILE *file; /* NULL while closed; stdin for "-" */
    int is_stdin;
    /* The last bytes of the stream, fewer than a read asked for: that read answered 0
     * (the end), and later, smaller reads get them, as a seekable file would give them. */
    unsigned char *tail;
    size_t tail_at, tail_end;
} file_input;

static int source_id(const file_input *in)
{
    return in->entry ? in->entry->id : 0;
}

static void report_debug(const file_input *in, const char *text, const char *detail)
{
    if (in->decoder && in->decoder->debug)
        in->decoder->debug(in->decoder->engine, source_id(in), REPORT_LEVEL, text, detail);
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
        set_text(info->name, sizeof info->name, sv_file_input_module.name);
        set_text(info->description, sizeof info->description, sv_file_input_module.description);
    }
    if (flags & SV_INFO_DEVICE_COUNT)
        info->count = 2;
    if (flags & SV_INFO_DEVICE) {
        switch (info->count) {
        case 0:
            set_text(info->name, sizeof info->name, "any file name");
            info->description[0] = '\0';
            info->flags = 1;
            break;
        case 1:
            set_text(info->name, sizeof info->name, "standard input");
            info->description[0] = '\0';
            info->flags = 0;
            break;
        default: return SV_ERR_INVALID_PARAMETERS;
        }
    }
    return 0;
}

static int file_create(void **instance, const char *name, sv_module_entry *entry, sv_decoder *decoder)
{
    if (!instance || !name || !name[0]) {
        if (decoder && decoder->debug)
            decoder->debug(decoder->engine, entry ? entry->id : 0, REPORT_LEVEL, "internal error",
                           "null params or null/empty input name");
        return SV_ERR_INVALID_PARAMETERS;
    }
    file_input *in = calloc(1, sizeof *in);
    if (!in)
        return SV_ERR_OUT_OF_MEMORY;
    in->name = strdup(name);
    if (!in->name) {
        free(in);
        return SV_ERR_OUT_OF_MEMORY;
    }
    in->entry = entry;
    in->decoder = decoder;
    *instance = in;
    return 0;
}

static int file_close(void *instance)
{
    file_input *in = instance;
    if (!in)
        return SV_ERR_INTERNAL;
    if (in->file && !in->is_stdin)
        fclose(in->file);
    in->file = NULL;
    in->is_stdin = 0;
    free(in->tail);
    in->tail = NULL;
    in->tail_at = in->tail_end = 0;
    return 0;
}

static int file_destroy(void *instance)
{
    file_input *in = instance;
    if (!in)
        return SV_ERR_INTERNAL;
    file_close(in);
    free(in->name);
    free(in);
    return 0;
}

static int ends_with_mp3(const char *name)
{
    size_t len = strlen(name);
    return len > 4 && strcmp(name + len - 4, ".mp3") == 0;
}

/* Copies a fixed-width tag field into a terminated string without trailing spaces. */
static void tag_field(char *out, const unsigned char *field, size_t width)
{
    size_t n = 0;
    while (n < width && field[n] != '\0')
        n++;
    memcpy(out, field, n);
    while (n > 0 && out[n - 1] == ' ')
        n--;
    out[n] = '\0';
}

/* True when the text is well-formed UTF-8. */
static int is_utf8(const unsigned char *p)
{
    while (*p) {
        int extra = *p < 0x80 ? 0 : (*p & 0xE0) == 0xC0 ? 1 : (*p & 0xF0) == 0xE0 ? 2 : (*p & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || (extra == 1 && *p < 0xC2))
            return 0;
        p++;
        for (int i = 0; i < extra; i++, p++)
            if ((*p & 0xC0) != 0x80)
                return 0;
    }
    return 1;
}

/* Converts `text` from `charset` to UTF-8 into out (size bytes); 0 on success. */
static int to_utf8(const char *charset, const char *text, char *out, size_t size)
{
    iconv_t cd = iconv_open("UTF-8", charset);
    if (cd == (iconv_t)-1)
        return SV_ERR_UNSUPPORTED_FORMAT;
    char *in = (char *)text;
    size_t in_left = strlen(text), out_left = size - 1;
    char *o = out;
    size_t r = iconv(cd, &in, &in_left, &o, &out_left);
    iconv_close(cd);
    if (r == (size_t)-1 || in_left != 0)
        return SV_ERR_UNSUPPORTED_FORMAT;
    *o = '\0';
    return 0;
}

/* Tag fields carry no character set: UTF-8 is kept, anything else is read as
 * GB18030 (tags written on Chinese Windows), and failing that as Latin-1, so the
 * property always holds UTF-8 text. */
static void tag_text_utf8(const char *raw, char *out, size_t size)
{
    if (!is_utf8((const unsigned char *)raw)
        && (to_utf8("GB18030", raw, out, size) == 0 || to_utf8("ISO-8859-1", raw, out, size) == 0))
        return;
    snprintf(out, size, "%s", raw);
}

/* Publishes the ID3v1 tag at the end of the file, when there is one, as stream
 * properties; leaves the file positioned at its start. */
static void read_id3v1(file_input *in)
{
    unsigned char tag[128];
    if (fseeko(in->file, -128, SEEK_END) != 0) {
        rewind(in->file);
        return;
    }
    size_t got = fread(tag, 1, sizeof tag, in->file);
    rewind(in->file);
    if (got != sizeof tag || memcmp(tag, "TAG", 3) != 0)
        return;
    sv_stream_info *stream = in->decoder ? in->decoder->stream : NULL;
    if (!stream || !stream->properties)
        return;

    static const struct
    {
        const char *name;
        size_t offset, width;
    } fields[] = {
        {"id3/title", 3, 30}, {"id3/artist", 33, 30},  {"id3/album", 63, 30},
        {"id3/year", 93, 4},  {"id3/comment", 97, 30},
    };
    char raw[31], text[128];
    for (size_t i = 0; i < sizeof fields / sizeof fields[0]; i++) {
        tag_field(raw, tag + fields[i].offset, fields[i].width);
        tag_text_utf8(raw, text, sizeof text);
        sv_props_set_string(stream->properties, fields[i].name, text);
    }
    const char *genre = sv_id3v1_genre(tag[127]);
    if (genre)
        sv_props_set_string(stream->properties, "id3/genre", genre);
    stream->changed |= SV_STREAM_PROPERTIES_CHANGED;
}

static int open_failure(file_input *in, int err)
{
    switch (err) {
    case ENOENT: report_debug(in, "cannot open input file", "file not found"); return SV_ERR_NO_SUCH_FILE;
    case EACCES:
    case EPERM: report_debug(in, "cannot open input file", "permission denied"); return SV_ERR_PERMISSION_DENIED;
    default: report_debug(in, "cannot open input file", strerror(err)); return SV_ERR_OPEN_FAILED;
    }
}

static int file_open(void *instance)
{
    file_input *in = instance;
    if (!in)
        return SV_ERR_INTERNAL;
    if (in->file)
        file_close(in);
    if (strcmp(in->name, "-") == 0) {
        in->file = stdin;
        in->is_stdin = 1;
        return 0;
    }
    FILE *f = fopen(in->name, "rb");
    if (!f)
        return open_failure(in, errno);
    /* Opening a folder for reading succeeds on Linux; every read would then fail. */
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        fclose(f);
        return open_failure(in, EISDIR);
    }
    in->file = f;
    if (ends_with_mp3(in->name))
        read_id3v1(in);
    return 0;
}

static int file_read(void *instance, void *buffer, int size)
{
    file_input *in = instance;
    if (!in || !in->file || size < 0 || (!buffer && size > 0))
        return SV_ERR_INTERNAL;
    if (size == 0)
        return 0;
    unsigned char *out = buffer;
    size_t have = in->tail_end - in->tail_at;
    if (have > 0) {
        if (have < (size_t)size)
            return 0;
        memcpy(out, in->tail + in->tail_at, (size_t)size);
        in->tail_at += (size_t)size;
        return size;
    }
    size_t got = fread(out, 1, (size_t)size, in->file);
    if (got == (size_t)size)
        return size;
    if (ferror(in->file)) {
        clearerr(in->file);
        return SV_ERR_READ_FAILED;
    }
    /* Fewer bytes than asked for remain: the end of the stream (also for a file that
     * shrank while it was read, or standard input that closed). They are kept for a
     * smaller read, so that a pipe gives every byte a file gives. */
    clearerr(in->file);
    if (got > 0) {
        unsigned char *keep = realloc(in->tail, got);
        if (keep) {
            memcpy(keep, out, got);
            in->tail = keep;
            in->tail_at = 0;
            in->tail_end = got;
        }
    }
    return 0;
}

static int file_seek(void *instance, int64_t offset)
{
    file_input *in = instance;
    if (!in || !in->file || offset < 0)
        return SV_ERR_INVALID_PARAMETERS;
    if (in->is_stdin)
        return SV_ERR_READ_FAILED; /* standard input cannot seek */
    in->tail_at = in->tail_end = 0;
    return fseeko(in->file, (off_t)offset, SEEK_SET) == 0 ? 0 : SV_ERR_READ_FAILED;
}

static int file_capabilities(void *instance)
{
    file_input *in = instance;
    if (!in || !in->file || in->is_stdin)
        return 0;
    return SV_INPUT_CAP_SEEKABLE;
}

static int64_t file_size(void *instance)
{
    file_input *in = instance;
    struct stat st;
    if (!in || !in->file || in->is_stdin || fstat(fileno(in->file), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return (int64_t)st.st_size;
}

static const sv_input_module file_input_descriptor = {
    .version = SV_MODULE_INTERFACE_VERSION,
    .probe = file_probe,
    .info = file_info,
    .create = file_create,
    .destroy = file_destroy,
    .open = file_open,
    .close = file_close,
    .read = file_read,
    .seek = file_seek,
    .get_capabilities = file_capabilities,
    .get_size = file_size,
};

int sv_file_input_register(void *descriptor)
{
    if (!descriptor)
        return SV_ERR_INVALID_PARAMETERS;
    memcpy(descriptor, &file_input_descriptor, sizeof file_input_descriptor);
    return 0;
}

const sv_builtin_module sv_file_input_module = {
    .kind = SV_KIND_INPUT,
    .name = "Input From File",
    .description = "Version 1.2",
    .descriptor = &file_input_descriptor,
    .entry = sv_file_input_register,
};
