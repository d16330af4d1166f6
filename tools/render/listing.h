// The --list report: what a plug-in is, its programs and its parameters.
#pragma once

#include "plugin.h"

#include <cstdio>

namespace tesk::render {

/// Prints the plug-in's description, programs and parameters to `out`.
void printListing(const Plugin& plugin, std::FILE* out);

} // namespace tesk::render
