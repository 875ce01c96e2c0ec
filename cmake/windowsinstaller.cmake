# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
# Run as a script (cmake -P) once the folder is installed: writes the NSIS
# script with the folder's own files for the uninstaller to take away, one by
# one, and makes the installer.
file(GLOB_RECURSE files RELATIVE "${WENDREL_FOLDER}" "${WENDREL_FOLDER}/*")
list(SORT files)
set(WENDREL_UNINSTALL_FILES "")
set(folders "")
foreach(file IN LISTS files)
    string(REPLACE "/" "\\" native "${file}")
    string(APPEND WENDREL_UNINSTALL_FILES "    Delete \"$INSTDIR\\${native}\"\n")
    get_filename_component(folder "${file}" DIRECTORY)
    if(folder)
        list(APPEND folders "${folder}")
    endif()
endforeach()
list(REMOVE_DUPLICATES folders)
foreach(folder IN LISTS folders)
    string(REPLACE "/" "\\" native "${folder}")
    string(APPEND WENDREL_UNINSTALL_FILES "    RMDir \"$INSTDIR\\${native}\"\n")
endforeach()
configure_file("${PROJECT_SOURCE_DIR}/assets/wendrel.nsi.in" "${WENDREL_NSI}" @ONLY)
execute_process(COMMAND makensis -V2 "${WENDREL_NSI}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "makensis failed")
endif()
