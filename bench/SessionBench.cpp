// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionBench.h"

#include "MainUnit.h"
#include "SearchDevicesFormUnit.h"
#include "SerialFormUnit.h"
#include "TTimer.h"
#include "VirtualModule.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QEventLoop>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <cmath>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <memory>
#include <thread>
#include <unistd.h>

namespace bench {

namespace {

// One piece per worker cycle: a frame of n bytes is whole n - 1 cycles after
// its first byte was taken.
constexpr double CycleMs = 10.0;
constexpr double DebugCharDelayMs = 200.0;
// After the restart command the port is closed this much later.
constexpr double DisconnectDelayMs = 100.0;

long OwnRssKiB()
{
    FILE* f = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Notes when the watched widgets become enabled: the end of an exchange shows
// there at once (the main window after READ and WRITE, the READ button after
// the handshake, the OPEN button once the port is closed again).
class EnableProbe final : public QObject
{
public:
    Clock::time_point formEnabledAt{}, readEnabledAt{}, openEnabledAt{};
    QWidget* form = nullptr;
    QWidget* readButton = nullptr;
    QWidget* openButton = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange) {
            const auto now = Clock::now();
            if (watched == form && form->isEnabled())
                formEnabledAt = now;
            if (watched == readButton && readButton->isEnabled())
                readEnabledAt = now;
            if (watched == openButton && openButton->isEnabled())
                openEnabledAt = now;
        }
        return false;
    }
};

// The longest time the user-interface thread went without serving a 1 ms timer.
class StallMonitor
{
public:
    StallMonitor()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            m_longest = std::max(m_longest, Ms(now - m_last));
            m_last = now;
        });
        m_timer.start();
        Reset();
    }

    void Reset()
    {
        m_last = Clock::now();
        m_longest = 0;
    }

    // Includes the gap still open now.
    double Longest() const { return std::max(m_longest, Ms(Clock::now() - m_last)); }

private:
    QTimer m_timer;
    Clock::time_point m_last;
    double m_longest = 0;
};

// Serves the event loop until pred holds; never sleeps on this thread.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs)
{
    if (pred())
        return true;
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    check.setInterval(1);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (pred())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    return pred();
}

void Pause(int ms)
{
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    WaitUntil([until] { return Clock::now() >= until; }, ms + 1000);
}

// Acts on the next modal dialog once it is shown; act must close it.
void WhenModal(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(1);
    const auto giveUp = Clock::now() + std::chrono::seconds(10);
    QObject::connect(timer, &QTimer::timeout, [timer, giveUp, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        } else if (Clock::now() > giveUp) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

QAbstractButton* ButtonNamed(QWidget* dialog, const QString& caption)
{
    for (auto* button : dialog->findChildren<QAbstractButton*>())
        if (button->accessibleName() == caption || button->text() == caption)
            return button;
    return nullptr;
}

// The transcript as commands and answers: runs of bytes in one direction. A
// module that takes line time logs every byte it sends on its own, and the
// bytes it receives as they arrive, so a run is gathered from several entries;
// a gap of more than a cycle between two received entries starts a new command
// (the lone CR, then the debug character 200 ms later).
struct Burst {
    bool fromTool = false;
    long bytes = 0;
    Clock::time_point first, last;
};

std::vector<Burst> Bursts(const std::vector<radiosim::TranscriptEntry>& transcript, Clock::time_point since)
{
    std::vector<Burst> bursts;
    for (const radiosim::TranscriptEntry& entry : transcript) {
        if (entry.when < since || entry.bytes.empty())
            continue;
        const bool split = !bursts.empty() && bursts.back().fromTool == entry.fromTool && entry.fromTool
                           && Ms(entry.when - bursts.back().last) > CycleMs;
        if (bursts.empty() || bursts.back().fromTool != entry.fromTool || split)
            bursts.push_back(Burst{entry.fromTool, 0, entry.when, entry.when});
        bursts.back().bytes += static_cast<long>(entry.bytes.size());
        bursts.back().last = entry.when;
    }
    return bursts;
}

// The least time the answers of the transcript since `since` can take. The
// worker takes one byte per 10 ms cycle of its fixed grid, so an answer of n
// bytes is whole n - 1 cycles after its first byte was taken; that first byte
// arrives after the command of m bytes and itself have crossed the line,
// (m + 1) character times after the command left, and is taken at the first
// cycle from then on. The command follows the cycle that completed the answer
// before it, so after the first answer that is at least one whole cycle. The
// first answer's command leaves at an unknown point of the grid: only its line
// time counts. extraFloorMs adds the fixed delays of the exchange.
void Analyse(const std::vector<radiosim::TranscriptEntry>& transcript, Clock::time_point since,
             Clock::time_point lastHandled, double extraFloorMs, double characterMs, Exchange* exchange)
{
    const std::vector<Burst> bursts = Bursts(transcript, since);
    double floorMs = extraFloorMs;
    int answers = 0;
    for (size_t i = 0; i < bursts.size(); ++i) {
        const Burst& answer = bursts[i];
        if (answer.fromTool)
            continue;
        const long command = i > 0 && bursts[i - 1].fromTool ? bursts[i - 1].bytes : 0;
        const double reachMs = static_cast<double>(command + 1) * characterMs;
        const double rhythmMs = static_cast<double>(answer.bytes - 1) * CycleMs;
        floorMs += (answers == 0 ? reachMs : std::max(1.0, std::ceil(reachMs / CycleMs)) * CycleMs) + rhythmMs;
        ++answers;
        if (characterMs > 0)
            continue;
        // How long after the answer's first byte the next command left, above
        // the rhythm: the wait for the cycle that takes the first byte, and the
        // hand-on of the frame to the exchange.
        Clock::time_point handled = lastHandled;
        for (size_t j = i + 1; j < bursts.size(); ++j) {
            if (bursts[j].fromTool) {
                handled = bursts[j].first;
                break;
            }
        }
        exchange->latenciesMs.push_back(Ms(handled - answer.first) - rhythmMs);
    }
    exchange->answers = answers;
    exchange->floorMs = floorMs;
}

class Bench
{
public:
    // baud 0: the pseudo-terminal as it is, without line time.
    explicit Bench(radiosim::Options options, int baud = 0)
        : m_baud(baud)
        , m_module(WithLineTime(std::move(options), baud))
    {
        std::string error;
        if (!m_module.start(&error))
            m_problems.push_back("virtual module: " + error);
        m_form = std::make_unique<TMainForm>();
        m_form->show();
        m_probe.form = m_form.get();
        m_probe.readButton = m_form->BtnRead;
        m_probe.openButton = m_form->BtnOpen;
        m_form->installEventFilter(&m_probe);
        m_form->BtnRead->installEventFilter(&m_probe);
        m_form->BtnOpen->installEventFilter(&m_probe);
        WaitUntil([this] { return m_form->isVisible(); }, 2000);
        Pause(100);
    }

    ~Bench()
    {
        m_form->hide();
        m_form.reset();
        m_module.stop();
    }

    TMainForm& Form() { return *m_form; }
    radiosim::VirtualModule& Module() { return m_module; }
    StallMonitor& Stalls() { return m_stalls; }
    std::vector<std::string>& Problems() { return m_problems; }

    bool Connect(Exchange* exchange)
    {
        m_module.clearTranscript();
        const std::string device = m_module.devicePath();
        Clock::time_point t0{};
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<TSerialForm*>(modal);
            if (!dialog) {
                static_cast<QDialog*>(modal)->reject();
                return;
            }
            dialog->ComPort->setEditText(QString::fromStdString(device));
            dialog->DebugChar->setText(QStringLiteral("1E"));
            if (m_baud > 0)
                dialog->BaudRate->setCurrentIndex(dialog->BaudRate->findText(QString::number(m_baud)));
            dialog->Confirmed = true;
            m_stalls.Reset();
            t0 = Clock::now();
            dialog->accept();
        });
        m_form->BtnOpen->click();
        if (!WaitUntil([&] { return t0 != Clock::time_point{} && m_probe.readEnabledAt > t0; }, 5000)) {
            m_problems.push_back("connection did not reach READ");
            return false;
        }
        exchange->wallMs = Ms(m_probe.readEnabledAt - t0);
        exchange->longestStallMs = m_stalls.Longest();
        Analyse(m_module.transcript(), t0, m_probe.readEnabledAt, DebugCharDelayMs, CharacterMs(), exchange);
        return true;
    }

    bool Read(Exchange* exchange)
    {
        m_module.clearTranscript();
        m_stalls.Reset();
        const Clock::time_point t0 = Clock::now();
        m_form->BtnRead->click();
        if (!WaitUntil([&] { return m_probe.formEnabledAt > t0; }, 15000)) {
            m_problems.push_back("READ did not finish");
            return false;
        }
        // The refresh that follows a reading belongs to it as far as the user sees.
        WaitUntil([&] { return m_form->CommMode == ModeIdle && !m_form->RedrawTimer->Enabled(); }, 2000);
        Pause(5);
        exchange->wallMs = Ms(m_probe.formEnabledAt - t0);
        exchange->longestStallMs = m_stalls.Longest();
        Analyse(m_module.transcript(), t0, m_probe.formEnabledAt, 0.0, CharacterMs(), exchange);
        return true;
    }

    bool Write(Exchange* exchange)
    {
        m_module.clearTranscript();
        Clock::time_point t0{};
        WhenModal([&](QWidget* modal) {
            QAbstractButton* write = ButtonNamed(modal, QStringLiteral("WRITE PARAMETERS"));
            if (!write) {
                static_cast<QDialog*>(modal)->reject();
                return;
            }
            m_stalls.Reset();
            t0 = Clock::now();
            write->click();
        });
        m_form->BtnWrite->click();
        if (!WaitUntil([&] { return t0 != Clock::time_point{} && m_probe.formEnabledAt > t0; }, 15000)) {
            m_problems.push_back("WRITE did not finish");
            return false;
        }
        // A whole WRITE ends with the port closed, 100 ms after the restart
        // command; the next run opens anew.
        if (!WaitUntil([&] { return m_probe.openEnabledAt > t0 && !m_form->MainComPort.Connected(); }, 3000)) {
            m_problems.push_back("WRITE did not close the port");
            return false;
        }
        const Clock::time_point end = m_probe.openEnabledAt;
        exchange->wallMs = Ms(end - t0);
        exchange->longestStallMs = m_stalls.Longest();
        Analyse(m_module.transcript(), t0, m_probe.formEnabledAt, DisconnectDelayMs, CharacterMs(), exchange);
        return true;
    }

private:
    static radiosim::Options WithLineTime(radiosim::Options options, int baud)
    {
        options.lineTime = baud > 0;
        return options;
    }

    // One character's time at the line speed of the bench, 8N1.
    double CharacterMs() const { return m_baud > 0 ? 10.0 * 1000.0 / m_baud : 0.0; }

    int m_baud = 0;
    radiosim::VirtualModule m_module;
    std::unique_ptr<TMainForm> m_form;
    EnableProbe m_probe;
    StallMonitor m_stalls;
    std::vector<std::string> m_problems;
};

long long HeapInUse()
{
    return static_cast<long long>(mallinfo2().uordblks);
}

void Search(const SessionPlan& plan, SessionFigures* figures)
{
    figures->searchRows = 0;
    figures->searchSorted = false;
    radiosim::Options options;
    options.devices = {};
    // Its own closing "OK" never comes in time: the results are handed on below.
    options.inquiryPaceMs = 600000;
    Bench bench(options);
    bench.Module().setSetting("Role", "MASTER");
    Exchange ignored;
    if (!bench.Connect(&ignored) || !bench.Read(&ignored))
        return;
    TMainForm& form = bench.Form();
    form.OpenPage(PageBluetooth);
    if (!form.BluetoothPage || !form.BluetoothPage->BtnSearch->isEnabled()) {
        figures->problems.push_back("search: the Bluetooth page offers no search");
        return;
    }

    // Names in an order that the sort has to change.
    std::vector<QByteArray> answers;
    for (int i = 0; i < plan.searchResults; ++i) {
        const int scrambled = (i * 7919) % plan.searchResults;
        answers.push_back(QByteArray::number(0x001A7D000000LL + i, 16).toUpper().rightJustified(12, '0') + ','
                          + QByteArrayLiteral("DEVICE-") + QByteArray::number(scrambled).rightJustified(4, '0')
                          + QByteArrayLiteral(",5A020C"));
    }
    answers.push_back(QByteArrayLiteral("OK"));

    WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TSearchDeviceForm*>(modal);
        if (!dialog) {
            static_cast<QDialog*>(modal)->reject();
            return;
        }
        bench.Stalls().Reset();
        dialog->BtnSearch->click();
        // The module's own "OK" starts the search on the usual path.
        WaitUntil([&] { return form.CommMode == ModeSearching && form.CommandStep == 1; }, 3000);
        const double startStall = bench.Stalls().Longest();
        bench.Stalls().Reset();
        // The results come as the worker hands on frames, only far faster: a
        // thousand of them would take minutes at one byte per cycle. A short gap
        // keeps them apart as the worker's cycles do (a frame needs five at least),
        // so that each is its own event, as it is in use.
        std::thread results([&form, &answers] {
            for (const QByteArray& answer : answers) {
                form.RxThread.OnResponse(answer);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        WaitUntil([&] { return dialog->isEnabled(); }, 60000);
        results.join();
        const double appendStall = bench.Stalls().Longest();
        bench.Stalls().Reset();
        QHeaderView* header = dialog->DeviceList->header();
        const int column = TSearchDeviceForm::DeviceNames;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                                 header->height() / 2));
        Pause(50);
        const double sortStall = bench.Stalls().Longest();
        figures->searchStallsMs.push_back(std::max({startStall, appendStall, sortStall}));
        std::fprintf(stderr, "  search: longest stall %.1f ms starting, %.1f ms appending, %.1f ms sorting\n",
                     startStall, appendStall, sortStall);
        figures->searchRows = dialog->DeviceList->topLevelItemCount();
        bool ascending = true, descending = true;
        for (int i = 1; i < figures->searchRows; ++i) {
            const QString a = dialog->DeviceList->topLevelItem(i - 1)->text(column);
            const QString b = dialog->DeviceList->topLevelItem(i)->text(column);
            ascending = ascending && a <= b;
            descending = descending && a >= b;
        }
        figures->searchSorted = figures->searchRows > 1 && (ascending || descending);
        dialog->BtnClose->click();
    });
    form.BluetoothPage->BtnSearch->click();
    for (const std::string& p : bench.Problems())
        figures->problems.push_back("search: " + p);
}

} // namespace

SessionFigures RunSessionBench(const SessionPlan& plan)
{
    SessionFigures figures;
    {
        Bench bench{radiosim::Options{}};
        for (int run = 0; run < plan.runs; ++run) {
            Exchange connect, read, write;
            if (!bench.Connect(&connect) || !bench.Read(&read) || !bench.Write(&write))
                break;
            figures.connections.push_back(connect);
            figures.reads.push_back(read);
            figures.writes.push_back(write);
            std::fprintf(stderr, "  run %d: open %.0f ms, read %.0f ms (floor %.0f), write %.0f ms (floor %.0f)\n",
                         run + 1, connect.wallMs, read.wallMs, read.floorMs, write.wallMs, write.floorMs);
        }

        // READ after READ with a page open, which each reading rebuilds.
        Exchange connect;
        if (bench.Connect(&connect)) {
            figures.connections.push_back(connect);
            TMainForm& form = bench.Form();
            figures.warmUpCycles = std::max(1, std::min(10, plan.cycles / 2));
            // Room for every record beforehand, so that the heap figure counts
            // the program's memory rather than these records.
            figures.reads.reserve(figures.reads.size() + static_cast<size_t>(plan.cycles));
            std::vector<Exchange> cycles(static_cast<size_t>(plan.cycles));
            for (Exchange& e : cycles)
                e.latenciesMs.reserve(64);
            for (int cycle = 1; cycle <= plan.cycles; ++cycle) {
                Exchange& read = cycles[static_cast<size_t>(cycle - 1)];
                if (!bench.Read(&read))
                    break;
                if (cycle == 1) {
                    form.OpenPage(PageOverview);
                    Pause(20);
                    figures.rssAfterFirstReadKiB = OwnRssKiB();
                }
                if (cycle == figures.warmUpCycles) {
                    figures.rssAfterWarmUpKiB = OwnRssKiB();
                    figures.heapAfterWarmUp = HeapInUse();
                }
                figures.cycles = cycle;
                if (cycle % 10 == 0)
                    std::fprintf(stderr, "  READ cycle %d/%d: heap in use %lld KiB, resident %ld KiB\n", cycle,
                                 plan.cycles, HeapInUse() / 1024, OwnRssKiB());
            }
            figures.rssAfterCyclesKiB = OwnRssKiB();
            figures.heapAfterCycles = HeapInUse();
            for (int cycle = 0; cycle < figures.cycles; ++cycle)
                figures.reads.push_back(std::move(cycles[static_cast<size_t>(cycle)]));
        }
        for (const std::string& p : bench.Problems())
            figures.problems.push_back(p);
    }
    for (int baud : plan.lineBauds) {
        LineSession line;
        line.baud = baud;
        Bench bench{radiosim::Options{}, baud};
        for (int run = 0; run < plan.lineRuns; ++run) {
            Exchange connect, read, write;
            if (!bench.Connect(&connect) || !bench.Read(&read) || !bench.Write(&write))
                break;
            line.connections.push_back(connect);
            line.reads.push_back(read);
            line.writes.push_back(write);
            std::fprintf(stderr, "  %d Bd run %d: open %.0f ms, read %.0f ms (floor %.0f), write %.0f ms (floor %.0f)\n",
                         baud, run + 1, connect.wallMs, read.wallMs, read.floorMs, write.wallMs, write.floorMs);
        }
        for (const std::string& p : bench.Problems())
            figures.problems.push_back(std::to_string(baud) + " Bd: " + p);
        figures.lineSessions.push_back(std::move(line));
    }
    for (int run = 0; run < plan.searchRuns; ++run) {
        Search(plan, &figures);
        if (figures.searchRows != plan.searchResults || !figures.searchSorted)
            break;
    }
    return figures;
}

int RunIdleChild(const std::string& device, bool silentModule)
{
    TMainForm form;
    form.show();
    const QString path = QString::fromStdString(device);
    WhenModal([path](QWidget* modal) {
        auto* dialog = qobject_cast<TSerialForm*>(modal);
        if (!dialog) {
            static_cast<QDialog*>(modal)->reject();
            return;
        }
        dialog->ComPort->setEditText(path);
        dialog->DebugChar->setText(QStringLiteral("1E"));
        dialog->Confirmed = true;
        dialog->accept();
    });
    QTimer::singleShot(200, &form, [&form] { form.BtnOpen->click(); });
    auto* ready = new QTimer(&form);
    ready->setInterval(20);
    QObject::connect(ready, &QTimer::timeout, &form, [&form, ready, silentModule] {
        // The error dialog is left open, as a user away from the desk would.
        const QWidget* modal = QApplication::activeModalWidget();
        const bool settled = silentModule ? modal && modal->isVisible() && form.MainComPort.Connected()
                                          : form.BtnRead->isEnabled();
        if (settled) {
            ready->stop();
            std::printf("ready\n");
            std::fflush(stdout);
        }
    });
    ready->start();
    return QApplication::exec();
}

} // namespace bench
