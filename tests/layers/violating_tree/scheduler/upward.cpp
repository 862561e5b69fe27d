// An include that points up: the layer check must refuse this tree.
#include "app/main_window.h"
