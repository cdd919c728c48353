# SPDX-License-Identifier: GPL-3.0-or-later
# Toolchain for 32-bit Windows (i686), the program's own platform:
#     cmake -S . -B build-windows-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/windows-i686.cmake
set(OSTRANE_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
