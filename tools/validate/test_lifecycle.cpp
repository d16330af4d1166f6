// The module's life: loading, the record it gives, and many instances at once.
#include "plugin.h"
#include "tests.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

namespace tesk::validate {

namespace {

/// A unique ID as four characters when they are printable, else as a number.
std::string idText(std::int32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text += static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
    bool printable = std::all_of(text.begin(), text.end(), [](char c) {
        return std::isprint(static_cast<unsigned char>(c));
    });
    return printable ? "'" + text + "'" : std::to_string(id);
}

std::string shape(const AEffect& effect) {
    return std::to_string(effect.numInputs) + " in, " + std::to_string(effect.numOutputs) +
           " out, " + std::to_string(effect.numParams) + " parameters, " +
           std::to_string(effect.numPrograms) + " programs";
}

/// The fields two instances of one module must agree on.
bool alike(const AEffect& a, const AEffect& b) {
    return a.numInputs == b.numInputs && a.numOutputs == b.numOutputs &&
           a.numParams == b.numParams && a.numPrograms == b.numPrograms &&
           a.uniqueID == b.uniqueID && a.flags == b.flags;
}

void expectCount(const char* what, std::int32_t count, std::int32_t most) {
    if (count < 0 || count > most) {
        fail(std::string("the record gives ") + std::to_string(count) + " " + what +
             ", outside 0 to " + std::to_string(most));
    }
}

void expectEntryPoints(const AEffect& effect) {
    if (effect.dispatcher == nullptr) fail("the record has no dispatcher");
    if (effect.processReplacing == nullptr && effect.process == nullptr)
        fail("the record has neither processReplacing nor process");
    if ((effect.flags & effFlagsCanReplacing) != 0 && effect.processReplacing == nullptr)
        fail("the record sets effFlagsCanReplacing but its processReplacing is null");
    if (effect.numParams > 0 && (effect.setParameter == nullptr || effect.getParameter == nullptr))
        fail("the record has parameters but no setParameter or getParameter");
}

/// Processes `blocks` blocks of noise through every `stride`-th instance from
/// `first`; returns the first fault seen, or empty.
std::string processShare(std::vector<std::unique_ptr<Plugin>>& plugins, std::size_t first,
                         std::size_t stride, int blocks, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<AudioBuffers> buffers;
    for (std::size_t i = first; i < plugins.size(); i += stride)
        buffers.emplace_back(plugins[i]->inputs(), plugins[i]->outputs(), kBlock);
    for (int block = 0; block < blocks; ++block) {
        for (std::size_t i = first, b = 0; i < plugins.size(); i += stride, ++b) {
            plugins[i]->process(buffers[b], kBlock, Signal::noise, random);
            std::string fault = buffers[b].fault(true);
            if (!fault.empty())
                return "instance " + std::to_string(i) + ", block " + std::to_string(block) + ": " +
                       fault;
        }
    }
    return {};
}

} // namespace

std::string describeModule(Context& context) {
    context.doing("loading the module and making an instance");
    std::unique_ptr<Plugin> plugin = Plugin::open(context.path());
    const vsthost::Instance& instance = plugin->instance();
    context.doing("asking the new instance for its names (effOpen, effGetEffectName, ...)");
    instance.dispatch(effOpen);
    std::string name = instance.text(effGetEffectName);
    std::string vendor = instance.text(effGetVendorString);
    std::string editor = (plugin->effect().flags & effFlagsHasEditor) != 0 ? ", editor" : "";
    return "'" + name + "' by '" + vendor + "' (entry " + plugin->module()->entryName() +
           "): " + shape(plugin->effect()) + editor;
}

std::string checkRecord(Context& context) {
    context.doing("making an instance");
    std::unique_ptr<Plugin> plugin = Plugin::open(context.path());
    const AEffect& effect = plugin->effect();
    expectEntryPoints(effect);
    expectCount("inputs", effect.numInputs, 256);
    expectCount("outputs", effect.numOutputs, 256);
    expectCount("parameters", effect.numParams, 100000);
    expectCount("programs", effect.numPrograms, 100000);
    if (effect.numInputs + effect.numOutputs == 0) fail("the record has no audio channels");
    if (effect.initialDelay < 0) fail("the record gives a negative latency (initialDelay)");
    if (effect.uniqueID == 0)
        context.warn(
            "the unique ID is 0: hosts tell plug-ins and their saved settings apart by it");
    return "entry points present; " + shape(effect) + ", ID " + idText(effect.uniqueID) +
           ", latency " + std::to_string(effect.initialDelay) + " frames";
}

std::string loadAndUnload(Context& context) {
    int rounds = context.scaled(100);
    std::optional<AEffect> first;
    for (int round = 0; round < rounds; ++round) {
        context.doing("load " + std::to_string(round + 1) + " of " + std::to_string(rounds));
        std::unique_ptr<Plugin> plugin = Plugin::open(context.path());
        plugin->instance().dispatch(effOpen);
        if (!first) first = plugin->effect();
        if (!alike(*first, plugin->effect()))
            fail("load " + std::to_string(round + 1) + " gave a record unlike the first: " +
                 shape(plugin->effect()) + " against " + shape(*first));
    }
    return "loaded, opened, closed and unloaded " + std::to_string(rounds) +
           " times; every record alike";
}

std::string manyInstances(Context& context) {
    constexpr std::size_t kInstances = 32;
    context.doing("loading the module");
    std::shared_ptr<const vsthost::Module> module = Plugin::load(context.path());
    std::vector<std::unique_ptr<Plugin>> plugins;
    for (std::size_t i = 0; i < kInstances; ++i) {
        context.doing("making and starting instance " + std::to_string(i + 1));
        plugins.push_back(Plugin::open(module));
        plugins.back()->start(kRate, kBlock);
    }
    int blocks = context.scaled(50);
    // Appended rather than added up: GCC 12 for i686 takes the sum for an overlapping
    // copy (a false -Wrestrict, GCC bug 105651).
    std::string doing = "processing ";
    doing.append(std::to_string(kInstances)).append(" instances on two threads");
    context.doing(doing);
    std::string faults[2];
    std::uint64_t seeds[2] = {context.random()(), context.random()()};
    std::thread other([&] { faults[1] = processShare(plugins, 1, 2, blocks, seeds[1]); });
    faults[0] = processShare(plugins, 0, 2, blocks, seeds[0]);
    other.join();
    for (const std::string& fault : faults)
        if (!fault.empty()) fail(fault);
    context.doing("closing the instances in random order");
    std::shuffle(plugins.begin(), plugins.end(), context.random());
    plugins.clear();
    return std::to_string(kInstances) + " instances at once processed " + std::to_string(blocks) +
           " blocks of noise each, two threads at a time; guards intact, output finite";
}

} // namespace tesk::validate
