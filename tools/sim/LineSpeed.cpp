// SPDX-License-Identifier: GPL-3.0-or-later
// The kernel's terminal definitions, not the C library's: only these carry
// termios2 with the speed as a number. Nothing here may include <termios.h>.
#include "LineSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace radiosim {

long LineOutputSpeed(int fd)
{
    struct termios2 t {};
    if (fd < 0 || ::ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    return static_cast<long>(t.c_ospeed);
}

}  // namespace radiosim
