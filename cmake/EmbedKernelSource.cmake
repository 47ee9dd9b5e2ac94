# Turns the kernel source into a C++ file holding its exact text and length, at
# build time:  cmake -DINPUT=<kernel> -DOUTPUT=<file.cpp> -P EmbedKernelSource.cmake
# Every byte is written as a hex escape, so any text survives unchanged, and the
# literal is cut into short pieces to stay within every compiler's limits.
# Any other file, binary ones too, is embedded the same way with
#   -DHEADER=<include> -DARRAY=<name> -DLENGTH=<name> [-DALIGN=<bytes>]
# and an INPUT that does not exist gives an empty array.
if(NOT DEFINED INPUT OR NOT DEFINED OUTPUT)
  message(FATAL_ERROR "EmbedKernelSource: INPUT and OUTPUT are required")
endif()
if(NOT DEFINED HEADER)
  set(HEADER "rope_kernel_source.h")
  set(ARRAY kRopeKernelSource)
  set(LENGTH kRopeKernelSourceLength)
endif()
set(_align "")
if(DEFINED ALIGN)
  set(_align "alignas(${ALIGN}) ")
endif()

set(_hex "")
if(EXISTS "${INPUT}")
  file(READ "${INPUT}" _hex HEX)
endif()
string(LENGTH "${_hex}" _hex_length)
math(EXPR _length "${_hex_length} / 2")

# 32 bytes per line of hex escapes.
set(_lines "")
set(_offset 0)
while(_offset LESS _hex_length)
  string(SUBSTRING "${_hex}" ${_offset} 64 _chunk)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" _chunk "${_chunk}")
  string(APPEND _lines "    \"${_chunk}\"\n")
  math(EXPR _offset "${_offset} + 64")
endwhile()

file(WRITE "${OUTPUT}.tmp"
"// Generated at build time from ${INPUT}; do not edit.\n"
"#include \"${HEADER}\"\n"
"\n"
"namespace tarsivel {\n"
"\n"
"${_align}const char ${ARRAY}[] =\n"
"${_lines}"
"    \"\";\n"
"const std::size_t ${LENGTH} = ${_length};\n"
"\n"
"}  // namespace tarsivel\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
