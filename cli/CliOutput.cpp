// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliOutput.h"

#include <QFile>
#include <QJsonArray>
#include <QSaveFile>

#include <cstdio>

namespace {

constexpr int BarWidth = 20;
// A terminal is redrawn at most this often, whatever the number of ports.
constexpr auto RedrawInterval = std::chrono::milliseconds(50);

QString Seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 2) + u's';
}

} // namespace

TProgressBoard::TProgressBoard(const QStringList& ports, bool quiet, bool terminal)
    : m_quiet(quiet)
    , m_terminal(terminal)
{
    for (const QString& port : ports) {
        TRow row;
        row.Port = PortName(port);
        m_rows.push_back(row);
    }
}

QString TProgressBoard::RowText(const TRow& row) const
{
    int filled = row.Steps > 0 ? row.Step * BarWidth / row.Steps : 0;
    filled = qBound(0, filled, BarWidth);
    const QString bar = u'[' + QString(filled, u'#') + QString(BarWidth - filled, u'.') + u']';
    return QStringLiteral("%1 %2 %3 %4/%5 %6")
        .arg(row.Port, -10)
        .arg(QString::fromLatin1(row.Model.isEmpty() ? QByteArrayLiteral("-") : row.Model), -8)
        .arg(row.Doing, -14)
        .arg(row.Step, 2)
        .arg(row.Steps, -2)
        .arg(bar);
}

void TProgressBoard::Print(const QString& line)
{
    // Called under the lock. On a terminal the board is taken away first and
    // drawn again below the line.
    if (m_terminal && m_drawn) {
        std::fprintf(stderr, "\x1b[%zuA\r\x1b[J", m_rows.size());
        m_drawn = false;
    }
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

void TProgressBoard::Redraw(bool force)
{
    if (m_quiet || !m_terminal)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && m_drawn && now - m_lastDraw < RedrawInterval)
        return;
    m_lastDraw = now;
    if (m_drawn)
        std::fprintf(stderr, "\x1b[%zuA", m_rows.size());
    for (const TRow& row : m_rows)
        std::fprintf(stderr, "\r\x1b[K%s\n", qPrintable(RowText(row)));
    std::fflush(stderr);
    m_drawn = true;
}

void TProgressBoard::Started(int index)
{
    const std::lock_guard lock(m_lock);
    m_rows[size_t(index)].Doing = QStringLiteral("opening");
    Redraw(true);
}

void TProgressBoard::Update(int index, const QByteArray& model, const QString& doing, int step, int steps)
{
    const std::lock_guard lock(m_lock);
    TRow& row = m_rows[size_t(index)];
    row.Model = model;
    row.Doing = doing;
    row.Step = step;
    row.Steps = steps;
    if (!m_quiet && !m_terminal)
        std::fprintf(stderr, "%s\n", qPrintable(RowText(row)));
    Redraw(false);
}

void TProgressBoard::Finished(int index, const TPortResult& result)
{
    const std::lock_guard lock(m_lock);
    TRow& row = m_rows[size_t(index)];
    row.Model = result.Module.Model;
    row.Finished = true;
    row.Doing = result.Ok ? QStringLiteral("done")
                : result.Interrupted ? QStringLiteral("INTERRUPTED")
                                     : QStringLiteral("FAILED");
    if (result.Ok)
        row.Step = row.Steps;
    if (!m_quiet) {
        for (const QString& warning : result.Warnings)
            Print(QStringLiteral("%1: warning: %2").arg(row.Port, warning));
    }
    // Errors are shown even when quiet.
    if (!result.Ok)
        Print(QStringLiteral("%1: %2").arg(row.Port, result.Error));
    if (!m_quiet && !m_terminal)
        std::fprintf(stderr, "%s\n", qPrintable(RowText(row)));
    Redraw(true);
}

void TProgressBoard::Trace(const QString& port, const QString& line)
{
    const std::lock_guard lock(m_lock);
    Print(QStringLiteral("%1: %2").arg(port, line));
    Redraw(true);
}

void TProgressBoard::Notice(const QString& line)
{
    const std::lock_guard lock(m_lock);
    Print(line);
    Redraw(true);
}

void TProgressBoard::Resized()
{
    const std::lock_guard lock(m_lock);
    Redraw(true);
}

void TProgressBoard::Done(const std::vector<TPortResult>& results, const QString& outputError)
{
    const std::lock_guard lock(m_lock);
    Redraw(true);
    if (!outputError.isEmpty())
        std::fprintf(stderr, "radioset-cli: OUTPUT ERROR: %s\n", qPrintable(outputError));
    if (m_quiet)
        return;
    std::fprintf(stderr, "\n%-10s %-10s %-8s %s\n", "PORT", "MODEL", "TIME", "RESULT");
    for (const TPortResult& r : results) {
        std::fprintf(stderr, "%-10s %-10s %-8s %s\n", qPrintable(r.Name),
                     r.Module.Model.isEmpty() ? "-" : r.Module.Model.constData(), qPrintable(Seconds(r.Milliseconds)),
                     qPrintable(Outcome(r)));
    }
    if (!outputError.isEmpty())
        std::fprintf(stderr, "%-10s %-10s %-8s FAILED: %s\n", "output", "-", "-", qPrintable(outputError));
    std::fprintf(stderr, "%s\n", qPrintable(Summary(results, outputError)));
    std::fflush(stderr);
}

QString Outcome(const TPortResult& r)
{
    if (r.Ok)
        return QStringLiteral("ok");
    if (r.Interrupted)
        return r.Error;
    return QStringLiteral("FAILED: ") + r.Error;
}

QString Summary(const std::vector<TPortResult>& results, const QString& outputError)
{
    int ok = 0;
    QStringList failed;
    QStringList interrupted;
    for (const TPortResult& r : results) {
        if (r.Ok)
            ++ok;
        else if (r.Interrupted)
            interrupted.append(r.Name);
        else
            failed.append(r.Name);
    }
    if (!outputError.isEmpty())
        failed.append(QStringLiteral("output"));
    QStringList parts{QStringLiteral("%1 ok").arg(ok)};
    if (!failed.isEmpty())
        parts.append(QStringLiteral("%1 FAILED (%2)").arg(failed.size()).arg(failed.join(QStringLiteral(", "))));
    if (!interrupted.isEmpty())
        parts.append(QStringLiteral("%1 INTERRUPTED (%2)").arg(interrupted.size()).arg(interrupted.join(QStringLiteral(", "))));
    return parts.join(QStringLiteral(", "));
}

QJsonObject ResultJson(const TPortResult& r, const TJobPlan& plan)
{
    auto text = [](const QByteArray& bytes) { return QString::fromLatin1(bytes); };
    QJsonObject object;
    object[QStringLiteral("port")] = r.Port;
    object[QStringLiteral("result")] = r.Ok            ? QStringLiteral("ok")
                                       : r.Interrupted ? QStringLiteral("interrupted")
                                                       : QStringLiteral("failed");
    object[QStringLiteral("error")] = r.Ok ? QJsonValue() : QJsonValue(r.Error);
    object[QStringLiteral("warnings")] = QJsonArray::fromStringList(r.Warnings);
    object[QStringLiteral("time_ms")] = r.Milliseconds;
    if (r.Identified) {
        QJsonObject module;
        module[QStringLiteral("TYPE")] = text(ModuleTypeName(r.Module.Type));
        module[QStringLiteral("MODEL")] = text(r.Module.Model);
        module[QStringLiteral("BLUETOOTH VERSION")] = text(r.Module.BluetoothVersion);
        module[QStringLiteral("SOFTWARE VERSION")] = text(r.Module.SoftwareVersion);
        module[QStringLiteral("LOCAL ADDRESS")] = text(r.Module.LocalAddress);
        module[QStringLiteral("INQUIRY ACCESS CODE FIXED PART")] = text(r.Module.AccessCodeFixedPart);
        object[QStringLiteral("module")] = module;
    }
    // What the module holds: what was read, and for a write the values of the
    // commands it acknowledged over that; a dry run shows what it holds now.
    const TParameters* settings = r.Held ? r.Held.get() : r.Read.get();
    if (settings) {
        QJsonObject sections;
        for (const TFieldRule& rule : FieldRules()) {
            if (!FieldSupported(rule.Id, r.Module.Type))
                continue;
            const QString section = QString::fromLatin1(rule.Section);
            QJsonObject keys = sections.value(section).toObject();
            keys[QString::fromLatin1(rule.Caption)] = text(ShownValue(rule.Id, *settings));
            sections[section] = keys;
        }
        object[QStringLiteral("settings")] = sections;
    }
    if (plan.Command == TCliCommand::Write && r.Writing.Started) {
        QJsonArray written;
        for (TFieldId id : r.WrittenFields) {
            const TFieldRule& rule = FieldRule(id);
            written.append(QString::fromLatin1(rule.Section) + u'.' + QString::fromLatin1(rule.Caption));
        }
        object[QStringLiteral("written")] = written;
        QJsonObject writing;
        writing[QStringLiteral("commands")] = r.Writing.Commands;
        writing[QStringLiteral("acknowledged")] = r.Writing.Acknowledged;
        writing[QStringLiteral("failed_command")] =
            r.Writing.Failed.isEmpty() ? QJsonValue() : QJsonValue(text(r.Writing.Failed));
        writing[QStringLiteral("restarted")] = r.Writing.Restarted;
        writing[QStringLiteral("state")] = r.Writing.Complete() ? QStringLiteral("written")
                                           : r.Writing.Acknowledged == 0 ? QStringLiteral("not written")
                                                                         : QStringLiteral("partly written");
        object[QStringLiteral("write")] = writing;
    }
    if (plan.Command == TCliCommand::Write && plan.DryRun) {
        QJsonArray commands;
        for (QByteArray c : r.Commands) {
            c.chop(1);
            commands.append(text(c));
        }
        object[QStringLiteral("commands")] = commands;
    }
    if (plan.Command == TCliCommand::Search) {
        QJsonArray found;
        for (const TFoundDevice& d : r.Found) {
            found.append(QJsonObject{{QStringLiteral("address"), text(d.Address)},
                                     {QStringLiteral("name"), text(d.Name)},
                                     {QStringLiteral("class_of_device"), text(d.ClassOfDevice)}});
        }
        object[QStringLiteral("found")] = found;
    }
    return object;
}

QByteArray ResultText(const TPortResult& r, const TJobPlan& plan, bool severalPorts)
{
    const QByteArray name = r.Name.toLocal8Bit();
    QByteArray out;
    switch (plan.Command) {
    case TCliCommand::Identify:
        out += name + ": " + ModuleTypeName(r.Module.Type) + " " + r.Module.Model;
        if (!r.Module.BluetoothVersion.isEmpty())
            out += ", Bluetooth " + r.Module.BluetoothVersion;
        out += ", software " + r.Module.SoftwareVersion + ", local address " + r.Module.LocalAddress + '\n';
        break;
    case TCliCommand::Read:
        if (r.Read)
            out += ProfileText(r.Module, *r.Read, r.Port);
        break;
    case TCliCommand::Write:
        if (plan.DryRun) {
            for (QByteArray c : r.Commands) {
                c.chop(1);
                out += (severalPorts ? name + ": " : QByteArray()) + c + '\n';
            }
        }
        break;
    case TCliCommand::Search:
        for (const TFoundDevice& d : r.Found)
            out += name + ": " + d.Address + " " + d.ClassOfDevice + " " + d.Name + '\n';
        break;
    case TCliCommand::Init:
        break;
    }
    return out;
}

QString OutputPath(const QString& pattern, const TPortResult& result)
{
    QString path = pattern;
    QString name = result.Name;
    name.replace(u'/', u'-');
    path.replace(QStringLiteral("{port}"), name);
    return path;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "radioset-cli: %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    return true;
}
