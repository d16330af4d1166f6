// The delay editor bound to a format's seam over its effect. The seam is a base
// made before the editor, so the editor's reference to it is valid from the
// editor's construction on; the editor record names its effect, as VST 2 editors do.
#pragma once

#include "delay_editor.h"
#include "delay_effect.h"

namespace tesk {

/// Holds a format's seam `Core`, made from the effect, for BoundDelayEditor.
template <class Core> struct CoreHolder {
    explicit CoreHolder(DelayEffect& effect) : core(effect) {}
    Core core;
};

/// A DelayEditor that reaches `owner` only through its own `Core`. GUI thread only.
template <class Core> class BoundDelayEditor final : private CoreHolder<Core>, public DelayEditor {
  public:
    explicit BoundDelayEditor(DelayEffect& owner)
        : CoreHolder<Core>(owner), DelayEditor(CoreHolder<Core>::core) {
        effect = &owner;
    }
};

} // namespace tesk
