// tesk-validate from the outside: its verdict on our module, its exit codes,
// and what it says about files that are no usable modules.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

/// What one run of the validator printed and how it ended.
struct Result {
    int status;
    std::string out;
    std::string err;
};

std::string contents(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

Result validate(const std::string& arguments) {
    // ctest runs the cases side by side: each keeps its output in files of its own.
    const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string out = testing::TempDir() + "validate-" + name + ".out";
    std::string err = testing::TempDir() + "validate-" + name + ".err";
    std::string command = std::string(TESK_VALIDATE) + " " + arguments + " >" + out + " 2>" + err;
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, contents(out), contents(err)};
}

std::string lastLine(const std::string& text) {
    std::string trimmed = text.substr(0, text.find_last_not_of('\n') + 1);
    return trimmed.substr(trimmed.find_last_of('\n') + 1);
}

const std::regex kSummary(R"(\d+ passed, \d+ failed(, \d+ skipped)?)");

TEST(Cli, PassesOurModuleAtStrictnessOne) {
    Result run = validate("--strictness 1 --seed 1");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(std::regex_match(lastLine(run.out), kSummary)) << lastLine(run.out);
    EXPECT_NE(lastLine(run.out).find(" 0 failed"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("PASS dispatcher"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("SKIP editor"), std::string::npos) << run.out;
}

TEST(Cli, RunsOneTestQuietly) {
    Result run = validate("--strictness 1 --only record --quiet");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "1 passed, 0 failed\n");
}

TEST(Cli, RunsInItsOwnProcessWhenAsked) {
    Result run = validate("--strictness 1 --only record --no-fork");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("PASS record"), std::string::npos) << run.out;
}

TEST(Cli, RefusesAnExecutable) {
    Result run = validate("/bin/true");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("tesk-validate: cannot load '/bin/true'"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("give the path of a Linux VST 2 module"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("passed"), std::string::npos) << run.out;
}

TEST(Cli, RefusesALibraryWithoutEntry) {
    Result run = validate(NO_ENTRY_MODULE);
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("exports neither VSTPluginMain nor main"), std::string::npos) << run.err;
}

TEST(Cli, RefusesAModuleWithoutInstance) {
    Result run = validate(NO_INSTANCE_MODULE);
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("made no instance"), std::string::npos) << run.err;
}

TEST(Cli, RefusesAMissingFile) {
    Result run = validate("/nonexistent/Missing.so");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("there is no file '/nonexistent/Missing.so'"), std::string::npos)
        << run.err;
}

TEST(Cli, TurnsACrashIntoAFailure) {
    Result run = validate(std::string("--strictness 1 ") + CRASHING_MODULE);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("FAIL instances"), std::string::npos) << run.out;
    // SIGSEGV, or SIGABRT where a sanitizer catches the fault first.
    EXPECT_NE(run.out.find("crashed with SIG"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("PASS record"), std::string::npos) << run.out;
    EXPECT_TRUE(std::regex_match(lastLine(run.out), kSummary)) << lastLine(run.out);
}

TEST(Cli, SeesAStall) {
    Result run = validate(std::string("--strictness 1 --only abnormal-input ") + STALLING_MODULE);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("FAIL abnormal-input"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("denormals block"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("times the median block"), std::string::npos) << run.out;
}

TEST(Cli, RejectsBadOptions) {
    for (const char* arguments : {"--strictness 11", "--strictness 2.5", "--only nosuch",
                                  "--seed -3", "--frobnicate", "--timeout"}) {
        Result run = validate(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.err.find("tesk-validate: "), std::string::npos) << arguments;
    }
}

TEST(Cli, ListsTestsAndHelps) {
    Result list = validate("--list");
    EXPECT_EQ(list.status, 0);
    for (const char* name :
         {"record", "dispatcher", "abnormal-input", "parameter-threads", "editor"})
        EXPECT_NE(list.out.find(name), std::string::npos) << name;
    Result help = validate("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Exit status"), std::string::npos);
}

} // namespace
