// A state a host saved with the module as it was built before the parameter
// model (commit 155dd48) reloads into today's module and sounds as it did.
//
// data/state-155dd48.tkds was saved by that build's TeskDelay.clap through
// state.save: program 3 ("all four lines"), then line 2 unsynced at 133.3 bpm,
// line 4 unsynced at 71, line 3 listening to line 2 and line 4 to line 1, note
// lengths 1/4 (line 1) and 3/1 (line 3), line 3 recirculating at 0.61, line 2's
// high-pass at 0.3, line 3's low-pass at 0.4 around a crossover of 0.7, line 4
// saturated at 0.7 on the third pair, the dry level at 0.3; then two seconds of
// noise at a transport of 100 bpm (that build wrote the followed tempo into
// lines 1 and 3) before the save. A fresh instance of the same build loaded it
// and rendered `clickThenNoise(3 s, 7)` in blocks of 256 at 44.1 kHz and a
// transport of 100 bpm: the fingerprint and the first echo of each output below
// are what it gave. The program that made them was a throwaway over our CLAP
// host, kept outside the repository.
#include "clap_fixture.h"

#include <fstream>
#include <iterator>

namespace tesk::test {
namespace {

constexpr std::uint64_t kReferenceFingerprint = 0xd717474b85453bca;
// The frame each output first sounds at; -1 for the silent second pair and
// the left of the third.
const std::array<int, 6> kReferenceFirstSound = {0, 0, -1, -1, -1, 8944};

std::vector<std::uint8_t> dataFile(const char* name) {
    std::ifstream in(std::string(TESK_CLAP_DATA_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ClapCompatibility, AStateSavedBeforeTheParameterModelSoundsAsItDid) {
    const auto saved = dataFile("state-155dd48.tkds");
    ASSERT_FALSE(saved.empty()) << "the test data is missing";
    ClapPlugin p;
    ASSERT_TRUE(p->loadState(saved));
    ASSERT_TRUE(p->start(44100.0, 256));
    const auto in = clickThenNoise(3 * 44100, 7);
    const Outputs out = p.render(in, in, 256, 100.0);
    for (std::size_t c = 0; c < 6; ++c)
        EXPECT_EQ(firstSound(out[c]), kReferenceFirstSound[c]) << "output " << c;
    EXPECT_EQ(fingerprint(out), kReferenceFingerprint);
}

} // namespace
} // namespace tesk::test
