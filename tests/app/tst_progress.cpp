// SPDX-License-Identifier: GPL-3.0-or-later
// The progress dialog as the main window drives it through a read or a write:
// what it says, how far its gauge goes, where it stands, and when it goes away.

#include "Session.h"

#include "ProcessingFormUnit.h"

#include <QGroupBox>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Watches the progress dialog from the window's thread: every gauge position it
// shows while visible, in order, each once, and whether the error dialog was up
// when it was first seen hidden. The sequencer runs on this thread too, and
// every answer takes tens of milliseconds to arrive, so nothing goes by between
// two looks.
class TProgressWatch
{
public:
    TProgressWatch(TProcessingForm* dialog, const QWidget* errorDialog)
        : m_dialog(dialog)
        , m_errorDialog(errorDialog)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Look(); });
        m_timer.start();
    }

    void Look()
    {
        const bool visible = m_dialog->isVisible();
        if (m_seenVisible && !visible && !HiddenWithErrorShown.has_value())
            HiddenWithErrorShown = m_errorDialog->isVisible();
        m_seenVisible = m_seenVisible || visible;
        if (!visible)
            return;
        const int position = m_dialog->ProcessBar->Position();
        if (Positions.isEmpty() || Positions.last() != position)
            Positions << position;
        Maxima.insert(m_dialog->ProcessBar->Max());
    }

    QList<int> Positions;
    QSet<int> Maxima;
    std::optional<bool> HiddenWithErrorShown;

private:
    TProcessingForm* m_dialog;
    const QWidget* m_errorDialog;
    bool m_seenVisible = false;
    QTimer m_timer;
};

QList<int> Steps(int from, int to)
{
    QList<int> steps;
    for (int i = from; i <= to; ++i)
        steps << i;
    return steps;
}

// Commands as the module counts them: the debug character and the two
// identification queries come before the first query of a read.
constexpr int HandshakeCommands = 3;

} // namespace

class TestProgress : public QObject
{
    Q_OBJECT

private slots:
    void progressDialogFollowsTheSequence_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("failingStep"); // -1: the sequence completes
        QTest::addColumn<QString>("refused");  // the write command the module refuses
        const int current = int(radiosim::ModuleType::Current);
        const int fast = int(radiosim::ModuleType::LegacyFastSwitch);
        // The gauge of each module type's sequence is the exchange's (tst_exchange);
        // here the window shows it.
        QTest::newRow("read, current module") << u"read"_s << current << 17 << -1 << QString();
        QTest::newRow("write, current module") << u"write"_s << current << 21 << -1 << QString();
        QTest::newRow("read, step 5 unanswered") << u"read"_s << current << 17 << 5 << QString();
        QTest::newRow("write, step 3 refused") << u"write"_s << current << 21 << 3 << u"AT+BTLPM"_s;
        QTest::newRow("write, 2.0 module, step 12 refused") << u"write"_s << fast << 15 << 12 << u"AT+BTOPMODE"_s;
    }

    void progressDialogFollowsTheSequence()
    {
        QFETCH(QString, operation);
        QFETCH(int, type);
        QFETCH(int, maximum);
        QFETCH(int, failingStep);
        QFETCH(QString, refused);
        const bool reading = operation == u"read";

        radiosim::Options options;
        options.type = static_cast<radiosim::ModuleType>(type);
        if (failingStep >= 0 && reading)
            options.silentFromCommand = HandshakeCommands + failingStep + 1;
        options.errorOnCommandPrefix = refused.toStdString();
        TSession s(options);
        QVERIFY2(s.Started, qPrintable(s.StartError));
        // Somewhere the halves of the two widths differ from the half of their
        // difference: (560 - 311) / 2 = 124, but 560 / 2 - 311 / 2 = 125.
        s.Form->move(37, 23);
        QVERIFY(s.OpenAndIdentify());
        if (!reading)
            QVERIFY(s.Read());
        QVERIFY(!s.Form->ProcessingDialog->isVisible());

        TProgressWatch watch(s.Form->ProcessingDialog, s.Form->ErrorDialog);
        std::optional<bool> progressShownWithError, enabledWithError;
        if (reading) {
            s.Form->BtnRead->click();
        } else {
            // The question is answered inside the click; the writing starts after it.
            PressInNextModal(u"WRITE PARAMETERS"_s);
            s.Form->BtnWrite->click();
        }

        // The report comes no sooner than 200 ms after the failing answer.
        if (failingStep >= 0) {
            WhenModalShown([&](QWidget* modal) {
                if (qobject_cast<TErrorForm*>(modal)) {
                    watch.Look(); // before the dialog is closed again
                    progressShownWithError = s.Form->ProcessingDialog->isVisible();
                    enabledWithError = s.Form->isEnabled();
                }
                static_cast<QDialog*>(modal)->accept();
            }, 15000);
        }

        // Shown at once, not modal, over a disabled main window.
        TProcessingForm* dialog = s.Form->ProcessingDialog;
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QVERIFY(!s.Form->isEnabled());
        QCOMPARE(dialog->windowTitle(), reading ? u"READING"_s : u"WRITING"_s);
        QCOMPARE(dialog->ProcessingTitle->title(), reading ? u"READING PARAMETERS"_s : u"WRITING PARAMETERS"_s);
        QCOMPARE(dialog->ProcessBar->Max(), maximum);
        QCOMPARE(dialog->ProcessBar->Position(), 0);
        // Centred frame over frame, each half cut to a whole number; placed
        // again once the window has its frame.
        const auto centred = [&] {
            const QRect main = s.Form->frameGeometry();
            const QRect frame = dialog->frameGeometry();
            return QPoint(main.left() + main.width() / 2 - frame.width() / 2,
                          main.top() + main.height() / 2 - frame.height() / 2);
        };
        QTRY_COMPARE(dialog->frameGeometry().topLeft(), centred());

        if (failingStep < 0) {
            if (reading) {
                QTRY_VERIFY_WITH_TIMEOUT(s.Form->CommMode == ModeIdle && s.Form->isEnabled(), 15000);
            } else {
                QTRY_VERIFY_WITH_TIMEOUT(!s.Form->MainComPort.Connected(), 15000);
            }
            QVERIFY(!dialog->isVisible());
            QVERIFY(s.Form->isEnabled());
            // Hidden by the end of the sequence, not by a report.
            QVERIFY(!s.Form->ShowErrorFormTimer->Enabled());
            QCOMPARE(watch.HiddenWithErrorShown, std::optional<bool>(false));
            QCOMPARE(watch.Positions, Steps(0, maximum));
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(progressShownWithError.has_value(), 15000);
            // Still up while the report waited, hidden when the error dialog came.
            QVERIFY(!*progressShownWithError);
            QCOMPARE(watch.HiddenWithErrorShown, std::optional<bool>(true));
            QVERIFY(*enabledWithError);
            QVERIFY(!dialog->isVisible());
            QCOMPARE(watch.Positions, Steps(0, failingStep));
            QVERIFY(s.Form->MainComPort.Connected());
        }
        // One maximum from start to end.
        QCOMPARE(watch.Maxima, QSet<int>{maximum});
    }
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
