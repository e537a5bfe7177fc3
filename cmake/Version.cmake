# SPDX-License-Identifier: GPL-3.0-or-later
# The version stands once, in project(VERSION). The programs get it from a
# generated header (target radioset_version); the AppStream release and the
# manual page radioset(1) are generated from templates; debian/check-version
# holds debian/changelog to it.
set(RADIOSET_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/RadioSetVersion.h.in
               ${RADIOSET_GENERATED_DIR}/RadioSetVersion.h @ONLY)
add_library(radioset_version INTERFACE)
target_include_directories(radioset_version INTERFACE ${RADIOSET_GENERATED_DIR})

set(RADIOSET_METAINFO ${RADIOSET_GENERATED_DIR}/org.radioset.RadioSet.metainfo.xml)
configure_file(${CMAKE_SOURCE_DIR}/data/org.radioset.RadioSet.metainfo.xml.in ${RADIOSET_METAINFO} @ONLY)
set(RADIOSET_MANPAGE ${RADIOSET_GENERATED_DIR}/man/radioset.1)
configure_file(${CMAKE_SOURCE_DIR}/docs/man/radioset.1.in ${RADIOSET_MANPAGE} @ONLY)
