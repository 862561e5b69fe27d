/*
 * The process-wide volume word: one gain that every sound the process makes is
 * multiplied by (the library's sound-card output applies it to what it writes). It
 * stands in for the sound card's own volume, so the program's sliders work without
 * touching the system mixer.
 *
 * Layout: left channel in the low 16 bits, right channel in the high 16 bits; 0xFFFF is
 * full level, 0 silence. The initial word is 0xFFFFFFFF. Both functions are atomic and
 * may be called from any thread; a change reaches the sound within the output's buffer
 * time.
 */
#ifndef SONVOX_MODULES_OUTPUT_ALSA_SV_VOLUME_H
#define SONVOX_MODULES_OUTPUT_ALSA_SV_VOLUME_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

void sv_volume_word_set(uint32_t word);
uint32_t sv_volume_word_get(void);

#ifdef __cplusplus
}
#endif

#endif
