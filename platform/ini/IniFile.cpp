// SPDX-License-Identifier: GPL-3.0-or-later
#include "IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool SameName(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Finds `name` among the entries of `folder` without regard to letter case. The
// exact spelling wins when several differ only in case (possible on Linux);
// otherwise the first in name order, so that the choice does not depend on the
// order the file system happens to list them in.
QString FindEntry(const QString& folder, const QString& name, QDir::Filters filters)
{
    const QStringList entries = QDir(folder).entryList(filters | QDir::Hidden | QDir::System, QDir::Name);
    if (entries.contains(name))
        return name;
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return name;
}

} // namespace

// Line rules:
//  - CR LF and LF line ends; blanks (space, tab) around section names, keys and
//    values are ignored; blank lines and lines whose first non-blank character is
//    ';' or '#' are skipped;
//  - "[name]" opens a section; a line starting with '[' but without ']' is ignored
//    and leaves the current section as it was;
//  - "key = value" gives a value; the value is everything after the first '=', so
//    a value may itself hold '='; lines before the first section belong to none;
//  - duplicates: the first occurrence wins. A section name that appears twice
//    acts as one section, searched in file order, so a key in the earlier
//    occurrence hides the same key in the later one. This is what the common INI
//    readers do, and it makes an accidental copy of a block at the end of the
//    file harmless.
QByteArray ReadIniValue(const QString& path, const QByteArray& section, const QByteArray& key)
{
    if (section.trimmed().isEmpty() || key.trimmed().isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};

    const QByteArray wantedSection = section.trimmed();
    const QByteArray wantedKey = key.trimmed();
    bool inSection = false;
    // A line ends at LF, CR LF or a lone CR (old Mac editors), so no CR can be
    // left inside a value.
    QByteArray content = file.readAll();
    // Editors on other systems like to start UTF-8 files with a byte order mark.
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    content.replace('\r', '\n');
    const QList<QByteArray> lines = content.split('\n');
    for (QByteArray line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            if (close > 0)
                inSection = SameName(line.mid(1, close - 1).trimmed(), wantedSection);
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        if (!SameName(line.left(equals).trimmed(), wantedKey))
            continue;
        return line.mid(equals + 1).trimmed().left(IniValueMaxLength);
    }
    return {};
}

QString ProductListPath()
{
    // Without an application object there is no program folder to ask for; the
    // working folder is the best guess then.
    const QString programFolder = QCoreApplication::instance() != nullptr
        ? QCoreApplication::applicationDirPath()
        : QDir::currentPath();
    return ProductListPath(programFolder);
}

QString ProductListPath(const QString& programFolder)
{
    const QString setup = FindEntry(programFolder, QStringLiteral("Setup"), QDir::Dirs | QDir::NoDotAndDotDot);
    const QString setupPath = QDir(programFolder).filePath(setup);
    const QString file = FindEntry(setupPath, QStringLiteral("config.ini"), QDir::Files);
    return QDir(setupPath).filePath(file);
}

QString LocateProductList(const QString& path)
{
    const QFileInfo file(path);
    if (file.isFile())
        return path;
    const QFileInfo folder(file.path());
    const QString parent = folder.path();
    const QString folderName = FindEntry(parent, folder.fileName(), QDir::Dirs | QDir::NoDotAndDotDot);
    const QString folderPath = QDir(parent).filePath(folderName);
    return QDir(folderPath).filePath(FindEntry(folderPath, file.fileName(), QDir::Files));
}

QByteArray ReadProductListValue(const QString& path, const QByteArray& section, const QByteArray& key)
{
    return ReadIniValue(LocateProductList(path), section, key);
}
