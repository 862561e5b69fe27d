/* Compiled as C so that the public header stays usable from a C program. */
#include "sonvox.h"

#include <stddef.h>

static void present(void *user, const uint32_t *pixels, int width, int height)
{
    (void)user;
    (void)pixels;
    (void)width;
    (void)height;
}

/* Called by the tests: creates an instance through C, plays nothing, frees it. */
int sonvox_c_client_round_trip(void)
{
    sv_panel panel = {present, NULL};
    int hz = -1, seconds = -1;
    if (svInitMp3(NULL, &panel, 224, 68, 32) != 1)
        return 0;
    svGetMp3Info("/nonexistent/file.mp3", &hz, &seconds);
    svFreeMp3();
    return hz == 0 && seconds == 0 && svPlayMp3("/nonexistent/file.mp3") == 0;
}
