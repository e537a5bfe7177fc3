// SPDX-License-Identifier: GPL-3.0-or-later
// The window program as a native Wayland client (Qt's wayland platform) of a
// headless weston that the test starts: the main window at its fixed size, also
// when asked to maximise, dialogs modal over it, lamps drawn as the compositor
// shows them, no Qt message, and OPEN, READ and EXIT against the virtual module.

#include "Session.h"
#include "Skin.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLibraryInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Every message Qt or the program writes while the test runs; none is expected.
QStringList& Messages()
{
    static QStringList messages;
    return messages;
}
std::mutex MessagesLock;

void CollectMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtDebugMsg)
        return;
    const QString line = u"%1: %2"_s.arg(QString::fromLatin1(context.category ? context.category : "default"), text);
    std::fprintf(stderr, "%s\n", qPrintable(line));
    const std::lock_guard<std::mutex> lock(MessagesLock);
    Messages().append(line);
}

QStringList TakeMessages()
{
    const std::lock_guard<std::mutex> lock(MessagesLock);
    return std::exchange(Messages(), {});
}

// What is missing here to run a Wayland compositor and Qt's client of it.
QString Missing()
{
    QStringList missing;
    for (const char* tool : {"weston", "weston-screenshooter"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            missing << QString::fromLatin1(tool);
    const QString plugin = QLibraryInfo::path(QLibraryInfo::PluginsPath) + u"/platforms/libqwayland-generic.so"_s;
    if (!QFileInfo::exists(plugin))
        missing << u"qt6-wayland"_s;
    return missing.join(u", "_s);
}

// weston on the headless backend with pixman (without a renderer it draws
// nothing), --debug so that weston-screenshooter may take pictures.
class TWeston
{
public:
    bool Start(const QString& runtimeDir, const QString& socket)
    {
        m_socketPath = runtimeDir + u'/' + socket;
        const QByteArray log = (runtimeDir + u"/weston.log"_s).toLocal8Bit();
        const QByteArray socketArg = (u"--socket="_s + socket).toLocal8Bit();
        m_pid = fork();
        if (m_pid == 0) {
            if (std::freopen(log.constData(), "w", stdout) && std::freopen(log.constData(), "a", stderr)) {
                execlp("weston", "weston", "--backend=headless-backend.so", "--use-pixman", socketArg.constData(),
                       "--width=1024", "--height=768", "--debug", "--idle-time=0", static_cast<char*>(nullptr));
            }
            _exit(127);
        }
        for (int i = 0; i < 100 && m_pid > 0; ++i) {
            if (QFileInfo(m_socketPath).exists())
                return true;
            usleep(100000);
        }
        return false;
    }

    ~TWeston()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }

private:
    pid_t m_pid = -1;
    QString m_socketPath;
};

// The compositor's picture of the whole output.
QImage Screenshot(const QString& folder)
{
    QProcess shooter;
    shooter.setWorkingDirectory(folder);
    shooter.start(u"weston-screenshooter"_s, {});
    if (!shooter.waitForFinished(10000) || shooter.exitCode() != 0)
        return {};
    const QStringList shots = QDir(folder).entryList({u"wayland-screenshot-*.png"_s}, QDir::Files, QDir::Time);
    if (shots.isEmpty())
        return {};
    QImage image(QDir(folder).filePath(shots.first()));
    for (const QString& shot : shots)
        QFile::remove(QDir(folder).filePath(shot));
    return image;
}

int CountColour(const QImage& image, QRgb colour)
{
    int count = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            count += (line[x] & 0xFFFFFF) == (colour & 0xFFFFFF);
    }
    return count;
}

QString SkipReason;
QString ShotFolder;

} // namespace

class TestWayland : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!SkipReason.isEmpty())
            QSKIP(qPrintable(SkipReason));
        QCOMPARE(QGuiApplication::platformName(), u"wayland"_s);
    }

    void mainWindowStartsAtItsFixedSizeWithoutMessages()
    {
        TakeMessages();
        TSession session;
        QVERIFY(QTest::qWaitForWindowExposed(session.Form.get()));
        QWindow* window = session.Form->windowHandle();
        QCOMPARE(window->minimumSize(), QSize(560, 436));
        QCOMPARE(window->maximumSize(), QSize(560, 436));
        QCOMPARE(session.Form->size(), QSize(560, 436));
        QTest::qWait(300);
        QCOMPARE(TakeMessages(), QStringList());
    }

    // What the maximise button of Qt's own title bar does: the compositor may
    // grant the state, but the window keeps its size.
    void maximisingKeepsTheFixedSize()
    {
        TSession session;
        QVERIFY(QTest::qWaitForWindowExposed(session.Form.get()));
        QWindow* window = session.Form->windowHandle();
        window->setWindowStates(Qt::WindowMaximized);
        QTest::qWait(500);
        QCOMPARE(session.Form->size(), QSize(560, 436));
        QCOMPARE(window->size(), QSize(560, 436));
        window->setWindowStates(Qt::WindowNoState);
        QTest::qWait(200);
        QCOMPARE(session.Form->size(), QSize(560, 436));
        QCOMPARE(TakeMessages(), QStringList());
    }

    void openReadAndExitWithDialogsModalOverTheWindow()
    {
        TSession session;
        QVERIFY2(session.Started, qPrintable(session.StartError));
        QVERIFY(QTest::qWaitForWindowExposed(session.Form.get()));
        QWindow* mainWindow = session.Form->windowHandle();

        // OPEN: the serial port dialog, modal, a child of the main window for
        // the compositor, shown before it is filled in.
        bool dialogExposed = false;
        bool dialogModal = false;
        QWindow* dialogParent = nullptr;
        const QString port = session.DevicePath();
        WhenModalShown([&](QWidget* modal) {
            dialogExposed = QTest::qWaitForWindowExposed(modal);
            dialogModal = QGuiApplication::modalWindow() == modal->windowHandle()
                          && modal->windowModality() != Qt::NonModal;
            dialogParent = modal->windowHandle()->transientParent();
            auto* dialog = qobject_cast<TSerialForm*>(modal);
            if (!dialog) {
                static_cast<QDialog*>(modal)->reject();
                return;
            }
            dialog->ComPort->setEditText(port);
            dialog->Confirmed = true;
            dialog->accept();
        });
        session.Form->BtnOpen->click();
        QVERIFY(dialogExposed);
        QVERIFY(dialogModal);
        QCOMPARE(dialogParent, mainWindow);
        QTRY_VERIFY_WITH_TIMEOUT(session.Form->BtnRead->isEnabled(), 5000);
        QVERIFY(session.Form->SerialLED->On());
        QVERIFY(session.Form->ReadyToSetLED->On());

        // READ, then the picture the compositor shows: both status lamps lit
        // (RGB 0 255 0, 106 x 17 and 105 x 17 pixels less their labels) and the
        // open page's lamp.
        QVERIFY(session.Read());
        QTest::qWait(300);
        const QImage shot = Screenshot(ShotFolder);
        QVERIFY(!shot.isNull());
        const int lit = CountColour(shot, qRgb(0, 255, 0));
        if (lit < 1500) {
            shot.save(QDir(ShotFolder).filePath(u"failed.png"_s));
            QFAIL(qPrintable(u"%1 lit lamp pixels on the screen; picture: %2/failed.png"_s.arg(lit).arg(ShotFolder)));
        }

        // EXIT: the exit question, modal over the window; confirmed, the module
        // is restarted and the window closes.
        QString asked;
        QWindow* questionParent = nullptr;
        WhenModalShown([&](QWidget* modal) {
            asked = modal->windowTitle();
            questionParent = modal->windowHandle()->transientParent();
            for (auto* button : modal->findChildren<QAbstractButton*>())
                if (button->accessibleName() == u"EXIT APPLICATION"_s)
                    button->click();
        });
        session.Form->BtnExit->click();
        QCOMPARE(asked, u"Exit Application"_s);
        QCOMPARE(questionParent, mainWindow);
        QTRY_VERIFY(!session.Form->isVisible());
        QTRY_VERIFY(session.Module.receivedBytes().find("ATZ\r") != std::string::npos);
        QCOMPARE(TakeMessages(), QStringList());
    }
};

int main(int argc, char* argv[])
{
    QTemporaryDir runtime;
    TWeston weston;
    // Looked up before the application exists: the platform is chosen when it
    // is made.
    SkipReason = Missing();
    if (SkipReason.isEmpty()) {
        SkipReason = u"weston did not start"_s;
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        if (weston.Start(runtime.path(), u"radioset-test"_s)) {
            SkipReason.clear();
            qputenv("QT_QPA_PLATFORM", "wayland");
            qputenv("WAYLAND_DISPLAY", "radioset-test");
            qunsetenv("DISPLAY");
        }
    } else {
        SkipReason = u"not installed: "_s + SkipReason;
    }
    ShotFolder = runtime.path();
    qInstallMessageHandler(CollectMessage);

    QApplication app(argc, argv);
    QApplication::setApplicationName(u"RADIOSET"_s);
    QGuiApplication::setDesktopFileName(u"org.radioset.RadioSet"_s);
    ApplySkin(app);
    TestWayland test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wayland.moc"
