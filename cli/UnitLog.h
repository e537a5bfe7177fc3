// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Profile.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

#include <mutex>
#include <optional>

// The record of a production line: one JSON object per line (JSON Lines), one
// line per unit and attempt, appended. Each record goes out with one write()
// and is synced before the next unit is counted, so that a crash or a pulled
// power cord leaves whole lines only, and the log shippers a factory runs can
// collect the records of many stations.

struct TUnitRecord
{
    QDateTime Time;       // when the unit ended, UTC
    qint64 Unit = 0;
    int Attempt = 1;
    QString Port;
    QString AdapterVendor, AdapterModel, AdapterSerial;  // empty where the system does not know them
    qint32 Speed = 0;     // the line speed the module answered at; 0 when none did
    QString Command;      // "write", "read", "identify", "init"
    bool Passed = false;
    QString Error;        // the report's text
    std::optional<TModuleInfo> Module;  // once the module was identified
    QString ProfilePath;
    QByteArray ProfileSha256;           // hex
    QList<QPair<QByteArray, QByteArray>> Values;  // "SECTION.KEY" and the value written, templates expanded
    std::optional<bool> Verified;       // with --verify
    qint64 DurationMs = 0;
};

// The record as one line of JSON, '\n' included. Keys in a fixed order: time,
// unit, attempt, port, adapter, speed, command, result ("PASS"/"FAIL"), error,
// module, profile, values, verified, duration_ms. Protocol text is single-byte
// and is written as the characters of those bytes (Latin-1).
QByteArray UnitRecordLine(const TUnitRecord& record);

// The highest unit number in the log at `path`; 0 when the file is missing, empty
// or holds no record. Lines that are not records (a torn line, a comment) are
// passed over.
qint64 LastUnitInLog(const QString& path);

class TUnitLog final
{
public:
    TUnitLog() = default;
    ~TUnitLog();
    TUnitLog(const TUnitLog&) = delete;
    TUnitLog& operator=(const TUnitLog&) = delete;

    // Opens (creates) the log for appending. A last line left unfinished by an
    // earlier crash is ended first, so that the next record starts a line of its own.
    bool Open(const QString& path, QString* error = nullptr);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    const QString& Path() const { return m_path; }

    // Appends one record, whole, and syncs it to the disk. Safe from several threads.
    bool Append(const TUnitRecord& record, QString* error = nullptr);

private:
    std::mutex m_mutex;
    int m_fd = -1;
    QString m_path;
};
