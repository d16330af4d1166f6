// The controller's parameter list as a host reads it, its texts both ways,
// the program list, and what the processor tells the host of the values it
// changes itself.
#include "vst3_fixture.h"

#include "factory_presets.h"
#include "parameter_info.h"
#include "programs.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace tesk::test {
namespace {

using vst3host::ParameterInfo;
using vst3host::toUtf8;

ParamID id(ParamKind kind, int line = 0) {
    return static_cast<ParamID>(parameterIndex(kind, line));
}

std::vector<ParamID> allIds() {
    std::vector<ParamID> ids;
    for (int i = 0; i < kNumParameters; ++i)
        ids.push_back(static_cast<ParamID>(i));
    for (ParamID extra = kProgramId; extra < kTempoInUseId + kNumLines; ++extra)
        ids.push_back(extra);
    return ids;
}

TEST(Vst3Params, TheListDescribesEveryParameter) {
    Vst3Plugin fresh;
    ASSERT_EQ(fresh->parameterCount(), kNumVst3Params);
    EXPECT_FALSE(fresh->parameterInfo(kNumVst3Params));
    EXPECT_FALSE(fresh->parameterInfo(-1));
    std::set<ParamID> seen;
    constexpr int kHostOnly =
        ParameterInfo::kIsReadOnly | ParameterInfo::kIsProgramChange | ParameterInfo::kIsBypass;
    for (int position = 0; position < kNumVst3Params; ++position) {
        const auto info = fresh->parameterInfo(position);
        ASSERT_TRUE(info) << position;
        EXPECT_TRUE(seen.insert(info->id).second) << "id " << info->id << " twice";
        SCOPED_TRACE("id " + std::to_string(info->id));
        const std::string title = toUtf8(info->title);
        // What a fresh instance holds is what the list calls the default.
        EXPECT_EQ(info->defaultNormalizedValue, fresh->normalized(info->id));
        if (info->id < kNumParameters) {
            const int index = static_cast<int>(info->id);
            EXPECT_EQ(title, parameterName(index));
            EXPECT_EQ(info->stepCount, std::max(choiceCount(index) - 1, 0));
            EXPECT_DOUBLE_EQ(info->defaultNormalizedValue,
                             normalizedOfValue(index, defaultValue(index)));
            EXPECT_EQ(info->flags & ParameterInfo::kCanAutomate, ParameterInfo::kCanAutomate);
            EXPECT_EQ(info->flags & kHostOnly, 0);
        } else if (info->id == kProgramId) {
            EXPECT_EQ(title, "Program");
            EXPECT_EQ(info->stepCount, kNumPrograms - 1);
            EXPECT_EQ(info->unitId, vst3host::kRootUnitId);
            EXPECT_EQ(info->flags & kHostOnly, ParameterInfo::kIsProgramChange);
        } else if (info->id == kBypassId) {
            EXPECT_EQ(title, "Bypass");
            EXPECT_EQ(info->stepCount, 1);
            EXPECT_EQ(info->defaultNormalizedValue, 0.0);
            EXPECT_EQ(info->flags & kHostOnly, ParameterInfo::kIsBypass);
            EXPECT_EQ(info->flags & ParameterInfo::kCanAutomate, ParameterInfo::kCanAutomate);
        } else if (info->id >= kTempoInUseId && info->id < kTempoInUseId + kNumLines) {
            EXPECT_EQ(title,
                      "Delay " + std::to_string(info->id - kTempoInUseId + 1) + " Tempo in use");
            EXPECT_EQ(info->stepCount, 0);
            EXPECT_EQ(info->flags & kHostOnly, ParameterInfo::kIsReadOnly);
            // A host must not record automation of what it cannot set.
            EXPECT_EQ(info->flags & ParameterInfo::kCanAutomate, 0);
        }
    }
    const auto ids = allIds();
    EXPECT_EQ(seen, std::set<ParamID>(ids.begin(), ids.end()));
}

TEST(Vst3Params, TheProgramListHoldsEveryProgramUnderTheRootUnit) {
    Vst3Plugin fresh;
    vst3host::IUnitInfo* units = fresh->units();
    ASSERT_NE(units, nullptr);
    bool rootFound = false;
    for (int u = 0; u < units->getUnitCount(); ++u) {
        vst3host::UnitInfo unit{};
        ASSERT_EQ(units->getUnitInfo(u, unit), vst3host::kResultOk);
        if (unit.id != vst3host::kRootUnitId) continue;
        rootFound = true;
        EXPECT_EQ(unit.parentUnitId, vst3host::kNoParentUnitId);
        EXPECT_EQ(unit.programListId, 0);
    }
    EXPECT_TRUE(rootFound);
    ASSERT_EQ(units->getProgramListCount(), 1);
    vst3host::ProgramListInfo list{};
    ASSERT_EQ(units->getProgramListInfo(0, list), vst3host::kResultOk);
    EXPECT_EQ(list.id, 0);
    EXPECT_EQ(list.programCount, kNumPrograms);
    for (int p = 0; p < kNumPrograms; ++p) {
        vst3host::String128 name{};
        ASSERT_EQ(units->getProgramName(0, p, name), vst3host::kResultOk) << p;
        EXPECT_EQ(toUtf8(name), p < kNumFactoryPrograms
                                    ? kFactoryProgramNames[static_cast<std::size_t>(p)]
                                    : "Init " + std::to_string(p + 1));
    }
    vst3host::String128 name{};
    EXPECT_NE(units->getProgramName(0, kNumPrograms, name), vst3host::kResultOk);
    EXPECT_NE(units->getProgramName(1, 0, name), vst3host::kResultOk);
}

// For every parameter and a spread of values: the text of a value, read back,
// gives a value whose text is that text again.
TEST(Vst3Params, EveryTextReadsBackAsItsValue) {
    Vst3Plugin plugin;
    std::vector<std::string> failures;
    for (ParamID pid : allIds()) {
        for (double normalized : {0.0, 0.05, 0.2, 1.0 / 3.0, 0.5, 0.61, 0.9, 1.0}) {
            const std::string at =
                "id " + std::to_string(pid) + " at " + std::to_string(normalized);
            const auto text = plugin->text(pid, normalized);
            if (!text || text->empty()) {
                failures.push_back(at + ": no text");
                continue;
            }
            const auto back = plugin->valueOf(pid, *text);
            if (!back) {
                failures.push_back(at + ": '" + *text + "' not read back");
                continue;
            }
            const auto again = plugin->text(pid, *back);
            if (!(*back >= 0.0 && *back <= 1.0) || again != text)
                failures.push_back(at + ": '" + *text + "' read back as " + std::to_string(*back) +
                                   ", whose text is '" + again.value_or("(none)") + "'");
        }
    }
    std::string report;
    for (std::size_t i = 0; i < failures.size() && i < 20; ++i)
        report += failures[i] + "\n";
    EXPECT_TRUE(failures.empty()) << failures.size() << " failures, the first:\n" << report;

    EXPECT_FALSE(plugin->valueOf(id(ParamKind::FeedBack), "loud"));
    EXPECT_FALSE(plugin->valueOf(kProgramId, "no such program"));
    EXPECT_FALSE(plugin->valueOf(kBypassId, "maybe"));
    EXPECT_FALSE(plugin->text(4242, 0.5));
    EXPECT_FALSE(plugin->valueOf(4242, "0.5"));
}

// When the engine moves a value itself the host hears it from the block that
// did it: a line's input falling back to Main as its source line goes off,
// and the tempo each line plays at, once per change.
TEST(Vst3Params, TheProcessorReportsWhatItChangesItself) {
    Vst3Plugin plugin(44100.0, 64);
    const ParamID input2 = id(ParamKind::Input, 1);
    const ParamID on1 = id(ParamKind::IsDelayOn, 0);
    auto pointsOf = [](const vst3host::ProcessResult& r, ParamID pid) {
        std::vector<ParamPoint> found;
        for (const ParamPoint& p : r.outputChanges)
            if (p.id == pid) found.push_back(p);
        return found;
    };

    plugin.apply({{on1, 0, 1.0}, {input2, 0, normalizedOfPlain(static_cast<int>(input2), 1.0)}});
    const auto off = plugin.apply({{on1, 10, 0.0}});
    const auto fallBack = pointsOf(off, input2);
    ASSERT_EQ(fallBack.size(), 1u) << "Input 2 falling back to Main goes untold";
    EXPECT_EQ(fallBack[0].value, normalizedOfPlain(static_cast<int>(input2), 0.0));
    EXPECT_GE(fallBack[0].offset, 0);
    EXPECT_LT(fallBack[0].offset, 64);
    // Passed on to the controller, as hosts do, it shows there too.
    EXPECT_EQ(plugin->normalized(input2), fallBack[0].value);

    const ParamID sync1 = id(ParamKind::IsTempoSync, 0);
    const ParamID inUse1 = kTempoInUseId;
    const ParamID tempo1 = id(ParamKind::Tempo, 0);
    plugin.apply({{on1, 0, 1.0},
                  {tempo1, 0, normalizedOfPlain(static_cast<int>(tempo1), 100.0)},
                  {sync1, 0, 1.0}});
    std::vector<float> silence(64, 0.0f);
    std::array<std::vector<float>, 6> out;
    float* outputs[6];
    for (int c = 0; c < 6; ++c) {
        out[static_cast<std::size_t>(c)].assign(64, 0.0f);
        outputs[c] = out[static_cast<std::size_t>(c)].data();
    }
    const float* inputs[2] = {silence.data(), silence.data()};
    auto block = [&](std::optional<double> tempo) {
        return pointsOf(plugin->process(inputs, outputs, 64, {}, tempo), inUse1);
    };
    // A tempo in use spans what a line's Tempo does.
    auto normalizedBpm = [&](double bpm) {
        return normalizedOfPlain(static_cast<int>(tempo1), bpm);
    };
    const auto heard = block(133.0);
    ASSERT_EQ(heard.size(), 1u) << "the host's tempo heard goes untold";
    EXPECT_DOUBLE_EQ(heard[0].value, normalizedBpm(133.0));
    EXPECT_TRUE(block(133.0).empty()) << "told again though unchanged";
    const auto faster = block(190.5);
    ASSERT_EQ(faster.size(), 1u);
    EXPECT_DOUBLE_EQ(faster[0].value, normalizedBpm(190.5));
    // Without a host tempo the line plays at its own again.
    const auto own = block(std::nullopt);
    ASSERT_EQ(own.size(), 1u);
    EXPECT_DOUBLE_EQ(own[0].value, normalizedBpm(100.0));
}

} // namespace
} // namespace tesk::test
