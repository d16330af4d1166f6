// Turns bytes into what a user and a host do to an open editor on the headless
// platform: clicks and drags with any buttons and modifiers, wheel steps, keys,
// files and texts dropped, typing into an open edit box, the host's window
// destroyed under the editor, while parameters, programs and the audio change
// and the editor idles. The instance is reused from input to input
// (reused_instance.h says why and how the inputs stay independent); each input
// starts with the editor newly opened and the scripted input at rest.
#include "fuzz_input.h"
#include "reused_instance.h"

#include "editor_interface.h"
#include "effect_base.h"

#include "editor_base.h"
#include "gui/frame.h"
#include "gui/platform/headless/headless.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

using tesk::fuzz::FuzzInput;
using tesk::fuzz::ReusedInstance;
namespace headless = gui::headless;

constexpr int kMaxSteps = 48;
constexpr int kMaxDragSteps = 12;
constexpr int kMaxDrops = 3;

/// The editor's window, or null while the editor is closed.
headless::HeadlessWindow* editorWindow(AEffect* e) {
    tesk::EffectBase* effect = tesk::EffectBase::fromRecord(e);
    auto* editor = effect != nullptr ? dynamic_cast<tesk::EditorBase*>(effect->editor) : nullptr;
    if (editor == nullptr || editor->getFrame() == nullptr) return nullptr;
    return headless::windowOf(editor->getFrame()->getWindow());
}

/// A point in and somewhat around the editor's window.
gui::Point pointIn(FuzzInput& in) {
    const auto x = static_cast<std::int32_t>(in.byte()) * 2 - 40;
    const auto y = static_cast<std::int32_t>(in.byte()) * 3 - 60;
    return {x, y};
}

gui::ButtonState buttons(FuzzInput& in) {
    return in.byte() & 63;
}

/// A press at a point, the buttons and cursor the control then reads while it
/// tracks the mouse, and the release.
void clickAndDrag(headless::HeadlessWindow& window, FuzzInput& in) {
    const gui::Point where = pointIn(in);
    const gui::ButtonState pressed = buttons(in) | gui::kPrimaryButton;
    std::vector<headless::InputStep> script{{pressed, where}};
    const int steps = in.byte() % kMaxDragSteps;
    for (int s = 0; s < steps; ++s)
        script.push_back({buttons(in), pointIn(in)});
    script.push_back({0, script.back().cursor});
    headless::scriptInput(std::move(script));
    headless::advanceTicks(in.byte());
    window.buttonDown(where);
    headless::setInput(0, where);
}

void wheel(AEffect* e, FuzzInput& in) {
    headless::setInput(buttons(in) & ~gui::kPrimaryButton, pointIn(in));
    tesk::EffectBase* effect = tesk::EffectBase::fromRecord(e);
    if (effect != nullptr && effect->editor != nullptr)
        effect->editor->onWheel(in.value() * 4.0f - 4.0f);
}

void key(ReusedInstance& instance, FuzzInput& in) {
    const std::int32_t opcode = (in.byte() & 1) != 0 ? effEditKeyDown : effEditKeyUp;
    const std::int32_t character = in.byte();
    const VstIntPtr virtualKey = in.byte() % 64;
    instance.dispatch(opcode, character, virtualKey, nullptr, static_cast<float>(in.byte() % 16));
}

void drop(headless::HeadlessWindow& window, FuzzInput& in) {
    headless::setInput(0, pointIn(in));
    if ((in.byte() & 1) != 0) {
        (void)window.dropText(in.text(40));
        return;
    }
    std::vector<std::string> paths(in.byte() % (kMaxDrops + 1));
    for (std::string& path : paths)
        path = in.text(40);
    (void)window.dropFiles(paths);
}

void typeIntoEditBox(FuzzInput& in) {
    headless::HeadlessEditBox* box = headless::activeEditBox();
    if (box == nullptr) return;
    const std::uint8_t what = in.byte();
    if (what < 160)
        box->typeCharacter(static_cast<char>(in.byte()));
    else if (what < 240)
        box->pressKey(static_cast<gui::software::EditKey>(in.byte() % 8), (in.byte() & 1) != 0);
    else
        box->loseFocus();
}

void processBlock(AEffect* e, FuzzInput& in) {
    static float audio[8][64] = {};
    float* inputs[2] = {audio[0], audio[1]};
    float* outputs[6] = {audio[2], audio[3], audio[4], audio[5], audio[6], audio[7]};
    e->processReplacing(e, inputs, outputs, in.byte() % 64);
}

void step(ReusedInstance& instance, FuzzInput& in) {
    AEffect* e = instance.effect();
    headless::HeadlessWindow* window = editorWindow(e);
    const std::uint8_t what = in.byte() % 12;
    if (window == nullptr && what < 4) {
        instance.dispatch(effEditOpen, 0, 0, headless::parentWindow());
        return;
    }
    switch (what) {
    case 0:
        clickAndDrag(*window, in);
        break;
    case 1:
        drop(*window, in);
        break;
    case 2:
        (void)window->paintPending();
        break;
    case 3:
        // The host destroys its window before it closes the editor.
        if ((in.byte() & 7) == 0) window->destroy();
        break;
    case 4:
        wheel(e, in);
        break;
    case 5:
        key(instance, in);
        break;
    case 6:
        typeIntoEditBox(in);
        break;
    case 7: {
        const auto index = static_cast<std::int32_t>(in.byte() % 64);
        e->setParameter(e, index, in.value());
        break;
    }
    case 8:
        instance.dispatch(effSetProgram, 0, in.byte() % 17);
        break;
    case 9:
        processBlock(e, in);
        break;
    case 10:
        headless::advanceTicks(in.byte());
        instance.dispatch(effEditIdle);
        break;
    default:
        if ((in.byte() & 3) == 0) instance.dispatch(effEditClose);
        break;
    }
    instance.noteProgram();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Never destroyed: closing it at exit would outlive the toolkit's own statics.
    static ReusedInstance& instance = *new ReusedInstance(tesk::fuzz::fuzzedModule());
    FuzzInput in(data, size);
    instance.begin(in);
    headless::resetInput();
    instance.dispatch(effEditOpen, 0, 0, headless::parentWindow());
    if (headless::HeadlessWindow* window = editorWindow(instance.effect())) window->paintPending();
    for (int s = 0; s < kMaxSteps && !in.empty(); ++s)
        step(instance, in);
    instance.end();
    return 0;
}
