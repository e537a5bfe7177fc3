// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

// A broken invariant is a finding like a crash: say which one and abort, so that
// libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__,     \
                         #condition);                                                      \
            std::abort();                                                                  \
        }                                                                                  \
    } while (false)

// The fuzzer's bytes as one text, NUL bytes included.
inline QByteArray FuzzBytes(const unsigned char* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// One input goes one of two ways in, which the input itself chooses.
inline void FuzzEitherWay(const unsigned char* data, size_t size, void (*oneWay)(FuzzedDataProvider&),
                          void (*otherWay)(FuzzedDataProvider&))
{
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool())
        oneWay(in);
    else
        otherWay(in);
}
