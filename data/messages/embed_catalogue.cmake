# Writes the bytes of a catalogue source into a C++ file, so the program
# carries its English texts whatever message folder it finds:
#   cmake -DSRC=en.txt -DOUT=builtin_en.cpp -P embed_catalogue.cmake
file(READ ${SRC} _hex HEX)
string(LENGTH "${_hex}" _len)
math(EXPR _size "${_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
file(WRITE ${OUT}.tmp "// Generated from ${SRC}; do not edit.\n#include <cstddef>\nnamespace bramble {\nextern const unsigned char kBuiltInEnglishSource[];\nextern const std::size_t kBuiltInEnglishSourceSize;\nconst unsigned char kBuiltInEnglishSource[] = {${_bytes}0};\nconst std::size_t kBuiltInEnglishSourceSize = ${_size};\n}  // namespace bramble\n")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
