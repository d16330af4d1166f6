// Help texts of our tools: a sentence put together at run time, wrapped the way
// the fixed lines around it are.
#pragma once

#include <cstddef>
#include <sstream>
#include <string>

namespace tesk {

/// `text` broken between words into lines of at most `width` characters, each
/// starting with `indent` and ending with a newline.
inline std::string wrapText(const std::string& text, const std::string& indent, std::size_t width) {
    std::istringstream words(text);
    std::string out;
    std::string line;
    for (std::string word; words >> word;) {
        if (!line.empty() && indent.size() + line.size() + 1 + word.size() > width) {
            out += indent + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty()) out += indent + line + "\n";
    return out;
}

} // namespace tesk
