// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Bytes the process holds allocated now, for tests that check that repeating
// something takes no more memory each time.

#include <QtGlobal>

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime the tests are linked with.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

inline qint64 AllocatedBytes()
{
#if defined(__SANITIZE_ADDRESS__)
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    return qint64(mallinfo2().uordblks);
#endif
}
