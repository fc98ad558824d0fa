# SPDX-License-Identifier: MIT
# The .deb, built by CPack from what cmake --install puts in place.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME calimbra)
set(CPACK_PACKAGE_VENDOR "The Calimbra developers")
set(CPACK_PACKAGE_CONTACT "${CALIMBRA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel and logger for a 1-Wire temperature board")
# The synopsis comes from the summary; CPack indents these lines and marks the empty one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Calimbra talks to a small measuring board on a serial line: a PIC
microcontroller with two indicator LEDs and a 1-Wire bus of up to nine
temperature sensors.

The package holds the panel (switch the LEDs, count the active sensors,
read a sensor's temperature, change the serial settings), calimbra-cli to
read and log temperatures from scripts and services as CSV, JSON Lines or
InfluxDB line protocol and publish them to an MQTT broker (with Home
Assistant discovery) and to Prometheus, a systemd service per board,
Calimbra Monitor for a live chart of every sensor, of logs and of boards on
other machines, and a simulated board to try them without hardware.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CALIMBRA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CALIMBRA_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so not found by shlibdeps: the X11 platform plugin and the fonts the window's
# captions are measured in, Qt's SQLite driver for the outbox; Qt's own translations for the
# standard buttons.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/StripLikeDebian.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# What Debian expects in /usr/share/doc/<package>: the copyright in its machine-readable form, the
# changelog compressed without a time stamp, and the README. The changelog and the lintian
# overrides speak of the Debian package only: they are a component that only the package installs.
set(doc ${CMAKE_INSTALL_DATADIR}/doc/calimbra)
set(MAINTAINER "${CALIMBRA_MAINTAINER}")
set(HOMEPAGE "${CALIMBRA_HOMEPAGE}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/packaging/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
    COMMAND ${CALIMBRA_GZIP} -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian VERBATIM)
add_custom_target(calimbra_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${doc})
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
        DESTINATION ${doc} COMPONENT calimbra_debian EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME calimbra
        COMPONENT calimbra_debian EXCLUDE_FROM_ALL)
# Included last in the project, so that this is the last install rule.
calimbra_record_install_end()

# Every component goes into the one package, the Debian-only files too, but not the record of an
# install.
get_cmake_property(components COMPONENTS)
list(REMOVE_ITEM components ${CALIMBRA_RECORD_COMPONENT})
set(CPACK_INSTALL_CMAKE_PROJECTS)
foreach(component IN LISTS components)
    list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${CMAKE_BINARY_DIR} ${PROJECT_NAME} ${component} /)
endforeach()
include(CPack)
