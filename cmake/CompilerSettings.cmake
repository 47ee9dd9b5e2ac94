# Frames must be bit-identical from build to build: no fused multiply-add
# contraction and no fast-math anywhere in the plug-in or the host. Only the GPU
# kernel opts into fast math, in its own build rules.
add_compile_options(
  $<$<COMPILE_LANGUAGE:C,CXX>:-ffp-contract=off>
  $<$<COMPILE_LANGUAGE:C,CXX>:-fno-fast-math>
)

add_library(tarsivel_warnings INTERFACE)
target_compile_options(tarsivel_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
    -Wnull-dereference -Wdouble-promotion -Wformat=2>
)
# GCC 12 reports -Wrestrict inside libstdc++'s own string concatenation at -O3
# (a known false positive); it would turn every "text" + std::string into an error.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(tarsivel_warnings INTERFACE $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
endif()
if(TARSIVEL_WERROR)
  target_compile_options(tarsivel_warnings INTERFACE $<$<COMPILE_LANGUAGE:C,CXX>:-Werror>)
endif()

# The threaded tests under ThreadSanitizer, which cannot share a build with
# AddressSanitizer.
if(TARSIVEL_TSAN)
  if(TARSIVEL_SANITIZE)
    message(FATAL_ERROR "TARSIVEL_TSAN and TARSIVEL_SANITIZE cannot be combined")
  endif()
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-fsanitize=thread> $<$<COMPILE_LANGUAGE:C,CXX>:-fno-omit-frame-pointer>)
  add_link_options(-fsanitize=thread)
endif()

# The libFuzzer targets: clang, with the fuzzer's coverage and the same
# sanitizers as the sanitizer build in every library they link.
if(TARSIVEL_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang (the fuzz preset uses clang++-14)")
  endif()
  set(_fuzz_san -fsanitize=address,undefined,float-cast-overflow,float-divide-by-zero
                -fno-sanitize-recover=all -fno-omit-frame-pointer)
  foreach(_flag IN LISTS _fuzz_san)
    add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:${_flag}>)
  endforeach()
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-fsanitize=fuzzer-no-link>)
  add_link_options(${_fuzz_san})
endif()

# Sanitizer builds: GCC's "undefined" group leaves out the two float checks, so
# they are named explicitly.
if(TARSIVEL_SANITIZE)
  set(_san -fsanitize=address,undefined,float-cast-overflow,float-divide-by-zero
           -fno-sanitize-recover=all -fno-omit-frame-pointer)
  foreach(_flag IN LISTS _san)
    add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:${_flag}>)
  endforeach()
  add_link_options(${_san})
endif()
