// Matching names typed on the command line against the names a plug-in gives.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tesk::render {

/// True when `a` and `b` are equal ignoring ASCII case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

/// Up to `count` of `names`, nearest to `wanted` first by edit distance ignoring case.
std::vector<std::string> closestNames(std::string_view wanted,
                                      const std::vector<std::string>& names, std::size_t count = 3);

/// The names joined as 'a', 'b' or 'c' for a message.
std::string quotedList(const std::vector<std::string>& names);

} // namespace tesk::render
