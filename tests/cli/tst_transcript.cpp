// SPDX-License-Identifier: GPL-3.0-or-later
// The transcript of a line: every byte both ways, timestamped, readable as text,
// one file per port or one for all.

#include "AtProtocol.h"
#include "FileLines.h"
#include "ModuleLine.h"
#include "Transcript.h"
#include "VirtualModule.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The bytes a transcript text stands for.
QByteArray Unescaped(const QByteArray& text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '<' && i + 3 < text.size() && text[i + 3] == '>') {
            out += char(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

QDateTime FixedTime()
{
    return QDateTime(QDate(2026, 12, 10), QTime(18, 30, 1, 123), Qt::UTC);
}

} // namespace

class TestTranscript : public QObject
{
    Q_OBJECT

private slots:
    void bytesAreWrittenAsReadableText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("command") << QByteArray("AT+BTINFO?10\r") << QByteArray("AT+BTINFO?10<0D>");
        QTest::newRow("answer") << QByteArray("\r\nOK\r\n") << QByteArray("<0D><0A>OK<0D><0A>");
        QTest::newRow("debug character") << QByteArray("\x1E") << QByteArray("<1E>");
        QTest::newRow("a '<' cannot be taken for an escape") << QByteArray("<0D>") << QByteArray("<3C>0D>");
        QTest::newRow("high and zero bytes") << QByteArray("\xFF\x00\x7F", 3) << QByteArray("<FF><00><7F>");
    }
    void bytesAreWrittenAsReadableText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, text);
        QCOMPARE(TranscriptText(bytes), text);
        QCOMPARE(Unescaped(text), bytes);
    }

    void portsHaveFilesOfTheirOwnOrShareOne()
    {
        QTemporaryDir dir;
        TTranscripts perPort(dir.filePath(QStringLiteral("line-{port}.txt")), FixedTime);
        perPort.For(QStringLiteral("ttyUSB0")).Sent("AT\r");
        perPort.For(QStringLiteral("pts/4")).Received("\r\nOK\r\n");
        perPort.For(QStringLiteral("pts/4")).Note(QStringLiteral("line at 9600 Bd"));
        QCOMPARE(FileLines(dir.filePath(QStringLiteral("line-ttyUSB0.txt"))),
                 QList<QByteArray>{"2026-12-10T18:30:01.123Z ttyUSB0 > AT<0D>"});
        QCOMPARE(FileLines(dir.filePath(QStringLiteral("line-pts-4.txt"))),
                 (QList<QByteArray>{"2026-12-10T18:30:01.123Z pts/4 < <0D><0A>OK<0D><0A>",
                                    "2026-12-10T18:30:01.123Z pts/4 - line at 9600 Bd"}));

        TTranscripts shared(dir.filePath(QStringLiteral("all.txt")), FixedTime);
        shared.For(QStringLiteral("ttyUSB0")).Sent("\x1E");
        shared.For(QStringLiteral("ttyUSB1")).Sent("\x1E");
        QCOMPARE(FileLines(dir.filePath(QStringLiteral("all.txt"))),
                 (QList<QByteArray>{"2026-12-10T18:30:01.123Z ttyUSB0 > <1E>",
                                    "2026-12-10T18:30:01.123Z ttyUSB1 > <1E>"}));

        QVERIFY(!TTranscripts().For(QStringLiteral("ttyUSB0")));
        QString error;
        QVERIFY(!TTranscripts(QStringLiteral("/nonexistent/{port}.txt")).For(QStringLiteral("ttyUSB0"), &error));
        QVERIFY(error.startsWith(QStringLiteral("/nonexistent/ttyUSB0.txt: ")));
    }

    // A whole exchange with a module through the line's byte hook: what the
    // transcript holds is every byte the module received and sent, in order.
    void aTranscriptHoldsEveryByteOfAnExchange()
    {
        QTemporaryDir dir;
        radiosim::VirtualModule module;
        QVERIFY(module.start());
        TTranscripts transcripts(dir.filePath(QStringLiteral("{port}.txt")));
        const TTranscriptWriter writer = transcripts.For(QStringLiteral("sim"));
        {
            TModuleLine line({}, [&writer](TModuleLine::TDirection direction, const QByteArray& bytes) {
                direction == TModuleLine::TDirection::Sent ? writer.Sent(bytes) : writer.Received(bytes);
            });
            QVERIFY(!line.Open(QString::fromStdString(module.devicePath()), TLineOptions{}));
            TSequencerState state;
            TParameters read, edit;
            TModuleExchange exchange(state, read, edit);
            line.Send(WakeUpText());
            TModuleLine::Pause(DebugCharDelayMs);
            const TExchangeStep end = line.Run(exchange, exchange.StartHandshake(0x1E));
            QCOMPARE(end.End, TExchangeEnd::Identified);
            QCOMPARE(line.Run(exchange, exchange.StartReading({8})).End, TExchangeEnd::Read);
            line.Send(RestartCommand());
            line.Close();
        }
        QVERIFY(module.waitForCommandCount(5, 5000));
        module.stop();

        const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z sim [<>] \\S+$"));
        QByteArray sent, received;
        for (const QByteArray& line : FileLines(dir.filePath(QStringLiteral("sim.txt")))) {
            QVERIFY2(shape.match(QString::fromLatin1(line)).hasMatch(), line.constData());
            const QByteArray text = line.mid(line.indexOf(" sim ") + 7);
            (line.contains(" sim > ") ? sent : received) += Unescaped(text);
        }
        QCOMPARE(sent, QByteArray::fromStdString(module.receivedBytes()));
        QByteArray answered;
        for (const radiosim::TranscriptEntry& entry : module.transcript())
            if (!entry.fromTool)
                answered += QByteArray::fromStdString(entry.bytes);
        QCOMPARE(received, answered);
        QVERIFY(received.contains("\r\n00A0C1D2E3F4\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestTranscript)
#include "tst_transcript.moc"
