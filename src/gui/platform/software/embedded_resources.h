// Resources built into the binary: each binary that links the toolkit embeds its
// PNG files with the CMake function tesk_embed_resources, which generates the
// definition of findEmbeddedResource from resources named <id>.png.
#pragma once

#include "gui/scale.h"

#include <cstddef>
#include <cstdint>

namespace gui {

/// The bytes of one embedded file.
struct EmbeddedResource {
    std::int32_t id;
    const unsigned char* data;
    std::size_t size;
};

/// The id under which the build keeps picture `id` drawn for `scale` (see
/// src/gui/cmake/resource_id.cmake): `id` itself at scale 1.
inline std::int32_t scaledResourceId(std::int32_t id, Scale scale) {
    if (scale.isUnit()) return id;
    return id + 10000 * static_cast<std::int32_t>(scale.factor() * 2.0);
}

/// The embedded resource `id`, or null when the binary holds none of that id.
const EmbeddedResource* findEmbeddedResource(std::int32_t id);

} // namespace gui
