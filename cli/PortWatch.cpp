// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortWatch.h"

#include "AtProtocol.h"
#include "ModuleExchange.h"
#include "SerialPortList.h"
#include "SpeedSearch.h"

#include <QDir>
#include <QTimer>

TPortWatch::TPortWatch(QStringList globs, std::unique_ptr<IPortSource> source, QObject* parent)
    : QObject(parent)
    , m_globs(std::move(globs))
    , m_watcher(std::move(source))
{
    for (QString& glob : m_globs)
        if (!glob.startsWith(u'/'))
            glob = QDir::cleanPath(QDir::current().absoluteFilePath(glob));
}

TPortWatch::~TPortWatch() = default;

void TPortWatch::Start()
{
    if (m_started)
        return;
    m_started = true;
    connect(&m_watcher, &TPortWatcher::PortsChanged, this, &TPortWatch::Update);
    m_watcher.Start();
    if (!m_globs.isEmpty()) {
        m_timer = new QTimer(this);
        m_timer->setInterval(GlobInterval);
        connect(m_timer, &QTimer::timeout, this, &TPortWatch::Update);
        m_timer->start();
    } else {
        m_present = Match();
    }
    Update();
}

QList<TWatchedPort> TPortWatch::Present() const
{
    return m_present;
}

TWatchedPort DescribePort(const QString& name, const QString& device, const QList<TPortInfo>& listed)
{
    TWatchedPort port{name, device, {}, {}, {}};
    for (const TPortInfo& info : listed) {
        if (info.Path == device) {
            // "FTDI FT232R USB UART": the vendor's word first, the model after it.
            const qsizetype space = info.Adapter.indexOf(u' ');
            port.Vendor = space > 0 ? info.Adapter.left(space) : info.Adapter;
            port.Model = space > 0 ? info.Adapter.mid(space + 1) : QString();
            port.Serial = info.Serial;
        }
    }
    return port;
}

QList<TWatchedPort> TPortWatch::Match() const
{
    const QList<TPortInfo> listed = m_watcher.Ports();
    QList<TWatchedPort> ports;
    if (m_globs.isEmpty()) {
        for (const TPortInfo& info : listed)
            ports.append(DescribePort(info.Path, info.Path, listed));
        return ports;
    }
    QStringList paths;
    for (const TPortInfo& info : listed)
        paths.append(info.Path);
    QStringList names;
    for (const QString& glob : m_globs)
        for (const QString& name : PortsMatching(glob, paths))
            if (!names.contains(name))
                names.append(name);
    for (const QString& name : names)
        ports.append(DescribePort(name, ResolvePortPath(name), listed));
    return ports;
}

void TPortWatch::Update()
{
    const QList<TWatchedPort> now = Match();
    const QList<TWatchedPort> before = m_present;
    const auto same = [](const TWatchedPort& a, const TWatchedPort& b) { return a.Name == b.Name && a.Device == b.Device; };
    const auto in = [&same](const QList<TWatchedPort>& list, const TWatchedPort& port) {
        return std::any_of(list.cbegin(), list.cend(), [&](const TWatchedPort& p) { return same(p, port); });
    };
    m_present = now;
    for (const TWatchedPort& port : before)
        if (!in(now, port))
            emit Gone(port);
    for (const TWatchedPort& port : now)
        if (!in(before, port))
            emit Appeared(port);
}

void TFixtureRule::UnitDone(const QByteArray& localAddress, bool passed)
{
    m_done = localAddress;
    m_any = true;
    m_failed = !passed;
    m_silence = false;
}

void TFixtureRule::Silence()
{
    m_silence = true;
}

bool TFixtureRule::IsNextUnit(const QByteArray& localAddress) const
{
    if (!m_any)
        return true;
    if (!localAddress.isEmpty() && !m_done.isEmpty() && localAddress != m_done)
        return true;
    if (!localAddress.isEmpty() && localAddress == m_done)
        return m_failed && m_silence;
    return m_silence;
}

TFixturePoll PollFixture(TModuleLine& line, const TLineOptions& options, TFixtureRule& rule)
{
    TFixturePoll poll;
    TSequencerState state;
    TParameters read, edit;
    TExchangeOptions limits;
    limits.ReadOnAfterWrongData = false;
    limits.AnswerMs = ProbeAnswerMs(options.Baud);
    TModuleExchange exchange(state, read, edit, limits);
    line.Discard();
    const TExchangeStep first = exchange.StartHandshake(options.DebugChar);
    bool awake = false;
    line.Run(exchange, first, [&awake](const TExchangeStep& step) {
        awake = awake || step.ReadyToSet;
        // The debug character's answer is all this needs: the handshake stops there.
        return !awake;
    });
    if (!awake) {
        rule.Silence();
        return poll;
    }
    poll.Answered = true;
    line.Discard();
    const TExchangeStep end = line.Run(exchange, exchange.StartReading({8}));
    if (end.End == TExchangeEnd::Read && read.Local.LocalBDAddr != AnswerError())
        poll.LocalAddress = read.Local.LocalBDAddr;
    poll.NextUnit = rule.IsNextUnit(poll.LocalAddress);
    // A module that failed may be partly written: it stays as it is, in its
    // configuration mode, so that a restart does not bring up half a set.
    if (!poll.NextUnit && !rule.LastFailed())
        line.Send(RestartCommand());
    return poll;
}
