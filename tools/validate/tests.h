// The validator's tests. Each returns what it saw when the plug-in passed, and
// throws Failure (through fail()) or Skipped otherwise.
#pragma once

#include "context.h"

#include <string>
#include <vector>

namespace tesk::validate {

/// A test as the runner and --list know it.
struct TestCase {
    const char* name;
    const char* checks; ///< one line for --list
    std::string (*run)(Context& context);
};

/// Every test, in the order a full run takes them.
const std::vector<TestCase>& allTests();
/// The test that loads the module once before the others, apart from them.
const TestCase& loadTest();
/// The test named `name`, the load test included; null when there is none.
const TestCase* findTest(const std::string& name);

/// Loads the module and makes an instance; returns a line describing it.
std::string describeModule(Context& context);

std::string checkRecord(Context& context);
std::string loadAndUnload(Context& context);
std::string manyInstances(Context& context);
std::string everyOpcode(Context& context);
std::string sampleRates(Context& context);
std::string blockSizes(Context& context);
std::string inPlace(Context& context);
std::string abnormalInput(Context& context);
std::string parameterThreads(Context& context);
std::string texts(Context& context);
std::string editorCycles(Context& context);

} // namespace tesk::validate
