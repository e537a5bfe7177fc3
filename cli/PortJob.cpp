// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortJob.h"

#include "AtProtocol.h"
#include "IniFile.h"
#include "ModuleExchange.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace {

// After "ATZ" the module restarts before it can be woken again.
constexpr int RestartPauseMs = 300;

struct TFailure
{
    QString Text;
};

// One module on one line: the line, the exchange and the two parameter sets the
// exchange stores every answer in (what was read, and the working copy that
// writing sends).
struct TSession
{
    explicit TSession(const TTrace& trace)
        : Line(trace)
        , Exchange(State, Read, Edit, Options())
    {
    }

    // A port stops at its first fault, a refused info answer included.
    static TExchangeOptions Options()
    {
        TExchangeOptions options;
        options.ReadOnAfterWrongData = false;
        return options;
    }

    TModuleLine Line;
    TSequencerState State;
    TParameters Read;
    TParameters Edit;
    TModuleExchange Exchange;
    QByteArray Model;
};

// Runs the exchange to its end; a report fails the port.
TExchangeStep RunOrFail(TSession& session, TExchangeStep first, const TModuleLine::Observer& observe = {})
{
    const TExchangeStep last = session.Line.Run(session.Exchange, std::move(first), observe);
    if (last.Report)
        throw TFailure{last.Report->OneLine()};
    if (last.End == TExchangeEnd::None)
        throw TFailure{QStringLiteral("the exchange with the module stopped before its end")};
    return last;
}

// Opens the port and wakes and identifies the module, as OPEN does in the window.
void Connect(TSession& session, const TJobPlan& plan, const QString& port, quint8 debugChar)
{
    if (const std::optional<TReport> error = session.Line.Open(port, plan.Line))
        throw TFailure{error->OneLine()};
    session.Line.Send(WakeUpText());
    TModuleLine::Pause(DebugCharDelayMs);
    session.Line.Discard();
    const TExchangeStep end = RunOrFail(session, session.Exchange.StartHandshake(debugChar));
    if (end.End == TExchangeEnd::Identified) {
        session.Model = end.Model;
    } else if (!plan.Line.Model.isEmpty()) {
        session.Model = plan.Line.Model;
        session.Read.Local.ModelName = session.Model;
        session.Edit.Local.ModelName = session.Model;
    } else {
        throw TFailure{QStringLiteral("the module does not name its model: give it with --model NAME")};
    }
}

// Reads the settings of the module type (those of `only` when given), as READ does.
void ReadAll(TSession& session, const QList<int>& only, int& step, int steps, const TProgress& progress,
             const QString& doing)
{
    RunOrFail(session, session.Exchange.StartReading(only), [&](const TExchangeStep& next) {
        if (!next.Command.isEmpty() && next.End == TExchangeEnd::None)
            progress(doing, ++step, steps);
        return true;
    });
    // The model comes from the handshake (or --model) when the reading has no model query.
    TParameters& read = session.Read;
    if (IsLegacy(session.Exchange.Type()) || read.Local.ModelName.isEmpty() || read.Local.ModelName == AnswerError())
        read.Local.ModelName = session.Model;
}

TModuleInfo InfoOf(const TSession& session)
{
    const TParameters& read = session.Read;
    TModuleInfo info;
    info.Type = session.Exchange.Type();
    info.Model = read.Local.ModelName.isEmpty() ? session.Model : read.Local.ModelName;
    info.BluetoothVersion = read.Local.BTSpec;
    info.SoftwareVersion = read.Local.SWVersion;
    info.LocalAddress = read.Local.LocalBDAddr;
    info.AccessCodeFixedPart = read.Bluetooth.InquiryAccessCodeFirst;
    return info;
}

// Ends the connection as CLOSE does: the module restarts into data mode.
void Restart(TSession& session)
{
    session.Line.Send(RestartCommand());
    session.Line.Close();
}

std::shared_ptr<TParameters> Copy(const TParameters& params)
{
    auto copy = std::make_shared<TParameters>();
    CopyAllFields(params, *copy);
    return copy;
}

TRuleContext ContextFor(const TJobPlan& plan, TModuleType type, const QByteArray& model)
{
    TRuleContext context;
    context.Type = type;
    context.Model = model;
    if (!plan.ProductList.isEmpty() && !model.isEmpty()) {
        context.OperationModes = ProductChoiceCount(ReadProductListValue(plan.ProductList, model, "OPMODE"));
        context.Devices = ProductChoiceCount(ReadProductListValue(plan.ProductList, model, "NUMBEROFDEVICE"));
    }
    return context;
}

int ReadSteps(TModuleType type)
{
    return int(ReadPlan(type).size());
}

void Search(TSession& session, TPortResult& result, const TProgress& progress)
{
    int step = 0;
    // Only a module in the MASTER role searches: its role first.
    ReadAll(session, {6}, step, 2, progress, QStringLiteral("checking role"));
    if (session.Read.Bluetooth.Role != 0)
        throw TFailure{QStringLiteral("This function must be executed in MASTER MODE")};
    progress(QStringLiteral("searching"), 2, 2);
    const TExchangeStep end = RunOrFail(session, session.Exchange.StartSearch(), [&result](const TExchangeStep& next) {
        if (next.Found)
            result.Found.append(*next.Found);
        return true;
    });
    if (end.End == TExchangeEnd::SearchRefused)
        throw TFailure{SearchRefusedReport().OneLine()};
    if (end.End == TExchangeEnd::SearchSilent)
        throw TFailure{SearchSilentReport().OneLine()};
    Restart(session);
}

void Write(const TJobPlan& plan, int number, TSession& session, TPortResult& result, const TProgress& progress,
           const TTrace& trace)
{
    const TModuleType type = session.Exchange.Type();
    const int steps = ReadSteps(type) + LastWriteStep(type) + 1 + (plan.Verify ? ReadSteps(type) : 0);
    int step = 0;
    ReadAll(session, {}, step, steps, progress, QStringLiteral("reading"));
    result.Read = Copy(session.Read);
    result.Module = InfoOf(session);

    QList<TSettingChange> changes;
    const TTemplateValues values{number, PortName(result.Port).toLocal8Bit(), session.Read.Local.LocalBDAddr};
    for (const TProfileEntry& entry : plan.Profile.Entries)
        changes.append({entry.Id, ExpandTemplates(entry.Value, values)});
    const TApplyResult applied =
        ApplySettings(changes, session.Read, session.Edit, ContextFor(plan, type, result.Module.Model));
    for (const TSettingProblem& warning : applied.Warnings)
        result.Warnings.append(warning.Text);
    if (!applied.Ok()) {
        QStringList problems;
        for (const TSettingProblem& error : applied.Errors) {
            const TFieldRule& rule = FieldRule(error.Id);
            problems.append(QStringLiteral("%1.%2: %3")
                                .arg(QString::fromLatin1(rule.Section), QString::fromLatin1(rule.Caption), error.Text));
        }
        Restart(session);
        throw TFailure{QStringLiteral("INPUT PARAMETER ERROR: ") + problems.join(QStringLiteral("; "))};
    }
    result.Written = Copy(session.Edit);
    if (plan.DryRun) {
        result.Commands = WriteSequence(type, session.Edit);
        Restart(session);
        return;
    }
    // The last acknowledgement brings the restart command, which ends the connection.
    RunOrFail(session, session.Exchange.StartWriting(), [&](const TExchangeStep& next) {
        if (!next.Command.isEmpty() && next.End == TExchangeEnd::None)
            progress(QStringLiteral("writing"), ++step, steps);
        return true;
    });
    session.Line.Close();
    if (!plan.Verify)
        return;

    // The module takes a changed debug character with its restart.
    quint8 debugChar = plan.Line.DebugChar;
    bool ok = false;
    const uint changed = QByteArray(session.Edit.System.DebugChar).toUInt(&ok, 16);
    if (ok && changed <= 0xFF)
        debugChar = quint8(changed);
    TModuleLine::Pause(RestartPauseMs);
    TSession again(trace);
    progress(QStringLiteral("verifying"), step, steps);
    Connect(again, plan, result.Port, debugChar);
    ReadAll(again, {}, step, steps, progress, QStringLiteral("verifying"));
    Restart(again);
    QStringList differences;
    for (const TFieldRule& rule : FieldRules()) {
        if (!FieldSupported(rule.Id, type))
            continue;
        const QByteArray want = ShownValue(rule.Id, session.Edit);
        const QByteArray got = ShownValue(rule.Id, again.Read);
        if (want != got) {
            differences.append(QStringLiteral("%1.%2 is \"%3\", written \"%4\"")
                                   .arg(QString::fromLatin1(rule.Section), QString::fromLatin1(rule.Caption),
                                        QString::fromLatin1(got), QString::fromLatin1(want)));
        }
    }
    if (!differences.isEmpty())
        throw TFailure{QStringLiteral("VERIFY ERROR: ") + differences.join(QStringLiteral("; "))};
}

void RunJob(const TJobPlan& plan, int number, TPortResult& result, const TProgress& progress, const TTrace& trace)
{
    TSession session(trace);
    progress(QStringLiteral("connecting"), 0, 3);
    Connect(session, plan, result.Port, plan.Line.DebugChar);
    result.Identified = true;
    result.Module.Type = session.Exchange.Type();
    result.Module.Model = session.Model;

    switch (plan.Command) {
    case TCliCommand::Identify: {
        // The module section needs the addresses and versions: a reading of those steps only.
        int step = 0;
        ReadAll(session, {8, 9, 10, 11}, step, 4, progress, QStringLiteral("identifying"));
        session.Read.Local.ModelName = session.Model;
        result.Module = InfoOf(session);
        Restart(session);
        break;
    }
    case TCliCommand::Read: {
        int step = 0;
        ReadAll(session, {}, step, ReadSteps(session.Exchange.Type()), progress, QStringLiteral("reading"));
        result.Read = Copy(session.Read);
        result.Module = InfoOf(session);
        Restart(session);
        break;
    }
    case TCliCommand::Init:
        progress(QStringLiteral("initialising"), 1, 1);
        // Accepted: the connection ends without a restart, as in the window.
        RunOrFail(session, session.Exchange.StartInitialising());
        session.Line.Close();
        break;
    case TCliCommand::Search:
        Search(session, result, progress);
        break;
    case TCliCommand::Write:
        Write(plan, number, session, result, progress, trace);
        break;
    }
    result.Ok = true;
}

} // namespace

QString PortName(const QString& port)
{
    // Below /dev the rest of the path names the port ("ttyUSB3", "pts/4");
    // elsewhere (a link, say) its own name does.
    if (port.startsWith(QStringLiteral("/dev/")))
        return port.mid(5);
    return QFileInfo(port).fileName();
}

void RunPortJob(const TJobPlan& plan, int number, TPortResult& result, const TProgress& progress, const TTrace& trace)
{
    QElapsedTimer clock;
    clock.start();
    result.Name = PortName(result.Port);
    try {
        RunJob(plan, number, result, progress, trace);
    } catch (const TFailure& failure) {
        result.Ok = false;
        result.Error = failure.Text;
    }
    result.Milliseconds = clock.elapsed();
}
