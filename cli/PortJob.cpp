// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortJob.h"

#include "AtProtocol.h"
#include "FrameAssembler.h"
#include "IniFile.h"
#include "PortHolders.h"
#include "PortReports.h"
#include "Reports.h"
#include "TPosixSerialDevice.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <thread>

namespace {

// The same limit per answer as the window's.
constexpr int AnswerLimitMs = 2000;
// The window sends the debug character this long after the lone CR.
constexpr int DebugCharDelayMs = 200;
// A search answers device by device; each may take a while.
constexpr int SearchAnswerLimitMs = 30000;
// After "ATZ" the module restarts before it can be woken again.
constexpr int RestartPauseMs = 300;

struct TFailure
{
    QString Text;
};

// A report about the port itself, on one line as the others.
QString OneLine(const TPortReport& report)
{
    return TReport{report.Title, report.Detail, report.Maintenance}.OneLine();
}

// One open serial line, with its own frame assembler. Waits block in the
// device's poll; nothing spins.
class TLine
{
public:
    explicit TLine(const TTrace& trace)
        : m_trace(trace)
    {
    }

    // Empty on success, else the report.
    QString Open(const QString& port, const TLineOptions& options)
    {
        m_port = port;
        const int error = m_device.Open(port);
        if (error != 0)
            return OpenFailure(port, error);
        SerialLineSettings line;
        line.Speed = options.Baud;
        line.Parity = options.Parity;
        line.StopBits = options.StopBits;
        SerialTimeouts timeouts;
        if (const int e = m_device.SetLine(line))
            return OneLine(SerialOpenReport(port, e, std::nullopt, 7));
        m_device.SetTimeouts(timeouts);
        m_device.SetEventMask(SerialEvent::RxChar);
        m_device.ClearQueues();
        return {};
    }

    void Close() { m_device.Close(); }

    bool Send(const QByteArray& bytes)
    {
        if (m_trace)
            m_trace(QStringLiteral("> ") + Printable(bytes));
        qint32 written = 0;
        const int error = m_device.Write(bytes.constData(), qint32(bytes.size()), written);
        if (error != 0 || written != bytes.size()) {
            m_gone = m_gone || error == EIO || error == ENXIO || error == ENODEV;
            return false;
        }
        return true;
    }

    // The next framed answer, or nothing when `limitMs` pass first or the line
    // is gone (then Gone() is true).
    std::optional<QByteArray> Answer(int limitMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        for (;;) {
            Drain();
            if (!m_answers.empty()) {
                QByteArray answer = m_answers.front();
                m_answers.pop_front();
                if (m_trace)
                    m_trace(QStringLiteral("< ") + Printable(answer));
                return answer;
            }
            if (m_gone)
                return std::nullopt;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            quint32 events = 0;
            int error = 0;
            const SerialWaitResult result = m_device.WaitEventFor(events, error, int(left.count()));
            if (result == SerialWaitResult::Gone || result == SerialWaitResult::Failed)
                m_gone = true;
        }
    }

    // Forgets whatever arrived so far, as the window drops bytes while idle.
    void Discard()
    {
        Drain();
        m_answers.clear();
        m_assembler.Reset();
    }

    // Sleeps without reading.
    static void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    bool Gone() const { return m_gone; }
    const QString& Port() const { return m_port; }

private:
    void Drain()
    {
        char buffer[256];
        for (;;) {
            qint32 got = 0;
            const int error = m_device.Read(buffer, sizeof buffer, got);
            if (error != 0) {
                if (error != EAGAIN && error != EWOULDBLOCK)
                    m_gone = true;
                return;
            }
            if (got <= 0)
                return;
            // The assembler takes one byte at a time and hands back at most one answer.
            for (qint32 i = 0; i < got; ++i) {
                if (std::optional<QByteArray> answer = m_assembler.Add(QByteArray(1, buffer[i])))
                    m_answers.push_back(*answer);
            }
        }
    }

    static QString Printable(const QByteArray& bytes)
    {
        QString out;
        for (char c : bytes) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 || u >= 0x7F)
                out += QStringLiteral("<%1>").arg(u, 2, 16, QLatin1Char('0')).toUpper();
            else
                out += QChar::fromLatin1(c);
        }
        return out;
    }

    // The window's "SERIAL OPEN ERROR" report, on one line.
    static QString OpenFailure(const QString& port, int error)
    {
        std::optional<TPortHolder> holder;
        if (error == EBUSY || error == EWOULDBLOCK)
            holder = FindPortHolder(TPosixSerialDevice::DevicePath(port));
        return OneLine(SerialOpenReport(port, error, holder));
    }

    TPosixSerialDevice m_device;
    TFrameAssembler m_assembler;
    std::deque<QByteArray> m_answers;
    bool m_gone = false;
    QString m_port;
    TTrace m_trace;
};

QString PulledAdapter(const TLine& line)
{
    return OneLine(PortGoneReport(line.Port()));
}

// One exchange: send, take the answer. Throws the report on no answer.
QByteArray Exchange(TLine& line, const QByteArray& command, const TReport& noAnswer, int limitMs = AnswerLimitMs)
{
    if (!line.Send(command) && line.Gone())
        throw TFailure{PulledAdapter(line)};
    std::optional<QByteArray> answer = line.Answer(limitMs);
    if (!answer) {
        if (line.Gone())
            throw TFailure{PulledAdapter(line)};
        throw TFailure{noAnswer.OneLine()};
    }
    return *answer;
}

struct TSession
{
    TModuleType Type = TModuleType::Current;
    QByteArray Model;
};

// Opens the port and wakes and identifies the module, as OPEN does in the window.
TSession Connect(TLine& line, const TJobPlan& plan, const QString& port, quint8 debugChar)
{
    if (const QString error = line.Open(port, plan.Line); !error.isEmpty())
        throw TFailure{error};
    line.Send(QByteArrayLiteral("\r"));
    TLine::Pause(DebugCharDelayMs);
    line.Discard();
    const TReport noAnswer = NoAnswerReport(TExchange::Connecting, 0);
    if (Exchange(line, QByteArray(1, char(debugChar)), noAnswer) != "OK")
        throw TFailure{DebugCharReport().OneLine()};
    TSession session;
    session.Type = ModuleTypeFromVersionAnswer(Exchange(line, QByteArrayLiteral("AT+BTINFO?10\r"), noAnswer));
    const QByteArray model = Exchange(line, QByteArrayLiteral("AT+BTINFO?100\r"), noAnswer);
    if (model != "ERROR") {
        session.Model = model;
    } else if (!plan.Line.Model.isEmpty()) {
        session.Model = plan.Line.Model;
    } else {
        throw TFailure{QStringLiteral("the module does not name its model: give it with --model NAME")};
    }
    return session;
}

// Reads every setting of the module type, as READ does.
void ReadAll(TLine& line, const TSession& session, TParameters& read, int& step, int steps, const TProgress& progress,
             const QString& doing = QStringLiteral("reading"))
{
    TParameters scratch;
    for (const int query : ReadPlan(session.Type)) {
        progress(doing, ++step, steps);
        const QByteArray answer =
            Exchange(line, InfoQuery(query), NoAnswerReport(TExchange::Reading, query));
        if (!StoreInfoAnswer(query, answer, read, scratch))
            throw TFailure{WrongDataReport(query).OneLine()};
    }
    // The model comes from the handshake (or --model) when the reading has no model query.
    if (IsLegacy(session.Type) || read.Local.ModelName.isEmpty() || read.Local.ModelName == "ERROR")
        read.Local.ModelName = session.Model;
}

TModuleInfo InfoOf(const TSession& session, const TParameters& read)
{
    TModuleInfo info;
    info.Type = session.Type;
    info.Model = read.Local.ModelName.isEmpty() ? session.Model : read.Local.ModelName;
    info.BluetoothVersion = read.Local.BTSpec;
    info.SoftwareVersion = read.Local.SWVersion;
    info.LocalAddress = read.Local.LocalBDAddr;
    info.AccessCodeFixedPart = read.Bluetooth.InquiryAccessCodeFirst;
    return info;
}

// Ends the connection as CLOSE does: the module restarts into data mode.
void Restart(TLine& line)
{
    line.Send(QByteArrayLiteral("ATZ\r"));
    line.Close();
}

TRuleContext ContextFor(const TJobPlan& plan, const TSession& session, const QByteArray& model)
{
    TRuleContext context;
    context.Type = session.Type;
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

void RunJob(const TJobPlan& plan, int number, TPortResult& result, const TProgress& progress, const TTrace& trace)
{
    TLine line(trace);
    int step = 0;
    const int handshake = 3;
    progress(QStringLiteral("connecting"), 0, handshake);
    TSession session = Connect(line, plan, result.Port, plan.Line.DebugChar);
    result.Identified = true;
    result.Module.Type = session.Type;
    result.Module.Model = session.Model;

    switch (plan.Command) {
    case TCliCommand::Identify: {
        // The module section needs the addresses and versions: a reading of those steps only.
        TParameters read;
        TParameters scratch;
        for (const int query : ReadPlan(session.Type)) {
            if (query != 8 && query != 9 && query != 10 && query != 11)
                continue;
            progress(QStringLiteral("identifying"), ++step, 4);
            const QByteArray answer = Exchange(line, InfoQuery(query), NoAnswerReport(TExchange::Reading, query));
            if (!StoreInfoAnswer(query, answer, read, scratch))
                throw TFailure{WrongDataReport(query).OneLine()};
        }
        read.Local.ModelName = session.Model;
        result.Module = InfoOf(session, read);
        Restart(line);
        break;
    }
    case TCliCommand::Read: {
        auto read = std::make_shared<TParameters>();
        ReadAll(line, session, *read, step, ReadSteps(session.Type), progress);
        result.Read = read;
        result.Module = InfoOf(session, *read);
        Restart(line);
        break;
    }
    case TCliCommand::Init: {
        progress(QStringLiteral("initialising"), 1, 1);
        const QByteArray answer =
            Exchange(line, QByteArrayLiteral("AT&F\r"), NoAnswerReport(TExchange::Initialising, 0));
        if (answer != "OK")
            throw TFailure{InitRefusedReport().OneLine()};
        // Accepted: the connection ends without a restart, as in the window.
        line.Close();
        break;
    }
    case TCliCommand::Search: {
        TParameters read;
        TParameters scratch;
        progress(QStringLiteral("checking role"), 1, 2);
        const QByteArray role = Exchange(line, InfoQuery(6), NoAnswerReport(TExchange::Reading, 6));
        if (!StoreInfoAnswer(6, role, read, scratch))
            throw TFailure{WrongDataReport(6).OneLine()};
        if (read.Bluetooth.Role != 0)
            throw TFailure{QStringLiteral("This function must be executed in MASTER MODE")};
        progress(QStringLiteral("searching"), 2, 2);
        const TReport noAnswer{QStringLiteral("SEARCH ERROR"), QStringLiteral("The search did not end"), {}};
        Exchange(line, QByteArrayLiteral("AT+BTINQ?\r"), noAnswer, SearchAnswerLimitMs);
        for (;;) {
            std::optional<QByteArray> answer = line.Answer(SearchAnswerLimitMs);
            if (!answer)
                throw TFailure{line.Gone() ? PulledAdapter(line) : noAnswer.OneLine()};
            if (*answer == "OK")
                break;
            const QList<QByteArray> items = SplitResponse(*answer);
            if (items.size() == 3)
                result.Found.append({items[0], items[1], items[2]});
        }
        Restart(line);
        break;
    }
    case TCliCommand::Write: {
        const int steps = ReadSteps(session.Type) + LastWriteStep(session.Type) + 1
                          + (plan.Verify ? ReadSteps(session.Type) : 0);
        auto read = std::make_shared<TParameters>();
        ReadAll(line, session, *read, step, steps, progress);
        result.Read = read;
        result.Module = InfoOf(session, *read);

        QList<TSettingChange> changes;
        const TTemplateValues values{number, PortName(result.Port).toLocal8Bit(), read->Local.LocalBDAddr};
        for (const TProfileEntry& entry : plan.Profile.Entries)
            changes.append({entry.Id, ExpandTemplates(entry.Value, values)});
        auto edit = std::make_shared<TParameters>();
        const TApplyResult applied = ApplySettings(changes, *read, *edit, ContextFor(plan, session, result.Module.Model));
        for (const TSettingProblem& warning : applied.Warnings)
            result.Warnings.append(warning.Text);
        if (!applied.Ok()) {
            QStringList problems;
            for (const TSettingProblem& error : applied.Errors) {
                const TFieldRule& rule = FieldRule(error.Id);
                problems.append(QStringLiteral("%1.%2: %3")
                                    .arg(QString::fromLatin1(rule.Section), QString::fromLatin1(rule.Caption), error.Text));
            }
            Restart(line);
            throw TFailure{QStringLiteral("INPUT PARAMETER ERROR: ") + problems.join(QStringLiteral("; "))};
        }
        result.Written = edit;
        const int last = LastWriteStep(session.Type);
        if (plan.DryRun) {
            for (int s = 0; s <= last; ++s)
                result.Commands.append(WriteCommand(s, *edit));
            Restart(line);
            break;
        }
        for (int s = 0; s <= last; ++s) {
            progress(QStringLiteral("writing"), ++step, steps);
            if (Exchange(line, WriteCommand(s, *edit), NoAnswerReport(TExchange::Writing, s)) != "OK")
                throw TFailure{WriteRefusedReport(s).OneLine()};
        }
        Restart(line);

        if (plan.Verify) {
            // The module takes a changed debug character with its restart.
            quint8 debugChar = plan.Line.DebugChar;
            bool ok = false;
            const uint changed = QByteArray(edit->System.DebugChar).toUInt(&ok, 16);
            if (ok && changed <= 0xFF)
                debugChar = quint8(changed);
            TLine::Pause(RestartPauseMs);
            TLine again(trace);
            progress(QStringLiteral("verifying"), step, steps);
            const TSession second = Connect(again, plan, result.Port, debugChar);
            TParameters back;
            ReadAll(again, second, back, step, steps, progress, QStringLiteral("verifying"));
            Restart(again);
            QStringList differences;
            for (const TFieldRule& rule : FieldRules()) {
                if (!FieldSupported(rule.Id, session.Type))
                    continue;
                const QByteArray want = ShownValue(rule.Id, *edit);
                const QByteArray got = ShownValue(rule.Id, back);
                if (want != got) {
                    differences.append(QStringLiteral("%1.%2 is \"%3\", written \"%4\"")
                                           .arg(QString::fromLatin1(rule.Section), QString::fromLatin1(rule.Caption),
                                                QString::fromLatin1(got), QString::fromLatin1(want)));
                }
            }
            if (!differences.isEmpty())
                throw TFailure{QStringLiteral("VERIFY ERROR: ") + differences.join(QStringLiteral("; "))};
        }
        break;
    }
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
