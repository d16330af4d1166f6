# Writes OUTPUT: a C++ file holding the bytes of the PNG file ICON as the
# window icon's picture (icon.h). Run with cmake -P at build time.
file(READ ${ICON} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){12})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from ${ICON_NAME} by embed_icon.cmake; do not edit.
#include \"icon.h\"

namespace tesk::standalone {

const unsigned char kIconPng[] = {
${bytes}};
const std::size_t kIconPngSize = ${size};

} // namespace tesk::standalone
")
