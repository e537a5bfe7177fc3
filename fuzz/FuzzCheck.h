#pragma once

#include <QByteArray>

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
