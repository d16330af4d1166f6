// The answer every tool gives to --version: its name and the project's version,
// in the form manual-page generators read.
#pragma once

#include <cstdio>
#include <string_view>

#ifndef TESK_VERSION
#error "TESK_VERSION comes from the build (the tesk_version target)"
#endif

namespace tesk {

inline void printVersion(const char* program) {
    std::printf("%s (TeskDelay) %s\n", program, TESK_VERSION);
}

/// True when the command line asks only for the version: `--version` and nothing else.
inline bool askedForVersion(int argc, char** argv) {
    return argc == 2 && std::string_view(argv[1]) == "--version";
}

} // namespace tesk
