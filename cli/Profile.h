// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FieldRules.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The profile file: an INI text a person can read and edit. Sections and keys
// are the pages' captions, values as the pages show them. A [MODULE] section
// describes the module a profile was read from and is never written back.
//
//   ; comment            # comment too
//   [BLUETOOTH]
//   DEVICE NAME = SENSOR-{local4}
//   SERVICE NAME = "  PADDED  "     quotes keep blanks; \\ \" \xHH inside quotes
//
// Values may hold {n} (the port's place in the list, from 1), {port} (its base
// name), {local} and {local4} (the module's local address, whole or its last
// four characters); "{{" stands for a lone "{".

inline const QByteArray ModuleSection = QByteArrayLiteral("MODULE");

struct TProfileEntry
{
    TFieldId Id = TFieldId::DeviceName;
    QByteArray Value;  // unquoted; placeholders still in it
    int Line = 0;      // 0 for entries given on the command line
};

struct TProfileError
{
    int Line = 0;
    QByteArray Key;  // "SECTION.KEY" when the error is about one
    QString Text;
};

struct TProfile
{
    QList<TProfileEntry> Entries;
    QList<QPair<QByteArray, QByteArray>> Module;  // the [MODULE] section, as read
};

// Reads a profile. On error nothing is guaranteed about `profile`.
std::optional<TProfileError> ParseProfile(const QByteArray& text, TProfile& profile);

// Adds or replaces one entry given as "SECTION.KEY=VALUE".
std::optional<TProfileError> SetProfileEntry(const QByteArray& assignment, TProfile& profile);

// "file:line: SECTION.KEY: text" (line and key only when known).
QString FormatProfileError(const QString& file, const TProfileError& error);

struct TTemplateValues
{
    qint64 Number = 0;
    QByteArray Port;
    QByteArray Local;
};

// Checks that every "{" starts a known placeholder.
std::optional<QString> CheckTemplates(const QByteArray& value);
QByteArray ExpandTemplates(const QByteArray& value, const TTemplateValues& values);

// One value as the file holds it: bare when it reads back the same, quoted otherwise.
QByteArray ProfileValue(const QByteArray& value);

// The whole profile of a module: [MODULE] first, then each page's section with
// every setting the module type has.
struct TModuleInfo
{
    TModuleType Type = TModuleType::Current;
    QByteArray Model;
    QByteArray BluetoothVersion;
    QByteArray SoftwareVersion;
    QByteArray LocalAddress;
    QByteArray AccessCodeFixedPart;
};
QByteArray ProfileText(const TModuleInfo& info, const TParameters& params, const QString& port);
