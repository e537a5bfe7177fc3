// SPDX-License-Identifier: GPL-3.0-or-later
#include "SpeedSearch.h"

#include "AtProtocol.h"
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

const QList<qint32>& LineSpeeds()
{
    static const QList<qint32> speeds{1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200, 230400};
    return speeds;
}

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
        bool ok = false;
        const qint32 speed = item.trimmed().toInt(&ok);
        if (!ok || !LineSpeeds().contains(speed))
            return fail(QStringLiteral("'%1' is not a line speed (auto, or some of %2)")
                            .arg(item.trimmed(), [] {
                                QStringList all;
                                for (const qint32 s : LineSpeeds())
                                    all.append(QString::number(s));
                                return all.join(QLatin1Char(','));
                            }()));
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
        if (awake || line.Gone() || !probing) {
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
