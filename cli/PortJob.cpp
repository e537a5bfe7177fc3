// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortJob.h"

#include "AtProtocol.h"
#include "IniFile.h"
#include "ModuleExchange.h"
#include "PortReports.h"
#include "SpeedSearch.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <map>
#include <utility>

namespace {

// After "ATZ" the module restarts before it can be woken again.
constexpr int RestartPauseMs = 300;

struct TFailure
{
    QString Text;
    bool Interrupted = false;
    // The module was left in its configuration mode and is to be restarted:
    // nothing was written, so its own settings come back.
    bool Restart = false;
};

int Level(const TJobPlan& plan)
{
    return plan.Interrupt ? plan.Interrupt->load() : NotInterrupted;
}

// Reading, identifying and searching stop at the first interruption; a write
// only at the second.
TModuleLine::StopRequest StopAt(const TJobPlan& plan, int level)
{
    if (!plan.Interrupt)
        return {};
    const std::atomic<int>* interrupt = plan.Interrupt;
    return [interrupt, level] { return interrupt->load() >= level; };
}

// One module on one line: the line, the exchange and the two parameter sets the
// exchange stores every answer in (what was read, and the working copy that
// writing sends).
struct TSession
{
    TSession(const TJobPlan& plan, const TTrace& trace, const TTranscriptWriter& transcript = {})
        : Line(trace, BytesTo(transcript))
        , Exchange(State, Read, Edit, Options())
        , Plan(plan)
        , Transcript(transcript)
    {
        Line.SetStopRequest(StopAt(plan, FinishWrites));
    }

    static TModuleLine::ByteHook BytesTo(const TTranscriptWriter& transcript)
    {
        if (!transcript)
            return {};
        return [transcript](TModuleLine::TDirection direction, const QByteArray& bytes) {
            direction == TModuleLine::TDirection::Sent ? transcript.Sent(bytes) : transcript.Received(bytes);
        };
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
    const TJobPlan& Plan;
    QByteArray Model;
    // The line as it was found: the speed the module answered at.
    TLineOptions Found;
    TTranscriptWriter Transcript;
};

TFailure Interruption(const QString& what)
{
    return TFailure{QStringLiteral("INTERRUPTED ") + what, true, true};
}

// The last step of a run that went to its end; a report fails the port.
TExchangeStep EndOrFail(TSession& session, const TExchangeStep& last)
{
    if (last.Report)
        throw TFailure{last.Report->OneLine()};
    if (last.End == TExchangeEnd::None) {
        if (Level(session.Plan) != NotInterrupted) {
            const qint32 mode = session.State.CommMode;
            throw Interruption(mode == ModeConnecting ? QStringLiteral("while connecting: nothing written")
                               : mode == ModeReading  ? QStringLiteral("while reading: nothing written")
                                                      : QStringLiteral("before its end: nothing written"));
        }
        throw TFailure{QStringLiteral("the exchange with the module stopped before its end")};
    }
    return last;
}

// Runs the exchange to its end; a report fails the port.
TExchangeStep RunOrFail(TSession& session, TExchangeStep first, const TModuleLine::Observer& observe = {})
{
    return EndOrFail(session, session.Line.Run(session.Exchange, std::move(first), observe));
}

// Opens the port and wakes and identifies the module, as OPEN does in the
// window; with several speeds, at the first one the module answers.
void Connect(TSession& session, const TJobPlan& plan, const QString& port, quint8 debugChar, TPortResult& result)
{
    const QList<qint32> speeds = plan.Speeds.isEmpty() ? QList<qint32>{plan.Line.Baud} : plan.Speeds;
    TLineOptions line = plan.Line;
    line.Baud = speeds.first();
    line.DebugChar = debugChar;
    if (const std::optional<TReport> error = session.Line.Open(port, line))
        throw TFailure{error->OneLine()};
    result.SpeedSearched = speeds.size() > 1;
    const TTranscriptWriter& transcript = session.Transcript;
    const TSpeedSearch found = FindSpeed(session.Line, session.Exchange, line, speeds, [&transcript](qint32 baud) {
        if (transcript)
            transcript.Note(QStringLiteral("line at %1 Bd").arg(baud));
    });
    result.Speed = found.Speed.value_or(0);
    line.Baud = found.Speed.value_or(line.Baud);
    session.Found = line;
    const TExchangeStep end = EndOrFail(session, found.Last);
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

QByteArray WithoutCr(QByteArray command)
{
    if (command.endsWith('\r'))
        command.chop(1);
    return command;
}

// What is said of a write that did not end with the module's restart. The
// module is left as it is, in its configuration mode, not restarted: a restart
// would bring up a half-written set, perhaps with a new speed or debug character
// from the commands it took, where the line's present settings no longer reach
// it. Left as it is, the same command reaches it again, and writing it again
// sends the whole set from the first command.
QString PartlyWritten(const TWriteProgress& writing, const QString& cause)
{
    return QStringLiteral("\"%1\" %2 after %3 of %4 write commands: the module is partly written, not restarted; "
                          "write it again")
        .arg(QString::fromLatin1(writing.Failed), cause)
        .arg(writing.Acknowledged)
        .arg(writing.Commands);
}

// Sends the write commands and follows how far the module takes them.
void SendWriteCommands(const TJobPlan& plan, TSession& session, TPortResult& result, int& step, int steps,
                       const TProgress& progress)
{
    const TModuleType type = session.Exchange.Type();
    const QList<QByteArray> sequence = WriteSequence(type, session.Edit);
    TWriteProgress& writing = result.Writing;
    writing.Commands = int(sequence.size());
    result.Held = Copy(session.Read);
    // A write in progress finishes at the first interruption. The second stops
    // it before its next command, never while an answer is awaited: a command
    // sent is known to be taken or not.
    session.Line.SetStopRequest({});
    const TExchangeStep last = session.Line.Run(session.Exchange, session.Exchange.StartWriting(),
                                                [&](const TExchangeStep& next) {
        if (next.Acknowledged) {
            const int done = *next.Acknowledged;
            writing.Acknowledged = done + 1;
            TakeWriteStep(done, session.Edit, *result.Held);
            result.WrittenFields += WriteStepFields(done);
        }
        if (Level(plan) >= StopAtOnce && next.End == TExchangeEnd::None && !next.Report)
            return false;
        if (!next.Command.isEmpty() && next.End == TExchangeEnd::None) {
            writing.Started = true;
            progress(QStringLiteral("writing"), ++step, steps);
        }
        return true;
    });
    if (last.End == TExchangeEnd::Written) {
        // The last acknowledgement brought the restart command, which ends the connection.
        writing.Restarted = true;
        session.Line.Close();
        return;
    }
    if (writing.Acknowledged < writing.Commands)
        writing.Failed = WithoutCr(sequence.at(writing.Acknowledged));
    const bool refused = last.Report && last.Report->Title == WriteRefusedReport(0).Title;
    if (refused && writing.Acknowledged == 0) {
        // The module took nothing: it keeps its settings and is restarted with them.
        throw TFailure{last.Report->OneLine() + QStringLiteral("; \"%1\" refused: nothing written")
                                                    .arg(QString::fromLatin1(writing.Failed)),
                       false, true};
    }
    session.Line.Close();
    if (!last.Report && !session.Line.Gone()) {
        throw TFailure{QStringLiteral("INTERRUPTED after %1 of %2 write commands: the module is partly written, "
                                      "not restarted; write it again")
                           .arg(writing.Acknowledged)
                           .arg(writing.Commands),
                       true};
    }
    const QString report = last.Report ? last.Report->OneLine() : PortGoneReport(session.Line.Port()).OneLine();
    throw TFailure{report + QStringLiteral("; ")
                   + PartlyWritten(writing, refused ? QStringLiteral("refused") : QStringLiteral("not answered"))};
}

void Write(const TJobPlan& plan, qint64 number, TSession& session, TPortResult& result, const TProgress& progress,
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
    for (const TProfileEntry& entry : plan.Profile.Entries) {
        const TFieldRule& rule = FieldRule(entry.Id);
        if (FieldSupported(entry.Id, type))
            result.Values.append({QByteArray(rule.Section) + '.' + rule.Caption, ShownValue(entry.Id, session.Edit)});
    }
    if (plan.DryRun) {
        result.Commands = WriteSequence(type, session.Edit);
        for (const TFieldRule& rule : FieldRules()) {
            if (!FieldSupported(rule.Id, type))
                continue;
            const QByteArray from = ShownValue(rule.Id, session.Read);
            const QByteArray to = ShownValue(rule.Id, session.Edit);
            if (from != to)
                result.Changes.append({rule.Id, from, to});
        }
        Restart(session);
        return;
    }
    if (Level(plan) != NotInterrupted)
        throw Interruption(QStringLiteral("before writing: nothing written"));
    SendWriteCommands(plan, session, result, step, steps, progress);
    if (!plan.Verify)
        return;
    if (Level(plan) != NotInterrupted) {
        throw TFailure{QStringLiteral("INTERRUPTED after the write: written and restarted, not verified"), true};
    }

    // The module restarts with what was written: its new speed, parity, stop
    // bits and debug character are the line's from now on.
    TJobPlan after = plan;
    after.Line = LineAfterRestart(session.Found, session.Edit);
    after.Speeds.clear();
    TModuleLine::Pause(RestartPauseMs);
    TSession again(after, trace, session.Transcript);
    progress(QStringLiteral("verifying"), step, steps);
    try {
        TPortResult reconnect;
        Connect(again, after, result.Port, after.Line.DebugChar, reconnect);
        ReadAll(again, {}, step, steps, progress, QStringLiteral("verifying"));
    } catch (const TFailure& failure) {
        if (failure.Interrupted)
            throw TFailure{QStringLiteral("INTERRUPTED while verifying: written and restarted, not verified"), true};
        throw TFailure{QStringLiteral("VERIFY ERROR: written; could not reconnect to verify: ") + failure.Text};
    }
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
    result.Verified = differences.isEmpty();
    if (!differences.isEmpty())
        throw TFailure{QStringLiteral("VERIFY ERROR: ") + differences.join(QStringLiteral("; "))};
}

void RunOn(TSession& session, const TJobPlan& plan, qint64 number, TPortResult& result, const TProgress& progress,
           const TTrace& trace);

void RunJob(const TJobPlan& plan, qint64 number, TPortResult& result, const TProgress& progress, const TTrace& trace,
            const TTranscriptWriter& transcript)
{
    TSession session(plan, trace, transcript);
    try {
        RunOn(session, plan, number, result, progress, trace);
    } catch (const TFailure& failure) {
        // Stopped before anything was written: the module goes back to its data mode.
        if (failure.Restart && session.Line.IsOpen())
            Restart(session);
        throw;
    }
}

void RunOn(TSession& session, const TJobPlan& plan, qint64 number, TPortResult& result, const TProgress& progress,
           const TTrace& trace)
{
    progress(QStringLiteral("connecting"), 0, 3);
    Connect(session, plan, result.Port, plan.Line.DebugChar, result);
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
        if (Level(plan) != NotInterrupted)
            throw Interruption(QStringLiteral("before initialising: nothing written"));
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

QStringList DistinctPorts(const QStringList& ports, QStringList& warnings)
{
    QStringList kept;
    std::map<std::pair<quint64, quint64>, QString> seen;
    for (const QString& port : ports) {
        if (kept.contains(port))
            continue;
        struct stat st {};
        if (::stat(QFile::encodeName(port).constData(), &st) != 0) {
            kept.append(port);
            continue;
        }
        // A device by its number; anything else by its file.
        const std::pair<quint64, quint64> key = S_ISCHR(st.st_mode) ? std::pair<quint64, quint64>{0, st.st_rdev}
                                                                    : std::pair<quint64, quint64>{st.st_dev + 1, st.st_ino};
        const auto [at, added] = seen.emplace(key, port);
        if (added) {
            kept.append(port);
            continue;
        }
        warnings.append(QStringLiteral("%1 is the same device as %2: taken once, as %2").arg(port, at->second));
    }
    return kept;
}

QString PortName(const QString& port)
{
    // Below /dev the rest of the path names the port ("ttyUSB3", "pts/4");
    // elsewhere (a link, say) its own name does.
    if (port.startsWith(QStringLiteral("/dev/")))
        return port.mid(5);
    return QFileInfo(port).fileName();
}

void RunPortJob(const TJobPlan& plan, qint64 number, TPortResult& result, const TProgress& progress, const TTrace& trace,
                const TTranscriptWriter& transcript)
{
    QElapsedTimer clock;
    clock.start();
    result.Name = PortName(result.Port);
    result.Unit = number;
    result.Started = true;
    try {
        RunJob(plan, number, result, progress, trace, transcript);
    } catch (const TFailure& failure) {
        result.Ok = false;
        result.Interrupted = failure.Interrupted;
        result.Error = failure.Text;
    }
    result.Milliseconds = clock.elapsed();
}

QList<TFieldId> WriteStepFields(int step)
{
    using F = TFieldId;
    switch (step) {
    case 0: return {F::DeviceName};
    case 1: return {F::Role};
    case 2: return {F::RemoteBDAddr};
    case 3: return {F::PowerSave};
    case 4: return {F::LinkTimeout};
    case 5: return {F::Auth, F::Encry};
    case 6: return {F::PinCode};
    case 7: return {F::StatusMessage};
    case 8: return {F::ConnectionMode};
    case 9: return {F::EscapeChar};
    case 10: return {F::DebugChar};
    case 11: return {F::BaudRate, F::ParityBit, F::StopBit};
    case 12: return {F::OperationMode};
    case 13: return {F::NumberOfDevice};
    case 14: return {F::RxBufferSize};
    case 15: return {F::StreamSwitchingFast};
    case 16: return {F::InquiryAccessCode};
    case 17: return {F::ClassOfDevice};
    case 18: return {F::SupportProfile};
    case 19: return {F::ServiceName};
    case 20: return {F::ConnectionDelayTime};
    case 21: return {F::HWFlowControl};
    default: return {};
    }
}

void TakeWriteStep(int step, const TParameters& from, TParameters& to)
{
    switch (step) {
    case 0: to.Bluetooth.DeviceName = from.Bluetooth.DeviceName; break;
    case 1: to.Bluetooth.Role = from.Bluetooth.Role; break;
    case 2: to.Bluetooth.RemoteBDAddr = from.Bluetooth.RemoteBDAddr; break;
    case 3: to.Bluetooth.PowerSave = from.Bluetooth.PowerSave; break;
    case 4: to.Bluetooth.LinkTimeout = from.Bluetooth.LinkTimeout; break;
    case 5:
        to.Security.Auth = from.Security.Auth;
        to.Security.Encry = from.Security.Encry;
        break;
    case 6: to.Security.PinCode = from.Security.PinCode; break;
    case 7: to.System.StatusMessage = from.System.StatusMessage; break;
    case 8: to.System.ConnectionMode = from.System.ConnectionMode; break;
    case 9: to.System.EscapeChar = from.System.EscapeChar; break;
    case 10: to.System.DebugChar = from.System.DebugChar; break;
    case 11:
        to.Uart.BaudRate = from.Uart.BaudRate;
        to.Uart.ParityBit = from.Uart.ParityBit;
        to.Uart.StopBit = from.Uart.StopBit;
        break;
    case 12: to.MultiComm.OperationMode = from.MultiComm.OperationMode; break;
    case 13: to.MultiComm.NumberOfDevice = from.MultiComm.NumberOfDevice; break;
    case 14: to.MultiComm.RxBufferSize = from.MultiComm.RxBufferSize; break;
    case 15: to.System.StreamSwitchingFast = from.System.StreamSwitchingFast; break;
    // Only the two digits after the fixed part are sent.
    case 16: to.Bluetooth.InquiryAccessCodeSecond = from.Bluetooth.InquiryAccessCodeSecond; break;
    case 17: to.Bluetooth.ClassOfDevice = from.Bluetooth.ClassOfDevice; break;
    case 18: to.Bluetooth.SupportProfile = from.Bluetooth.SupportProfile; break;
    case 19: to.Bluetooth.ServiceName = from.Bluetooth.ServiceName; break;
    case 20: to.System.ConnectionDelayTime = from.System.ConnectionDelayTime; break;
    case 21: to.Uart.HWFlowControl = from.Uart.HWFlowControl; break;
    default: break;
    }
}
