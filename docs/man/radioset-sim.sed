# SPDX-License-Identifier: GPL-3.0-or-later
# "Files:" of radioset-sim --help heads options that name files; help2man takes
# it for the FILES section and moves the options after it there.
s/^\.SH FILES$/.SS "Files:"/
