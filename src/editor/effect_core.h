// What the editor needs of the effect it edits, in any plug-in format: the
// editor reaches the effect only through `EffectCore`, so the same editor
// serves every format, also in a host that runs the user interface apart from
// the DSP. Each format implements it over its own effect or its host's ports.
#pragma once

#include <cstdint>

namespace tesk {

/// The editor's view of its effect. Every operation is called on the editor's thread.
class EffectCore {
  public:
    virtual ~EffectCore() = default;

    /// The value of parameter `index` as the parameter interface carries it; 0 for a bad index.
    virtual float getParameter(std::int32_t index) = 0;
    /// Sets parameter `index` to `value` and tells the host, which records it as automation.
    virtual void setParameterAutomated(std::int32_t index, float value) = 0;
    /// Tells the host a gesture on parameter `index` starts.
    virtual void beginEdit(std::int32_t index) = 0;
    /// Tells the host the gesture on parameter `index` ended.
    virtual void endEdit(std::int32_t index) = 0;
    /// The display text of parameter `index` (at most 255 characters) into `text`:
    /// unless a format says otherwise, the model's text of the value `getParameter`
    /// gives, beside the crossover of its line.
    virtual void getParameterDisplay(std::int32_t index, char* text);
    /// The tempo line `line` (0 to 3) plays at, in beats per minute: its `Tempo`,
    /// or the host's while the line follows it.
    virtual float tempoInUse(int line) = 0;
    /// Lets the host run its own idle while a control tracks the mouse.
    virtual void hostIdle() = 0;
};

} // namespace tesk
