# The Windows binaries as a second build tree inside this one, configured
# with the mingw-w64 toolchain and rebuilt whenever this tree is built, so the
# tests in tests/windows always see a current Tarsivel.aex and tarsivel.exe.
find_program(TARSIVEL_MINGW_CXX x86_64-w64-mingw32-g++-posix)
find_program(TARSIVEL_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(TARSIVEL_WINE wine64)
find_program(TARSIVEL_WINESERVER wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(TARSIVEL_WINESERVER wineserver)
if(NOT TARSIVEL_MINGW_CXX OR NOT TARSIVEL_WINE OR NOT TARSIVEL_WINESERVER)
  message(FATAL_ERROR "TARSIVEL_BUILD_WINDOWS needs mingw-w64 (posix threads) and wine64; "
                      "run scripts/install-deps or configure with -DTARSIVEL_BUILD_WINDOWS=OFF")
endif()

set(TARSIVEL_WINDOWS_BINARY_DIR ${CMAKE_BINARY_DIR}/windows)
set(TARSIVEL_WINDOWS_BIN_DIR ${TARSIVEL_WINDOWS_BINARY_DIR}/bin)

# The CUDA device code is made once, by this build, and embedded in both.
set(_tarsivel_windows_cuda -DTARSIVEL_ENABLE_CUDA=OFF)
if(TARSIVEL_ENABLE_CUDA)
  set(_tarsivel_windows_fatbin ${TARSIVEL_CUDA_FATBIN})
  if(NOT _tarsivel_windows_fatbin)
    set(_tarsivel_windows_fatbin ${CMAKE_BINARY_DIR}/render/kernel/cuda/rope_kernel.fatbin)
  endif()
  set(_tarsivel_windows_cuda -DTARSIVEL_ENABLE_CUDA=ON
                             -DTARSIVEL_CUDA_FATBIN=${_tarsivel_windows_fatbin})
endif()

include(ExternalProject)
ExternalProject_Add(tarsivel_windows
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${TARSIVEL_WINDOWS_BINARY_DIR}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/MingwToolchain.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DTARSIVEL_BUILD_TESTS=OFF
    -DTARSIVEL_BUILD_BENCH=OFF
    -DTARSIVEL_WERROR=${TARSIVEL_WERROR}
    -DTARSIVEL_HOST_SDK=${TARSIVEL_HOST_SDK}
    ${_tarsivel_windows_cuda}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${TARSIVEL_WINDOWS_BIN_DIR}/Tarsivel.aex ${TARSIVEL_WINDOWS_BIN_DIR}/tarsivel.exe)
