// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The two programs of an end-to-end run, each a separate process: the virtual
// module radioset-sim and the radioset program on the test's display.

#include "Desktop.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

class TSimProcess
{
public:
    TSimProcess() = default;
    Q_DISABLE_COPY_MOVE(TSimProcess)
    ~TSimProcess() { Stop(); }

    // Starts the module with these options; its settings and transcript go to
    // files of its own. Returns false when it does not tell its device.
    bool Start(const QStringList& options)
    {
        StateFile = m_dir.filePath(QStringLiteral("state"));
        TranscriptFile = m_dir.filePath(QStringLiteral("transcript"));
        m_process.start(QStringLiteral(RADIOSET_SIM_EXE),
                        QStringList{u"--state-file="_s + StateFile, u"--transcript="_s + TranscriptFile} + options);
        QElapsedTimer t;
        t.start();
        while (!m_process.canReadLine() && t.elapsed() < 10000 && m_process.state() != QProcess::NotRunning)
            m_process.waitForReadyRead(200);
        Device = QString::fromLatin1(m_process.readLine().trimmed());
        return Device.startsWith(u'/') && QTest::qWaitFor([this] { return QFile::exists(StateFile); }, 5000);
    }

    void Stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }

    // The module's settings now.
    QMap<QString, QString> State() const
    {
        QMap<QString, QString> state;
        QFile file(StateFile);
        if (!file.open(QIODevice::ReadOnly))
            return state;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0)
                state.insert(QString::fromLatin1(line.left(eq)), QString::fromLatin1(line.mid(eq + 1)));
        }
        return state;
    }

    // Every byte that the program sent to the module (fromTool) or the module sent back.
    QByteArray Bytes(bool fromTool) const
    {
        QFile file(TranscriptFile);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray tag = fromTool ? QByteArrayLiteral(" tool> ") : QByteArrayLiteral(" <sim  ");
        QByteArray bytes;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const qsizetype at = line.indexOf(tag);
            if (line.startsWith('#') || at < 0)
                continue;
            const QByteArray text = line.mid(at + tag.size());
            for (qsizetype i = 0; i < text.size(); ++i) {
                if (text[i] == '<' && i + 3 < text.size() && text[i + 3] == '>') {
                    bytes += char(text.mid(i + 1, 2).toInt(nullptr, 16));
                    i += 3;
                } else {
                    bytes += text[i];
                }
            }
        }
        return bytes;
    }

    qsizetype CountSent(const QByteArray& command) const { return Bytes(true).count(command); }

    bool WaitSent(const QByteArray& command, qsizetype times = 1, int timeoutMs = 15000) const
    {
        return QTest::qWaitFor([&] { return CountSent(command) >= times; }, timeoutMs);
    }

    QString Device;
    QString StateFile;
    QString TranscriptFile;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

class TProgram
{
public:
    explicit TProgram(const TDesktop& desktop)
        : m_desktop(desktop)
    {
    }
    Q_DISABLE_COPY_MOVE(TProgram)
    ~TProgram()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // Starts the program and waits for its main window.
    bool Start()
    {
        QProcessEnvironment env = m_desktop.Environment();
        env.insert(QStringLiteral("LSAN_OPTIONS"), u"suppressions="_s + QStringLiteral(RADIOSET_LSAN_SUPP));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(RADIOSET_EXE), {});
        Main = m_desktop.WaitWindow(Caption::Main, 20000);
        return !Main.isEmpty();
    }

    // Waits for the program to end by itself; false when it still runs.
    bool WaitEnd(int timeoutMs)
    {
        return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
    }

    bool EndedCleanly() const
    {
        return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::NormalExit &&
               m_process.exitCode() == 0;
    }

    int ExitCode() const { return m_process.exitCode(); }

    bool Running() const { return m_process.state() == QProcess::Running; }

    // What logging out or kill does: SIGTERM.
    void Terminate() { m_process.terminate(); }

    // Whether the program has this device open now.
    bool HoldsPort(const QString& device) const
    {
        const QDir fds(u"/proc/%1/fd"_s.arg(m_process.processId()));
        for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
            if (fd.symLinkTarget() == device)
                return true;
        return false;
    }

    QString Main;

private:
    const TDesktop& m_desktop;
    QProcess m_process;
};
