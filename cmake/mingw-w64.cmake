# SPDX-License-Identifier: GPL-3.0-or-later
# What both Windows toolchains share: Debian's mingw-w64 with posix threads
# (std::thread and std::mutex need them), its resource compiler, libraries
# found only under the target's root, everything linked statically so that
# the programs need no runtime DLLs beside them, and wine to run the tests.
# The including file sets OSTRANE_MINGW_TRIPLET and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${OSTRANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OSTRANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${OSTRANE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OSTRANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
