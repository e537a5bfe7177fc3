// SPDX-License-Identifier: GPL-3.0-or-later
#include "UnitLog.h"

#include "ModuleType.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A JSON string of UTF-8 text.
QByteArray JsonString(const QByteArray& utf8)
{
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F)
                out += "\\u00" + QByteArray::number(c, 16).rightJustified(2, '0');
            else
                out += ch;
        }
    }
    out += '"';
    return out;
}

QByteArray Text(const QString& text)
{
    return JsonString(text.toUtf8());
}

// Protocol text: each byte is the character of that code.
QByteArray Bytes(const QByteArray& bytes)
{
    return JsonString(QString::fromLatin1(bytes).toUtf8());
}

class TObject
{
public:
    TObject& Add(const char* key, const QByteArray& json)
    {
        m_out += m_out.isEmpty() ? "{" : ",";
        m_out += JsonString(key) + ':' + json;
        return *this;
    }
    QByteArray Done() const { return m_out.isEmpty() ? QByteArray("{}") : m_out + '}'; }

private:
    QByteArray m_out;
};

QString SystemError(const char* what)
{
    return QString::fromLatin1(what) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

QByteArray UnitRecordLine(const TUnitRecord& r)
{
    TObject adapter;
    adapter.Add("vendor", Text(r.AdapterVendor)).Add("model", Text(r.AdapterModel)).Add("serial", Text(r.AdapterSerial));
    TObject record;
    record.Add("time", Text(r.Time.toUTC().toString(Qt::ISODateWithMs)))
        .Add("unit", QByteArray::number(r.Unit))
        .Add("attempt", QByteArray::number(r.Attempt))
        .Add("port", Text(r.Port))
        .Add("adapter", adapter.Done())
        .Add("speed", r.Speed > 0 ? QByteArray::number(r.Speed) : QByteArray("null"))
        .Add("command", Text(r.Command))
        .Add("result", r.Passed ? "\"PASS\"" : "\"FAIL\"")
        .Add("error", r.Error.isEmpty() ? QByteArray("null") : Text(r.Error));
    if (r.Module) {
        TObject module;
        module.Add("type", JsonString(ModuleTypeName(r.Module->Type)))
            .Add("model", Bytes(r.Module->Model))
            .Add("bluetooth_version", Bytes(r.Module->BluetoothVersion))
            .Add("software_version", Bytes(r.Module->SoftwareVersion))
            .Add("local_address", Bytes(r.Module->LocalAddress));
        record.Add("module", module.Done());
    } else {
        record.Add("module", "null");
    }
    if (r.ProfilePath.isEmpty()) {
        record.Add("profile", "null");
    } else {
        TObject profile;
        profile.Add("path", Text(r.ProfilePath)).Add("sha256", Bytes(r.ProfileSha256));
        record.Add("profile", profile.Done());
    }
    TObject values;
    for (const auto& [key, value] : r.Values)
        values.Add(key.constData(), Bytes(value));
    record.Add("values", values.Done())
        .Add("verified", r.Verified ? (*r.Verified ? "true" : "false") : "null")
        .Add("duration_ms", QByteArray::number(r.DurationMs));
    return record.Done() + '\n';
}

qint64 LastUnitInLog(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    qint64 last = 0;
    // Units on several ports end in any order: the highest number counts, not the last line.
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.contains("\"unit\""))
            continue;
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            continue;
        const QJsonValue unit = document.object().value(QStringLiteral("unit"));
        if (unit.isDouble())
            last = std::max(last, qint64(unit.toDouble()));
    }
    return last;
}

TUnitLog::~TUnitLog()
{
    Close();
}

bool TUnitLog::Open(const QString& path, QString* error)
{
    Close();
    const QByteArray name = QFile::encodeName(path);
    m_fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        if (error)
            *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_path = path;
    struct stat st{};
    char last = '\n';
    if (::fstat(m_fd, &st) == 0 && st.st_size > 0 && ::pread(m_fd, &last, 1, st.st_size - 1) == 1 && last != '\n') {
        if (::write(m_fd, "\n", 1) != 1 || ::fdatasync(m_fd) != 0) {
            if (error)
                *error = path + QStringLiteral(": ") + SystemError("write");
            Close();
            return false;
        }
    }
    return true;
}

void TUnitLog::Close()
{
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool TUnitLog::Append(const TUnitRecord& record, QString* error)
{
    const QByteArray line = UnitRecordLine(record);
    std::lock_guard lock(m_mutex);
    const auto fail = [&](const char* what) {
        if (error)
            *error = m_path + QStringLiteral(": ") + SystemError(what);
        return false;
    };
    if (m_fd < 0) {
        errno = EBADF;
        return fail("write");
    }
    ssize_t n;
    do
        n = ::write(m_fd, line.constData(), size_t(line.size()));
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return fail("write");
    if (n != line.size()) {
        // A full disk took part of it: end the line, so that the next record stands apart.
        [[maybe_unused]] const ssize_t end = ::write(m_fd, "\n", 1);
        errno = ENOSPC;
        return fail("write");
    }
    if (::fdatasync(m_fd) != 0)
        return fail("fdatasync");
    return true;
}
