// SPDX-License-Identifier: GPL-3.0-or-later
// The INI reader on any file content, with any section and key asked for.
#include "FuzzCheck.h"
#include "IniFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <unistd.h>

namespace {

// One file per process, rewritten for every input and removed at exit.
const QString& ScratchFile()
{
    static const QString path = [] {
        const QString p = QDir::temp().filePath(QStringLiteral("radioset-fuzz-ini-%1.ini").arg(getpid()));
        std::atexit([] { QFile::remove(ScratchFile()); });
        return p;
    }();
    return path;
}

void WriteScratch(const QByteArray& content)
{
    QFile file(ScratchFile());
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(content) == content.size());
}

// Keeps a name or a value from changing the shape of the file it is written into.
QByteArray Tame(QByteArray text, const QByteArray& unwanted)
{
    for (const char c : unwanted)
        text.replace(c, QByteArray());
    return text.trimmed();
}

// Any content: the reader must not fail, and what it gives back is one line's
// value, within the length limit.
void AnyContent(FuzzedDataProvider& in)
{
    const QByteArray section = QByteArray::fromStdString(in.ConsumeRandomLengthString(64));
    const QByteArray key = QByteArray::fromStdString(in.ConsumeRandomLengthString(64));
    WriteScratch(QByteArray::fromStdString(in.ConsumeRemainingBytesAsString()));

    const QByteArray value = ReadIniValue(ScratchFile(), section, key);
    FUZZ_CHECK(value.size() <= IniValueMaxLength);
    FUZZ_CHECK(!value.contains('\n'));
    FUZZ_CHECK(!value.contains('\r'));
    // Blanks before the value never reach the caller.
    FUZZ_CHECK(value.isEmpty() || (value.at(0) != ' ' && value.at(0) != '\t'));
}

// A value written under its section and key, behind any other text, is read
// back as written (cut to the limit), whatever the letter case of the names asked for.
void WrittenValue(FuzzedDataProvider& in)
{
    const QByteArray section = Tame(QByteArray::fromStdString(in.ConsumeRandomLengthString(32)), "[]\r\n");
    const QByteArray key = Tame(QByteArray::fromStdString(in.ConsumeRandomLengthString(32)), "[]=;#\r\n");
    const QByteArray value = Tame(QByteArray::fromStdString(in.ConsumeRandomLengthString(3000)), "\r\n");
    const QByteArray before = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    if (section.isEmpty() || key.isEmpty())
        return;
    // Whatever comes before ends in a line of its own, and cannot already hold
    // the key in the same section: a first occurrence would win.
    WriteScratch(before + "\n[" + section + "]\n" + key + " = " + value + "\n");
    const QByteArray read = ReadIniValue(ScratchFile(), section.toLower(), key.toUpper());
    if (before.toLower().contains(key.toLower()))
        return;
    FUZZ_CHECK(read == value.left(IniValueMaxLength));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    FuzzEitherWay(data, size, WrittenValue, AnyContent);
    return 0;
}
