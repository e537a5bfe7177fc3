// SPDX-License-Identifier: GPL-3.0-or-later
#include "Reports.h"

#include "AtProtocol.h"

namespace {

const QString Manufacturer = QStringLiteral("Contact and Refer Manufacturer");
const QString RetryConnect = QStringLiteral(
    "After Serial Port Close, then Retry Connect with Correct Debug Char\r\nOr Contact and Refer Manufacturer.");

} // namespace

QString TReport::OneLine() const
{
    // The lines joined as sentences: after a full stop a blank, otherwise a comma.
    QString detail;
    for (const QString& line : Detail.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        if (!detail.isEmpty())
            detail += detail.endsWith(u'.') ? QStringLiteral(" ") : QStringLiteral(", ");
        detail += line;
    }
    while (detail.endsWith(u' ') || detail.endsWith(u','))
        detail.chop(1);
    return Title + QStringLiteral(": ") + detail;
}

TReport NoAnswerReport(TExchange exchange, int step)
{
    switch (exchange) {
    case TExchange::Connecting:
        return {QStringLiteral("CONNECTING ERROR"),
                QStringLiteral("Input Debug Char was wrong\r\nOr Response Data was not received."), RetryConnect};
    case TExchange::Reading:
        return {QStringLiteral("READING ERROR"),
                QStringLiteral("Response Data was not received for Read Command\r\nRead Command Number : ")
                    + QString::number(step),
                Manufacturer};
    case TExchange::Writing:
        return {QStringLiteral("WRITING ERROR"),
                QStringLiteral("Response Data was not received for Write Command\r\nWrite Command Number : ")
                    + QString::number(step),
                Manufacturer};
    case TExchange::Initialising:
        return {QStringLiteral("INITIALIZATION ERROR"),
                QStringLiteral("Response Data was not received for Init Command\r\nCommand : AT&F "
                               "(Initialization Command)"),
                Manufacturer};
    }
    return {};
}

TReport DebugCharReport()
{
    return {QStringLiteral("Debug Char ERROR"),
            QStringLiteral("Debug Char was wrong\r\nError Data was recevied for Debug Char"), RetryConnect};
}

TReport WrongDataReport(int step)
{
    return {QStringLiteral("WRONG DATA"), QStringLiteral("Wrong Data was received\r\nRead Command Number : ") + QString::number(step),
            QStringLiteral("Retry Read Again\r\nOr Contact and Refer Manufacturer.")};
}

TReport WriteRefusedReport(int step)
{
    const QByteArray name = step >= 0 && step < CommandNames().size() ? CommandNames().at(step) : QByteArray();
    return {QStringLiteral("ERROR RECEIVED"),
            QStringLiteral("Error Data was received\r\nWrite Command Number : ") + QString::number(step)
                + QStringLiteral("\r\nCommand : ") + QString::fromLatin1(name),
            QStringLiteral("Retry Write Again\r\nOr Contact and Refer Manufacturer.")};
}

TReport InitRefusedReport()
{
    return {QStringLiteral("WRONG DATA RECEIVED"), QStringLiteral("Wrong Data was received\r\nInit Command : AT&F"),
            QStringLiteral("Retry Init Again\r\nOr Contact and Refer Manufacturer.")};
}

TReport SearchRefusedReport()
{
    return {QStringLiteral("SEARCH ERROR"), QStringLiteral("The module refused the search"), {}};
}

TReport SearchSilentReport()
{
    return {QStringLiteral("SEARCH ERROR"), QStringLiteral("The search did not end"), {}};
}
