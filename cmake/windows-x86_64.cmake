# SPDX-License-Identifier: GPL-3.0-or-later
# Toolchain for 64-bit Windows (x86-64):
#     cmake -S . -B build-windows-x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/windows-x86_64.cmake
set(OSTRANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
