# cmake -DOUT=file.cpp -DFILES="a.png;b.png" -DPREFIX=name_ -P embed_files.cmake
# Writes each file as a byte array named PREFIX + its name (non-alphanumerics as
# '_'), with its size, so that a program carries the files as resources.
file(WRITE ${OUT}.tmp "// Generated from the files named below; do not edit.\n#include <cstddef>\n\n")
foreach(f IN LISTS FILES)
  get_filename_component(name ${f} NAME)
  string(MAKE_C_IDENTIFIER "${PREFIX}${name}" id)
  file(READ ${f} hex HEX)
  string(LENGTH "${hex}" n)
  math(EXPR size "${n} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
  file(APPEND ${OUT}.tmp "// ${name}\nextern const unsigned char ${id}[] = {\n${bytes}\n};\nextern const std::size_t ${id}_size = ${size};\n\n")
endforeach()
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.tmp)
