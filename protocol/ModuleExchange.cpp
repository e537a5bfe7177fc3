// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModuleExchange.h"

#include "AtProtocol.h"

// ---------------------------------------------------------------- step plans

QList<int> ReadPlan(TModuleType type)
{
    QList<int> steps;
    for (int step = 0;; ++step) {
        const int queried = ReadStepToQuery(type, step);
        steps.append(queried);
        if (IsLastReadStep(type, queried))
            break;
        step = queried;
    }
    return steps;
}

int ReadStepToQuery(TModuleType type, int step)
{
    return step == 10 && type == TModuleType::LegacyFast ? 16 : step;
}

bool IsLastReadStep(TModuleType type, int step)
{
    switch (type) {
    case TModuleType::Legacy: return step == 9 || step == 16 || step == ModelQueryStep;
    case TModuleType::LegacyFast: return step == 16 || step == ModelQueryStep;
    case TModuleType::Current: return step == ModelQueryStep;
    }
    return true;
}

int ReadGaugeMaximum(TModuleType type)
{
    switch (type) {
    case TModuleType::Current: return 17;
    case TModuleType::LegacyFast: return 10;
    case TModuleType::Legacy: return 9;
    }
    return 17;
}

int LastWriteStep(TModuleType type)
{
    switch (type) {
    case TModuleType::Current: return 21;
    case TModuleType::LegacyFast: return 15;
    case TModuleType::Legacy: return 14;
    }
    return 21;
}

QList<QByteArray> WriteSequence(TModuleType type, const TParameters& params)
{
    QList<QByteArray> commands;
    for (int step = 0; step <= LastWriteStep(type); ++step)
        commands.append(WriteCommand(step, params));
    return commands;
}

// ---------------------------------------------------------------- exchange

namespace {

TExchange TimedExchange(qint32 mode)
{
    switch (mode) {
    case ModeReading: return TExchange::Reading;
    case ModeWriting: return TExchange::Writing;
    case ModeInitialising: return TExchange::Initialising;
    default: return TExchange::Connecting;
    }
}

// The time limit that watches the answers of a mode.
TAnswerTimer TimerOf(qint32 mode)
{
    switch (mode) {
    case ModeConnecting:
    case ModeReading:
    case ModeWriting:
    case ModeInitialising:
        return TAnswerTimer::Answer;
    case ModeSearching:
        return TAnswerTimer::SearchSilence;
    case ModeProfileChange:
        return TAnswerTimer::ProfileChange;
    default:
        return TAnswerTimer::None;
    }
}

// A step that sends `command` and waits for its answer under `timer`.
TExchangeStep Send(QByteArray command, TAnswerTimer timer)
{
    TExchangeStep step;
    step.Command = std::move(command);
    step.Start = timer;
    return step;
}

// Adds what `later` (the step that sends the next command, or ends the
// exchange) does after what `first` did.
TExchangeStep Then(TExchangeStep first, const TExchangeStep& later)
{
    if (later.Stop != TAnswerTimer::None)
        first.Stop = later.Stop;
    if (later.Report)
        first.Report = later.Report;
    if (later.Progress)
        first.Progress = later.Progress;
    if (later.End != TExchangeEnd::None) {
        first.End = later.End;
        first.Model = later.Model;
    }
    first.ClearQueue = first.ClearQueue || later.ClearQueue;
    first.Command = later.Command;
    first.Start = later.Start;
    first.LimitMs = later.LimitMs;
    return first;
}

} // namespace

TModuleExchange::TModuleExchange(TSequencerState& state, TParameters& readParams, TParameters& editParams,
                                 TExchangeOptions options, Now now)
    : m_state(state)
    , m_read(readParams)
    , m_edit(editParams)
    , m_options(options)
    , m_now(std::move(now))
{
}

TModuleType TModuleExchange::Type() const
{
    return ModuleTypeOf(m_state.LegacyDevice, m_state.LegacyFastSwitch);
}

int TModuleExchange::ReadGaugeMaximum() const
{
    return ::ReadGaugeMaximum(Type());
}

int TModuleExchange::LastWriteStep() const
{
    return ::LastWriteStep(Type());
}

TExchangeStep TModuleExchange::Timed(TExchangeStep step, int limitMs)
{
    if (step.Start != TAnswerTimer::None) {
        if (limitMs < 0) {
            limitMs = step.Start == TAnswerTimer::SearchSilence   ? m_options.SearchSilenceMs
                      : step.Start == TAnswerTimer::ProfileChange ? m_options.ProfileChangeMs
                                                                  : m_options.AnswerMs;
        }
        step.LimitMs = limitMs;
        m_running = step.Start;
        m_deadline = m_now() + std::chrono::milliseconds(limitMs);
    } else if (step.Stop != TAnswerTimer::None && step.Stop == m_running) {
        m_running = TAnswerTimer::None;
    }
    return step;
}

// ---------------------------------------------------------------- starting

TExchangeStep TModuleExchange::StartHandshake(quint8 debugChar, int firstAnswerLimitMs)
{
    m_state.CommandStep = 0;
    m_state.CommMode = ModeConnecting;
    return Timed(Send(DebugCharCommand(debugChar), TAnswerTimer::Answer),
                 firstAnswerLimitMs > 0 ? firstAnswerLimitMs : -1);
}

TExchangeStep TModuleExchange::StartReading(const QList<int>& only)
{
    m_only = only;
    m_state.CommandStep = 0;
    TExchangeStep step = ReadStep();
    step.Progress = 0;
    return step;
}

TExchangeStep TModuleExchange::ReadStep()
{
    m_state.CommMode = ModeReading;
    const TModuleType type = Type();
    for (;;) {
        if (m_state.CommandStep >= InfoStepCount)
            return {};
        m_state.CommandStep = ReadStepToQuery(type, m_state.CommandStep);
        if (m_only.isEmpty() || m_only.contains(m_state.CommandStep))
            break;
        // A step left out of the reading counts as answered.
        if (IsLastReadStep(type, m_state.CommandStep)) {
            m_state.CommMode = ModeIdle;
            TExchangeStep step;
            step.ClearQueue = true;
            step.End = TExchangeEnd::Read;
            return Timed(step);
        }
        ++m_state.CommandStep;
    }
    return Timed(Send(InfoQuery(m_state.CommandStep), TAnswerTimer::Answer));
}

TExchangeStep TModuleExchange::StartWriting()
{
    m_state.CommandStep = 0;
    TExchangeStep step = WriteStep();
    step.Progress = 0;
    return step;
}

TExchangeStep TModuleExchange::WriteStep()
{
    m_state.CommMode = ModeWriting;
    return Timed(Send(WriteCommand(m_state.CommandStep, m_edit), TAnswerTimer::Answer));
}

TExchangeStep TModuleExchange::StartInitialising()
{
    m_state.CommMode = ModeInitialising;
    return Timed(Send(FactoryResetCommand(), TAnswerTimer::Answer));
}

TExchangeStep TModuleExchange::StartSearch()
{
    m_state.CommandStep = 0;
    m_state.CommMode = ModeSearching;
    TExchangeStep step = Send(SearchCommand(), TAnswerTimer::SearchSilence);
    step.Stop = TAnswerTimer::SearchSilence;
    step.ClearQueue = true;
    return Timed(step);
}

TExchangeStep TModuleExchange::EndSearch(TExchangeEnd end)
{
    m_state.CommMode = ModeIdle;
    TExchangeStep step;
    step.Stop = TAnswerTimer::SearchSilence;
    step.ClearQueue = true;
    step.End = end;
    return Timed(step);
}

TExchangeStep TModuleExchange::StartProfileChange(int profile)
{
    m_state.CommMode = ModeProfileChange;
    m_state.ServiceNameRequested = 0;
    return Timed(Send(ProfileCommand(profile), TAnswerTimer::ProfileChange));
}

TExchangeStep TModuleExchange::RequestServiceName()
{
    m_state.ServiceNameRequested = 1;
    TExchangeStep step = Send(ServiceNameQuery(), TAnswerTimer::ProfileChange);
    step.Stop = TAnswerTimer::ProfileChange;
    return Timed(step);
}

// ---------------------------------------------------------------- answers

TExchangeStep TModuleExchange::Answer(const QByteArray& answer)
{
    // Every answer ends the time limit of its exchange; a step that waits again
    // starts it anew.
    if (TimerOf(m_state.CommMode) == m_running)
        m_running = TAnswerTimer::None;
    switch (m_state.CommMode) {
    case ModeConnecting: return Connecting(answer);
    case ModeReading: return Reading(answer);
    case ModeWriting: return Writing(answer);
    case ModeInitialising: return Initialising(answer);
    case ModeSearching: return Searching(answer);
    case ModeProfileChange: return ChangingProfile(answer);
    default: return {};
    }
}

TExchangeStep TModuleExchange::Connecting(const QByteArray& answer)
{
    TExchangeStep step;
    step.Stop = TAnswerTimer::Answer;
    switch (m_state.CommandStep) {
    case 0:
        if (answer != AnswerOk()) {
            step.Report = DebugCharReport();
            break;
        }
        m_state.CommandStep = 1;
        step = Then(step, Send(VersionQuery(), TAnswerTimer::Answer));
        step.ReadyToSet = true;
        break;
    case 1:
        switch (ModuleTypeFromVersionAnswer(answer)) {
        case TModuleType::Legacy:
            m_state.LegacyDevice = true;
            m_state.LegacyFastSwitch = false;
            break;
        case TModuleType::LegacyFast:
            m_state.LegacyDevice = true;
            m_state.LegacyFastSwitch = true;
            break;
        case TModuleType::Current:
            // The fast-switching flag means nothing on a current module and keeps its value.
            m_state.LegacyDevice = false;
            break;
        }
        m_state.CommandStep = 2;
        step = Then(step, Send(ModelQuery(), TAnswerTimer::Answer));
        break;
    case 2:
        m_state.CommMode = ModeIdle;
        step.ClearQueue = true;
        if (answer != AnswerError()) {
            m_read.Local.ModelName = answer;
            m_edit.Local.ModelName = answer;
            step.End = TExchangeEnd::Identified;
            step.Model = answer;
        } else {
            step.End = TExchangeEnd::ProductChoice;
        }
        break;
    default:
        break;
    }
    return Timed(step);
}

TExchangeStep TModuleExchange::Reading(const QByteArray& answer)
{
    TExchangeStep step;
    step.Stop = TAnswerTimer::Answer;
    if (!StoreInfoAnswer(m_state.CommandStep, answer, m_read, m_edit)) {
        step.Report = WrongDataReport(m_state.CommandStep);
        if (!m_options.ReadOnAfterWrongData)
            return Timed(step);
    }
    if (IsLastReadStep(Type(), m_state.CommandStep)) {
        m_state.CommMode = ModeIdle;
        step.ClearQueue = true;
        step.End = TExchangeEnd::Read;
        return Timed(step);
    }
    ++m_state.CommandStep;
    step.Progress = m_state.CommandStep;
    return Then(step, ReadStep());
}

TExchangeStep TModuleExchange::Writing(const QByteArray& answer)
{
    TExchangeStep step;
    step.Stop = TAnswerTimer::Answer;
    if (answer != AnswerOk()) {
        step.Report = WriteRefusedReport(m_state.CommandStep);
        return Timed(step);
    }
    step.Acknowledged = m_state.CommandStep;
    if (m_state.CommandStep >= LastWriteStep()) {
        // The module restarts with its new settings; no answer is awaited.
        m_state.CommMode = ModeIdle;
        step.ClearQueue = true;
        step.End = TExchangeEnd::Written;
        step.Command = RestartCommand();
        return Timed(step);
    }
    ++m_state.CommandStep;
    step.Progress = m_state.CommandStep;
    return Then(step, WriteStep());
}

TExchangeStep TModuleExchange::Initialising(const QByteArray& answer)
{
    TExchangeStep step;
    step.Stop = TAnswerTimer::Answer;
    if (answer == AnswerOk()) {
        m_state.CommMode = ModeIdle;
        step.ClearQueue = true;
        step.End = TExchangeEnd::Initialised;
    } else {
        step.Report = InitRefusedReport();
    }
    return Timed(step);
}

TExchangeStep TModuleExchange::Searching(const QByteArray& answer)
{
    // Every answer shows that the module is still searching.
    TExchangeStep step;
    step.Stop = TAnswerTimer::SearchSilence;
    step.Start = TAnswerTimer::SearchSilence;
    if (m_state.CommandStep == 0) {
        if (answer == AnswerOk())
            m_state.CommandStep = 1;
        else if (answer == AnswerError())
            return EndSearch(TExchangeEnd::SearchRefused); // no closing "OK" will come
        return Timed(step);
    }
    if (answer == AnswerOk())
        return EndSearch(TExchangeEnd::SearchCompleted);
    const QList<QByteArray> items = SplitResponse(answer);
    if (items.size() == 3)
        step.Found = TFoundDevice{items.at(0), items.at(1), items.at(2)};
    return Timed(step);
}

TExchangeStep TModuleExchange::ChangingProfile(const QByteArray& answer)
{
    TExchangeStep step;
    step.Stop = TAnswerTimer::ProfileChange;
    if (m_state.ServiceNameRequested == 0) {
        if (answer == AnswerOk()) {
            step.ServiceNameAfterMs = ServiceNameDelayMs;
            step.Start = TAnswerTimer::ProfileChange;
        } else {
            m_state.CommMode = ModeIdle;
            step.End = TExchangeEnd::ProfileRefused;
        }
        return Timed(step);
    }
    step.ServiceName = answer;
    m_state.CommMode = ModeIdle;
    step.End = TExchangeEnd::ProfileChanged;
    return Timed(step);
}

// ---------------------------------------------------------------- time

TExchangeStep TModuleExchange::TimedOut(TAnswerTimer timer)
{
    if (timer == m_running)
        m_running = TAnswerTimer::None;
    if (timer == TAnswerTimer::None || timer != TimerOf(m_state.CommMode))
        return {};
    switch (timer) {
    case TAnswerTimer::Answer: {
        TExchangeStep step;
        step.Report = NoAnswerReport(TimedExchange(m_state.CommMode), m_state.CommandStep);
        return step;
    }
    case TAnswerTimer::SearchSilence:
        return EndSearch(TExchangeEnd::SearchSilent);
    case TAnswerTimer::ProfileChange: {
        m_state.CommMode = ModeIdle;
        TExchangeStep step;
        step.End = TExchangeEnd::ProfileAbandoned;
        return step;
    }
    case TAnswerTimer::None:
        break;
    }
    return {};
}

std::optional<TModuleExchange::Clock::time_point> TModuleExchange::Deadline() const
{
    if (m_running == TAnswerTimer::None)
        return std::nullopt;
    return m_deadline;
}

TExchangeStep TModuleExchange::CheckTime()
{
    if (m_running == TAnswerTimer::None || m_now() < m_deadline)
        return {};
    return TimedOut(m_running);
}
