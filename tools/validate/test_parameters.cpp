// Parameters and programs: changed from several threads while audio runs, and
// the texts that name and show them.
#include "canary_buffer.h"
#include "plugin.h"
#include "random_values.h"
#include "tests.h"

#include <atomic>
#include <cmath>
#include <map>
#include <thread>

namespace tesk::validate {

namespace {

/// The most a text may take, terminator included: hosts commonly give 64 bytes.
constexpr std::size_t kSaneTextBytes = 64;
/// Parameter sets between two program changes in the threaded test.
constexpr int kSetsPerProgramChange = 500;

/// A kind of text and the buffer size the interface documents for it.
struct TextKind {
    const char* what;
    std::size_t documentedBytes;
};

constexpr TextKind kParameterName{"parameter names", 8};
constexpr TextKind kParameterLabel{"parameter labels", 8};
constexpr TextKind kParameterDisplay{"parameter displays", 8};
constexpr TextKind kProgramName{"program names", 24};
constexpr TextKind kEffectName{"effect names", 32};
constexpr TextKind kVendor{"vendor strings", 64};
constexpr TextKind kProduct{"product strings", 64};

/// Texts longer than documented, per kind: hosts that keep to the documented
/// sizes cut them short, which is worth a warning but not a failure.
class LongTexts {
  public:
    void note(const TextKind& kind, const std::string& text);
    /// Adds one warning per kind with long texts.
    void warn(Context& context) const;

  private:
    struct Tally {
        std::size_t documentedBytes = 0;
        int seen = 0;
        int longer = 0;
        std::string longest;
    };
    std::map<std::string, Tally> tallies_;
};

void LongTexts::note(const TextKind& kind, const std::string& text) {
    Tally& tally = tallies_[kind.what];
    tally.documentedBytes = kind.documentedBytes;
    ++tally.seen;
    if (text.size() + 1 <= kind.documentedBytes) return;
    ++tally.longer;
    if (text.size() > tally.longest.size()) tally.longest = text;
}

void LongTexts::warn(Context& context) const {
    for (const auto& [what, tally] : tallies_) {
        if (tally.longer == 0) continue;
        context.warn(std::to_string(tally.longer) + " of " + std::to_string(tally.seen) + " " +
                     what + " are longer than the " + std::to_string(tally.documentedBytes) +
                     " bytes the interface documents (longest '" + tally.longest + "', " +
                     std::to_string(tally.longest.size() + 1) +
                     " bytes): hosts that keep to it cut them short");
    }
}

/// The text an opcode writes, read through a guarded buffer; fails when the
/// plug-in writes outside it, leaves it unterminated or writes more than is sane.
std::string readText(const Plugin& plugin, std::int32_t opcode, std::int32_t index,
                     const std::string& what, Context& context) {
    context.doing("reading the " + what);
    CanaryBuffer buffer;
    buffer.fillUnterminated();
    plugin.instance().dispatch(opcode, index, 0, buffer.data());
    std::string damage = buffer.damage();
    if (!damage.empty()) fail("the " + what + ": " + damage);
    std::optional<std::string> text = buffer.text();
    if (!buffer.changed()) return {};
    if (!text) fail("the " + what + " has no terminating zero within 512 bytes");
    if (text->size() + 1 > kSaneTextBytes)
        fail("the " + what + " '" + *text + "' takes " + std::to_string(text->size() + 1) +
             " bytes, more than the " + std::to_string(kSaneTextBytes) + " hosts give");
    return *text;
}

/// Reads a text twice and fails when the answers differ.
std::string stableText(const Plugin& plugin, std::int32_t opcode, std::int32_t index,
                       const TextKind& kind, const std::string& what, LongTexts& longTexts,
                       Context& context) {
    std::string first = readText(plugin, opcode, index, what, context);
    std::string second = readText(plugin, opcode, index, what, context);
    if (first != second)
        fail("the " + what + " changed between two readings: '" + first + "', then '" + second +
             "'");
    longTexts.note(kind, first);
    return first;
}

std::string parameterWhat(const char* text, std::int32_t index) {
    return std::string(text) + " of parameter " + std::to_string(index);
}

void checkParameterTexts(const Plugin& plugin, LongTexts& longTexts, Context& context) {
    for (std::int32_t i = 0; i < plugin.parameters(); ++i) {
        stableText(plugin, effGetParamName, i, kParameterName, parameterWhat("name", i), longTexts,
                   context);
        stableText(plugin, effGetParamLabel, i, kParameterLabel, parameterWhat("label", i),
                   longTexts, context);
        stableText(plugin, effGetParamDisplay, i, kParameterDisplay, parameterWhat("display", i),
                   longTexts, context);
    }
}

/// Shows each parameter at 0, a half and 1, then puts its value back.
void checkDisplays(const Plugin& plugin, LongTexts& longTexts, Context& context) {
    for (std::int32_t i = 0; i < plugin.parameters(); ++i) {
        float original = plugin.instance().getParameter(i);
        for (float value : {0.0f, 0.5f, 1.0f}) {
            context.doing("setting parameter " + std::to_string(i) + " to " +
                          std::to_string(value));
            plugin.instance().setParameter(i, value);
            stableText(plugin, effGetParamDisplay, i, kParameterDisplay,
                       parameterWhat("display", i) + " at " + std::to_string(value), longTexts,
                       context);
        }
        plugin.instance().setParameter(i, original);
    }
}

void checkProgramNames(const Plugin& plugin, LongTexts& longTexts, Context& context) {
    for (std::int32_t p = 0; p < plugin.programs(); ++p) {
        std::string what = "name of program " + std::to_string(p);
        context.doing("selecting program " + std::to_string(p));
        plugin.instance().dispatch(effSetProgram, 0, p);
        VstIntPtr current = plugin.instance().dispatch(effGetProgram);
        if (current != p)
            fail("effGetProgram answered " + std::to_string(current) + " after effSetProgram " +
                 std::to_string(p));
        std::string name =
            stableText(plugin, effGetProgramName, 0, kProgramName, what, longTexts, context);
        std::string indexed = stableText(plugin, effGetProgramNameIndexed, p, kProgramName,
                                         "indexed " + what, longTexts, context);
        // Hosts show either; plug-ins may decorate the selected one (a number
        // after a default name, say), so a difference is worth a note only.
        if (!indexed.empty() && indexed != name)
            context.warn("program " + std::to_string(p) + " is '" + name + "' when selected but '" +
                         indexed + "' by effGetProgramNameIndexed");
    }
}

/// Sets parameters to random values, every one in turn, with a program change
/// now and then, until `done`; `stride` 1 walks up, -1 walks down. Returns the sets made.
long setRandomly(const Plugin& plugin, int stride, std::uint64_t seed,
                 const std::atomic<bool>& done) {
    std::mt19937_64 random(seed);
    std::int32_t count = plugin.parameters();
    long sets = 0;
    for (; !done.load() || sets < count; ++sets) {
        if (count > 0) {
            auto index = static_cast<std::int32_t>(((sets * stride) % count + count) % count);
            plugin.instance().setParameter(index, randomFloat(random));
        }
        if (plugin.programs() > 0 && sets % kSetsPerProgramChange == 0) {
            VstIntPtr program = static_cast<VstIntPtr>(random() % plugin.programs());
            plugin.instance().dispatch(effSetProgram, 0, program);
        }
    }
    return sets;
}

/// Processes `blocks` blocks of noise; returns the first damaged guard, or empty.
std::string processFor(Plugin& plugin, int blocks, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    AudioBuffers buffers(plugin.inputs(), plugin.outputs(), kBlock);
    for (int block = 0; block < blocks; ++block) {
        plugin.process(buffers, kBlock, Signal::quietNoise, random);
        std::string guard = buffers.damagedGuard();
        if (!guard.empty()) return "block " + std::to_string(block) + ": " + guard;
    }
    return {};
}

/// Fails when a parameter reads back as no finite number; warns outside [0, 1].
void checkValues(const Plugin& plugin, Context& context) {
    int outside = 0;
    for (std::int32_t i = 0; i < plugin.parameters(); ++i) {
        context.doing("reading parameter " + std::to_string(i));
        float value = plugin.instance().getParameter(i);
        if (!std::isfinite(value))
            fail("parameter " + std::to_string(i) + " reads back as " + std::to_string(value));
        outside += value < 0.0f || value > 1.0f;
    }
    if (outside > 0)
        context.warn(std::to_string(outside) + " parameters read back outside 0 to 1, the " +
                     "range the interface gives parameter values");
}

} // namespace

std::string parameterThreads(Context& context) {
    std::unique_ptr<Plugin> plugin = Plugin::open(context.path());
    plugin->start(kRate, kBlock);
    int blocks = context.scaled(1000);
    std::uint64_t seeds[3] = {context.random()(), context.random()(), context.random()()};
    std::atomic<bool> done{false};
    long sets[2] = {0, 0};
    context.doing("setting parameters from two threads while a third processes");
    std::thread up([&] { sets[0] = setRandomly(*plugin, 1, seeds[0], done); });
    std::thread down([&] { sets[1] = setRandomly(*plugin, -1, seeds[1], done); });
    std::string fault = processFor(*plugin, blocks, seeds[2]);
    done = true;
    up.join();
    down.join();
    if (!fault.empty()) fail("processing while parameters changed, " + fault);
    checkValues(*plugin, context);
    LongTexts longTexts;
    checkParameterTexts(*plugin, longTexts, context);
    readText(*plugin, effGetProgramName, 0, "current program's name", context);
    return std::to_string(sets[0]) + " and " + std::to_string(sets[1]) + " random values (NaN, " +
           "+-infinity, negative, huge among them) from two threads, a program change every " +
           std::to_string(kSetsPerProgramChange) + ", while a third processed " +
           std::to_string(blocks) + " blocks: guards intact; afterwards every parameter finite, " +
           "its texts terminated";
}

std::string texts(Context& context) {
    std::unique_ptr<Plugin> plugin = Plugin::open(context.path());
    plugin->start(kRate, kBlock);
    LongTexts longTexts;
    stableText(*plugin, effGetEffectName, 0, kEffectName, "effect name", longTexts, context);
    stableText(*plugin, effGetVendorString, 0, kVendor, "vendor string", longTexts, context);
    stableText(*plugin, effGetProductString, 0, kProduct, "product string", longTexts, context);
    checkProgramNames(*plugin, longTexts, context);
    checkParameterTexts(*plugin, longTexts, context);
    checkDisplays(*plugin, longTexts, context);
    longTexts.warn(context);
    return std::to_string(plugin->programs()) + " program names (selected and indexed), " +
           std::to_string(plugin->parameters()) + " parameters' names, labels and displays (also " +
           "at 0, 0.5 and 1), module names: each the same twice, terminated, within " +
           std::to_string(kSaneTextBytes) + " bytes";
}

} // namespace tesk::validate
