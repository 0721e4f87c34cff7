# tw_embed(target symbol file): compiles the bytes of a data file into target as
#   extern const unsigned char symbol[]; extern const size_t symbol_size;
# so test programs carry their data with them (under Wine no host path needs translating).
function(tw_embed target symbol file)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    file(READ ${file} hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n"
           bytes "${bytes}")
    set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp)
    file(CONFIGURE OUTPUT ${out} CONTENT
"// Generated from ${file}; do not edit.
#include <cstddef>
extern const unsigned char ${symbol}[] = {\n${bytes}0};
extern const size_t ${symbol}_size = ${size};
" @ONLY)
    target_sources(${target} PRIVATE ${out})
endfunction()
