# SPDX-License-Identifier: GPL-3.0-or-later
# Debian's hardening flags (dpkg-buildflags with hardening=+all) for the
# release build and the package: a program that reads hostile input gets
# fortified string and memory functions, a stack protector and stack-clash
# protection, control-flow protection where the processor has it, full RELRO
# with immediate binding, and position-independent executables. The
# sanitizer and fuzz builds keep their own flags; fortification needs an
# optimised build.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
add_compile_options(-fstack-protector-strong -fstack-clash-protection -Wformat -Werror=format-security)
check_cxx_compiler_flag(-fcf-protection OSTRANE_HAS_CF_PROTECTION)
if(OSTRANE_HAS_CF_PROTECTION)
    add_compile_options(-fcf-protection)
endif()
add_link_options(-Wl,-z,relro -Wl,-z,now)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
