#include "vst2_editor.h"

#include "bound_editor.h"

namespace tesk {

EditorInterface* makeDelayEditor(DelayEffect& effect) {
    return new BoundDelayEditor<Vst2EffectCore>(effect);
}

} // namespace tesk
