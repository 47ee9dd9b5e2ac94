# The self-contained GPU check binary (scripts/gpu-check): GoogleTest, the C++
# runtime and the CUDA runtime linked statically, OpenCL loaded with dlopen, so
# it runs on a GPU machine where nothing can be installed.
if(NOT TARSIVEL_ENABLE_CUDA)
  message(FATAL_ERROR "TARSIVEL_GPU_CHECK needs TARSIVEL_ENABLE_CUDA")
endif()
if(NOT TARSIVEL_OPENCL_DLOPEN)
  message(FATAL_ERROR "TARSIVEL_GPU_CHECK needs TARSIVEL_OPENCL_DLOPEN")
endif()
find_package(GTest REQUIRED)
add_executable(tarsivel_gpu_check ${PROJECT_SOURCE_DIR}/tests/render/gpu_check_main.cpp)
target_include_directories(tarsivel_gpu_check PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(tarsivel_gpu_check PRIVATE tarsivel_core tarsivel_host GTest::gtest
                                                 tarsivel_warnings)
string(REPLACE ";" " " _tarsivel_arch_text "${CMAKE_CUDA_ARCHITECTURES}")
target_compile_definitions(tarsivel_gpu_check PRIVATE
  TARSIVEL_CUDA_ARCHITECTURES_TEXT="${_tarsivel_arch_text}")
# Drop shared libraries nothing in the binary uses (the host's image files).
target_link_options(tarsivel_gpu_check PRIVATE -static-libstdc++ -static-libgcc
                                               -Wl,--as-needed)
set_target_properties(tarsivel_gpu_check PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
