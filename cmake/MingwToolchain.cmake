# Cross-builds the Windows x64 plug-in and host with mingw-w64 (posix threads,
# so std::thread works). The C and C++ runtimes and winpthread are linked
# statically: the .aex and tarsivel.exe then need no DLL beyond Windows' own,
# msvcrt.dll (which cannot be linked statically) and OpenCL.dll.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingw}-windres)
set(TARSIVEL_DLLTOOL ${_mingw}-dlltool)

# Only the cross environment's headers and libraries; the build machine's
# /usr/include must never leak in (what is needed from it is staged).
set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
