# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
# Cross-building for 64-bit Windows with Debian's MinGW-w64. The -posix
# compilers are the ones with C++11 threads, which Qt 6 needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(WENDREL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${WENDREL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WENDREL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${WENDREL_MINGW}-windres)
# Look for headers and libraries in the MinGW tree (and Qt's, given by
# CMAKE_PREFIX_PATH) only, never the host's: the host's libcanberra or xcb
# would otherwise be found and fail to link.
set(CMAKE_FIND_ROOT_PATH /usr/${WENDREL_MINGW} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "")
set(ENV{PKG_CONFIG_PATH} "")
