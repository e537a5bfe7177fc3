# SPDX-License-Identifier: GPL-3.0-or-later
# Mends what help2man writes from --help.
# A heading that holds quotes ('Profile format (INI; what "read" writes):')
# comes out as .SS "...", which roff cuts at the first inner quote: those
# become \(dq.
/^\.S[HS] ".*".*"$/{
s/"/\\(dq/g
s/^\(\.S[HS] \)\\(dq/\1"/
s/\\(dq$/"/
}
