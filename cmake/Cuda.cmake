# The CUDA build of the GPU kernel: on by default where a CUDA compiler is
# found, off otherwise and in cross builds (the build machine's nvcc targets
# the build machine), where the CUDA render path is compiled out and device
# set-up declines CUDA devices.
include(CheckLanguage)
if(NOT CMAKE_CROSSCOMPILING)
  check_language(CUDA)
endif()
if(CMAKE_CUDA_COMPILER AND NOT CMAKE_CROSSCOMPILING)
  set(_tarsivel_cuda_default ON)
else()
  set(_tarsivel_cuda_default OFF)
endif()
option(TARSIVEL_ENABLE_CUDA "Build the CUDA path of the GPU renderer" ${_tarsivel_cuda_default})

if(TARSIVEL_ENABLE_CUDA)
  if(NOT CMAKE_CUDA_COMPILER)
    message(FATAL_ERROR "TARSIVEL_ENABLE_CUDA is ON but no CUDA compiler was found")
  endif()
  # Default: the oldest real architecture this toolkit can build, plus PTX for
  # it, so newer GPUs compile the kernel just in time. Older toolkits can be
  # told 52 here.
  if(NOT DEFINED CMAKE_CUDA_ARCHITECTURES OR CMAKE_CUDA_ARCHITECTURES STREQUAL "")
    execute_process(COMMAND ${CMAKE_CUDA_COMPILER} --list-gpu-code
                    OUTPUT_VARIABLE _tarsivel_gpu_codes ERROR_QUIET RESULT_VARIABLE _tarsivel_rc)
    string(REGEX MATCHALL "sm_[0-9]+" _tarsivel_codes "${_tarsivel_gpu_codes}")
    set(_tarsivel_oldest "")
    foreach(_code IN LISTS _tarsivel_codes)
      string(REPLACE "sm_" "" _number "${_code}")
      if(_tarsivel_oldest STREQUAL "" OR _number LESS _tarsivel_oldest)
        set(_tarsivel_oldest "${_number}")
      endif()
    endforeach()
    if(_tarsivel_oldest STREQUAL "")
      message(FATAL_ERROR "Could not list the GPU architectures of ${CMAKE_CUDA_COMPILER}")
    endif()
    set(CMAKE_CUDA_ARCHITECTURES "${_tarsivel_oldest}" CACHE STRING
        "CUDA architectures of the kernel: each number builds device code and PTX for it")
  endif()
  set(CMAKE_CUDA_RUNTIME_LIBRARY Static)
  # The kernel source is plain C-like code; C++17 is what every supported
  # toolkit and this CMake agree on for CUDA.
  set(CMAKE_CUDA_STANDARD 17)
  set(CMAKE_CUDA_STANDARD_REQUIRED ON)
  enable_language(CUDA)
  find_package(CUDAToolkit REQUIRED)
  message(STATUS "Tarsivel: CUDA kernel for architectures ${CMAKE_CUDA_ARCHITECTURES}")
endif()
