// SPDX-License-Identifier: GPL-3.0-or-later
// The lines of a device search as the main window takes them: after the
// module's first "OK", a line of exactly three items is a found device, any
// other line is ignored, and the next "OK" ends the search.
#include "AtProtocol.h"
#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QList>

namespace {

struct Row
{
    QByteArray index;
    QByteArray address;
    QByteArray name;
    QByteArray cod;
};

// Whether a line names one device, judged by its commas alone: two separators,
// and at most one comma after the class of device.
bool NamesOneDevice(const QByteArray& line)
{
    return line.count(',') - (line.endsWith(',') ? 1 : 0) == 2;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QByteArray ok = QByteArrayLiteral("OK");
    int step = 0;
    bool ended = false;
    QList<Row> rows;
    qsizetype expectedRows = 0;

    while (in.remaining_bytes() > 0 && !ended) {
        const QByteArray line = QByteArray::fromStdString(in.ConsumeRandomLengthString(200));
        if (step == 0) {
            // Until the module has accepted the inquiry, only its "OK" counts.
            if (line == ok)
                step = 1;
            continue;
        }
        if (line == ok) {
            ended = true;
            continue;
        }
        const QList<QByteArray> items = SplitResponse(line);
        if (NamesOneDevice(line))
            ++expectedRows;
        if (items.size() != 3) {
            FUZZ_CHECK(!NamesOneDevice(line));
            continue;
        }
        FUZZ_CHECK(NamesOneDevice(line));
        rows << Row{QByteArray::number(rows.size() + 1), items.at(0), items.at(1), items.at(2)};

        // The three cells give the line back, less a closing comma.
        const Row& row = rows.constLast();
        QByteArray rebuilt = row.address + ',' + row.name + ',' + row.cod;
        FUZZ_CHECK(rebuilt == line || rebuilt + ',' == line);
    }

    FUZZ_CHECK(rows.size() == expectedRows);
    for (qsizetype i = 0; i < rows.size(); ++i)
        FUZZ_CHECK(rows[i].index == QByteArray::number(i + 1));
    if (step == 0)
        FUZZ_CHECK(rows.isEmpty());
    return 0;
}
