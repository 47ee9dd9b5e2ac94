# The Windows x64 form of the plug-in and the host. In a cross build (the
# toolchain file cmake/MingwToolchain.cmake) this prepares what the build
# machine provides only for itself; in a Linux build with
# TARSIVEL_BUILD_WINDOWS it adds that cross build as a second tree, whose
# binaries the tests in tests/windows check and run under Wine.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsCrossBuild.cmake)
elseif(TARSIVEL_BUILD_WINDOWS)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsExternalBuild.cmake)
endif()
