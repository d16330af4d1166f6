// The render loop: source, plug-in and output file, block by block, then the tail.
#pragma once

#include "audio_io.h"
#include "options.h"
#include "plugin.h"
#include "progress.h"

#include <cstdint>
#include <optional>

namespace tesk::render {

/// How to render: which outputs, how long a tail, what block size.
struct RenderPlan {
    OutputMode outputs;
    std::optional<double> tailSeconds; ///< none: until the output has died away
    std::int32_t blockSize;
    double warmUpSeconds; ///< silence run in real time first, not written
    float gain;           ///< the factor applied to the plug-in's output before writing
};

/// What a render produced.
struct RenderResult {
    std::int64_t frames; ///< frames written to the file
    bool tailCapped;     ///< the output still sounded when the longest tail ended
};

/// The longest tail rendered when none is given.
inline constexpr double kLongestTailSeconds = 30.0;

/// The channels of the output file for `mode` with a plug-in of `pluginOutputs` outputs.
int outputChannels(OutputMode mode, int pluginOutputs);

/// Renders `source` and its tail through the started `plugin` into `sink`.
RenderResult render(Plugin& plugin, AudioSource& source, SoundFileSink& sink,
                    const RenderPlan& plan, ProgressBar& progress);

} // namespace tesk::render
