/* The process-wide volume word. */
#include "sonvox/modules/output_alsa/sv_volume.h"

#include <stdatomic.h>

static _Atomic uint32_t volume_word = 0xFFFFFFFFu;

void sv_volume_word_set(uint32_t word)
{
    atomic_store_explicit(&volume_word, word, memory_order_relaxed);
}

uint32_t sv_volume_word_get(void)
{
    return atomic_load_explicit(&volume_word, memory_order_relaxed);
}
