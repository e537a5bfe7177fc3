// SPDX-License-Identifier: GPL-3.0-or-later
// The profile reader on any text, and the writer's values read back.
#include "FuzzCheck.h"
#include "Profile.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

// Any text: the reader gives an error with a line within the text, or entries
// that name known settings with values free of line ends.
void AnyText(FuzzedDataProvider& in)
{
    const QByteArray text = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    TProfile profile;
    if (const std::optional<TProfileError> error = ParseProfile(text, profile)) {
        FUZZ_CHECK(error->Line >= 1);
        FUZZ_CHECK(error->Line <= text.count('\n') + text.count('\r') + 1);
        return;
    }
    for (const TProfileEntry& entry : profile.Entries) {
        FUZZ_CHECK(int(entry.Id) >= 0 && int(entry.Id) < FieldCount);
        FUZZ_CHECK(!CheckTemplates(entry.Value));
        (void)ExpandTemplates(entry.Value, {1, "port", "00A0C1D2E3F4"});
    }
}

// Any value a module may hold, written as the profile writes it, reads back
// as itself once the placeholders are filled (there are none in it then).
void WrittenValue(FuzzedDataProvider& in)
{
    const QByteArray value = QByteArray::fromStdString(in.ConsumeRandomLengthString(200));
    const TFieldRule& rule = FieldRules().at(in.ConsumeIntegralInRange<int>(0, FieldCount - 1));
    const QByteArray text = QByteArray("[") + rule.Section + "]\n" + rule.Caption + " = " + ProfileValue(value) + "\n";
    TProfile profile;
    FUZZ_CHECK(!ParseProfile(text, profile));
    FUZZ_CHECK(profile.Entries.size() == 1);
    FUZZ_CHECK(profile.Entries.first().Id == rule.Id);
    FUZZ_CHECK(ExpandTemplates(profile.Entries.first().Value, {7, "x", "y"}) == value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    FuzzEitherWay(data, size, WrittenValue, AnyText);
    return 0;
}
