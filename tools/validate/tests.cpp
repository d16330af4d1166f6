#include "tests.h"

namespace tesk::validate {

const std::vector<TestCase>& allTests() {
    static const std::vector<TestCase> kTests = {
        {"record", "the effect record: entry points, channel, parameter and program counts",
         checkRecord},
        {"load-unload", "load, open, close and unload the module 100 times", loadAndUnload},
        {"instances", "32 instances at once, each processing noise, on two threads", manyInstances},
        {"dispatcher",
         "every opcode from -10 to 200 with random arguments, a guarded buffer and a null ptr",
         everyOpcode},
        {"sample-rates",
         "processing at 8000 to 384000 Hz, and after the bad rates 0, -1, NaN, 1e12", sampleRates},
        {"block-sizes", "blocks of 0 to 8192 frames, changing from call to call", blockSizes},
        {"in-place", "outputs in the inputs' memory, equal to processing into separate buffers",
         inPlace},
        {"abnormal-input",
         "silence, noise, NaN, +-infinity, denormals, +-1e30 in: finite out after, no stalls",
         abnormalInput},
        {"parameter-threads",
         "random parameter values from two threads while a third processes, program changes",
         parameterThreads},
        {"texts", "program, parameter and module texts: stable, terminated, of sane length", texts},
        {"editor", "open, idle and close the editor 500 times in a window, automation meanwhile",
         editorCycles},
    };
    return kTests;
}

const TestCase& loadTest() {
    static const TestCase kLoad{"load", "", describeModule};
    return kLoad;
}

const TestCase* findTest(const std::string& name) {
    if (name == loadTest().name) return &loadTest();
    for (const TestCase& test : allTests()) {
        if (name == test.name) return &test;
    }
    return nullptr;
}

} // namespace tesk::validate
