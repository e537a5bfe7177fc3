# SPDX-License-Identifier: GPL-3.0-or-later
# Every target of ours links radioset_options: standard, warnings and Qt strictness
# in one place instead of edits of CMAKE_CXX_FLAGS.
add_library(radioset_options INTERFACE)
target_compile_features(radioset_options INTERFACE cxx_std_20)
target_compile_options(radioset_options INTERFACE
  -Wall -Wextra -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
  $<$<BOOL:${RADIOSET_WERROR}>:-Werror>)
# Text crosses between bytes and QString only where the code says how.
target_compile_definitions(radioset_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

option(RADIOSET_WERROR "Treat warnings in our code as errors" ON)
