# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
# Two packages: wendrel, the window, for a desktop; wendreld, the service, for
# a rig with no display, which needs no display library at all.
set(WENDREL_DESKTOP COMPONENT desktop)
set(WENDREL_SERVICE COMPONENT service)

# The manual pages, the Debian changelog and copyright, made and compressed
# here as a distribution wants them: the same bytes at every build.
find_program(WENDREL_GZIP gzip REQUIRED)
execute_process(COMMAND date -u -R -d "${WENDREL_RELEASE_DATE}"
                OUTPUT_VARIABLE WENDREL_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(assets/changelog.in ${WENDREL_GENERATED}/changelog @ONLY)
configure_file(assets/copyright.in ${WENDREL_GENERATED}/copyright @ONLY)
set(WENDREL_COMPRESSED)
foreach(page wendrel.1 wendreld.1 changelog)
    if(page MATCHES "\\.1$")
        configure_file(assets/${page}.in ${WENDREL_GENERATED}/${page} @ONLY)
    endif()
    add_custom_command(OUTPUT ${WENDREL_GENERATED}/${page}.gz
        COMMAND ${WENDREL_GZIP} -9nc ${WENDREL_GENERATED}/${page} > ${WENDREL_GENERATED}/${page}.gz
        DEPENDS ${WENDREL_GENERATED}/${page} VERBATIM)
    list(APPEND WENDREL_COMPRESSED ${WENDREL_GENERATED}/${page}.gz)
endforeach()
add_custom_target(compressed ALL DEPENDS ${WENDREL_COMPRESSED})

# The window: a launcher, an AppStream record and the camera in the icon
# theme's sizes.
install(TARGETS wendrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} ${WENDREL_DESKTOP})
install(FILES assets/${WENDREL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        ${WENDREL_DESKTOP})
install(FILES ${WENDREL_GENERATED}/${WENDREL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo ${WENDREL_DESKTOP})
foreach(size 32 48 64 128)
    install(FILES assets/camera-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${WENDREL_APP_ID}.png ${WENDREL_DESKTOP})
endforeach()
install(FILES ${WENDREL_GENERATED}/wendrel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        ${WENDREL_DESKTOP})

# Left alone: the service, its manual page, the systemd user units that run
# it and the system unit for a rig with no login, reading the camera from an
# environment file.
set(WENDREL_DOCDIR ${CMAKE_INSTALL_FULL_DATADIR}/wendrel)
set(WENDREL_BINDIR ${CMAKE_INSTALL_FULL_BINDIR})
configure_file(assets/wendrel.service.in ${WENDREL_GENERATED}/wendrel.service @ONLY)
configure_file(assets/wendrel@.service.in ${WENDREL_GENERATED}/wendrel@.service @ONLY)
configure_file(assets/wendreld@.service.in ${WENDREL_GENERATED}/wendreld@.service @ONLY)
install(TARGETS wendreld RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} ${WENDREL_SERVICE})
install(FILES ${WENDREL_GENERATED}/wendreld.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        ${WENDREL_SERVICE})
install(FILES ${WENDREL_GENERATED}/wendrel.service ${WENDREL_GENERATED}/wendrel@.service
        DESTINATION lib/systemd/user ${WENDREL_SERVICE})
install(FILES ${WENDREL_GENERATED}/wendreld@.service DESTINATION lib/systemd/system
        ${WENDREL_SERVICE})
install(FILES assets/camera.env.example DESTINATION ${CMAKE_INSTALL_DATADIR}/wendrel
        ${WENDREL_SERVICE})

# Each package's copyright, in the machine-readable form, and changelog.
foreach(package wendrel wendreld)
    if(package STREQUAL wendrel)
        set(component ${WENDREL_DESKTOP})
    else()
        set(component ${WENDREL_SERVICE})
    endif()
    install(FILES ${WENDREL_GENERATED}/copyright ${WENDREL_GENERATED}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} ${component})
endforeach()

set(CPACK_PACKAGE_NAME wendrel)
set(CPACK_PACKAGE_VERSION ${WENDREL_VERSION})
set(CPACK_PACKAGE_CONTACT "${WENDREL_CONTACT}")
# Each package's description starts with a summary of its own; CPack would put
# the project's summary before it unless that is CPack's own default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_NAME} built using CMake")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL desktop service)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME wendrel)
set(CPACK_DEBIAN_SERVICE_PACKAGE_NAME wendreld)
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION
    "keep cameras on a serial port awake, in a window
Wendrel sends a carriage return to a digital camera on serial port 1 or 2 at
once and again each time the interval set runs out, so that the camera does
not fall asleep. Its window shows the time left, runs a row of lamps, can
beep at each ping, and hides to the notification area while it runs for days.
A device that drops out is waited for and pinged again when it is back.
.
For a rig with no display, the package wendreld holds the service.")
set(CPACK_DEBIAN_SERVICE_DESCRIPTION
    "keep cameras on a serial port awake, with no display
wendreld is the service of Wendrel: it sends a carriage return to a digital
camera on a serial port at once and again each time the interval runs out,
so that the camera does not fall asleep. It needs no display and no display
library, waits for a device that is late at boot or drops out, and wakes
once per ping. A sandboxed system unit runs it on a rig with no login, user
units in a user's session; one camera or several, telling systemd what it
does and fed to its watchdog.
.
The desktop program with its window is in the package wendrel.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# The bell is played by the desktop's sound server from the freedesktop theme,
# through libcanberra, loaded at the first beep (without it the window beeps
# as the toolkit does). The service beeps only when asked: a sound server
# would bring display libraries to a rig that has none.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_RECOMMENDS
    "libcanberra0, libcanberra-pulse, sound-theme-freedesktop")
set(CPACK_DEBIAN_SERVICE_PACKAGE_SUGGESTS
    "libcanberra0, libcanberra-pulse, sound-theme-freedesktop")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
