# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
# The folder a user unzips and runs from, as `cmake --install` leaves it:
# both programs, Qt's libraries and the Windows platform plugin, and the
# MinGW runtime's DLLs, which Windows looks for beside the program.
install(TARGETS wendrel wendreld RUNTIME DESTINATION .)
foreach(module Core Gui Widgets)
    install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION .)
endforeach()
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
if(TARGET Qt6::QWindowsVistaStylePlugin)
    install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
endif()
set(WENDREL_MINGW_RUNTIME)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(path "${path}" REALPATH)
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "The MinGW runtime's ${dll} is not where the compiler says")
    endif()
    list(APPEND WENDREL_MINGW_RUNTIME "${path}")
    install(FILES "${path}" DESTINATION .)
endforeach()

# The installer, made from the installed folder: `cmake --build --target
# installer` after `cmake --install`.
set(WENDREL_SETUP ${CMAKE_BINARY_DIR}/../wendrel-${WENDREL_VERSION}-setup.exe)
add_custom_target(installer
    COMMAND ${CMAKE_COMMAND} -DPROJECT_SOURCE_DIR=${PROJECT_SOURCE_DIR}
            -DWENDREL_FOLDER=${CMAKE_INSTALL_PREFIX} -DWENDREL_SETUP=${WENDREL_SETUP}
            -DWENDREL_NSI=${CMAKE_BINARY_DIR}/wendrel.nsi -DWENDREL_NAME=${WENDREL_NAME}
            -DWENDREL_VERSION=${WENDREL_VERSION}
            -DWENDREL_VERSION_DOTS=${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0
            -P ${PROJECT_SOURCE_DIR}/cmake/windowsinstaller.cmake
    VERBATIM)
