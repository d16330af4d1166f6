// An effect with its editor, made in this process on the headless platform, with
// a host that records automation and edit brackets.
#pragma once

#include "delay_editor.h"
#include "delay_effect.h"
#include "parameters.h"
#include "vst2_editor.h"

#include "gui/frame.h"
#include "gui/platform/headless/headless.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tesk::test {

/// What the host heard from the effect, and what it answers.
struct HostLog {
    std::mutex mutex;
    std::vector<std::pair<std::int32_t, float>> automation;
    std::vector<std::pair<std::int32_t, std::int32_t>> edits; ///< (opcode, index)
    int idleCalls = 0;
    /// The answer to audioMasterGetTime while `answerTime` is set; none otherwise.
    /// Set before blocks run.
    VstTimeInfo time{};
    bool answerTime = false;
    /// Runs after each call is recorded, on the calling thread, outside the lock.
    /// Set while no other thread calls the host.
    std::function<void(std::int32_t opcode, std::int32_t index)> afterCall;
};

class EditorTest : public ::testing::Test {
  public:
    /// What the host heard; the recording callback writes here.
    static HostLog* log;

  protected:
    void SetUp() override;
    void TearDown() override;

    /// Opens the editor in a headless window and lets it paint.
    void openEditor();
    /// Draws what is dirty, as the host's idle does.
    void idle();
    /// A click of the primary button at `where` (window pixels), released at once.
    void click(gui::Point where);
    /// From now on the host answers a playing transport at `bpm`.
    void setHostTempo(double bpm);
    DelayEditor& editor() const { return *static_cast<DelayEditor*>(effect->editor); }
    gui::headless::HeadlessWindow& window() const;
    float parameter(ParamKind kind, int line = 0) const {
        return effect->getParameter(parameterIndex(kind, line));
    }
    /// A line's tempo in beats per minute, from the value the host reads.
    float tempo(int line) const { return tempoFromInterface(parameter(ParamKind::Tempo, line)); }
    std::vector<std::pair<std::int32_t, float>> automation();

    std::unique_ptr<DelayEffect> effect;
};

} // namespace tesk::test
