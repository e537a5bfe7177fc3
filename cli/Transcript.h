// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

// Every byte on a module's line, both ways, with the time it went or came, as
// text a person can read in a support request:
//
//   2026-12-10T18:30:01.123Z ttyUSB0 > AT+BTINFO?10<0D>
//   2026-12-10T18:30:01.131Z ttyUSB0 < <0D><0A>2.1<0D><0A>
//   2026-12-10T18:30:01.131Z ttyUSB0 - line at 9600 Bd
//
// Bytes outside printable ASCII, and '<' itself, are written as <XX>.

// The text of some bytes as the transcript shows them.
QByteArray TranscriptText(const QByteArray& bytes);

class TTranscriptFile;

// What one port writes to its transcript; cheap to copy, empty when no
// transcript was asked for.
class TTranscriptWriter
{
public:
    TTranscriptWriter() = default;

    explicit operator bool() const { return static_cast<bool>(m_file); }
    void Sent(const QByteArray& bytes) const;
    void Received(const QByteArray& bytes) const;
    // A line of its own about the line: a speed tried, a unit begun.
    void Note(const QString& text) const;

private:
    friend class TTranscripts;
    void Line(char direction, const QByteArray& text) const;

    std::shared_ptr<TTranscriptFile> m_file;
    QByteArray m_port;
};

// The transcripts of a run: a file name that may hold {port}, for one file per
// port; without it every port writes to the one file, each line naming its port.
class TTranscripts
{
public:
    using Now = std::function<QDateTime()>;

    explicit TTranscripts(QString pattern = {}, Now now = {});

    bool Enabled() const { return !m_pattern.isEmpty(); }
    // The file for a port's name ("ttyUSB0", "pts/4": a '/' becomes '-' in a file name).
    QString PathFor(const QString& portName) const;
    // The writer of a port; empty when disabled or when its file cannot be opened
    // (`error` tells why).
    TTranscriptWriter For(const QString& portName, QString* error = nullptr);

private:
    QString m_pattern;
    Now m_now;
    std::mutex m_mutex;
    QHash<QString, std::shared_ptr<TTranscriptFile>> m_files;
};
