#pragma once
// The libjpeg-turbo releases the fast road was tested with. It reaches into the library's
// internals (jpegint.h) and rebuilds parts of its behaviour, so it is compiled only against
// these (cmake/FastRoad.cmake leaves it out of a build against any other). Should the
// library found at run time behave otherwise, the check at first use (fast_road.h) turns
// the fast road off: a library upgrade costs speed, never correctness.
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>

#define TESSARINE_FIRST_TESTED_LIBJPEG_TURBO 2001005  // 2.1.5, Debian 12
#define TESSARINE_LAST_TESTED_LIBJPEG_TURBO 2001005

#if defined(LIBJPEG_TURBO_VERSION_NUMBER) &&                              \
    LIBJPEG_TURBO_VERSION_NUMBER >= TESSARINE_FIRST_TESTED_LIBJPEG_TURBO && \
    LIBJPEG_TURBO_VERSION_NUMBER <= TESSARINE_LAST_TESTED_LIBJPEG_TURBO
#define TESSARINE_TESTED_LIBJPEG_TURBO 1
#else
#define TESSARINE_TESTED_LIBJPEG_TURBO 0
#endif
