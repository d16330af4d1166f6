// Resources built into the binary: each binary that links the toolkit embeds its
// PNG files with the CMake function tesk_embed_resources, which generates the
// definition of findEmbeddedResource from resources named <id>.png.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gui {

/// The bytes of one embedded file.
struct EmbeddedResource {
    std::int32_t id;
    const unsigned char* data;
    std::size_t size;
};

/// The embedded resource `id`, or null when the binary holds none of that id.
const EmbeddedResource* findEmbeddedResource(std::int32_t id);

} // namespace gui
