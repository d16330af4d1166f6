#include "fake_effect.h"

#include <cstring>

namespace {

VstIntPtr VSTCALL dispatch(AEffect* effect, std::int32_t opcode, std::int32_t, VstIntPtr, void* ptr,
                           float) {
    switch (opcode) {
    case effClose:
        delete effect;
        return 1;
    case effGetEffectName:
        if (ptr != nullptr) std::strcpy(static_cast<char*>(ptr), "Misfit");
        return 1;
    default:
        return 0;
    }
}

void VSTCALL setParameter(AEffect*, std::int32_t, float) {}

float VSTCALL getParameter(AEffect*, std::int32_t) {
    return 0.0f;
}

} // namespace

AEffect* makeFakeEffect(AEffectProcessProc process, std::int32_t uniqueID) {
    auto* effect = new AEffect{};
    effect->magic = kEffectMagic;
    effect->dispatcher = dispatch;
    effect->process = process;
    effect->processReplacing = process;
    effect->setParameter = setParameter;
    effect->getParameter = getParameter;
    effect->numParams = 1;
    effect->numInputs = 2;
    effect->numOutputs = 2;
    effect->flags = effFlagsCanReplacing;
    effect->uniqueID = uniqueID;
    return effect;
}
