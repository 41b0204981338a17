# Cross-building flintor-calc and its tests for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads
# variant of g++-mingw-w64-x86-64), linked statically so that the .exe needs no DLL beside it. The tests
# run under Wine; the window needs Qt for Windows and is left out.
#   cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FLINTOR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FLINTOR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FLINTOR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${FLINTOR_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FLINTOR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and the threads library go into the .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# CTest runs the Windows programs with Wine's 64-bit loader; tests/ gives them a private, headless prefix.
find_program(FLINTOR_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(FLINTOR_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${FLINTOR_WINE64})
endif()

# The window needs Qt for Windows; the benchmarks Google Benchmark for Windows. Neither is here.
set(FLINTOR_WITH_GUI OFF CACHE BOOL "")
set(FLINTOR_WITH_BENCH OFF CACHE BOOL "")
