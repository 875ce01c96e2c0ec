# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
# The Windows build's tests, run under Wine by `scripts/windows --test`: the
# unit tests cross-built as they are, and the real programs from the folder a
# user unzips (check_windows.py), against pseudo-terminals behind COM1. Wine
# keeps its registry and devices in a prefix of the build's own, so what the
# machine's own Wine has set up decides nothing.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_SOURCE_DIR}/wine_test.sh)
set(WENDREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
list(TRANSFORM WENDREL_MINGW_RUNTIME REPLACE "/[^/]*$" "" OUTPUT_VARIABLE WENDREL_RUNTIME_DIRS)
list(REMOVE_DUPLICATES WENDREL_RUNTIME_DIRS)
list(JOIN WENDREL_RUNTIME_DIRS ":" WENDREL_RUNTIME_PATH)
set(WENDREL_WINE_ENVIRONMENT
    "WINEPREFIX=${WENDREL_WINEPREFIX}"
    "WENDREL_WINE_DLLS=$<TARGET_FILE_DIR:Qt6::Core>:${WENDREL_RUNTIME_PATH}")

function(wendrel_windows_test name)
    add_executable(${name} ${name}.cpp fakes.h windowrig.h)
    target_link_libraries(${name} PRIVATE wendrelwindow wendreldesktop wendrelcommandline
                                          wendrelsystem wendrelserialport Qt6::Test)
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS unit TIMEOUT 120
                         ENVIRONMENT "${WENDREL_WINE_ENVIRONMENT}")
endfunction()

wendrel_windows_test(tst_checked)
wendrel_windows_test(tst_pinger)
wendrel_windows_test(tst_handlers)
wendrel_windows_test(tst_commandline)
target_compile_definitions(tst_commandline PRIVATE WENDREL_BINARY="$<TARGET_FILE_NAME:wendrel>")
set_tests_properties(tst_commandline PROPERTIES WORKING_DIRECTORY $<TARGET_FILE_DIR:wendrel>)
add_dependencies(tst_commandline wendrel)

# The serial component on Wine's COM ports, run by check_windows.py.
add_executable(tst_serialwin tst_serialwin.cpp)
target_link_libraries(tst_serialwin PRIVATE wendrelserialport Qt6::Test)
target_include_directories(tst_serialwin PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR})

# The real programs from the installed folder, Wine's COM1 on a pty.
add_test(NAME windows_programs
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/check_windows.py ${CMAKE_INSTALL_PREFIX}
                 $<TARGET_FILE:tst_serialwin>)
set_tests_properties(windows_programs PROPERTIES LABELS x11 TIMEOUT 300
                     ENVIRONMENT "${WENDREL_WINE_ENVIRONMENT}")
