#include "listing.h"

#include <algorithm>

namespace tesk::render {

namespace {

void printHeader(const Plugin& plugin, std::FILE* out) {
    std::string vendor = plugin.vendor();
    std::fprintf(out, "%s%s: %d input(s), %d output(s)\n", plugin.name().c_str(),
                 vendor.empty() ? "" : (" by " + vendor).c_str(), plugin.inputs(),
                 plugin.outputs());
}

void printPrograms(const Plugin& plugin, std::FILE* out) {
    std::vector<ProgramEntry> programs = plugin.programs();
    if (programs.empty()) {
        std::fprintf(out, "\nPrograms: none\n");
        return;
    }
    int current = plugin.currentProgram();
    std::fprintf(out, "\nPrograms (%zu, * current):\n", programs.size());
    for (const ProgramEntry& program : programs) {
        std::fprintf(out, " %c%3d  %s\n", program.index == current ? '*' : ' ', program.index,
                     program.shownName.c_str());
    }
}

void printParameters(const Plugin& plugin, std::FILE* out) {
    std::vector<ParameterEntry> parameters = plugin.parameters();
    std::size_t width = 4;
    for (const ParameterEntry& parameter : parameters)
        width = std::max(width, parameter.name.size());
    std::fprintf(out, "\nParameters (%zu):\n  %5s  %-*s  %-11s  %s\n", parameters.size(), "index",
                 static_cast<int>(width), "name", "value", "display and label");
    for (const ParameterEntry& parameter : parameters) {
        std::fprintf(out, "  %5d  %-*s  %-11.6g  %s %s\n", parameter.index, static_cast<int>(width),
                     parameter.name.c_str(), static_cast<double>(parameter.value),
                     parameter.display.c_str(), parameter.label.c_str());
    }
}

} // namespace

void printListing(const Plugin& plugin, std::FILE* out) {
    printHeader(plugin, out);
    printPrograms(plugin, out);
    printParameters(plugin, out);
}

} // namespace tesk::render
