// SPDX-License-Identifier: GPL-3.0-or-later
#include "Transcript.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// One open file, shared by the ports that write to it; each line goes out in one write.
class TTranscriptFile
{
public:
    TTranscriptFile(int fd, TTranscripts::Now now)
        : m_fd(fd)
        , m_now(std::move(now))
    {
    }
    ~TTranscriptFile() { ::close(m_fd); }
    TTranscriptFile(const TTranscriptFile&) = delete;
    TTranscriptFile& operator=(const TTranscriptFile&) = delete;

    void Write(const QByteArray& port, char direction, const QByteArray& text)
    {
        std::lock_guard lock(m_mutex);
        const QDateTime when = m_now ? m_now() : QDateTime::currentDateTimeUtc();
        const QByteArray line =
            when.toUTC().toString(Qt::ISODateWithMs).toLatin1() + ' ' + port + ' ' + direction + ' ' + text + '\n';
        ssize_t n;
        do
            n = ::write(m_fd, line.constData(), size_t(line.size()));
        while (n < 0 && errno == EINTR);
    }

private:
    std::mutex m_mutex;
    int m_fd;
    TTranscripts::Now m_now;
};

QByteArray TranscriptText(const QByteArray& bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + 8);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F && c != '<')
            out += ch;
        else
            out += '<' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0') + '>';
    }
    return out;
}

void TTranscriptWriter::Sent(const QByteArray& bytes) const
{
    Line('>', TranscriptText(bytes));
}

void TTranscriptWriter::Received(const QByteArray& bytes) const
{
    Line('<', TranscriptText(bytes));
}

void TTranscriptWriter::Note(const QString& text) const
{
    Line('-', text.toUtf8());
}

void TTranscriptWriter::Line(char direction, const QByteArray& text) const
{
    if (m_file)
        m_file->Write(m_port, direction, text);
}

TTranscripts::TTranscripts(QString pattern, Now now)
    : m_pattern(std::move(pattern))
    , m_now(std::move(now))
{
}

QString TTranscripts::PathFor(const QString& portName) const
{
    QString name = portName;
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    QString path = m_pattern;
    return path.replace(QStringLiteral("{port}"), name);
}

TTranscriptWriter TTranscripts::For(const QString& portName, QString* error)
{
    TTranscriptWriter writer;
    if (!Enabled())
        return writer;
    const QString path = PathFor(portName);
    std::lock_guard lock(m_mutex);
    std::shared_ptr<TTranscriptFile>& file = m_files[path];
    if (!file) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (error)
                *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
            m_files.remove(path);
            return writer;
        }
        file = std::make_shared<TTranscriptFile>(fd, m_now);
    }
    writer.m_file = file;
    writer.m_port = portName.toUtf8();
    return writer;
}
