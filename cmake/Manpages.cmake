# SPDX-License-Identifier: GPL-3.0-or-later
# Manual pages. radioset-cli(1) and radioset-sim(1) are made by help2man from the
# programs' own --help at build time, so that every option the programs have is
# on their page; docs/man/*.h2m add what --help does not say. radioset(1), for the
# window program that has no command line, is written by hand.
find_program(RADIOSET_HELP2MAN help2man)
if(RADIOSET_HELP2MAN)
  set(_radioset_manpages_default ON)
else()
  set(_radioset_manpages_default OFF)
endif()
option(RADIOSET_MANPAGES "Build and install the manual pages (needs help2man)" ${_radioset_manpages_default})

if(RADIOSET_MANPAGES)
  if(NOT RADIOSET_HELP2MAN)
    message(FATAL_ERROR "RADIOSET_MANPAGES is ON but help2man was not found")
  endif()
  set(_radioset_man_src ${CMAKE_CURRENT_SOURCE_DIR}/docs/man)
  set(_radioset_man_out ${CMAKE_CURRENT_BINARY_DIR}/man)
  # help2man's slips are mended by sed scripts: docs/man/help2man.sed for
  # every page, and one of its own for a page that needs more.
  set(_radioset_mend_radioset-cli)
  set(_radioset_mend_radioset-sim ${_radioset_man_src}/radioset-sim.sed)
  file(MAKE_DIRECTORY ${_radioset_man_out})

  set(_radioset_pages ${RADIOSET_MANPAGE})
  foreach(program radioset-cli radioset-sim)
    set(_page ${_radioset_man_out}/${program}.1)
    set(_mend -f ${_radioset_man_src}/help2man.sed)
    foreach(_script ${_radioset_mend_${program}})
      list(APPEND _mend -f ${_script})
    endforeach()
    # A sanitizer build's program may run here: a leak check at its exit is no
    # concern of the page.
    add_custom_command(OUTPUT ${_page}
      COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
              ${RADIOSET_HELP2MAN} --no-info --section=1 --manual=RadioSet
              --source=RadioSet --version-string=${PROJECT_VERSION}
              --include=${_radioset_man_src}/${program}.h2m
              --output=${_page}.new $<TARGET_FILE:${program}>
      COMMAND sed ${_mend} ${_page}.new > ${_page}
      COMMAND ${CMAKE_COMMAND} -E rm ${_page}.new
      DEPENDS ${program} ${_radioset_man_src}/${program}.h2m ${_radioset_man_src}/help2man.sed
              ${_radioset_mend_${program}}
      COMMENT "Generating ${program}(1)"
      VERBATIM)
    list(APPEND _radioset_pages ${_page})
  endforeach()
  add_custom_target(manpages ALL DEPENDS ${_radioset_pages})
  install(FILES ${_radioset_pages} DESTINATION share/man/man1 COMPONENT radioset)
endif()
