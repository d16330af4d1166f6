// What opening the editor and redrawing all of it cost, on the in-memory
// window system (the X11 back end adds only the blit).
#include "delay_editor.h"
#include "delay_effect.h"
#include "vst2_editor.h"

#include "gui/frame.h"
#include "gui/platform/headless/headless.h"

#include <benchmark/benchmark.h>

namespace tesk {
namespace {

VstIntPtr VSTCALL benchHost(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

void BM_EditorOpenPaintClose(benchmark::State& state) {
    DelayEffect effect(benchHost, makeDelayEditor);
    for (auto _ : state) {
        effect.dispatch(effEditOpen, 0, 0, gui::headless::parentWindow(), 0.0f);
        auto* editor = static_cast<DelayEditor*>(effect.editor);
        gui::headless::windowOf(editor->getFrame()->getWindow())->paintPending();
        effect.dispatch(effEditClose, 0, 0, nullptr, 0.0f);
    }
}

void BM_EditorFullRedraw(benchmark::State& state) {
    DelayEffect effect(benchHost, makeDelayEditor);
    effect.dispatch(effEditOpen, 0, 0, gui::headless::parentWindow(), 0.0f);
    auto* editor = static_cast<DelayEditor*>(effect.editor);
    for (auto _ : state) editor->redrawAll();
    effect.dispatch(effEditClose, 0, 0, nullptr, 0.0f);
}

BENCHMARK(BM_EditorOpenPaintClose)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditorFullRedraw)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tesk

BENCHMARK_MAIN();
