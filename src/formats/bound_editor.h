// The delay editor bound to a format's seam over its effect. The seam is a base
// made before the editor, so the editor's reference to it is valid from the
// editor's construction on.
#pragma once

#include "delay_editor.h"

namespace tesk {

/// Holds a format's seam `Core`, made from the format's object, for BoundDelayEditor.
template <class Core> struct CoreHolder {
    template <class Owner> explicit CoreHolder(Owner& owner) : core(owner) {}
    Core core;
};

/// A DelayEditor that reaches its owner only through its own `Core`. GUI thread only.
template <class Core> class BoundDelayEditor final : private CoreHolder<Core>, public DelayEditor {
  public:
    template <class Owner>
    explicit BoundDelayEditor(Owner& owner)
        : CoreHolder<Core>(owner), DelayEditor(CoreHolder<Core>::core) {}
};

} // namespace tesk
