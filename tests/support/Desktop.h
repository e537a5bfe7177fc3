// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Drives the real programs as a user does: a virtual X display with a window
// manager, the radioset program on it, clicks and keys through xdotool, and the
// virtual module radioset-sim as a separate process whose settings file and
// transcript tell what reached the module.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

// Window captions, as the windows show them.
namespace Caption {
inline const QString Main = QStringLiteral("RadioSet Program Ver 1.3.2");
inline const QString Serial = QStringLiteral("SerialForm");
inline const QString WriteQuestion = QStringLiteral("Write Parameters");
inline const QString InitQuestion = QStringLiteral("Factory Initialization");
inline const QString ExitQuestion = QStringLiteral("Exit Application");
inline const QString Error = QStringLiteral("ERROR MESSAGE");
inline const QString Product = QStringLiteral("Product Selection");
inline const QString Search = QStringLiteral("Search Bluetooth Devices");
inline const QString Reading = QStringLiteral("READING");
} // namespace Caption

// Places in the main window's client area.
namespace Place {
inline QPoint Toolbar(int button) { return {button * 93 + 46, 28}; }
inline constexpr int Open = 0, Close = 1, Read = 2, Write = 3, Init = 4, Exit = 5;
inline QPoint MenuButton(int page)
{
    static constexpr int tops[] = {36, 100, 151, 202, 253, 304};
    return {8 + 45, 57 + tops[page] + 20};
}
// A control of a page's row grid, `dx` pixels into it.
inline QPoint PageRow(int row, int dx = 10, int left = 190) { return {120 + left + dx, 57 + 44 + row * 30 + 10}; }
} // namespace Place

class TDesktop
{
public:
    TDesktop() = default;
    Q_DISABLE_COPY_MOVE(TDesktop)
    ~TDesktop()
    {
        for (QProcess* p : {&m_wm, &m_server}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(5000))
                    p->kill();
                p->waitForFinished(2000);
            }
        }
    }

    // Empty when every tool is there, else what is missing.
    static QString Missing()
    {
        QStringList missing;
        for (const char* tool : {"Xvfb", "xdotool", "xprop", "xwininfo", "openbox", "wmctrl"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                missing << QString::fromLatin1(tool);
        return missing.join(u' ');
    }

    bool Start()
    {
        // The server picks a free display and tells its number on the given descriptor.
        // Several suites start their displays at the same moment on a busy machine,
        // so the limits are generous; they only bound a failure.
        m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                QStringLiteral("-screen"), QStringLiteral("0"),
                                                QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                                                QStringLiteral("tcp")});
        QElapsedTimer t;
        t.start();
        while (!m_server.canReadLine() && t.elapsed() < StartLimitMs && m_server.state() != QProcess::NotRunning)
            m_server.waitForReadyRead(200);
        const QByteArray number = m_server.readLine().trimmed();
        if (number.isEmpty()) {
            qWarning("Xvfb gave no display number after %lld ms (%s): %s", qint64(t.elapsed()),
                     m_server.state() == QProcess::NotRunning ? "ended" : "running",
                     m_server.readAllStandardError().constData());
            return false;
        }
        Display = u':' + QString::fromLatin1(number);
        m_wm.setProcessEnvironment(Environment());
        m_wm.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        // The manager is ready once it has claimed the root window.
        if (!QTest::qWaitFor([this] { return WindowManagerRunning(); }, StartLimitMs)) {
            qWarning("openbox did not claim display %s (%s): %s", qPrintable(Display),
                     m_wm.state() == QProcess::NotRunning ? "ended" : "running",
                     m_wm.readAllStandardError().constData());
            return false;
        }
        return true;
    }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), Display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return env;
    }

    // Runs xdotool; nothing when it fails.
    std::optional<QString> Xdo(const QStringList& args) const
    {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.start(QStringLiteral("xdotool"), args);
        if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            if (args.constFirst() != u"search")
                qWarning("xdotool %s failed: %s", qPrintable(args.join(u' ')), p.readAllStandardError().constData());
            return {};
        }
        return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
    }

    // The visible window with exactly this caption, or an empty id.
    QString Window(const QString& caption) const
    {
        const QString ids = Xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                 u'^' + QRegularExpression::escape(caption) + u'$'}).value_or(QString());
        return ids.isEmpty() ? QString() : ids.split(u'\n').constLast();
    }

    // The window once it is shown and has come to rest: a dialog is placed once
    // more when the window manager has framed it, and a click must not land while
    // it moves.
    QString WaitWindow(const QString& caption, int timeoutMs = 10000) const
    {
        QString id;
        (void)QTest::qWaitFor([&] { return !(id = Window(caption)).isEmpty(); }, timeoutMs);
        if (!id.isEmpty()) {
            std::optional<QRect> last = Frame(id);
            (void)QTest::qWaitFor([&] {
                QTest::qWait(80);
                const std::optional<QRect> now = Frame(id);
                const bool still = now && last && *now == *last;
                last = now;
                return still;
            }, 2000);
        }
        return id;
    }

    bool WaitGone(const QString& caption, int timeoutMs = 10000) const
    {
        return QTest::qWaitFor([&] { return Window(caption).isEmpty(); }, timeoutMs);
    }

    // Clicks at a point of a window's client area.
    bool Click(const QString& window, QPoint at) const
    {
        if (window.isEmpty())
            return false;
        return Xdo({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("--window"), window,
                     QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")})
                    .has_value();
    }

    // Clicks into a text box, selects all of it and types the new text.
    bool Retype(const QString& window, QPoint at, const QString& text) const
    {
        return Click(window, at) && Key(QStringLiteral("ctrl+a")) && Key(QStringLiteral("BackSpace")) &&
               Type(text);
    }

    // Opens a list and picks the item that starts with `text`.
    bool Pick(const QString& window, QPoint at, const QString& text) const
    {
        if (!Click(window, at))
            return false;
        QTest::qWait(300);
        return Type(text) && Key(QStringLiteral("Return"));
    }

    bool Type(const QString& text) const
    {
        return Xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), QStringLiteral("--"),
                     text})
                    .has_value();
    }

    bool Key(const QString& keys) const { return Xdo({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40"), keys}).has_value(); }

    // Asks the window manager to close a window, as its close button would.
    bool RequestClose(const QString& window) const
    {
        return Xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}).has_value() &&
               Key(QStringLiteral("alt+F4"));
    }

    // Asks the window manager to close a window by its id, as wmctrl -c does and
    // as the close button of its title bar does.
    bool CloseByManager(const QString& window) const
    {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.start(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"), window});
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    // Clicks the close button at the right end of the window's title bar, as the
    // window manager draws it.
    bool ClickCloseButton(const QString& window) const
    {
        const std::optional<QRect> frame = Frame(window);
        if (!frame)
            return false;
        const QPoint at = CloseButton(*frame);
        return Xdo({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(at.x()),
                    QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")})
            .has_value();
    }

    // Where the close button of a framed window sits: openbox's theme puts it
    // last on the title bar, a few pixels in from the frame's right edge.
    static QPoint CloseButton(const QRect& frame) { return {frame.right() - 12, frame.top() + 10}; }

    // The window's frame on the screen, as the window manager placed it: the
    // client area and the frame extents the manager announced.
    std::optional<QRect> Frame(const QString& window) const
    {
        QProcess info;
        info.setProcessEnvironment(Environment());
        info.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
        if (!info.waitForFinished(5000))
            return {};
        const QString text = QString::fromLatin1(info.readAllStandardOutput());
        auto value = [&text](const QString& key) {
            const QRegularExpression re(QRegularExpression::escape(key) + u":\\s*(-?\\d+)"_s);
            const QRegularExpressionMatch m = re.match(text);
            return m.hasMatch() ? m.captured(1).toInt() : -100000;
        };
        const QRect client(value(u"Absolute upper-left X"_s), value(u"Absolute upper-left Y"_s), value(u"Width"_s),
                           value(u"Height"_s));
        QProcess prop;
        prop.setProcessEnvironment(Environment());
        prop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_FRAME_EXTENTS")});
        if (!prop.waitForFinished(5000))
            return {};
        const QRegularExpressionMatch m =
            QRegularExpression(u"=\\s*(\\d+),\\s*(\\d+),\\s*(\\d+),\\s*(\\d+)"_s).match(QString::fromLatin1(prop.readAllStandardOutput()));
        if (client.x() == -100000 || !m.hasMatch())
            return {};
        return client.adjusted(-m.captured(1).toInt(), -m.captured(3).toInt(), m.captured(2).toInt(),
                               m.captured(4).toInt());
    }

    void Screenshot(const QString& path) const
    {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.start(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
        p.waitForFinished(10000);
    }

    QString Display;

private:
    bool WindowManagerRunning() const
    {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        return p.waitForFinished(5000) && p.readAllStandardOutput().contains("window id");
    }

    static constexpr int StartLimitMs = 30000;
    QProcess m_server;
    QProcess m_wm;
};
