# Writes a C++ source that holds the bytes of a file as an array.
#
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P embed_file.cmake
#
# The source defines `const unsigned char SYMBOL[]` (the bytes and a final zero byte, not counted)
# and `const std::size_t SYMBOL_size`, both in namespace tarnwick::resources.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT} by embed_file.cmake; do not edit.
#include <cstddef>
namespace tarnwick::resources {
extern const unsigned char ${SYMBOL}[];
extern const std::size_t ${SYMBOL}_size;
const unsigned char ${SYMBOL}[] = {
${bytes}0x00};
const std::size_t ${SYMBOL}_size = ${size};
}  // namespace tarnwick::resources
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
