#include "context.h"

#include <algorithm>
#include <cmath>

namespace tesk::validate {

namespace {

/// FNV-1a: the same number for a name on every build, unlike std::hash.
std::uint64_t nameHash(const std::string& name) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : name)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

} // namespace

void fail(const std::string& saw) {
    throw Failure(saw);
}

Context::Context(const Options& options, const std::string& testName, Report& report)
    : options_(options), report_(report), random_(options.seed.value_or(0) ^ nameHash(testName)) {}

int Context::scaled(int nominal) const {
    return std::max(1, static_cast<int>(std::lround(nominal * options_.strictness / 5.0)));
}

double Context::scaledSeconds(double nominal) const {
    return nominal * options_.strictness / 5.0;
}

std::int64_t Context::between(std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(random_);
}

void Context::doing(const std::string& what) {
    copyText(report_.doing, what);
}

void Context::warn(const std::string& note) {
    std::string all = report_.warnings;
    copyText(report_.warnings, all + note + "\n");
}

} // namespace tesk::validate
