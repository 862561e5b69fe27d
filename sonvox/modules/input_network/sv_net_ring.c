/*
 * The jitter buffer of the network input: a ring of BUFFER-SIZE bytes with MAX-PACKET-SIZE
 * spare bytes behind it, so that a receive near the ring's end can land in one piece;
 * the part that spills into the spare area is copied to the ring's start. Reads wait
 * (with -104) after an underflow until HIGH-MARK bytes are buffered, and receive
 * opportunistically every MAX-ACCU bytes or below FORCE-FILL-ZONE, so that a playing
 * stream costs few socket calls. ICY metadata blocks are taken out as the audio bytes
 * are copied out of the ring, so a title changes when the audio that follows it plays.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sonvox/engine/sv_errors.h"
#include "sonvox/modules/input_network/sv_net_internal.h"
#include "sonvox/modules/input_network/sv_net_socket.h"

int net_ring_alloc(net_input *in)
{
    free(in->ring);
    in->ring = malloc((size_t)in->buffer_size + (size_t)in->max_packet);
    net_ring_reset(in);
    return in->ring ? 0 : SV_ERR_OUT_OF_MEMORY;
}

void net_ring_reset(net_input *in)
{
    in->rpos = in->wpos = in->count = 0;
    in->underflow = in->threshold = in->accu = in->ended = 0;
    in->icy_left = in->metaint;
    in->last_data_ms = sv_net_now_ms();
}

void net_receive(net_input *in, int timeout_ms)
{
    if (in->ended || !in->recv || !in->ring)
        return;
    const int size = in->buffer_size, free_bytes = size - in->count;
    if (free_bytes < in->max_packet)
        return;
    if (in->count == 0)
        in->rpos = in->wpos = 0; /* nothing to keep: start again at the front */
    int want = in->wpos >= in->rpos ? size - in->wpos : in->rpos - in->wpos;
    if (want < in->max_packet)
        want = in->max_packet; /* the rest lands in the spare area */
    if (want > free_bytes)
        want = free_bytes;
    int n = in->recv(in->recv_ctx, in->ring + in->wpos, want, timeout_ms);
    if (n > 0) {
        if (n > want)
            n = want;
        int end = in->wpos + n;
        if (end >= size) {
            memcpy(in->ring, in->ring + size, (size_t)(end - size));
            end -= size;
        }
        in->wpos = end;
        in->count += n;
        in->last_data_ms = sv_net_now_ms();
        net_progress(in, NET_PROGRESS_FILL, (int)((int64_t)in->count * 100 / size + 1), NULL);
    } else if (n != SV_ERR_TIMEOUT) {
        in->ended = 1;
        net_progress(in, NET_PROGRESS_END, 0, "reached end of stream");
    }
}

static int ring_byte(const net_input *in, int offset)
{
    return in->ring[(in->rpos + offset) % in->buffer_size];
}

/* Moves n bytes from the ring's read position to dst (NULL: drops them). */
static void ring_take(net_input *in, unsigned char *dst, int n)
{
    while (n > 0) {
        int piece = in->buffer_size - in->rpos;
        if (piece > n)
            piece = n;
        if (dst) {
            memcpy(dst, in->ring + in->rpos, (size_t)piece);
            dst += piece;
        }
        in->rpos = (in->rpos + piece) % in->buffer_size;
        in->count -= piece;
        n -= piece;
    }
}

/* Audio bytes that can be copied out now: all buffered bytes, less the ICY metadata
 * blocks among them; a block that has not fully arrived ends the count before it.
 * Counting stops once `want` is reached. */
static int audio_available(const net_input *in, int want)
{
    if (in->metaint <= 0)
        return in->count;
    int avail = 0, offset = 0, left = in->icy_left;
    for (;;) {
        int take = in->count - offset;
        if (take > left)
            take = left;
        avail += take;
        offset += take;
        if (avail >= want || offset >= in->count)
            return avail;
        int block = 1 + 16 * ring_byte(in, offset);
        if (offset + block > in->count)
            return avail;
        offset += block;
        left = in->metaint;
    }
}

void net_icy_metadata(const net_input *in, const char *text, int size)
{
    char pair[NET_ICY_META_MAX + 1], name[NET_ICY_META_MAX + 8];
    int start = 0;
    for (int i = 0; i <= size; i++) {
        if (i < size && text[i] != ';' && text[i] != '\0')
            continue;
        int n = i - start;
        memcpy(pair, text + start, (size_t)n);
        pair[n] = '\0';
        char *eq = strchr(pair, '=');
        if (eq && eq != pair) {
            *eq = '\0';
            snprintf(name, sizeof name, "icy/%s", pair);
            net_set_property(in, name, eq + 1);
        }
        if (i < size && text[i] == '\0')
            break; /* the block is padded with zeros */
        start = i + 1;
    }
}

/* Copies size audio bytes (audio_available() said they are there), taking out each
 * metadata block met on the way. */
static void copy_out(net_input *in, unsigned char *dst, int size)
{
    while (size > 0) {
        if (in->metaint > 0 && in->icy_left == 0) {
            unsigned char length = 0;
            ring_take(in, &length, 1);
            if (length > 0) {
                char text[NET_ICY_META_MAX];
                ring_take(in, (unsigned char *)text, 16 * length);
                net_icy_metadata(in, text, 16 * length);
            }
            in->icy_left = in->metaint;
            continue;
        }
        int n = size;
        if (in->metaint > 0 && n > in->icy_left)
            n = in->icy_left;
        ring_take(in, dst, n);
        dst += n;
        size -= n;
        if (in->metaint > 0)
            in->icy_left -= n;
    }
}

static int refill_percent(const net_input *in)
{
    return (int)((int64_t)in->count * 100 / (in->high_mark > 0 ? in->high_mark : 1) + 1);
}

int net_read(net_input *in, void *buffer, int size)
{
    if (!in || !in->open || !in->ring || size < 0 || (!buffer && size > 0))
        return SV_ERR_INTERNAL;
    if (size == 0)
        return 0;
    if (size > in->buffer_size - in->max_packet)
        return SV_ERR_INVALID_PARAMETERS; /* could never be buffered at once */
    int refilling = 0;
    int avail = audio_available(in, size);
    if (in->count < in->threshold || avail < size) {
        refilling = 1;
        if (!in->underflow) {
            in->underflow = 1;
            in->threshold = in->high_mark;
            net_progress(in, NET_PROGRESS_UNDERFLOW, 0, "buffer underflow");
        }
        if (!in->ended) {
            net_receive(in, in->read_timeout);
            avail = audio_available(in, size);
            if ((in->count < in->threshold || avail < size) && !in->ended) {
                if (sv_net_now_ms() - in->last_data_ms >= (int64_t)in->read_timeout * NET_STALL_TIMEOUTS) {
                    /* Silent for too long: a dead stream must not hold up the player. */
                    in->ended = 1;
                    net_debug(in, 0, "connection failed", "stream stopped sending");
                    if (in->decoder && in->decoder->error)
                        in->decoder->error(in->decoder->engine, in->entry ? in->entry->id : 1, SV_ERR_SOCKET_CLOSED,
                                           "socket closed", "stream stopped sending");
                    net_progress(in, NET_PROGRESS_END, 0, "reached end of stream");
                    return SV_ERR_SOCKET_CLOSED;
                }
                net_progress(in, NET_PROGRESS_REFILL, refill_percent(in), NULL);
                return SV_ERR_TIMEOUT;
            }
        }
        if (in->ended && avail < size)
            return SV_ERR_END_OF_STREAM;
    }
    if (in->underflow) {
        in->underflow = 0;
        in->threshold = 0;
        net_progress(in, NET_PROGRESS_REFILL, 100, NULL);
        net_progress(in, NET_PROGRESS_REFILLED, 0, "buffer refilled");
    }
    copy_out(in, buffer, size);
    if (!refilling) {
        if (in->accu > in->max_accu || in->count < in->force_fill) {
            net_receive(in, 0);
            in->accu = 0;
        } else {
            in->accu += size;
        }
    }
    return size;
}
