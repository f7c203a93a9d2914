# Cross-build for 64-bit Windows with Debian's MinGW-w64 (the posix thread model,
# for std::thread), everything linked statically so that the executables need no
# DLL beside them. Used by `bash build.sh windows`:
#   cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

# Libraries (zlib from libz-mingw-w64-dev) and their headers come from the
# MinGW root only, never from the Linux system's /usr/include or /usr/lib.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ZLIB_USE_STATIC_LIBS ON)

# The header-only libraries (CLI11, SimpleIni) are taken from the Debian
# packages through a folder that holds nothing else, so that no other Linux
# header can be picked up by mistake.
set(MORVANE_HEADER_ONLY_DIR ${CMAKE_BINARY_DIR}/header-only)
file(MAKE_DIRECTORY ${MORVANE_HEADER_ONLY_DIR})
foreach(header CLI SimpleIni.h)
  if(EXISTS /usr/include/${header} AND NOT EXISTS ${MORVANE_HEADER_ONLY_DIR}/${header})
    file(CREATE_LINK /usr/include/${header} ${MORVANE_HEADER_ONLY_DIR}/${header} SYMBOLIC)
  endif()
endforeach()
set(CMAKE_CXX_FLAGS_INIT "-isystem ${MORVANE_HEADER_ONLY_DIR}")
# find_package(CLI11) takes the target over that folder (Debian's file names /usr/include).
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/cross)

# GoogleTest is built from its sources (Debian googletest) with this compiler.
set(MORVANE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources, built with the project")

# No DLLs: the C and C++ runtimes, winpthreads and zlib all go into the exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Runs the test executables when CMake or CTest needs to (never per test case).
find_program(MORVANE_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(MORVANE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MORVANE_WINE})
endif()
