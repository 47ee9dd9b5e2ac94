# Set-up of a Windows cross build. The build machine's header-only libraries
# and OpenCL headers are copied into the build tree, so the cross compiler
# never searches the build machine's /usr/include, and OpenCL is bound to the
# system's OpenCL.dll through an import library made from cmake/windows/OpenCL.def.
set(_staged ${CMAKE_BINARY_DIR}/staged)
set(TARSIVEL_WINDOWS_DIR ${CMAKE_CURRENT_LIST_DIR}/windows)

function(tarsivel_stage_headers folder)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing; run scripts/install-deps")
  endif()
  file(COPY /usr/include/${folder} DESTINATION ${_staged}/include)
endfunction()
tarsivel_stage_headers(CL)
tarsivel_stage_headers(nlohmann)
tarsivel_stage_headers(CLI)
tarsivel_stage_headers(stb)

# Package configurations for the staged header-only libraries.
function(tarsivel_stage_header_package package target)
  set(dir ${_staged}/cmake/${package})
  file(WRITE ${dir}/${package}Config.cmake
"if(NOT TARGET ${target})
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES \"${_staged}/include\")
endif()
")
  set(${package}_DIR ${dir} CACHE PATH "Staged configuration of ${package}" FORCE)
endfunction()
tarsivel_stage_header_package(nlohmann_json nlohmann_json::nlohmann_json)
tarsivel_stage_header_package(CLI11 CLI11::CLI11)

# OpenCL: the staged headers and an import library for OpenCL.dll.
set(_opencl_import ${_staged}/lib/libOpenCL.a)
file(MAKE_DIRECTORY ${_staged}/lib)
execute_process(
  COMMAND ${TARSIVEL_DLLTOOL} --input-def ${TARSIVEL_WINDOWS_DIR}/OpenCL.def
          --dllname OpenCL.dll --output-lib ${_opencl_import}
  RESULT_VARIABLE _dlltool_result)
if(NOT _dlltool_result EQUAL 0)
  message(FATAL_ERROR "${TARSIVEL_DLLTOOL} could not make the OpenCL import library")
endif()
set(OpenCL_INCLUDE_DIR ${_staged}/include CACHE PATH "Staged OpenCL headers" FORCE)
set(OpenCL_LIBRARY ${_opencl_import} CACHE FILEPATH "Import library of OpenCL.dll" FORCE)

# The loadable plug-in: the PiPL compiled in as a resource and an export
# table of exactly the three names in cmake/windows/Tarsivel.def. The .def
# alone decides: no symbol of the static runtimes is exported automatically.
function(tarsivel_windows_plugin target pipl_rc)
  target_sources(${target} PRIVATE ${pipl_rc} ${TARSIVEL_WINDOWS_DIR}/Tarsivel.def)
  target_link_options(${target} PRIVATE -Wl,--exclude-all-symbols -Wl,--no-undefined)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${TARSIVEL_WINDOWS_DIR}/Tarsivel.def)
endfunction()

# The host's image files without libpng and OpenEXR, which have no Windows
# builds here: PNG through the portable codec (stb_image, staged, and the
# mingw-w64 build of zlib, linked statically so that the command needs no DLL
# of it), and EXR requests fail plainly.
function(tarsivel_windows_host_images target)
  get_target_property(_dir ${target} SOURCE_DIR)
  set(ZLIB_USE_STATIC_LIBS ON)
  find_package(ZLIB REQUIRED)
  target_sources(${target} PRIVATE ${_dir}/image_files_unavailable.cpp)
  target_compile_definitions(${target} PRIVATE TARSIVEL_PORTABLE_PNG)
  target_include_directories(${target} SYSTEM PRIVATE ${_staged}/include)
  target_link_libraries(${target} PRIVATE ZLIB::ZLIB)
endfunction()

# <windows.h> without its min and max macros, which break std::min and std::max.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN)
