// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace radiosim {

// The output speed of the terminal on fd in bits per second, as the kernel
// keeps it: also a speed set by number (BOTHER), which the C library's
// termios cannot show. 0 when unknown.
long LineOutputSpeed(int fd);

}  // namespace radiosim
