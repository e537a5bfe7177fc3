// SPDX-License-Identifier: GPL-3.0-or-later
// The key lists people read, radioset-cli's --help and the user's guide, against the field table.
#include "FieldRules.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using TKeyLists = QMap<QString, QStringList>;  // section -> keys, in order

// The table's keys by section, in the table's order.
TKeyLists TableKeys()
{
    TKeyLists keys;
    for (const TProfileKey& key : ProfileKeys())
        keys[key.Section].append(key.Caption);
    return keys;
}

// The "[SECTION]  KEY, KEY, ..." block of --help, whose lists may go on over
// indented lines. [MODULE] is no setting and is left out.
TKeyLists HelpKeys(const QString& help)
{
    TKeyLists keys;
    static const QRegularExpression start(u"^  \\[([A-Z-]+)\\]\\s+(.*)$"_s);
    QString section;
    QString list;
    const auto close = [&] {
        if (!section.isEmpty() && section != u"MODULE"_s) {
            for (const QString& key : list.split(u',', Qt::SkipEmptyParts))
                keys[section].append(key.simplified());
        }
        section.clear();
        list.clear();
    };
    for (const QString& line : help.split(u'\n')) {
        const QRegularExpressionMatch m = start.match(line);
        if (m.hasMatch()) {
            close();
            section = m.captured(1);
            list = m.captured(2);
        } else if (!section.isEmpty() && line.startsWith(u"    "_s)) {
            list += u' ' + line;
        } else {
            close();
        }
    }
    close();
    return keys;
}

// The guide's page tables: the first column of the table under each page's
// heading. SEARCH is a button of the Bluetooth page, not a setting.
struct TGuideRow
{
    QString Caption;
    QString Modules;  // the Modules column, empty when the table has none
};
QMap<QString, QList<TGuideRow>> GuideRows(const QString& guide)
{
    const QMap<QString, QString> headings = {
        {u"### Bluetooth parameters"_s, u"BLUETOOTH"_s},
        {u"### Security parameters"_s, u"SECURITY"_s},
        {u"### System parameters"_s, u"SYSTEM"_s},
        {u"### UART parameters"_s, u"UART"_s},
        {u"### 1:N communication (Multi-connection) parameters"_s, u"MULTI-CONNECTION"_s},
    };
    QMap<QString, QList<TGuideRow>> rows;
    QString section;
    int modulesColumn = -1;
    bool inTable = false;
    for (const QString& line : guide.split(u'\n')) {
        if (line.startsWith(u"#"_s)) {
            section = headings.value(line.trimmed());
            inTable = false;
            continue;
        }
        if (section.isEmpty())
            continue;
        if (!line.startsWith(u'|')) {
            if (inTable)
                section.clear();  // one table per page
            continue;
        }
        const QStringList cells = line.mid(1, line.size() - 2).split(u'|');
        if (!inTable) {
            inTable = true;
            modulesColumn = -1;
            for (int i = 0; i < cells.size(); ++i) {
                if (cells.at(i).trimmed() == u"Modules"_s)
                    modulesColumn = i;
            }
            continue;
        }
        const QString caption = cells.value(0).trimmed();
        if (caption.startsWith(u"---"_s) || caption == u"SEARCH"_s)
            continue;
        rows[section].append({caption, modulesColumn >= 0 ? cells.value(modulesColumn).trimmed() : QString()});
    }
    return rows;
}

} // namespace

class TestKeyLists : public QObject
{
    Q_OBJECT

private slots:
    void helpListsTheTablesKeys()
    {
        QProcess cli;
        cli.start(QStringLiteral(RADIOSET_CLI_EXE), {u"--help"_s});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        const TKeyLists help = HelpKeys(QString::fromLatin1(cli.readAllStandardOutput()));
        QCOMPARE(help, TableKeys());
    }

    void guidesPageTablesListTheTablesFields()
    {
        QFile file(QStringLiteral(RADIOSET_USER_GUIDE));
        QVERIFY2(file.open(QIODevice::ReadOnly), RADIOSET_USER_GUIDE);
        const QMap<QString, QList<TGuideRow>> guide = GuideRows(QString::fromUtf8(file.readAll()));
        TKeyLists captions;
        for (auto it = guide.begin(); it != guide.end(); ++it) {
            for (const TGuideRow& row : it.value())
                captions[it.key()].append(row.Caption);
        }
        QCOMPARE(captions, TableKeys());

        // Where a page's table says which modules have a field, it says what the table says.
        for (const TProfileKey& key : ProfileKeys()) {
            for (const TGuideRow& row : guide.value(key.Section)) {
                if (row.Caption != key.Caption || row.Modules.isEmpty())
                    continue;
                QVERIFY2(row.Modules.startsWith(u"all"_s) == (key.Supported == OnAll),
                         qPrintable(key.Caption + u": "_s + row.Modules));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestKeyLists)
#include "tst_keylists.moc"
