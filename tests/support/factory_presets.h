// What hosts show of the factory programs, written out as the tests expect it:
// the programs' names and the numbered labels of the presets LV2 and CLAP hosts list.
#pragma once

#include <array>
#include <string>

namespace tesk::test {

/// The names of programs 0 to 11, the factory programs.
inline const std::array<std::string, 12> kFactoryProgramNames = {
    "Simple single echo", "Simple multiple echo", "Multiple with EQ",
    "Stereo spread",      "Stereo spread 2",      "Simple rythm",
    "Long rythm",         "Metalic sound",        "Ping pong",
    "Ice echo",           "Low fi echo",          "Crescendo echo"};

/// The presets' labels in their order: the factory programs, then the neutral one,
/// numbered so that a list sorted by name keeps that order.
inline const std::array<std::string, 13> kPresetLabels = {"01 Simple single echo",
                                                          "02 Simple multiple echo",
                                                          "03 Multiple with EQ",
                                                          "04 Stereo spread",
                                                          "05 Stereo spread 2",
                                                          "06 Simple rythm",
                                                          "07 Long rythm",
                                                          "08 Metalic sound",
                                                          "09 Ping pong",
                                                          "10 Ice echo",
                                                          "11 Low fi echo",
                                                          "12 Crescendo echo",
                                                          "13 Init"};

} // namespace tesk::test
