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
