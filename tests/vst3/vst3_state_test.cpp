// The component's state: the record every format shares, written through the
// host's stream; a fresh instance given it takes up where the original stood;
// a state the edition's first version saved still loads; a bad record is
// refused and changes nothing.
#include "vst3_fixture.h"

#include "parameter_info.h"
#include "programs.h"
#include "saved_state.h"

#include <fstream>
#include <iterator>

namespace tesk::test {
namespace {

ParamID id(ParamKind kind, int line = 0) {
    return static_cast<ParamID>(parameterIndex(kind, line));
}

ParamPoint plainAt(ParamKind kind, int line, double plain) {
    return {id(kind, line), 0, normalizedOfPlain(parameterIndex(kind, line), plain)};
}

// Program 8, then a few values of its own: what the kept state holds too.
void setUp(Vst3Plugin& plugin) {
    plugin.apply({{kProgramId, 0, 8.0 / (kNumPrograms - 1)}});
    plugin.apply({plainAt(ParamKind::FeedBack, 0, 0.625),
                  plainAt(ParamKind::VolumeThruInput, 0, 0.25), plainAt(ParamKind::Output, 2, 2.0),
                  plainAt(ParamKind::Tempo, 1, 137.5), plainAt(ParamKind::IsTempoSync, 1, 0.0),
                  plainAt(ParamKind::IsDelayOn, 2, 1.0)});
}

bool isTempoInUse(ParamID pid) {
    return pid >= kTempoInUseId && pid < kTempoInUseId + kNumLines;
}

TEST(Vst3State, AFreshInstanceGivenTheStateRendersAsTheOriginal) {
    Vst3Plugin original(44100.0, 512);
    setUp(original);
    const auto saved = original->saveState();
    ASSERT_TRUE(saved);
    // The record the other formats write, with what was set.
    const auto record = decodeState(saved->data(), saved->size());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->program, 8);
    EXPECT_FALSE(record->bypassed);
    const int feedback1 = parameterIndex(ParamKind::FeedBack, 0);
    EXPECT_EQ(record->values[static_cast<std::size_t>(feedback1)],
              interfaceValueOfPlain(feedback1, 0.625));
    const int tempo2 = parameterIndex(ParamKind::Tempo, 1);
    EXPECT_EQ(plainValue(tempo2, record->values[static_cast<std::size_t>(tempo2)]), 137.5);

    Vst3Plugin restored(44100.0, 512);
    // A host reading from disk may hand the record a few bytes at a time.
    ASSERT_EQ(restored->loadState(*saved, 7), vst3host::kResultOk);
    for (int position = 0; position < kNumVst3Params; ++position) {
        const ParamID pid = restored->parameterInfo(position)->id;
        if (!isTempoInUse(pid)) {
            EXPECT_EQ(restored->normalized(pid), original->normalized(pid)) << "id " << pid;
        }
    }
    EXPECT_EQ(restored->saveState(), saved);

    // Silent while the original, past its first block, fades to the host's
    // tempo, which the restored one hears before its first.
    const auto left = impulseThenPhrase(88200, 44100.0, 512, 5);
    const auto right = impulseThenPhrase(88200, 44100.0, 512, 6);
    const Outputs expected = original.render(left, right, 512, 133.0);
    const Outputs got = restored.render(left, right, 512, 133.0);
    EXPECT_GT(energy(expected[0]), 1.0);
    EXPECT_GT(energy(expected[4]), 1.0) << "line 3 on Out 3 carries nothing to compare";
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(firstDifference(expected[static_cast<std::size_t>(c)],
                                  got[static_cast<std::size_t>(c)]),
                  -1)
            << "channel " << c;
}

std::vector<std::uint8_t> keptState() {
    std::ifstream in(TESK_VST3_DATA_DIR "/state-v1.bin", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// data/state-v1.bin: saved by the edition's first version after `setUp` and
// the bypass switched on.
TEST(Vst3State, AStateOfTheFirstVersionStillLoads) {
    const auto kept = keptState();
    ASSERT_FALSE(kept.empty());
    const auto record = decodeState(kept.data(), kept.size());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->program, 8);
    EXPECT_TRUE(record->bypassed);

    Vst3Plugin plugin(48000.0, 256);
    ASSERT_EQ(plugin->loadState(kept), vst3host::kResultOk);
    for (int index = 0; index < kNumParameters; ++index)
        EXPECT_DOUBLE_EQ(plugin->normalized(static_cast<ParamID>(index)),
                         normalizedOfValue(index, record->values[static_cast<std::size_t>(index)]))
            << parameterName(index);
    EXPECT_DOUBLE_EQ(plugin->normalized(kProgramId), 8.0 / (kNumPrograms - 1));
    EXPECT_EQ(plugin->normalized(kBypassId), 1.0);
    EXPECT_DOUBLE_EQ(plugin->normalized(id(ParamKind::FeedBack, 0)), 0.625);
    EXPECT_DOUBLE_EQ(plugin->normalized(id(ParamKind::Output, 2)), 1.0);
    EXPECT_DOUBLE_EQ(plugin->normalized(id(ParamKind::Tempo, 1)),
                     normalizedOfPlain(parameterIndex(ParamKind::Tempo, 1), 137.5));
}

TEST(Vst3State, ABadRecordIsRefusedAndChangesNothing) {
    Vst3Plugin plugin(44100.0, 64);
    setUp(plugin);
    const auto good = plugin->saveState();
    ASSERT_TRUE(good);
    ASSERT_GT(good->size(), 16u);
    std::vector<std::vector<std::uint8_t>> bad{
        {}, {good->begin(), good->end() - 1}, std::vector<std::uint8_t>(good->size(), 0xFF)};
    auto flipped = *good;
    flipped[flipped.size() / 2] ^= 0x10;
    bad.push_back(flipped);
    auto otherMagic = *good;
    otherMagic[0] = 'X';
    bad.push_back(otherMagic);
    for (const auto& bytes : bad) {
        EXPECT_NE(plugin->loadState(bytes), vst3host::kResultOk) << bytes.size() << " bytes";
        EXPECT_EQ(plugin->saveState(), good);
    }
    EXPECT_NE(plugin->component()->setState(nullptr), vst3host::kResultOk);
    EXPECT_NE(plugin->component()->getState(nullptr), vst3host::kResultOk);
    EXPECT_EQ(plugin->saveState(), good);
}

} // namespace
} // namespace tesk::test
