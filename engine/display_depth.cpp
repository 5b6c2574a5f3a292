#include "engine/display_depth.h"

namespace {
int display_depth = 24;
}

int DisplayDepth() { return display_depth; }
void SetDisplayDepth(int bits_per_pixel) { display_depth = bits_per_pixel; }
