// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortEntry.h"
#include "PortSource.h"

#include <QObject>

#include <functional>
#include <memory>

class QTimer;

// The real serial ports of a source, kept up to date while it lives: from the
// source's events where it sends them, else by enumerating again twice a second.
class TPortWatcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TPortWatcher)

public:
    // The name of the program holding the port at `path`, empty when none.
    using THolderLookup = std::function<QString(const QString& path)>;

    static constexpr int PollInterval = 500;

    // Enumerates at once; watching starts with Start().
    explicit TPortWatcher(std::unique_ptr<IPortSource> source, THolderLookup holders = {},
                          QObject* parent = nullptr);
    ~TPortWatcher() override;

    void Start();
    // True when the source sends events, false when it is polled.
    bool Watching() const { return m_watching; }

    // The ports, sorted by path as text.
    QList<TPortInfo> Ports() const { return m_ports; }

    // Asks again who holds each port (another program may have opened one). A
    // port is asked about when it first appears, and then only here.
    void RefreshHolders();

signals:
    void PortsChanged();

private:
    void Apply(const TPortEvent& event);
    void Rescan();
    QList<TPortInfo> Scan();
    void Publish(QList<TPortInfo> ports);
    QString HolderOf(const QString& path) const;

    std::unique_ptr<IPortSource> m_source;
    THolderLookup m_holders;
    QList<TPortInfo> m_ports;
    QTimer* m_poll = nullptr;
    bool m_watching = false;
};
