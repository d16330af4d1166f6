#include "name_match.h"

#include <algorithm>
#include <cctype>
#include <numeric>

namespace tesk::render {

namespace {

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

/// Levenshtein distance ignoring case, with one row of memory.
std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t above = row[j];
            std::size_t substitution = diagonal + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1);
            row[j] = std::min({above + 1, row[j - 1] + 1, substitution});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

std::vector<std::string> closestNames(std::string_view wanted,
                                      const std::vector<std::string>& names, std::size_t count) {
    std::vector<std::pair<std::size_t, std::string>> ranked;
    for (const std::string& name : names) {
        if (!name.empty()) ranked.emplace_back(editDistance(wanted, name), name);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::string> nearest;
    for (std::size_t i = 0; i < ranked.size() && nearest.size() < count; ++i) {
        if (std::find(nearest.begin(), nearest.end(), ranked[i].second) == nearest.end()) {
            nearest.push_back(ranked[i].second);
        }
    }
    return nearest;
}

std::string quotedList(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
        text += "'" + names[i] + "'";
    }
    return text;
}

} // namespace tesk::render
