# The self-contained GPU check (scripts/gpu-check): a test program and the
# plug-in beside it in one folder, ${CMAKE_BINARY_DIR}/out, which is all a GPU
# machine where nothing can be installed needs. GoogleTest and the C++ runtime
# are linked statically; OpenCL and the CUDA driver are loaded at run time.
if(NOT TARSIVEL_ENABLE_CUDA)
  message(FATAL_ERROR "TARSIVEL_GPU_CHECK needs TARSIVEL_ENABLE_CUDA")
endif()
if(NOT TARSIVEL_OPENCL_DLOPEN)
  message(FATAL_ERROR "TARSIVEL_GPU_CHECK needs TARSIVEL_OPENCL_DLOPEN")
endif()
find_package(GTest REQUIRED)
set(_tarsivel_check_dir ${CMAKE_BINARY_DIR}/out)
add_executable(tarsivel_gpu_check ${PROJECT_SOURCE_DIR}/tests/render/gpu/gpu_check_main.cpp)
target_include_directories(tarsivel_gpu_check PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(tarsivel_gpu_check PRIVATE tarsivel_host GTest::gtest tarsivel_warnings)
string(REPLACE ";" " " _tarsivel_arch_text "${TARSIVEL_CUDA_MACHINE_ARCHITECTURES}")
target_compile_definitions(tarsivel_gpu_check PRIVATE
  TARSIVEL_CUDA_ARCHITECTURES_TEXT="${_tarsivel_arch_text}")
# Drop shared libraries nothing in the binary uses (the host's image files).
target_link_options(tarsivel_gpu_check PRIVATE -static-libstdc++ -static-libgcc -Wl,--as-needed)
target_link_options(tarsivel_plugin PRIVATE -static-libstdc++ -static-libgcc)
set_target_properties(tarsivel_gpu_check PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${_tarsivel_check_dir})
add_dependencies(tarsivel_gpu_check tarsivel_plugin)
add_custom_command(TARGET tarsivel_gpu_check POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tarsivel_plugin> ${_tarsivel_check_dir}/Tarsivel.so
  VERBATIM)
