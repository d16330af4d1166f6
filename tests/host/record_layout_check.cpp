// Compiled for 32 bits by the test suite: the interface header asserts every
// offset of the record for the pointer width it is built with.
#include "vst2.h"

static_assert(sizeof(void*) == 4, "build this check with -m32");
