# The GPU render path: device set-up and set-down, the per-frame render, and
# the one kernel source in its two forms (embedded OpenCL C text, CUDA object).

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

# The OpenCL C text, made from the kernel source at build time.
set(_tarsivel_kernel ${CMAKE_CURRENT_SOURCE_DIR}/kernel/rope_kernel.cl.h)
set(_tarsivel_kernel_text ${CMAKE_CURRENT_BINARY_DIR}/rope_kernel_text.cpp)
add_custom_command(
  OUTPUT ${_tarsivel_kernel_text}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${_tarsivel_kernel} -DOUTPUT=${_tarsivel_kernel_text}
          -P ${PROJECT_SOURCE_DIR}/cmake/EmbedKernelSource.cmake
  DEPENDS ${_tarsivel_kernel} ${PROJECT_SOURCE_DIR}/cmake/EmbedKernelSource.cmake
  COMMENT "Embedding the rope kernel as OpenCL C text"
  VERBATIM)
add_library(tarsivel_kernel_text OBJECT ${_tarsivel_kernel_text})
target_include_directories(tarsivel_kernel_text PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(tarsivel_kernel_text PRIVATE tarsivel_warnings)

target_sources(tarsivel_core PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/gpu_device_setup.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/gpu_kernel_arguments.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/render_rope_gpu.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/render_rope_opencl.cpp
  $<TARGET_OBJECTS:tarsivel_kernel_text>)
target_link_libraries(tarsivel_core PUBLIC tarsivel_opencl)

if(TARSIVEL_ENABLE_CUDA)
  # Fast single precision for the kernel alone; the C++ code keeps its strict
  # floating-point settings.
  add_library(tarsivel_kernel_cuda OBJECT ${CMAKE_CURRENT_SOURCE_DIR}/kernel/rope_kernel_cuda.cu)
  target_include_directories(tarsivel_kernel_cuda PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(tarsivel_kernel_cuda PRIVATE $<$<COMPILE_LANGUAGE:CUDA>:--use_fast_math>)
  set_target_properties(tarsivel_kernel_cuda PROPERTIES CUDA_RUNTIME_LIBRARY Static)
  target_sources(tarsivel_core PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/render_rope_cuda.cpp
    $<TARGET_OBJECTS:tarsivel_kernel_cuda>)
  target_link_libraries(tarsivel_core PUBLIC CUDA::cudart_static)
  target_compile_definitions(tarsivel_core PUBLIC TARSIVEL_WITH_CUDA=1)
else()
  target_compile_definitions(tarsivel_core PUBLIC TARSIVEL_WITH_CUDA=0)
endif()

option(TARSIVEL_GPU_CHECK "Build the self-contained GPU check binary" OFF)
if(TARSIVEL_GPU_CHECK)
  include(${PROJECT_SOURCE_DIR}/cmake/GpuCheck.cmake)
endif()
