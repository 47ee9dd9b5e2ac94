# Fails when any include folder of a pure library (TARGET, its folders in
# DIRS) can reach the host's declarations: the pure core must not compile
# against a host type, and it cannot once hostapi/ is out of its sight.
foreach(_dir IN LISTS DIRS)
  if(EXISTS "${_dir}/hostapi")
    message(FATAL_ERROR "${TARGET} can include host headers through ${_dir}")
  endif()
endforeach()
message(STATUS "${TARGET}: no include folder reaches hostapi/ (${DIRS})")
