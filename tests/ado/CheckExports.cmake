# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that PROGRAM's dynamic symbol table defines exactly the symbols of
# the export list EXPECTED, besides the standard library's and the linker's.
execute_process(COMMAND nm -D --defined-only ${PROGRAM} OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "nm failed on ${PROGRAM}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(actual "")
foreach(line IN LISTS lines)
    string(REGEX REPLACE "^.* " "" symbol "${line}")
    string(REGEX REPLACE "@.*$" "" symbol "${symbol}")
    # The standard library's own (std::, std::__cxx11::): vtables, VTTs,
    # typeinfo, template code that shared libraries also use.
    if(symbol MATCHES "^_Z(T[ISVT]|Z)?N?K?St" OR symbol MATCHES "^(__bss_start|_edata|_end|__libc_single_threaded|_IO_stdin_used)$")
        continue()
    endif()
    list(APPEND actual "${symbol}")
endforeach()
file(READ ${EXPECTED} list)
string(REGEX MATCHALL "_Z[A-Za-z0-9_]+" expected "${list}")
list(SORT actual)
list(SORT expected)
if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "exports differ\n  expected: ${expected}\n  actual:   ${actual}")
endif()
list(LENGTH actual count)
message(STATUS "${PROGRAM} exports the ${count} symbols of its list")
