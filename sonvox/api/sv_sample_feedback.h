// The "Sample Feedback Module": a feedback-handler module with three handlers
// ("sample-spectrum", "sample-vu", "sample-oscilloscope") that draw into a panel.
//
// A panel reaches the feedback thread as a number: the client registers its panel
// here (sv_panel_table_add) and sets the feedback environment integer
// CLIENT.FEEDBACK-WINDOW to that number; the module's new() looks it up.
#ifndef SONVOX_API_SV_SAMPLE_FEEDBACK_H
#define SONVOX_API_SV_SAMPLE_FEEDBACK_H

#include "sonvox.h"
#include "sonvox/engine/sv_module.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SV_FEEDBACK_WINDOW_VARIABLE "CLIENT.FEEDBACK-WINDOW"

// Entry point: fills a zeroed sv_feedback_module. Always returns 0.
int sv_sample_feedback_register(void *descriptor);

// Registers a copy of the panel with the picture size and spectrum band count; returns
// its number (> 0), or 0 when the panel is NULL or has no callback (no picture).
// Thread-safe.
int sv_panel_table_add(const sv_panel *panel, int width, int height, int bands);
// Forgets the panel; views created from it keep their own copy. Thread-safe.
void sv_panel_table_remove(int id);

#ifdef __cplusplus
}
#endif

#endif
