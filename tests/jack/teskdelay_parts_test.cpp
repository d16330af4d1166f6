// The parts of teskdelay that need no JACK server: what a MIDI message asks
// for, the command line, and the state file (where it lives, a broken one set
// aside, a failing write that leaves the old file whole).
#include "midi_control.h"
#include "options.h"
#include "state_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <unistd.h>

namespace tesk::standalone {
namespace {

namespace fs = std::filesystem;
using jackfmt::MidiControl;
using jackfmt::readMidiControl;

MidiControl read(std::initializer_list<std::uint8_t> bytes) {
    const std::vector<std::uint8_t> b(bytes);
    return readMidiControl(b.data(), b.size());
}

TEST(TeskdelayMidi, ProgramChangesOnAnyChannelAndTheBypassControllerAlone) {
    EXPECT_EQ(read({0xc0, 0}).kind, MidiControl::Program);
    EXPECT_EQ(read({0xcf, 15}).value, 15);
    EXPECT_EQ(read({0xc3, 7}).value, 7);
    EXPECT_EQ(read({0xc0, 16}).kind, MidiControl::None);   // no program 17
    EXPECT_EQ(read({0xc0, 0x80}).kind, MidiControl::None); // not a data byte
    EXPECT_EQ(read({0xc0}).kind, MidiControl::None);
    const MidiControl on = read({0xb5, 80, 64});
    EXPECT_EQ(on.kind, MidiControl::Bypass);
    EXPECT_EQ(on.value, 1);
    EXPECT_EQ(read({0xb0, 80, 127}).value, 1);
    EXPECT_EQ(read({0xb0, 80, 63}).value, 0);
    EXPECT_EQ(read({0xb0, 80, 0}).kind, MidiControl::Bypass);
    EXPECT_EQ(read({0xb0, 81, 127}).kind, MidiControl::None);
    EXPECT_EQ(read({0xb0, 80}).kind, MidiControl::None); // cut short
    EXPECT_EQ(read({0x90, 60, 100}).kind, MidiControl::None);
    EXPECT_EQ(read({0xf8}).kind, MidiControl::None);
    EXPECT_EQ(readMidiControl(nullptr, 3).kind, MidiControl::None);
}

std::optional<Options> parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string e;
    auto o = parseOptions(args, e);
    if (error != nullptr) *error = e;
    return o;
}

TEST(TeskdelayOptions, TakesEachOptionAndRefusesWhatItCannotUse) {
    const auto o =
        parse({"--no-gui", "--connect", "--program", "16", "--state", "/tmp/s", "--tempo=97.5"});
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->noGui);
    EXPECT_TRUE(o->connect);
    EXPECT_EQ(o->program, 15);
    EXPECT_EQ(o->stateFile, "/tmp/s");
    EXPECT_EQ(o->tempo, 97.5);
    const auto plain = parse({});
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->tempo, 120.0);
    EXPECT_FALSE(plain->program);
    EXPECT_EQ(parse({"--program=1"})->program, 0);
    std::string error;
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--program", "0"},
                                                {"--program", "17"},
                                                {"--program", "2.5"},
                                                {"--program", "x"},
                                                {"--program"},
                                                {"--tempo", "47"},
                                                {"--tempo", "1000"},
                                                {"--tempo", "nan"},
                                                {"--state", ""},
                                                {"--connect=yes"},
                                                {"--gui"},
                                                {"extra"}}) {
        EXPECT_FALSE(parse(bad, &error)) << bad[0];
        EXPECT_FALSE(error.empty()) << bad[0];
    }
    parse({"--program", "17"}, &error);
    EXPECT_EQ(error, "--program takes a program number from 1 to 16, not '17'");
}

/// A folder of the test's own, removed afterwards.
class StateFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("tesk-state-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        file = folder / "state.tkds";
    }
    void TearDown() override { fs::remove_all(folder); }

    static SavedState someState() {
        SavedState s;
        s.program = 6;
        for (std::size_t i = 0; i < s.values.size(); ++i)
            s.values[i] = static_cast<float>(i) / 64.0f;
        s.bypassed = true;
        return s;
    }
    static std::vector<char> bytesOf(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void writeBytes(const std::vector<char>& bytes) const {
        std::ofstream(file, std::ios::binary).write(bytes.data(), std::ssize(bytes));
    }

    fs::path folder, file;
};

TEST_F(StateFileTest, TheConfigurationFolderFollowsXdgAndHome) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg != nullptr ? oldXdg : "";
    setenv("XDG_CONFIG_HOME", "/x/config", 1);
    setenv("HOME", "/home/player", 1);
    EXPECT_EQ(defaultStatePath(), fs::path("/x/config/teskdelay/state.tkds"));
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(defaultStatePath(), fs::path("/home/player/.config/teskdelay/state.tkds"));
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(defaultStatePath(), fs::path("/home/player/.config/teskdelay/state.tkds"));
    unsetenv("HOME");
    EXPECT_TRUE(defaultStatePath().empty());
    if (oldXdg != nullptr) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
}

TEST_F(StateFileTest, WrittenStatesReadBackAndAMissingFileIsAFirstRun) {
    EXPECT_EQ(readStateFile(file).outcome, StateRead::Missing);
    std::string error;
    const fs::path deeper = folder / "made" / "here" / "state.tkds";
    ASSERT_TRUE(writeStateFile(deeper, someState(), error)) << error;
    const StateRead read = readStateFile(deeper);
    ASSERT_EQ(read.outcome, StateRead::Loaded);
    EXPECT_EQ(read.state->program, 6);
    EXPECT_EQ(read.state->values, someState().values);
    EXPECT_TRUE(read.state->bypassed);
    // Nothing but the file is left in its folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(deeper.parent_path()), {}), 1);
}

TEST_F(StateFileTest, BrokenFilesAreReportedAndSetAside) {
    const std::vector<std::uint8_t> record = encodeState(someState());
    std::vector<char> truncated(record.begin(), record.begin() + 40);
    std::vector<char> garbage(record.size(), 'x');
    std::vector<char> tooLong(record.begin(), record.end());
    tooLong.push_back(0);
    for (const auto& bytes : {truncated, garbage, tooLong, std::vector<char>{}}) {
        writeBytes(bytes);
        const StateRead read = readStateFile(file);
        EXPECT_EQ(read.outcome, StateRead::Broken);
        EXPECT_FALSE(read.state);
        EXPECT_EQ(read.message, "the state in " + file.string() +
                                    " is broken (not a whole TeskDelay state record); it is "
                                    "kept as " +
                                    file.string() + ".broken, and TeskDelay starts from program 1");
        EXPECT_FALSE(fs::exists(file));
        EXPECT_EQ(bytesOf(file.string() + ".broken"), bytes);
    }
    // A folder in its place is not the program's to move.
    fs::create_directory(file);
    EXPECT_EQ(readStateFile(file).outcome, StateRead::Unreadable);
    EXPECT_TRUE(fs::is_directory(file));
    std::string error;
    EXPECT_FALSE(writeStateFile(file, someState(), error));
    EXPECT_TRUE(fs::is_directory(file));
}

// A write that fails half way, as on a full disk (here the file size limit
// makes it fail with EFBIG, for root too), leaves the file saved before as it
// was and no temporary file beside it.
TEST_F(StateFileTest, AFailingWriteLeavesTheOldFileWhole) {
    std::string error;
    ASSERT_TRUE(writeStateFile(file, someState(), error)) << error;
    const std::vector<char> before = bytesOf(file);
    SavedState other = someState();
    other.program = 2;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = writeStateFile(file, other, error);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("cannot write the state to " + file.string() + " (File too large)"),
              std::string::npos)
        << error;
    EXPECT_EQ(bytesOf(file), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
    // A folder that cannot be made is said so.
    EXPECT_FALSE(writeStateFile(file / "below" / "x.tkds", other, error));
    EXPECT_NE(error.find("cannot make the folder"), std::string::npos) << error;
}

} // namespace
} // namespace tesk::standalone
