# SPDX-License-Identifier: GPL-3.0-or-later
# Installation on a Linux desktop; debian/ builds the Debian package from it.
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
#   share/man/man1                      radioset(1), radioset-cli(1), radioset-sim(1)
#   share/bash-completion/completions   radioset-cli's completion

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
install(FILES ${RADIOSET_METAINFO}
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
             COMMAND ${RADIOSET_APPSTREAMCLI} validate --no-net ${RADIOSET_METAINFO})
  endif()
endif()

# Manual pages and shell completion.
include(${CMAKE_CURRENT_LIST_DIR}/Manpages.cmake)
install(FILES ${_radioset_data}/radioset-cli.bash-completion
        DESTINATION share/bash-completion/completions RENAME radioset-cli COMPONENT radioset)
