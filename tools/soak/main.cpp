// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-soak: runs many OPEN / READ / edit / WRITE cycles of the main window
// against the virtual module in one process, and checks after every cycle that
// the module gives back exactly what was written.
//
//   radioset-soak [CYCLES] [SEED]

#include "ResidentMemory.h"
#include "Session.h"
#include "Skin.h"

#include <QApplication>
#include <QRandomGenerator>

#include <cstdio>

namespace {

QByteArray RandomText(QRandomGenerator& random, const char* alphabet, int minLength, int maxLength)
{
    const QByteArray letters(alphabet);
    QByteArray text;
    const int length = random.bounded(minLength, maxLength + 1);
    for (int i = 0; i < length; ++i)
        text += letters.at(random.bounded(int(letters.size())));
    return text;
}

// Edits within what the pages accept for a current module.
void EditAtRandom(QRandomGenerator& random, TParameters& p)
{
    static const char* const rates[] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400"};
    static const char* const parities[] = {"None", "Even", "Odd"};
    p.Bluetooth.DeviceName = RandomText(random, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_ ", 1, 12).trimmed();
    if (p.Bluetooth.DeviceName.isEmpty())
        p.Bluetooth.DeviceName = "X";
    p.Bluetooth.LinkTimeout = random.bounded(100);
    p.Bluetooth.PowerSave = random.bounded(2);
    p.Bluetooth.ClassOfDevice = RandomText(random, "0123456789ABCDEF", 6, 6);
    p.Bluetooth.RemoteBDAddr = RandomText(random, "0123456789ABCDEF", 12, 12);
    p.Security.PinCode = RandomText(random, "0123456789", 4, 12);
    p.Security.Encry = random.bounded(2);
    p.Security.Auth = random.bounded(2);
    p.System.StatusMessage = random.bounded(2);
    p.System.ConnectionMode = random.bounded(4);
    p.System.ConnectionDelayTime = random.bounded(1000000);
    p.Uart.BaudRate = rates[random.bounded(9)];
    p.Uart.ParityBit = parities[random.bounded(3)];
    p.Uart.StopBit = random.bounded(2) ? "2" : "1";
    p.Uart.HWFlowControl = random.bounded(2);
}

struct TWritten
{
    QByteArray DeviceName, ClassOfDevice, RemoteBDAddr, PinCode, BaudRate, ParityBit, StopBit;
    qint32 LinkTimeout = 0, PowerSave = 0, Encry = 0, Auth = 0, StatusMessage = 0, ConnectionMode = 0,
           ConnectionDelayTime = 0, HWFlowControl = 0;

    static TWritten Of(const TParameters& p)
    {
        return {p.Bluetooth.DeviceName, p.Bluetooth.ClassOfDevice, p.Bluetooth.RemoteBDAddr, p.Security.PinCode,
                p.Uart.BaudRate, p.Uart.ParityBit, p.Uart.StopBit, p.Bluetooth.LinkTimeout, p.Bluetooth.PowerSave,
                p.Security.Encry, p.Security.Auth, p.System.StatusMessage, p.System.ConnectionMode,
                p.System.ConnectionDelayTime, p.Uart.HWFlowControl};
    }
    bool operator==(const TWritten&) const = default;
};

} // namespace

int main(int argc, char* argv[])
{
    // The offscreen platform warns at every dialog it cannot raise; that is noise here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (!text.contains(QLatin1String("does not support raise()")))
            std::fprintf(stderr, "%s%s\n", type == QtWarningMsg ? "warning: " : "", qPrintable(text));
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Drawn as the program draws itself, so that its memory is the program's.
    ApplySkin(app);
    const int cycles = argc > 1 ? QByteArray(argv[1]).toInt() : 300;
    const quint32 seed = argc > 2 ? QByteArray(argv[2]).toUInt() : 1;
    if (cycles <= 0) {
        std::fprintf(stderr, "usage: radioset-soak [CYCLES] [SEED]\n");
        return 2;
    }
    QRandomGenerator random(seed);

    TSession s;
    if (!s.Started) {
        std::fprintf(stderr, "radioset-soak: %s\n", qPrintable(s.StartError));
        return 1;
    }
    const qint64 startKiB = ResidentKiB();
    // Resident memory once the program has settled (caches filled, every dialog
    // built once), and the most it may grow after that.
    const int settledCycle = qMin(50, cycles);
    qint64 settledKiB = -1;
    constexpr qint64 AllowedGrowthKiB = 1024;
    int failures = 0;
    bool haveWritten = false;
    TWritten written;
    QElapsedTimer clock;
    clock.start();

    for (int cycle = 1; cycle <= cycles; ++cycle) {
        // The virtual module keeps a transcript; emptied so that memory shows the program's own use.
        s.Module.clearTranscript();
        QString failure;
        if (!s.OpenAndIdentify()) {
            failure = QStringLiteral("not identified");
        } else if (!s.Read() || s.Form->ErrorDialog->isVisible()) {
            failure = QStringLiteral("read failed");
        } else if (haveWritten && !(TWritten::Of(s.Form->ReadParams) == written)) {
            failure = QStringLiteral("module does not hold what was written");
        } else {
            EditAtRandom(random, s.Form->EditParams);
            written = TWritten::Of(s.Form->EditParams);
            haveWritten = true;
            PressInNextModal(QStringLiteral("WRITE PARAMETERS"));
            s.Form->BtnWrite->click();
            if (!QTest::qWaitFor([&] { return !s.Form->MainComPort.Connected() && s.Form->BtnOpen->isEnabled(); },
                                 15000))
                failure = QStringLiteral("write did not end");
        }
        if (!failure.isEmpty()) {
            ++failures;
            haveWritten = false;
            std::printf("cycle %d: %s\n", cycle, qPrintable(failure));
            if (s.Form->MainComPort.Connected()) {
                s.Form->BtnClose->click();
                (void)QTest::qWaitFor([&] { return s.Form->BtnOpen->isEnabled(); }, 5000);
            }
        }
        if (cycle == settledCycle)
            settledKiB = ResidentKiB();
        if (cycle % 50 == 0)
            std::printf("%d cycles, %d failures, VmRSS %lld KiB\n", cycle, failures, ResidentKiB());
        std::fflush(stdout);
    }
    // The last write is checked by one more read.
    if (haveWritten && (!s.OpenAndIdentify() || !s.Read() || !(TWritten::Of(s.Form->ReadParams) == written))) {
        ++failures;
        std::printf("final read: module does not hold what was written\n");
    }
    const qint64 endKiB = ResidentKiB();
    const qint64 growthKiB = endKiB - settledKiB;
    std::printf("cycles: %d\nfailures: %d\nVmRSS start: %lld KiB\nVmRSS at cycle %d: %lld KiB\nVmRSS end: %lld KiB\n"
                "VmRSS growth from cycle %d to the end: %lld KiB (allowed %lld)\nseconds: %.1f\n",
                cycles, failures, startKiB, settledCycle, settledKiB, endKiB, settledCycle, growthKiB,
                AllowedGrowthKiB, clock.elapsed() / 1000.0);
    const bool memoryHeld = cycles < 2 * settledCycle || growthKiB <= AllowedGrowthKiB;
    if (!memoryHeld)
        std::printf("memory grew by more than %lld KiB after cycle %d\n", AllowedGrowthKiB, settledCycle);
    return failures == 0 && memoryHeld ? 0 : 1;
}
