// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The lines of a text file, and those of a JSON Lines file as objects: for the
// tests of the unit log, the transcripts and the production line.

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>

// The lines without their '\n'; nothing when the file cannot be read.
inline QList<QByteArray> FileLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Each line as a JSON object; a line that is none comes back empty.
inline QList<QJsonObject> JsonRecords(const QString& path)
{
    QList<QJsonObject> records;
    for (const QByteArray& line : FileLines(path))
        records.append(QJsonDocument::fromJson(line).object());
    return records;
}
