# SPDX-License-Identifier: GPL-3.0-or-later
# Installation on a Linux desktop, and the Debian package built from it.
#
# Layout under the prefix (/usr for the package):
#   lib/radioset/radioset               the program
#   lib/radioset/Setup/config.ini       its product list, looked up beside the real
#                                       executable (the /proc/self/exe path, so the
#                                       symlink below does not move it)
#   bin/radioset -> ../lib/radioset/radioset
#   lib/radioset/radioset-cli           the command-line program, beside the product list too
#   bin/radioset-cli -> ../lib/radioset/radioset-cli
#   bin/radioset-sim                    the virtual module
#   share/applications, share/icons, share/metainfo   desktop integration
#   lib/udev/rules.d                    keeps ModemManager off the usual adapters

set(RADIOSET_APP_ID org.radioset.RadioSet)
set(RADIOSET_PROGRAM_DIR lib/radioset)
set(_radioset_data ${CMAKE_CURRENT_SOURCE_DIR}/data)

install(TARGETS radioset RUNTIME DESTINATION ${RADIOSET_PROGRAM_DIR} COMPONENT radioset)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/app/Setup/config.ini
        DESTINATION ${RADIOSET_PROGRAM_DIR}/Setup COMPONENT radioset)

# A relative link, made in the build tree and installed as a link, so that it stays
# right under any prefix and inside the package's staging folder.
set(_radioset_link ${CMAKE_CURRENT_BINARY_DIR}/install-links/radioset)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/install-links)
file(CREATE_LINK ../${RADIOSET_PROGRAM_DIR}/radioset ${_radioset_link} SYMBOLIC)
install(FILES ${_radioset_link} DESTINATION bin COMPONENT radioset)

install(TARGETS radioset-cli RUNTIME DESTINATION ${RADIOSET_PROGRAM_DIR} COMPONENT radioset)
set(_radioset_cli_link ${CMAKE_CURRENT_BINARY_DIR}/install-links/radioset-cli)
file(CREATE_LINK ../${RADIOSET_PROGRAM_DIR}/radioset-cli ${_radioset_cli_link} SYMBOLIC)
install(FILES ${_radioset_cli_link} DESTINATION bin COMPONENT radioset)

install(TARGETS radioset-sim RUNTIME DESTINATION bin COMPONENT radioset)

install(FILES ${_radioset_data}/${RADIOSET_APP_ID}.desktop
        DESTINATION share/applications COMPONENT radioset)
install(FILES ${_radioset_data}/${RADIOSET_APP_ID}.svg
        DESTINATION share/icons/hicolor/scalable/apps COMPONENT radioset)
install(FILES ${_radioset_data}/${RADIOSET_APP_ID}.metainfo.xml
        DESTINATION share/metainfo COMPONENT radioset)
# udev reads its rules from /lib/udev/rules.d (or /usr/lib/udev/rules.d, the same
# folder on a merged /usr); under another prefix the file is only put in place.
install(FILES ${_radioset_data}/70-radioset-modemmanager.rules
        DESTINATION lib/udev/rules.d COMPONENT radioset)

# Checks of the desktop files, as tests, when the tools are there.
if(BUILD_TESTING)
  find_program(RADIOSET_DESKTOP_FILE_VALIDATE desktop-file-validate)
  find_program(RADIOSET_APPSTREAMCLI appstreamcli)
  if(RADIOSET_DESKTOP_FILE_VALIDATE)
    add_test(NAME desktop_entry_is_valid
             COMMAND ${RADIOSET_DESKTOP_FILE_VALIDATE} ${_radioset_data}/${RADIOSET_APP_ID}.desktop)
  endif()
  if(RADIOSET_APPSTREAMCLI)
    add_test(NAME metainfo_is_valid
             COMMAND ${RADIOSET_APPSTREAMCLI} validate --no-net ${_radioset_data}/${RADIOSET_APP_ID}.metainfo.xml)
  endif()
endif()

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME radioset)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The RadioSet developers")
set(CPACK_PACKAGE_CONTACT "RadioSet maintainers <maintainers@radioset.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set up a Bluetooth serial module over a serial port")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The first line of the package's description is the summary above; CPack indents
# these lines and turns the empty one into the paragraph mark.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "RadioSet opens a serial port at the line settings of a Bluetooth serial
module, wakes the module's configuration mode with its debug character,
identifies it and reads its settings onto six pages (overview, Bluetooth,
security, system, UART, multi-connection). The settings are edited under
the rules of the module's model and written back; the factory settings can
be restored, and a master module can search for nearby devices.

The package also holds radioset-cli, which configures many modules at
once from a profile file, one port each, radioset-sim, a virtual module on a pseudo-terminal
for trying RadioSet without hardware, and a udev rule that keeps
ModemManager from probing the USB-serial adapters such modules use.")
# The libraries the program links come from dpkg-shlibdeps (the Qt 6 runtime and
# the C and C++ runtimes); the platform plugins that let it open a window on X11
# or Wayland are loaded at run time, so shlibdeps cannot see them. libudev1 is
# named as well, so that the port list's adapter names and live updates do not
# rest on shlibdeps alone.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libudev1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")
# Only what is installed above is built for the package, not every tool and test.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
