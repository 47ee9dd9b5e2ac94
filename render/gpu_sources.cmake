# The GPU render path: device set-up and set-down, the per-frame render, and
# the one kernel source in its two forms (embedded OpenCL C text, CUDA fatbin).

# OpenCL for the plug-in and the reference host. The self-contained GPU check
# binary loads the ICD loader at run time instead, so it starts on machines
# without one.
option(TARSIVEL_OPENCL_DLOPEN "Load OpenCL with dlopen instead of linking it" OFF)
find_package(OpenCL REQUIRED)
add_library(tarsivel_opencl INTERFACE)
target_compile_definitions(tarsivel_opencl INTERFACE CL_TARGET_OPENCL_VERSION=120)
if(TARSIVEL_OPENCL_DLOPEN)
  add_library(tarsivel_opencl_loader STATIC ${CMAKE_CURRENT_SOURCE_DIR}/opencl_loader.cpp)
  target_include_directories(tarsivel_opencl_loader PUBLIC ${OpenCL_INCLUDE_DIRS})
  target_compile_definitions(tarsivel_opencl_loader PUBLIC CL_TARGET_OPENCL_VERSION=120)
  target_link_libraries(tarsivel_opencl_loader PRIVATE tarsivel_warnings ${CMAKE_DL_LIBS})
  target_link_libraries(tarsivel_opencl INTERFACE tarsivel_opencl_loader)
else()
  target_link_libraries(tarsivel_opencl INTERFACE OpenCL::OpenCL)
endif()

# An object library `target` holding the bytes of `input` as a C++ array,
# made at build time by cmake/EmbedKernelSource.cmake with the extra ARGS.
function(tarsivel_embed_file target input output comment)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} ${ARGN}
            -P ${PROJECT_SOURCE_DIR}/cmake/EmbedKernelSource.cmake
    DEPENDS ${input} ${PROJECT_SOURCE_DIR}/cmake/EmbedKernelSource.cmake
    COMMENT "${comment}"
    VERBATIM)
  add_library(${target} OBJECT ${output})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE tarsivel_warnings)
endfunction()

# The OpenCL C text, made from the kernel source at build time.
set(_tarsivel_kernel ${CMAKE_CURRENT_SOURCE_DIR}/kernel/rope_kernel.cl.h)
tarsivel_embed_file(tarsivel_kernel_text ${_tarsivel_kernel}
                    ${CMAKE_CURRENT_BINARY_DIR}/rope_kernel_text.cpp
                    "Embedding the rope kernel as OpenCL C text")

target_sources(tarsivel_core PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/gpu_device_setup.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/gpu_kernel_arguments.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/render_rope_gpu.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/render_rope_opencl.cpp
  $<TARGET_OBJECTS:tarsivel_kernel_text>)
target_link_libraries(tarsivel_core PUBLIC tarsivel_opencl)

# The CUDA path: the driver library loaded at run time (shared with the
# reference host), and the kernel's device code embedded as a fatbin.
add_library(tarsivel_cuda_driver STATIC ${CMAKE_CURRENT_SOURCE_DIR}/cuda_driver.cpp)
target_include_directories(tarsivel_cuda_driver PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tarsivel_cuda_driver PRIVATE tarsivel_warnings ${CMAKE_DL_LIBS})

set(TARSIVEL_CUDA_FATBIN_PATH "")
if(TARSIVEL_ENABLE_CUDA AND TARSIVEL_CUDA_FATBIN)
  set(TARSIVEL_CUDA_FATBIN_PATH ${TARSIVEL_CUDA_FATBIN})
elseif(TARSIVEL_ENABLE_CUDA)
  set(TARSIVEL_CUDA_FATBIN_PATH ${CMAKE_CURRENT_BINARY_DIR}/cuda/rope_kernel.fatbin)
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/cuda)
  tarsivel_cuda_fatbin(${CMAKE_CURRENT_SOURCE_DIR}/kernel/rope_kernel_cuda.cu
                       ${TARSIVEL_CUDA_FATBIN_PATH}
                       DEPENDS ${_tarsivel_kernel}
                       INCLUDES ${PROJECT_SOURCE_DIR})
endif()
set(TARSIVEL_CUDA_FATBIN_PATH ${TARSIVEL_CUDA_FATBIN_PATH} PARENT_SCOPE)
add_custom_target(tarsivel_cuda_fatbin DEPENDS ${TARSIVEL_CUDA_FATBIN_PATH})
if(TARGET tarsivel_windows)
  # The Windows build beside this one embeds the same fatbin.
  add_dependencies(tarsivel_windows tarsivel_cuda_fatbin)
endif()
tarsivel_embed_file(tarsivel_kernel_fatbin "${TARSIVEL_CUDA_FATBIN_PATH}"
                    ${CMAKE_CURRENT_BINARY_DIR}/rope_kernel_fatbin.cpp
                    "Embedding the rope kernel's CUDA fatbin"
                    -DHEADER=render/kernel/rope_kernel_cuda.h -DARRAY=kRopeKernelFatbin
                    -DLENGTH=kRopeKernelFatbinSize -DALIGN=64)
# Through the one target that makes the fatbin, so that a parallel build never
# runs its compilers twice at once.
add_dependencies(tarsivel_kernel_fatbin tarsivel_cuda_fatbin)
target_sources(tarsivel_core PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/render_rope_cuda.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/cuda_device_setup.cpp
  $<TARGET_OBJECTS:tarsivel_kernel_fatbin>)
target_link_libraries(tarsivel_core PUBLIC tarsivel_cuda_driver)

option(TARSIVEL_GPU_CHECK "Build the self-contained GPU check binary" OFF)
if(TARSIVEL_GPU_CHECK)
  include(${PROJECT_SOURCE_DIR}/cmake/GpuCheck.cmake)
endif()
