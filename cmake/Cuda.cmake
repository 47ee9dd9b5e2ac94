# The CUDA device code of the GPU kernel: one fatbin, made at build time from
# the one kernel source and embedded in the plug-in as data. The plug-in reaches
# the GPU through the driver library loaded at run time, so no CUDA library is
# linked and no CUDA compiler builds any of the binaries' own objects.
#
# The fatbin holds PTX for compute capability 5.2 from clang (the installed
# toolkit no longer compiles for anything that old), which the driver compiles
# just in time for any newer GPU, and nvcc's machine code for the
# architectures in TARSIVEL_CUDA_MACHINE_ARCHITECTURES. Device code does not
# depend on the host platform, so a cross build can make it with the build
# machine's compilers, or take the one the native build made
# (TARSIVEL_CUDA_FATBIN), which is what the Windows build beside the Linux one
# does. Without the compilers the fatbin is empty and device set-up declines
# CUDA devices.

# Looks for nvcc, fatbinary and clang, and sets `default` to whether CUDA
# device code can be embedded: the tools are all there, or a fatbin is given.
# A macro, so that the tools' folder stays visible to the tests.
macro(tarsivel_find_cuda_tools default)
  find_program(TARSIVEL_NVCC nvcc HINTS ENV CUDA_PATH PATH_SUFFIXES bin
               PATHS /usr/local/cuda/bin)
  if(TARSIVEL_NVCC)
    get_filename_component(_tarsivel_cuda_bin "${TARSIVEL_NVCC}" DIRECTORY)
  endif()
  find_program(TARSIVEL_FATBINARY fatbinary HINTS ${_tarsivel_cuda_bin})
  find_program(TARSIVEL_CUDA_CLANG NAMES clang-14 clang)
  if(TARSIVEL_CUDA_FATBIN OR (TARSIVEL_NVCC AND TARSIVEL_FATBINARY AND TARSIVEL_CUDA_CLANG))
    set(${default} ON)
  else()
    set(${default} OFF)
  endif()
endmacro()

# Refuses TARSIVEL_ENABLE_CUDA without the tools to honour it, and says what
# device code the build embeds.
function(tarsivel_check_cuda_options)
  if(TARSIVEL_ENABLE_CUDA AND NOT TARSIVEL_CUDA_FATBIN)
    if(NOT TARSIVEL_NVCC OR NOT TARSIVEL_FATBINARY OR NOT TARSIVEL_CUDA_CLANG)
      message(FATAL_ERROR "TARSIVEL_ENABLE_CUDA needs nvcc, fatbinary and clang "
                          "(found: '${TARSIVEL_NVCC}', '${TARSIVEL_FATBINARY}', "
                          "'${TARSIVEL_CUDA_CLANG}')")
    endif()
    message(STATUS "Tarsivel: CUDA device code: PTX for ${TARSIVEL_CUDA_PTX_ARCHITECTURE}, "
                   "machine code for ${TARSIVEL_CUDA_MACHINE_ARCHITECTURES}")
  elseif(TARSIVEL_ENABLE_CUDA)
    message(STATUS "Tarsivel: CUDA device code from ${TARSIVEL_CUDA_FATBIN}")
  else()
    message(STATUS "Tarsivel: no CUDA device code; CUDA devices will be declined")
  endif()
endfunction()

# Makes the fatbin from `source` into `output`; `depends` lists what it includes.
function(tarsivel_cuda_fatbin source output)
  cmake_parse_arguments(ARG "" "" "DEPENDS;INCLUDES" ${ARGN})
  get_filename_component(_dir "${output}" DIRECTORY)
  set(_includes "")
  foreach(_include IN LISTS ARG_INCLUDES)
    list(APPEND _includes -I${_include})
  endforeach()
  # The kernel is written for fast single precision: flush-to-zero and
  # approximate division and square roots, under both compilers.
  set(_ptx ${_dir}/rope_kernel_sm${TARSIVEL_CUDA_PTX_ARCHITECTURE}.ptx)
  add_custom_command(
    OUTPUT ${_ptx}
    COMMAND ${TARSIVEL_CUDA_CLANG} -x cuda --cuda-device-only
            --cuda-gpu-arch=sm_${TARSIVEL_CUDA_PTX_ARCHITECTURE} -nocudainc -nocudalib
            -Wno-unknown-cuda-version -D__CUDACC__
            -I${PROJECT_SOURCE_DIR}/render/kernel/clang_cuda ${_includes}
            -O3 -ffast-math -fcuda-flush-denormals-to-zero -S ${source} -o ${_ptx}
    DEPENDS ${source} ${ARG_DEPENDS} ${PROJECT_SOURCE_DIR}/render/kernel/clang_cuda/cuda_runtime.h
    COMMENT "Compiling the rope kernel to PTX for sm_${TARSIVEL_CUDA_PTX_ARCHITECTURE} with clang"
    VERBATIM)
  set(_images --image3=kind=ptx,sm=${TARSIVEL_CUDA_PTX_ARCHITECTURE},file=${_ptx})
  set(_image_files ${_ptx})
  foreach(_arch IN LISTS TARSIVEL_CUDA_MACHINE_ARCHITECTURES)
    set(_cubin ${_dir}/rope_kernel_sm${_arch}.cubin)
    add_custom_command(
      OUTPUT ${_cubin}
      COMMAND ${TARSIVEL_NVCC} -cubin -gencode arch=compute_${_arch},code=sm_${_arch}
              --use_fast_math ${_includes} ${source} -o ${_cubin}
      DEPENDS ${source} ${ARG_DEPENDS}
      COMMENT "Compiling the rope kernel for sm_${_arch} with nvcc"
      VERBATIM)
    list(APPEND _images --image3=kind=elf,sm=${_arch},file=${_cubin})
    list(APPEND _image_files ${_cubin})
  endforeach()
  # Uncompressed, so that the images can be read back from the binaries.
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${TARSIVEL_FATBINARY} -64 --compress=false --create=${output} ${_images}
    DEPENDS ${_image_files}
    COMMENT "Combining the rope kernel's device code into one fatbin"
    VERBATIM)
endfunction()
