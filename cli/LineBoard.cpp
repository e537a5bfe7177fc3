// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineBoard.h"

namespace {

QString Seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 1) + QStringLiteral(" s");
}

QString Address(const TUnitRecord& record)
{
    if (record.Module && !record.Module->LocalAddress.isEmpty())
        return QString::fromLatin1(record.Module->LocalAddress);
    return QStringLiteral("------------");
}

qint64 PerHour(const TLineCounts& counts)
{
    return counts.Seconds > 0 ? qint64(double(counts.Units) * 3600.0 / counts.Seconds + 0.5) : 0;
}

// Erases the terminal's current line.
const char* const ClearLine = "\r\033[K";
const char* const Bold = "\033[1m";
const char* const Plain = "\033[0m";

// " at 115200 Bd" once the module has answered at a speed.
QString Speed(const TUnitRecord& record)
{
    return record.Speed > 0 ? QStringLiteral(" at %1 Bd").arg(record.Speed) : QString();
}

} // namespace

QString UnitBoardLine(const TUnitRecord& record, const QString& portName)
{
    return QStringLiteral("  UNIT %1    %2    %3    %4    %5%6")
        .arg(record.Unit, -6)
        .arg(portName, -12)
        .arg(Address(record))
        .arg(record.Passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"))
        .arg(Seconds(record.DurationMs), Speed(record));
}

QString UnitPlainLine(const TUnitRecord& record, const QString& portName)
{
    QString line = QStringLiteral("%1: unit %2 %3 %4 %5%6")
                       .arg(portName)
                       .arg(record.Unit)
                       .arg(record.Passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"))
                       .arg(Address(record), Seconds(record.DurationMs), Speed(record));
    if (!record.Passed && !record.Error.isEmpty())
        line += QStringLiteral(": ") + record.Error;
    return line;
}

QString LineStatus(const TLineCounts& counts)
{
    return QStringLiteral("units %1 | passed %2 | failed %3 | in progress %4 | %5 units/h")
        .arg(counts.Units)
        .arg(counts.Passed)
        .arg(counts.Failed)
        .arg(counts.Busy)
        .arg(PerHour(counts));
}

QString LineSummary(const TLineCounts& counts)
{
    return QStringLiteral("%1 units, %2 passed, %3 failed, %4 units per hour")
        .arg(counts.Units)
        .arg(counts.Passed)
        .arg(counts.Failed)
        .arg(PerHour(counts));
}

int LineExitStatus(const TLineCounts& counts)
{
    return counts.Failed > 0 ? 1 : 0;
}

TLineBoard::TLineBoard(std::FILE* out, bool terminal)
    : m_out(out)
    , m_terminal(terminal)
{
}

void TLineBoard::Put(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
}

void TLineBoard::UnitEnded(const TUnitRecord& record, const QString& portName, const TLineCounts& counts)
{
    if (!m_terminal) {
        Put(UnitPlainLine(record, portName) + u'\n');
        std::fflush(m_out);
        return;
    }
    Put(QString::fromLatin1(ClearLine));
    QString line = UnitBoardLine(record, portName);
    line.replace(QStringLiteral("PASS"), QString::fromLatin1(Bold) + QStringLiteral("PASS") + QString::fromLatin1(Plain));
    line.replace(QStringLiteral("FAIL"), QString::fromLatin1(Bold) + QStringLiteral("FAIL") + QString::fromLatin1(Plain));
    Put(line + u'\n');
    if (!record.Passed) {
        if (!record.Error.isEmpty())
            Put(QStringLiteral("        ") + record.Error + u'\n');
        Put(QStringLiteral("\a"));
    }
    m_statusShown = false;
    Status(counts);
}

void TLineBoard::Status(const TLineCounts& counts)
{
    if (!m_terminal)
        return;
    Put(QString::fromLatin1(ClearLine) + LineStatus(counts));
    m_statusShown = true;
    std::fflush(m_out);
}

void TLineBoard::Notice(const QString& text, const TLineCounts& counts)
{
    const bool shown = m_terminal && m_statusShown;
    if (shown) {
        Put(QString::fromLatin1(ClearLine));
        std::fflush(m_out);
    }
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
    if (shown)
        Status(counts);
}

void TLineBoard::Finish(const TLineCounts& counts)
{
    if (m_terminal && m_statusShown)
        Put(QString::fromLatin1(ClearLine));
    Put(LineSummary(counts) + u'\n');
    std::fflush(m_out);
}
