// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliOutput.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr int BarWidth = 20;
// A terminal is redrawn at most this often, whatever the number of ports.
constexpr auto RedrawInterval = std::chrono::milliseconds(50);

// A stage left, as the pipe's line says it was reached.
QString StageReached(const QString& doing)
{
    static const QHash<QString, QString> reached{
        {QStringLiteral("connecting"), QStringLiteral("connected")},
        {QStringLiteral("reading"), QStringLiteral("read")},
        {QStringLiteral("writing"), QStringLiteral("written")},
        {QStringLiteral("verifying"), QStringLiteral("verified")},
        {QStringLiteral("identifying"), QStringLiteral("identified")},
        {QStringLiteral("checking role"), QStringLiteral("role checked")},
        {QStringLiteral("searching"), QStringLiteral("searched")},
        {QStringLiteral("initialising"), QStringLiteral("initialised")},
    };
    return reached.value(doing);
}

QString Cut(const QString& line, int width)
{
    // The last column stays free: a line that fills it wraps on some terminals.
    return line.size() < width ? line : line.left(qMax(0, width - 1));
}

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
    AskSize();
}

void TProgressBoard::AskSize()
{
    winsize size{};
    if (m_terminal && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0) {
        m_width = size.ws_col;
        m_height = size.ws_row;
    }
}

QStringList TProgressBoard::Lines(int width, int height) const
{
    if (width <= 0)
        width = 80;
    if (height <= 0)
        height = 24;
    QStringList lines;
    // A row or two stay free for the line the cursor rests on.
    if (int(m_rows.size()) <= height - 1) {
        for (const TRow& row : m_rows)
            lines.append(Cut(RowText(row), width));
        return lines;
    }
    int waiting = 0;
    int busy = 0;
    int done = 0;
    int failed = 0;
    QList<const TRow*> shown;
    for (const TRow& row : m_rows) {
        if (row.Finished && row.Failed) {
            ++failed;
            shown.append(&row);
        } else if (row.Finished) {
            ++done;
        } else if (row.Doing == QStringLiteral("waiting")) {
            ++waiting;
        } else {
            ++busy;
            shown.append(&row);
        }
    }
    lines.append(Cut(QStringLiteral("%1 ports: %2 waiting, %3 busy, %4 done, %5 FAILED")
                         .arg(m_rows.size())
                         .arg(waiting)
                         .arg(busy)
                         .arg(done)
                         .arg(failed),
                     width));
    const int room = qMax(0, height - 2);
    for (int i = 0; i < int(shown.size()) && int(lines.size()) <= room; ++i) {
        if (int(lines.size()) == room && i < int(shown.size()) - 1) {
            lines.append(Cut(QStringLiteral("... and %1 more").arg(shown.size() - i), width));
            break;
        }
        lines.append(Cut(RowText(*shown.at(i)), width));
    }
    return lines;
}

void TProgressBoard::Reached(TRow& row, const QString& doing)
{
    if (doing == row.Doing)
        return;
    const QString reached = StageReached(row.Doing);
    row.Doing = doing;
    if (m_quiet || m_terminal || reached.isEmpty())
        return;
    std::fprintf(stderr, "%s: %s%s\n", qPrintable(row.Port), qPrintable(reached),
                 reached == QStringLiteral("connected") && !row.Model.isEmpty()
                     ? qPrintable(QStringLiteral(" (%1)").arg(QString::fromLatin1(row.Model)))
                     : "");
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
    // Called under the lock. On a terminal the line takes the board's place and
    // the board is drawn again below it.
    if (m_terminal && m_drawn && !m_quiet) {
        Paint(&line);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

void TProgressBoard::Paint(const QString* message)
{
    // Each line is written over the one before, cleared to its end; the screen
    // is never cleared whole, which some terminals keep in their scrollback.
    const int previous = m_drawn ? m_drawnLines : 0;
    if (previous > 0)
        std::fprintf(stderr, "\x1b[%dA", previous);
    int rows = 0;
    if (message) {
        // Cleared after it too: the last row of a message that wraps.
        std::fprintf(stderr, "\r\x1b[K%s\x1b[K\n", qPrintable(*message));
        const int width = m_width > 0 ? m_width : 80;
        rows += qMax(1, int((message->size() + width - 1) / width));
    }
    const QStringList lines = m_quiet ? QStringList() : Lines(m_width, m_height);
    for (const QString& line : lines)
        std::fprintf(stderr, "\r\x1b[K%s\n", qPrintable(line));
    rows += int(lines.size());
    // What is left of a longer board below is cleared, and the cursor goes back
    // up to the line below the board.
    if (const int extra = previous - rows; extra > 0) {
        for (int i = 0; i < extra; ++i)
            std::fprintf(stderr, "\x1b[K\n");
        std::fprintf(stderr, "\x1b[%dA", extra);
    }
    std::fflush(stderr);
    m_drawnLines = int(lines.size());
    m_drawn = true;
}

void TProgressBoard::Redraw(bool force)
{
    if (m_quiet || !m_terminal)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && m_drawn && now - m_lastDraw < RedrawInterval)
        return;
    m_lastDraw = now;
    Paint(nullptr);
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
    Reached(row, doing);
    row.Step = step;
    row.Steps = steps;
    Redraw(false);
}

void TProgressBoard::Finished(int index, const TPortResult& result)
{
    const std::lock_guard lock(m_lock);
    TRow& row = m_rows[size_t(index)];
    row.Model = result.Module.Model;
    row.Finished = true;
    row.Failed = !result.Ok;
    // The stage a port succeeds in is reached; one it fails in is not.
    if (result.Ok)
        Reached(row, QStringLiteral("done"));
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
    // The terminal may have rewrapped the old board: clear the screen below the
    // cursor's row and draw it anew from there.
    AskSize();
    // Rows of the old board that the terminal may have rewrapped or pushed out
    // are not counted on: the board is drawn anew from as far up as it can
    // have reached.
    if (m_drawn)
        m_drawnLines = qMin(m_drawnLines, qMax(0, m_height - 1));
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
        return r.SpeedSearched ? QStringLiteral("ok at %1 Bd").arg(r.Speed) : QStringLiteral("ok");
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
    object[QStringLiteral("speed")] = r.Speed > 0 ? QJsonValue(r.Speed) : QJsonValue();
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
        QJsonArray changes;
        for (const TPortResult::TChange& change : r.Changes) {
            const TFieldRule& rule = FieldRule(change.Id);
            changes.append(QJsonObject{
                {QStringLiteral("key"), QString::fromLatin1(rule.Section) + u'.' + QString::fromLatin1(rule.Caption)},
                {QStringLiteral("from"), text(change.From)},
                {QStringLiteral("to"), text(change.To)}});
        }
        object[QStringLiteral("changes")] = changes;
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
        // A dry run says what would change; the commands are in the JSON (and --verbose).
        if (plan.DryRun) {
            const QByteArray prefix = severalPorts ? name + ": " : QByteArray();
            for (const TPortResult::TChange& change : r.Changes) {
                const TFieldRule& rule = FieldRule(change.Id);
                out += prefix + rule.Section + '.' + rule.Caption + ": " + change.From + " -> " + change.To + '\n';
            }
            if (r.Changes.isEmpty())
                out += prefix + "no change\n";
            if (plan.Verbose) {
                for (QByteArray c : r.Commands) {
                    c.chop(1);
                    out += prefix + c + '\n';
                }
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
    const QString local = QString::fromLatin1(result.Module.LocalAddress);
    path.replace(QStringLiteral("{port}"), name);
    path.replace(QStringLiteral("{n}"), QString::number(result.Unit));
    path.replace(QStringLiteral("{local4}"), local.right(4));
    path.replace(QStringLiteral("{local}"), local);
    return path;
}

void CommitOutput(QSaveFile& file, const QByteArray& text, TPortResult& result)
{
    if (file.write(text) != text.size() || !file.commit())
        FailOutput(file, result);
}

void FailOutput(const QSaveFile& file, TPortResult& result)
{
    result.Ok = false;
    result.Error = QStringLiteral("OUTPUT ERROR: %1: %2").arg(file.fileName(), file.errorString());
}

QString CommandName(TCliCommand command)
{
    switch (command) {
    case TCliCommand::Identify: return QStringLiteral("identify");
    case TCliCommand::Read: return QStringLiteral("read");
    case TCliCommand::Write: return QStringLiteral("write");
    case TCliCommand::Init: return QStringLiteral("init");
    case TCliCommand::Search: return QStringLiteral("search");
    }
    return {};
}

void FillUnitRecord(const TPortResult& result, const TJobPlan& plan, TUnitRecord& record)
{
    record.Command = CommandName(plan.Command);
    record.Passed = result.Ok;
    record.Error = result.Ok ? QString() : result.Error;
    record.Speed = result.Speed;
    if (result.Identified)
        record.Module = result.Module;
    if (plan.Command == TCliCommand::Write) {
        record.ProfilePath = plan.ProfilePath;
        record.ProfileSha256 = plan.ProfileSha256;
        record.Values = result.Values;
    }
    if (plan.Verify)
        record.Verified = result.Verified;
}
