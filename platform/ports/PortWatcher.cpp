// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortWatcher.h"

#include <QTimer>

#include <algorithm>

namespace {

void SortByPath(QList<TPortInfo>& ports)
{
    std::sort(ports.begin(), ports.end(),
              [](const TPortInfo& a, const TPortInfo& b) { return a.Path.compare(b.Path, Qt::CaseSensitive) < 0; });
    // Two ttys on one node (never seen, but cheap to rule out) make one entry.
    ports.erase(std::unique(ports.begin(), ports.end(),
                            [](const TPortInfo& a, const TPortInfo& b) { return a.Path == b.Path; }),
                ports.end());
}

} // namespace

TPortWatcher::TPortWatcher(std::unique_ptr<IPortSource> source, THolderLookup holders, QObject* parent)
    : QObject(parent), m_source(std::move(source)), m_holders(std::move(holders))
{
    m_ports = Scan();
}

TPortWatcher::~TPortWatcher() = default;

void TPortWatcher::Start()
{
    if (m_watching || m_poll)
        return;
    m_watching = m_source->Watch([this](const TPortEvent& event) { Apply(event); });
    if (m_watching) {
        // Whatever came between the first scan and the start of watching.
        Rescan();
        return;
    }
    m_poll = new QTimer(this);
    m_poll->setInterval(PollInterval);
    connect(m_poll, &QTimer::timeout, this, &TPortWatcher::Rescan);
    m_poll->start();
}

QString TPortWatcher::HolderOf(const QString& path) const
{
    return m_holders ? m_holders(path) : QString();
}

QList<TPortInfo> TPortWatcher::Scan()
{
    QList<TPortInfo> ports;
    for (const TPortDevice& device : m_source->Enumerate()) {
        if (!IsRealPort(device))
            continue;
        TPortInfo port = PortInfoFrom(device);
        // Finding a holder means looking at every process: a port already listed
        // keeps the holder found before (RefreshHolders asks again).
        const auto known = std::find_if(m_ports.cbegin(), m_ports.cend(),
                                        [&](const TPortInfo& listed) { return listed.Path == port.Path; });
        port.HolderName = known != m_ports.cend() ? known->HolderName : HolderOf(port.Path);
        ports.append(port);
    }
    SortByPath(ports);
    return ports;
}

void TPortWatcher::Publish(QList<TPortInfo> ports)
{
    if (ports == m_ports)
        return;
    m_ports = std::move(ports);
    emit PortsChanged();
}

void TPortWatcher::Rescan()
{
    Publish(Scan());
}

void TPortWatcher::Apply(const TPortEvent& event)
{
    QList<TPortInfo> ports = m_ports;
    const QString path = event.Device.Node;
    ports.removeIf([&](const TPortInfo& port) { return port.Path == path; });
    if (event.Action == TPortEvent::Added && IsRealPort(event.Device)) {
        TPortInfo port = PortInfoFrom(event.Device);
        port.HolderName = HolderOf(port.Path);
        ports.append(port);
    }
    SortByPath(ports);
    Publish(std::move(ports));
}

void TPortWatcher::RefreshHolders()
{
    QList<TPortInfo> ports = m_ports;
    for (TPortInfo& port : ports)
        port.HolderName = HolderOf(port.Path);
    Publish(std::move(ports));
}
