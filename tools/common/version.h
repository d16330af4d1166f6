// The answer every tool gives to --version: its name and the project's version,
// in the form manual-page generators read.
#pragma once

#include <cstdio>

#ifndef TESK_VERSION
#error "TESK_VERSION comes from the build (the tesk_version target)"
#endif

namespace tesk {

inline void printVersion(const char* program) {
    std::printf("%s (TeskDelay) %s\n", program, TESK_VERSION);
}

} // namespace tesk
