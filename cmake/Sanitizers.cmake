# SPDX-License-Identifier: GPL-3.0-or-later
# AddressSanitizer + UndefinedBehaviorSanitizer for the test build. A UBSan finding
# aborts (no recovery), so any report fails the test that met it.
option(RADIOSET_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(RADIOSET_TSAN "Build with ThreadSanitizer (a build of its own)" OFF)

if(RADIOSET_SANITIZE AND RADIOSET_TSAN)
  message(FATAL_ERROR "RADIOSET_SANITIZE and RADIOSET_TSAN cannot be combined")
endif()

if(RADIOSET_SANITIZE)
  set(_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(radioset_options INTERFACE ${_san})
  target_link_options(radioset_options INTERFACE ${_san})
endif()

if(RADIOSET_TSAN)
  set(_san -fsanitize=thread -fno-omit-frame-pointer)
  target_compile_options(radioset_options INTERFACE ${_san})
  target_link_options(radioset_options INTERFACE ${_san})
endif()
