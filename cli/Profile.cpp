// SPDX-License-Identifier: GPL-3.0-or-later
#include "Profile.h"

#include "AtProtocol.h"

namespace {

const QList<QByteArray>& ModuleKeys()
{
    static const QList<QByteArray> keys = {"TYPE", "MODEL", "BLUETOOTH VERSION", "SOFTWARE VERSION", "LOCAL ADDRESS",
                                           "INQUIRY ACCESS CODE FIXED PART", "PORT"};
    return keys;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray Trimmed(const QByteArray& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text.at(begin)))
        ++begin;
    while (end > begin && IsBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool IsControl(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

// A bare value is taken as it stands; a quoted one ends at its closing quote
// and may escape bytes.
std::optional<QString> Unquote(const QByteArray& raw, QByteArray* value)
{
    if (!raw.startsWith('"')) {
        for (char c : raw) {
            if (IsControl(c) && c != '\t')
                return QStringLiteral("a control character must be written as \\xHH inside quotes");
        }
        *value = raw;
        return std::nullopt;
    }
    QByteArray out;
    qsizetype i = 1;
    for (; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (c == '"')
            break;
        if (c != '\\') {
            out.append(c);
            continue;
        }
        if (i + 1 >= raw.size())
            return QStringLiteral("a quoted value ends in a lone backslash");
        const char e = raw.at(++i);
        if (e == '\\' || e == '"') {
            out.append(e);
        } else if (e == 'x' && i + 2 < raw.size() && HexDigitValue(raw.at(i + 1)) >= 0 && HexDigitValue(raw.at(i + 2)) >= 0) {
            out.append(char(HexDigitValue(raw.at(i + 1)) * 16 + HexDigitValue(raw.at(i + 2))));
            i += 2;
        } else {
            return QStringLiteral("unknown escape \\%1 (use \\\\, \\\" or \\xHH)").arg(QChar::fromLatin1(e));
        }
    }
    if (i >= raw.size())
        return QStringLiteral("the quoted value has no closing quote");
    if (!Trimmed(raw.mid(i + 1)).isEmpty())
        return QStringLiteral("text after the closing quote");
    *value = out;
    return std::nullopt;
}

QByteArray KeyName(const TFieldRule& rule)
{
    return QByteArray(rule.Section) + '.' + rule.Caption;
}

// Adds the entry or reports a second one for the same setting.
std::optional<TProfileError> AddEntry(TProfile& profile, const TFieldRule& rule, const QByteArray& value, int line,
                                      bool replace)
{
    if (const std::optional<QString> problem = CheckTemplates(value))
        return TProfileError{line, KeyName(rule), *problem};
    for (TProfileEntry& entry : profile.Entries) {
        if (entry.Id != rule.Id)
            continue;
        if (!replace)
            return TProfileError{line, KeyName(rule), QStringLiteral("given twice (first on line %1)").arg(entry.Line)};
        entry.Value = value;
        entry.Line = line;
        return std::nullopt;
    }
    profile.Entries.append({rule.Id, value, line});
    return std::nullopt;
}

} // namespace

namespace {

// "unknown key", and where the key belongs when another section has it.
QString UnknownKey(const QByteArray& key)
{
    for (const QString& other : ProfileSections()) {
        if (FindFieldRule(other.toLatin1(), key))
            return QStringLiteral("unknown key (Try [%1])").arg(other);
    }
    return QStringLiteral("unknown key");
}

} // namespace

std::optional<TProfileError> ParseProfile(const QByteArray& text, TProfile& profile)
{
    profile = {};
    QByteArray section;
    bool inModule = false;
    int lineNumber = 0;
    qsizetype pos = 0;
    while (pos < text.size()) {
        // A line ends at LF, CR LF or a lone CR.
        qsizetype end = pos;
        while (end < text.size() && text.at(end) != '\n' && text.at(end) != '\r')
            ++end;
        const QByteArray line = Trimmed(text.mid(pos, end - pos));
        if (end < text.size() && text.at(end) == '\r' && end + 1 < text.size() && text.at(end + 1) == '\n')
            ++end;
        pos = end + 1;
        ++lineNumber;

        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            if (!line.endsWith(']'))
                return TProfileError{lineNumber, {}, QStringLiteral("a section name must end with \"]\"")};
            const QByteArray name = Trimmed(line.mid(1, line.size() - 2)).toUpper();
            inModule = name == ModuleSection;
            if (!inModule && !ProfileSections().contains(QString::fromLatin1(name))) {
                return TProfileError{lineNumber, name,
                                     QStringLiteral("unknown section (known: %1, %2)")
                                         .arg(ProfileSections().join(QStringLiteral(", ")),
                                              QString::fromLatin1(ModuleSection))};
            }
            section = name;
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            return TProfileError{lineNumber, {}, QStringLiteral("expected KEY = VALUE")};
        const QByteArray key = Trimmed(line.left(eq)).toUpper();
        if (section.isEmpty())
            return TProfileError{lineNumber, key, QStringLiteral("a setting before the first [SECTION]")};
        QByteArray value;
        if (const std::optional<QString> problem = Unquote(Trimmed(line.mid(eq + 1)), &value))
            return TProfileError{lineNumber, section + '.' + key, *problem};

        if (inModule) {
            if (!ModuleKeys().contains(key))
                return TProfileError{lineNumber, section + '.' + key, QStringLiteral("unknown key")};
            profile.Module.append({key, value});
            continue;
        }
        const TFieldRule* rule = FindFieldRule(section, key);
        if (!rule)
            return TProfileError{lineNumber, section + '.' + key, UnknownKey(key)};
        if (std::optional<TProfileError> error = AddEntry(profile, *rule, value, lineNumber, false))
            return error;
    }
    return std::nullopt;
}

std::optional<TProfileError> SetProfileEntry(const QByteArray& assignment, TProfile& profile)
{
    const qsizetype eq = assignment.indexOf('=');
    const qsizetype dot = assignment.indexOf('.');
    if (eq < 0 || dot < 0 || dot > eq)
        return TProfileError{0, assignment, QStringLiteral("--set takes SECTION.KEY=VALUE")};
    const QByteArray section = Trimmed(assignment.left(dot)).toUpper();
    const QByteArray key = Trimmed(assignment.mid(dot + 1, eq - dot - 1)).toUpper();
    const TFieldRule* rule = FindFieldRule(section, key);
    if (!rule)
        return TProfileError{0, section + '.' + key, QStringLiteral("unknown setting")};
    // Taken as typed: the shell has already done the quoting.
    return AddEntry(profile, *rule, assignment.mid(eq + 1), 0, true);
}

QString FormatProfileError(const QString& file, const TProfileError& error)
{
    QString text = file;
    if (error.Line > 0)
        text += u':' + QString::number(error.Line);
    if (!error.Key.isEmpty())
        text += QStringLiteral(": ") + QString::fromLatin1(error.Key);
    return text + QStringLiteral(": ") + error.Text;
}

std::optional<QString> CheckTemplates(const QByteArray& value)
{
    static const QList<QByteArray> names = {"{n}", "{port}", "{local}", "{local4}"};
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) != '{')
            continue;
        if (i + 1 < value.size() && value.at(i + 1) == '{') {
            ++i;
            continue;
        }
        bool known = false;
        for (const QByteArray& name : names) {
            if (value.mid(i, name.size()) == name) {
                known = true;
                i += name.size() - 1;
                break;
            }
        }
        if (!known) {
            return QStringLiteral("unknown placeholder at \"%1\" (known: {n}, {port}, {local}, {local4}; {{ for {)")
                .arg(QString::fromLatin1(value.mid(i, 12)));
        }
    }
    return std::nullopt;
}

QByteArray ExpandTemplates(const QByteArray& value, const TTemplateValues& values)
{
    QByteArray out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value.at(i);
        if (c != '{') {
            out.append(c);
            continue;
        }
        const QByteArray rest = value.mid(i);
        if (rest.startsWith("{{")) {
            out.append('{');
            i += 1;
        } else if (rest.startsWith("{n}")) {
            out.append(QByteArray::number(values.Number));
            i += 2;
        } else if (rest.startsWith("{port}")) {
            out.append(values.Port);
            i += 5;
        } else if (rest.startsWith("{local}")) {
            out.append(values.Local);
            i += 6;
        } else if (rest.startsWith("{local4}")) {
            out.append(values.Local.right(4));
            i += 7;
        } else {
            out.append(c);
        }
    }
    return out;
}

QByteArray ProfileValue(const QByteArray& value)
{
    QByteArray escaped = value;
    escaped.replace("{", "{{");
    bool quote = escaped.startsWith('"') || escaped.startsWith(';') || escaped.startsWith('#')
                 || (!escaped.isEmpty() && (IsBlank(escaped.front()) || IsBlank(escaped.back())));
    for (char c : escaped)
        quote = quote || IsControl(c);
    if (!quote)
        return escaped;
    QByteArray out = "\"";
    for (char c : escaped) {
        if (c == '"' || c == '\\') {
            out.append('\\').append(c);
        } else if (IsControl(c)) {
            out.append("\\x").append(QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0').toUpper());
        } else {
            out.append(c);
        }
    }
    return out + '"';
}

QByteArray ProfileText(const TModuleInfo& info, const TParameters& params, const QString& port)
{
    QByteArray text;
    auto line = [&text](const QByteArray& key, const QByteArray& value) {
        text += key + " = " + ProfileValue(value) + '\n';
    };
    text += "; RadioSet profile, read from " + port.toLocal8Bit() + "\n";
    text += "; [MODULE] describes the module it was read from and is not written back.\n";
    text += "[MODULE]\n";
    line("TYPE", ModuleTypeName(info.Type));
    line("MODEL", info.Model);
    if (info.Type == TModuleType::Current)
        line("BLUETOOTH VERSION", info.BluetoothVersion);
    line("SOFTWARE VERSION", info.SoftwareVersion);
    line("LOCAL ADDRESS", info.LocalAddress);
    if (info.Type == TModuleType::Current)
        line("INQUIRY ACCESS CODE FIXED PART", info.AccessCodeFixedPart);
    const char* section = nullptr;
    for (const TFieldRule& rule : FieldRules()) {
        if (!FieldSupported(rule.Id, info.Type))
            continue;
        if (!section || qstrcmp(section, rule.Section) != 0) {
            section = rule.Section;
            text += QByteArray("\n[") + section + "]\n";
        }
        line(rule.Caption, ShownValue(rule.Id, params));
    }
    return text;
}
