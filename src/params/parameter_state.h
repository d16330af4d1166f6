// The 61 parameter values as the parameter interface carries them back, kept
// by the same rules the engine keeps them: what an LV2 user interface, the
// bundle generator or a host-side copy needs to know of an instance's values
// without an engine of its own. One thread at a time.
#pragma once

#include "parameters.h"

#include <array>

namespace tesk {

struct DelayProgram;

/// The value interface value `v` of a parameter of `kind` is kept as, before
/// the follow-on changes of other parameters: held to 0..1 (a tempo to 48..999
/// beats per minute), a switch as 0 or 1, a type, an output pair or an input
/// source as the value read back for it (an input as the source it asks for:
/// whether that source is on, only `ParameterState::set` knows). False for a
/// value that is not finite.
bool keptValue(ParamKind kind, float v, float& kept);

class ParameterState {
  public:
    /// A fresh instance's values: program 0 as it loads.
    ParameterState();

    /// The kept value of parameter `index`; 0 for an index outside 0 to 60.
    float value(int index) const;

    /// Sets parameter `index` to `v` as the effect does, with its follow-on
    /// changes (an input listening to a line switched off falls back to the main
    /// input). `changed(i)` hears every parameter whose kept value changed, the
    /// one set first. A bad index or a value that is not finite changes nothing.
    template <typename Changed> void set(int index, float v, Changed&& changed) {
        ParamRef ref{};
        float kept = 0.0f;
        if (!splitParameterIndex(index, ref) || !keepValue(ref, v, kept)) return;
        if (store(index, kept)) changed(index);
        if (ref.kind != ParamKind::IsDelayOn || kept != 0.0f) return;
        for (int line = 0; line < kNumLines; ++line) {
            const int input = parameterIndex(ParamKind::Input, line);
            if (values_[static_cast<std::size_t>(input)] == sourceOrPairValue(ref.line + 1) &&
                store(input, 0.0f))
                changed(input);
        }
    }
    /// Sets parameter `index` to `v` with its follow-on changes, hearing none of them.
    void set(int index, float v) {
        set(index, v, [](int) {});
    }

    /// Loads `program` as the effect does: each line's values in load order, then
    /// the dry level. A line switched off on the way sends a later line still
    /// listening to it to the main input, which the effect also stores into the
    /// program: that line loads the main input.
    void loadProgram(const DelayProgram& program);

  private:
    bool keepValue(ParamRef ref, float v, float& kept) const;
    /// Stores `kept`; true when it differs from what was there.
    bool store(int index, float kept);

    std::array<float, kNumParameters> values_{};
};

} // namespace tesk
