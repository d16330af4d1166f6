# Writes OUTPUT: a C++ file holding the bytes of each of FILES (named <id>.png, in
# a folder of a scale for pictures drawn at that scale) and the lookup of
# gui::findEmbeddedResource. Run with cmake -P at build time.
include(${CMAKE_CURRENT_LIST_DIR}/resource_id.cmake)
set(arrays "")
set(entries "")
foreach(file IN LISTS FILES)
  tesk_resource_id(${file} id)
  file(READ ${file} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n"
         bytes "${bytes}")
  string(APPEND arrays "const unsigned char resource${id}[] = {\n${bytes}};\n\n")
  string(APPEND entries "    {${id}, resource${id}, ${size}},\n")
endforeach()

set(content "// Generated from the resource files by tesk_embed_resources; do not edit.
#include \"gui/platform/software/embedded_resources.h\"

namespace gui {
namespace {

${arrays}const EmbeddedResource resources[] = {
${entries}    {0, nullptr, 0},
};

} // namespace

const EmbeddedResource* findEmbeddedResource(std::int32_t id) {
    for (const EmbeddedResource& resource : resources) {
        if (resource.data != nullptr && resource.id == id) return &resource;
    }
    return nullptr;
}

} // namespace gui
")
file(WRITE ${OUTPUT} "${content}")
