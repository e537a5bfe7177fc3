// SPDX-License-Identifier: GPL-3.0-or-later
#include "SpeedSearch.h"

#include "AtProtocol.h"
#include "LineSettings.h"
#include "Reports.h"

#include <QStringList>

namespace {

// The bits of one character on the line: start, eight data, parity, two stop at most.
constexpr int BitsPerCharacter = 12;
// What a module may take to answer its debug character, beyond the line's time.
constexpr int ProbeMarginMs = 150;
// The characters of a try on the line: the debug character out, "\r\nOK\r\n" back,
// with room for the module's own pause between them.
constexpr int ProbeCharacters = 16;

} // namespace

QList<qint32> AutoSpeeds()
{
    return {9600, 115200, 38400, 57600, 19200, 230400, 4800, 2400, 1200};
}

std::optional<QList<qint32>> ParseSpeeds(const QString& text, QString* error)
{
    if (text == QStringLiteral("auto"))
        return AutoSpeeds();
    QList<qint32> speeds;
    const auto fail = [&](const QString& why) -> std::optional<QList<qint32>> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    for (const QString& item : text.split(QLatin1Char(','))) {
        // A speed means here what it means in the serial port dialog.
        const TLineReading reading = ReadLineTexts({item.trimmed(), {}, {}, QStringLiteral("1E")});
        if (reading.Faults.Speed)
            return fail(QStringLiteral("'%1' is not a line speed: auto, or speeds from 110 to 256000 and 230400, "
                                       "separated by commas")
                            .arg(item.trimmed()));
        const qint32 speed = reading.Settings.Speed;
        if (speeds.contains(speed))
            return fail(QStringLiteral("%1 is given twice").arg(speed));
        speeds.append(speed);
    }
    return speeds;
}

int ProbeAnswerMs(qint32 baud)
{
    const qint32 bps = baud > 0 ? baud : 9600;
    return ProbeMarginMs + (ProbeCharacters * BitsPerCharacter * 1000 + bps - 1) / bps;
}

QString NoAnswerAtAnySpeed(const QList<qint32>& tried)
{
    QStringList speeds;
    for (const qint32 s : tried)
        speeds.append(QString::number(s));
    QString list = speeds.join(QStringLiteral(", "));
    if (speeds.size() > 1) {
        const qsizetype last = list.lastIndexOf(QStringLiteral(", "));
        list.replace(last, 2, QStringLiteral(" or "));
    }
    return QStringLiteral("no answer to the debug character at %1 Bd").arg(list);
}

TSpeedSearch FindSpeed(TModuleLine& line, TModuleExchange& exchange, const TLineOptions& options,
                       const QList<qint32>& speeds, const TSpeedTry& trying)
{
    TSpeedSearch result;
    const bool probing = speeds.size() > 1;
    for (const qint32 baud : speeds) {
        result.Tried.append(baud);
        if (trying)
            trying(baud);
        TLineOptions tuned = options;
        tuned.Baud = baud;
        if (!line.Retune(tuned))
            continue;
        line.Discard();
        line.Send(WakeUpText());
        TModuleLine::Pause(DebugCharDelayMs);
        // Whatever the module said to the CR (a garbled line refused) belongs to no command.
        line.Discard();
        bool awake = false;
        const TExchangeStep last =
            line.Run(exchange, exchange.StartHandshake(options.DebugChar, probing ? ProbeAnswerMs(baud) : -1),
                     [&awake](const TExchangeStep& step) {
                         awake = awake || step.ReadyToSet;
                         return true;
                     });
        // Without a report and without an end the run was stopped from outside.
        const bool stopped = !last.Report && last.End == TExchangeEnd::None;
        if (awake || stopped || line.Gone() || !probing) {
            // Once the module has answered, what follows is the handshake's own.
            if (awake)
                result.Speed = baud;
            result.Last = last;
            return result;
        }
    }
    TReport report = NoAnswerReport(TExchange::Connecting, 0);
    report.Detail = NoAnswerAtAnySpeed(result.Tried);
    result.Last = {};
    result.Last.Report = report;
    return result;
}
