#include "reused_instance.h"

#include <cstdio>
#include <cstdlib>

namespace tesk::fuzz {

namespace {

constexpr double kHostTempo = 120.0;
constexpr double kHostRate = 48000.0;
constexpr std::int32_t kKnobModeWhenNew = 2;

} // namespace

ReusedInstance::ReusedInstance(const vsthost::Module& module) : module_(module) {
    make();
    for (std::int32_t p = 0; p < effect()->numPrograms; ++p) {
        dispatch(effSetProgram, 0, p);
        whenNew_.push_back(current());
    }
    dispatch(effSetProgram, 0, 0);
    touched_.assign(whenNew_.size(), false);
}

void ReusedInstance::resetHost() {
    host_.setTransport(kHostTempo, kHostRate);
    host_.provideTime = true;
    host_.clearLog();
}

void ReusedInstance::make() {
    instance_.reset();
    resetHost();
    std::string error;
    instance_ = vsthost::Instance::create(module_, host_, error);
    if (instance_ == nullptr) {
        // Not a finding of an input: the module cannot be fuzzed at all.
        std::fprintf(stderr, "fuzz: %s\n", error.c_str());
        std::abort();
    }
}

std::string ReusedInstance::programName() const {
    char name[256] = {};
    dispatch(effGetProgramName, 0, 0, name);
    return name;
}

ReusedInstance::Program ReusedInstance::current() const {
    Program program{{}, programName()};
    for (std::int32_t i = 0; i < effect()->numParams; ++i)
        program.values.push_back(instance_->getParameter(i));
    return program;
}

void ReusedInstance::noteProgram() {
    const VstIntPtr program = dispatch(effGetProgram);
    if (program >= 0 && program < static_cast<VstIntPtr>(touched_.size())) touched_[program] = true;
}

bool ReusedInstance::restoreCurrent(const Program& wanted) {
    const Program now = current();
    for (std::size_t i = 0; i < wanted.values.size(); ++i) {
        if (now.values[i] != wanted.values[i])
            instance_->setParameter(static_cast<std::int32_t>(i), wanted.values[i]);
    }
    if (now.name != wanted.name) {
        std::string name = wanted.name;
        dispatch(effSetProgramName, 0, 0, name.data());
    }
    return current() == wanted;
}

bool ReusedInstance::restorePrograms() {
    bool restored = true;
    // Program 0 last, whether touched or not: a new instance has it loaded.
    touched_[0] = true;
    for (std::size_t p = touched_.size(); p-- > 0;) {
        if (!touched_[p]) continue;
        touched_[p] = false;
        if (dispatch(effGetProgram) != static_cast<VstIntPtr>(p))
            dispatch(effSetProgram, 0, static_cast<VstIntPtr>(p));
        restored = restoreCurrent(whenNew_[p]) && restored;
    }
    // Loading it puts its values into the engine, as construction does; the values
    // must survive being loaded again.
    dispatch(effSetProgram, 0, 0);
    return restored && current() == whenNew_[0];
}

void ReusedInstance::end() {
    dispatch(effEditClose);
    dispatch(effStopProcess);
    dispatch(effMainsChanged, 0, 0);
}

void ReusedInstance::begin(FuzzInput& in) {
    resetHost();
    if (!restorePrograms()) make();
    dispatch(effSetEditKnobMode, 0, kKnobModeWhenNew);
    // A rate the module takes: a refused one would leave the last input's memory.
    dispatch(effSetSampleRate, 0, 0, nullptr, in.usableRate());
    // Likewise a size the module refuses would keep the last input's.
    const std::int32_t block = in.frames();
    dispatch(effSetBlockSize, 0, block > 0 ? block : 1);
    dispatch(effMainsChanged, 0, 1);
    dispatch(effStartProcess);
}

} // namespace tesk::fuzz
