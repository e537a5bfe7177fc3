// SPDX-License-Identifier: GPL-3.0-or-later
// The comma rule that splits an answer into items.
#include "AtProtocol.h"
#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const QByteArray answer = FuzzBytes(data, size);
    const QList<QByteArray> items = SplitResponse(answer);

    // Nothing is lost or added but one trailing comma.
    QByteArray withoutTrailingComma = answer;
    if (withoutTrailingComma.endsWith(','))
        withoutTrailingComma.chop(1);
    FUZZ_CHECK(items.join(',') == withoutTrailingComma);

    // One item per comma, one more for text after the last comma; none at all
    // for an empty answer.
    const qsizetype commas = answer.count(',');
    const qsizetype expected = answer.isEmpty() ? 0 : commas + (answer.endsWith(',') ? 0 : 1);
    FUZZ_CHECK(items.size() == expected);
    for (const QByteArray& item : items)
        FUZZ_CHECK(!item.contains(','));
    return 0;
}
