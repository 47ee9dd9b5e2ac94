# Encodes entry/pipl.cmake into the PiPL's bytes (all numbers little-endian,
# four-character codes as little-endian 32-bit numbers, so their characters
# appear reversed) and writes them as:
#   OUT_CPP: a C++ source holding the bytes in the ".pipl" section (ELF builds)
#   OUT_RC:  a Windows resource script, type "PIPL", id 16000, US English
# Run as: cmake -DPIPL_DESCRIPTION=... -DOUT_CPP=... -DOUT_RC=... -P GeneratePipl.cmake
include(${PIPL_DESCRIPTION})

set(bytes "")

function(append_le value count)
  math(EXPR v "${value}")
  foreach(i RANGE 1 ${count})
    math(EXPR b "${v} & 255")
    list(APPEND bytes ${b})
    math(EXPR v "${v} >> 8")
  endforeach()
  set(bytes "${bytes}" PARENT_SCOPE)
endfunction()

function(string_codes text out)
  string(HEX "${text}" hex)
  string(LENGTH "${hex}" n)
  set(codes "")
  if(n GREATER 0)
    math(EXPR last "${n} - 2")
    foreach(i RANGE 0 ${last} 2)
      string(SUBSTRING "${hex}" ${i} 2 pair)
      math(EXPR c "0x${pair}")
      list(APPEND codes ${c})
    endforeach()
  endif()
  set(${out} "${codes}" PARENT_SCOPE)
endfunction()

# A four-character code: first character in the highest byte.
function(append_fourcc code)
  string_codes("${code}" c)
  list(REVERSE c)
  list(APPEND bytes ${c})
  set(bytes "${bytes}" PARENT_SCOPE)
endfunction()

function(pad_to_4 list_name)
  set(data ${${list_name}})
  list(LENGTH data n)
  math(EXPR rem "${n} % 4")
  if(NOT rem EQUAL 0)
    math(EXPR pad "4 - ${rem}")
    foreach(i RANGE 1 ${pad})
      list(APPEND data 0)
    endforeach()
  endif()
  set(${list_name} "${data}" PARENT_SCOPE)
endfunction()

list(LENGTH PIPL_PROPERTIES count)
append_le(1 2)         # version
append_le(0 4)         # reserved
append_le(${count} 4)  # property count

foreach(entry IN LISTS PIPL_PROPERTIES)
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 key)
  list(GET fields 1 kind)
  set(data "")
  set(counted "")
  if(kind STREQUAL "fourcc")
    list(GET fields 2 value)
    set(saved "${bytes}")
    set(bytes "")
    append_fourcc("${value}")
    set(data "${bytes}")
    set(bytes "${saved}")
  elseif(kind STREQUAL "pstring")
    list(GET fields 2 value)
    string(LENGTH "${value}" len)
    string_codes("${value}" c)
    set(data ${len} ${c})
    pad_to_4(data)
  elseif(kind STREQUAL "cstring")
    list(GET fields 2 value)
    string_codes("${value}" c)
    set(data ${c} 0)
    pad_to_4(data)
  elseif(kind STREQUAL "u16pair" OR kind STREQUAL "u32" OR kind STREQUAL "u16")
    set(saved "${bytes}")
    set(bytes "")
    if(kind STREQUAL "u16pair")
      list(GET fields 2 major)
      list(GET fields 3 minor)
      append_le(${major} 2)
      append_le(${minor} 2)
    elseif(kind STREQUAL "u32")
      list(GET fields 2 value)
      append_le(${value} 4)
    else()
      # A 16-bit value counts 2 bytes; the reader still moves on by 4.
      list(GET fields 2 value)
      append_le(${value} 2)
      set(counted 2)
    endif()
    set(data "${bytes}")
    set(bytes "${saved}")
    pad_to_4(data)
  else()
    message(FATAL_ERROR "unknown PiPL value kind ${kind}")
  endif()
  list(LENGTH data len)
  if(counted STREQUAL "")
    set(counted ${len})
  endif()
  append_fourcc("8BIM")
  append_fourcc("${key}")
  append_le(0 4)
  append_le(${counted} 4)
  list(APPEND bytes ${data})
endforeach()

# C++ source for ELF builds.
set(body "")
set(column 0)
foreach(b IN LISTS bytes)
  string(APPEND body "${b},")
  math(EXPR column "${column} + 1")
  if(column EQUAL 16)
    string(APPEND body "\n    ")
    set(column 0)
  endif()
endforeach()
list(LENGTH bytes total)
file(WRITE "${OUT_CPP}.tmp"
"// Generated from entry/pipl.cmake by cmake/GeneratePipl.cmake; do not edit.
// The property list, in a section of its own so a host can find it by name.
extern const unsigned char kTarsivelPipl[${total}];
#if defined(__ELF__)
__attribute__((section(\".pipl\"), used, aligned(4)))
#endif
const unsigned char kTarsivelPipl[${total}] = {
    ${body}
};
")
file(COPY_FILE "${OUT_CPP}.tmp" "${OUT_CPP}" ONLY_IF_DIFFERENT)

# Windows resource: the same bytes as 16-bit little-endian words.
if(OUT_RC)
  math(EXPR odd "${total} % 2")
  if(odd)
    list(APPEND bytes 0)
  endif()
  set(words "")
  set(i 0)
  list(LENGTH bytes n)
  set(column 0)
  while(i LESS n)
    list(GET bytes ${i} lo)
    math(EXPR j "${i} + 1")
    list(GET bytes ${j} hi)
    math(EXPR w "${lo} + ${hi} * 256" OUTPUT_FORMAT HEXADECIMAL)
    if(words STREQUAL "")
      string(APPEND words "    ${w}")
    else()
      string(APPEND words ", ${w}")
    endif()
    math(EXPR column "${column} + 1")
    if(column EQUAL 12)
      string(APPEND words ",\n   ")
      set(words_pending TRUE)
      set(column 0)
    endif()
    math(EXPR i "${i} + 2")
  endwhile()
  string(REPLACE ",\n   ," ",\n   " words "${words}")
  file(WRITE "${OUT_RC}.tmp"
"// Generated from entry/pipl.cmake by cmake/GeneratePipl.cmake; do not edit.
LANGUAGE 0x09, 0x01
16000 PIPL
BEGIN
${words}
END
")
  file(COPY_FILE "${OUT_RC}.tmp" "${OUT_RC}" ONLY_IF_DIFFERENT)
endif()
