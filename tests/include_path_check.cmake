# Checks the include folders DIRS of the plug-in library TARGET, its linked
# libraries' included:
# - none of them reaches the reference host (the repository root, which holds
#   host/ and tests/, is never one of them);
# - with PURE, none reaches a host header either, and a file that includes one,
#   by name or by path, fails to compile against them while a file that
#   includes the library's own header compiles (so the check cannot pass by
#   compiling nothing).
foreach(_dir IN LISTS DIRS)
  if(EXISTS "${_dir}/host" OR EXISTS "${_dir}/tests")
    message(FATAL_ERROR "${TARGET} can include the reference host's headers through ${_dir}")
  endif()
  if(PURE AND (EXISTS "${_dir}/pf_api.h" OR EXISTS "${_dir}/hostapi"))
    message(FATAL_ERROR "${TARGET} is pure but can include host headers through ${_dir}")
  endif()
endforeach()

if(PURE)
  set(_flags -std=c++20 -fsyntax-only)
  foreach(_dir IN LISTS DIRS)
    list(APPEND _flags "-I${_dir}")
  endforeach()
  file(MAKE_DIRECTORY ${WORK_DIR})
  # Compiles `text` as a file of its own; `result` is true when it compiled.
  function(_compiles name text result)
    file(WRITE ${WORK_DIR}/${name}.cpp "${text}\n")
    execute_process(COMMAND ${COMPILER} ${_flags} ${WORK_DIR}/${name}.cpp
                    RESULT_VARIABLE _code OUTPUT_QUIET ERROR_QUIET)
    if(_code EQUAL 0)
      set(${result} TRUE PARENT_SCOPE)
    else()
      set(${result} FALSE PARENT_SCOPE)
    endif()
  endfunction()
  _compiles(own "#include \"rope_render_data.h\"" _own)
  if(NOT _own)
    message(FATAL_ERROR "${TARGET}: its own headers do not compile against ${DIRS}")
  endif()
  foreach(_host "pf_api.h" "hostapi/pf_api.h" "host/protocol/effect_instance.h")
    string(MAKE_C_IDENTIFIER "${_host}" _name)
    _compiles(${_name} "#include \"${_host}\"" _reached)
    if(_reached)
      message(FATAL_ERROR "${TARGET} is pure but a file of it can include \"${_host}\"")
    endif()
  endforeach()
endif()
message(STATUS "${TARGET}: its include folders reach no host header it may not see (${DIRS})")
