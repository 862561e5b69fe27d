/* The audio library reaching into the program: the layer check must refuse this tree. */
#include "core/clock.h"
