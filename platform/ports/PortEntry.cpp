// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortEntry.h"

#include "AnnouncedPorts.h"

#include <QStringList>

namespace {

// udev writes the adapter's own strings with unsafe bytes as "\xNN" escapes
// (ID_MODEL_ENC "FT232R\x20USB\x20UART").
QString DecodeEscapes(const QByteArray& text)
{
    QByteArray decoded;
    decoded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            bool ok = false;
            const int value = text.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                decoded.append(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        decoded.append(text[i]);
    }
    return QString::fromUtf8(decoded).simplified();
}

// One name of the adapter (vendor or model): its own string, else the USB
// database's entry. An adapter without a string of its own gets its hexadecimal
// id in the plain property, which tells a person nothing.
QString AdapterName(const TPortDevice& device, const char* field)
{
    const QByteArray key(field);
    const QByteArray id = device.Properties.value(key + "_ID");
    const QByteArray encoded = device.Properties.value(key + "_ENC");
    const QByteArray plain = device.Properties.value(key);
    QString own;
    if (!encoded.isEmpty())
        own = DecodeEscapes(encoded);
    else if (!plain.isEmpty())
        own = QString::fromUtf8(plain).replace(u'_', u' ').simplified();
    if (!own.isEmpty() && own.compare(QString::fromLatin1(id), Qt::CaseInsensitive) != 0)
        return own;
    return QString::fromUtf8(device.Properties.value(key + "_FROM_DATABASE")).simplified();
}

} // namespace

TPortInfo PortInfoFrom(const TPortDevice& device)
{
    TPortInfo port;
    port.Path = device.Node;
    // A virtual module is named like an adapter: what it is, then what it plays.
    if (const auto virtualModule = device.Properties.constFind(QByteArray(VirtualModuleProperty));
        virtualModule != device.Properties.cend()) {
        port.Adapter = VirtualModuleAdapterName();
        port.Serial = QString::fromUtf8(*virtualModule);
        return port;
    }
    const QString vendor = AdapterName(device, "ID_VENDOR");
    const QString model = AdapterName(device, "ID_MODEL");
    // Some adapters repeat the vendor in the model ("Prolific Technology PL2303").
    if (vendor.isEmpty() || model.startsWith(vendor, Qt::CaseInsensitive))
        port.Adapter = model;
    else if (model.isEmpty())
        port.Adapter = vendor;
    else
        port.Adapter = vendor + u' ' + model;
    port.Serial = QString::fromUtf8(device.Properties.value("ID_SERIAL_SHORT")).simplified();
    return port;
}

QString HolderName(const std::optional<TPortHolder>& holder)
{
    if (!holder)
        return {};
    if (!holder->Name.isEmpty())
        return holder->Name;
    return QStringLiteral("process %1").arg(holder->Pid);
}

QString SystemHolderName(const QString& path)
{
    return HolderName(FindPortHolder(path));
}

QString PortInUseText(const QString& holderName)
{
    return holderName.isEmpty() ? QString() : QStringLiteral("in use by ") + holderName;
}

QString PortEntryText(const TPortInfo& port)
{
    QStringList parts{port.Path};
    for (const QString& part : {port.Adapter, port.Serial, PortInUseText(port.HolderName)})
        if (!part.isEmpty())
            parts << part;
    return parts.join(QStringLiteral(" \u2014 "));
}
