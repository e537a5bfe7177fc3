// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ModuleLine.h"
#include "PortEntry.h"
#include "PortSource.h"
#include "PortWatcher.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <memory>

class QTimer;

// The ports a production line watches, and when each comes and goes. With
// globs (-p), the names they match, expanded again and again, so that links
// such as /dev/serial/by-id/... count as they come; without, every serial
// adapter the system reports, from the port list the serial dialog shows (udev
// events where its daemon runs, the sysfs walk otherwise, and the running
// virtual modules).
//
// Adapter per module: a port that appears is one unit. It is reported once and
// again only after it has gone and come back, or when its name leads to another
// device than before. With globs the ports they match at the start are units
// too: the user named them. Without, only ports that appear while the watch
// runs are: the ports already there (an on-board UART, a modem, another
// device's adapter) are nobody's module until pulled and plugged in again.

struct TWatchedPort
{
    QString Name;    // as matched: a link stays a link; without globs the device path
    QString Device;  // the device it leads to
    QString Vendor, Model, Serial;  // of the adapter, where the system knows them

    bool operator==(const TWatchedPort&) const = default;
};

// A port named `name` that leads to `device`, with what the port list `listed`
// knows of its adapter.
TWatchedPort DescribePort(const QString& name, const QString& device, const QList<TPortInfo>& listed);

class TPortWatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TPortWatch)

public:
    // How often the globs are expanded again, for names that come without an event.
    static constexpr int GlobInterval = 100;

    TPortWatch(QStringList globs, std::unique_ptr<IPortSource> source, QObject* parent = nullptr);
    ~TPortWatch() override;

    // Reports the ports present now as appeared (with globs), then watches.
    void Start();
    QList<TWatchedPort> Present() const;

signals:
    void Appeared(const TWatchedPort& port);
    void Gone(const TWatchedPort& port);

private:
    void Update();
    QList<TWatchedPort> Match() const;

    QStringList m_globs;
    TPortWatcher m_watcher;
    QTimer* m_timer = nullptr;
    QList<TWatchedPort> m_present;
    bool m_started = false;
};

// Fixture: the adapter stays and modules are pressed in one after another. The
// line is polled: the debug character alone, given only the time an answer
// needs; a module that answers is asked its local address. This decides, from
// what the polls found, whether a module is the next unit.
class TFixtureRule
{
public:
    // The unit on the port has ended with the module of this local address.
    void UnitDone(const QByteArray& localAddress, bool passed = true);
    // A poll got no answer: the fixture is empty.
    void Silence();
    // A poll found a module of this local address (empty when it could not be read).
    // The module just done is never the next unit, silence or not: only another
    // address is; a module that failed is, once it was taken out and pressed in
    // again (a silence between), for another try. A module whose address cannot
    // be read is the next unit only after a silence.
    bool IsNextUnit(const QByteArray& localAddress) const;
    bool SilenceSeen() const { return m_silence; }
    bool LastFailed() const { return m_failed; }
    // A unit has ended on the port.
    bool AnyDone() const { return m_any; }
    // The module of this address is the one whose unit just failed: taken again,
    // it is another attempt at that unit.
    bool IsRetry(const QByteArray& localAddress) const
    {
        return m_failed && !localAddress.isEmpty() && localAddress == m_done;
    }

private:
    QByteArray m_done;
    bool m_any = false;
    bool m_failed = false;
    bool m_silence = false;
};

struct TFixturePoll
{
    bool Answered = false;    // a module answered the debug character
    QByteArray LocalAddress;  // its local address; empty when it could not be read
    bool NextUnit = false;    // the rule takes it as the next unit
};

// One poll of a fixture's line, open at the modules' speed: the debug character
// alone (no CR, which a module in its data mode would pass on), given only the
// time its answer needs. A module that answers is asked its local address. The
// next unit is left in its configuration mode for the unit's handshake; the
// module just done is restarted ("ATZ") into its data mode again, unchanged,
// unless its unit failed: then it may be partly written and stays as it is.
// A poll that gets no answer tells the rule of the silence.
TFixturePoll PollFixture(TModuleLine& line, const TLineOptions& options, TFixtureRule& rule);
