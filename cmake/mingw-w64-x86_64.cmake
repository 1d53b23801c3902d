# Cross-builds for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix: the
# POSIX thread model, which std::thread and std::mutex need). The `windows` preset uses it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KP70_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KP70_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KP70_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KP70_MINGW_TRIPLET}-windres)

# Libraries and headers come from the mingw-w64 tree only, never from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KP70_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in, the C++ runtime and winpthreads included, so the programs run on a
# bare Windows 10 or 11 without any DLL of the compiler's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

# Test programs run under Wine (scripts/wine-run.sh keeps the prefix in the build folder).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
