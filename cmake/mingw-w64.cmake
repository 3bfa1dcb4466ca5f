# Cross-building Relvane for 64-bit Windows on Debian with MinGW-w64 (posix threads, for
# std::thread). Programs run under Wine through CTest: tests that CMake discovers are listed when
# CTest starts (not at build time), so building never starts a Wine server.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DRELVANE_WITH_QT=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RELVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RELVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RELVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${RELVANE_MINGW_TRIPLET}-windres)

# Headers and libraries from the MinGW tree (and prefixes given in CMAKE_PREFIX_PATH, such as a
# cross-built Qt); programs from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${RELVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# The compiler's own runtime (libgcc, libstdc++, winpthread) is linked in, so that a program runs
# from any folder without MinGW DLLs beside it.
option(RELVANE_STATIC_RUNTIME "Link the MinGW runtime statically into every program" ON)
if(RELVANE_STATIC_RUNTIME)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()

# Windows programs run through scripts/wine-run.sh, in a Wine prefix of the build's own
# (<build>/wineprefix) with one detached Wine server.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
