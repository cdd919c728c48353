# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows build's settings (cmake/windows-*.cmake toolchains).
#
# On Windows the platform layer is the SDK itself: the headers in
# src/platform/win32/include stand in for ours, each the SDK's own header
# plus the few declarations of ours that Windows lacks, so they come first.
include_directories(BEFORE ${PROJECT_SOURCE_DIR}/src/platform/win32/include)

# The SDK's version: Windows XP, whose PROCESS_ALL_ACCESS and
# THREAD_ALL_ACCESS every later Windows grants (newer headers ask for more
# rights, which XP refuses); the common controls of Internet Explorer 6;
# std::min and std::max rather than the SDK's macros; the C runtime's
# thread-safe localtime_r, as on Linux.
add_compile_definitions(_WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600 NOMINMAX _POSIX_THREAD_SAFE_FUNCTIONS)

# The sources are UTF-8; the program's strings are bytes of code page 936
# (GBK), as the ANSI functions take them on a Chinese Windows. GB18030
# encodes every character of GBK as GBK does, and the few that GBK lacks (the
# C++ library's "µs") without failing the build.
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-finput-charset=UTF-8> $<$<COMPILE_LANGUAGE:CXX>:-fexec-charset=GB18030>)

# SQLCipher and LibTomCrypt for Windows, built from Debian's source packages
# (scripts/build-windows-sqlcipher.sh) once per machine and architecture and
# kept outside the build, in OSTRANE_WINDOWS_LIBRARIES, which every build
# directory shares. Delete the folder to build them afresh. The target has
# the name that pkg-config gives SQLCipher on Linux, so that its users are
# the same on both systems.
set(OSTRANE_WINDOWS_LIBRARIES "$ENV{HOME}/.cache/ostrane" CACHE PATH
    "Where the Windows build keeps the libraries it builds from Debian's sources")
set(OSTRANE_SQLCIPHER_PREFIX ${OSTRANE_WINDOWS_LIBRARIES}/sqlcipher-${OSTRANE_MINGW_TRIPLET})
file(MAKE_DIRECTORY ${OSTRANE_SQLCIPHER_PREFIX}/include)
add_custom_command(
    OUTPUT ${OSTRANE_SQLCIPHER_PREFIX}/lib/libsqlcipher.a ${OSTRANE_SQLCIPHER_PREFIX}/lib/libtomcrypt.a
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-windows-sqlcipher.sh ${OSTRANE_MINGW_TRIPLET} ${OSTRANE_SQLCIPHER_PREFIX}
    COMMENT "Building SQLCipher for Windows from Debian's sources, kept in ${OSTRANE_SQLCIPHER_PREFIX}"
    VERBATIM
)
add_custom_target(ostrane_windows_sqlcipher DEPENDS ${OSTRANE_SQLCIPHER_PREFIX}/lib/libsqlcipher.a)
add_library(PkgConfig::SQLCIPHER STATIC IMPORTED GLOBAL)
set_target_properties(PkgConfig::SQLCIPHER PROPERTIES
    IMPORTED_LOCATION ${OSTRANE_SQLCIPHER_PREFIX}/lib/libsqlcipher.a
    INTERFACE_INCLUDE_DIRECTORIES ${OSTRANE_SQLCIPHER_PREFIX}/include
    INTERFACE_LINK_LIBRARIES ${OSTRANE_SQLCIPHER_PREFIX}/lib/libtomcrypt.a
)
add_dependencies(PkgConfig::SQLCIPHER ostrane_windows_sqlcipher)
