#include "DesktopEntry.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>

namespace quillon::desktop {

namespace {

const QString kGroup = QStringLiteral("[Desktop Entry]");

QString unescape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar n = text.at(++i);
        switch (n.unicode()) {
        case 's': out += QLatin1Char(' '); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case '\\': out += QLatin1Char('\\'); break;
        default: out += QLatin1Char('\\'); out += n; break;
        }
    }
    return out;
}

QString escape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\t': out += QLatin1String("\\t"); break;
        case '\r': out += QLatin1String("\\r"); break;
        default: out += c; break;
        }
    }
    // A leading blank would be lost to the reader's trimming.
    if (out.startsWith(QLatin1Char(' ')))
        out.replace(0, 1, QLatin1String("\\s"));
    return out;
}

}  // namespace

std::optional<DesktopEntry> DesktopEntry::read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Entries are small; a huge file is not one.
    if (file.size() > 1024 * 1024)
        return std::nullopt;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    DesktopEntry entry;
    bool inGroup = false;
    bool seen = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == kGroup;
            seen = seen || inGroup;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inGroup || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!entry.contains(key))
            entry.m_keys.emplace_back(key, unescape(line.mid(eq + 1).trimmed()));
    }
    if (!seen)
        return std::nullopt;
    return entry;
}

QString DesktopEntry::value(const QString& key) const
{
    for (const auto& [k, v] : m_keys) {
        if (k == key)
            return v;
    }
    return {};
}

bool DesktopEntry::contains(const QString& key) const
{
    for (const auto& kv : m_keys) {
        if (kv.first == key)
            return true;
    }
    return false;
}

void DesktopEntry::setValue(const QString& key, const QString& value)
{
    for (auto& kv : m_keys) {
        if (kv.first == key) {
            kv.second = value;
            return;
        }
    }
    m_keys.emplace_back(key, value);
}

bool DesktopEntry::write(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = kGroup.toUtf8() + '\n';
    for (const auto& [k, v] : m_keys)
        text += k.toUtf8() + '=' + escape(v).toUtf8() + '\n';
    file.write(text);
    return file.commit();
}

QString quoteExecArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString out = argument;
    // A literal percent sign would be read as a field code.
    out.replace(QLatin1Char('%'), QLatin1String("%%"));
    if (!needsQuotes)
        return out;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : out) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
            || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

std::optional<QStringList> splitExec(const QString& exec)
{
    QStringList parts;
    QString current;
    bool inQuotes = false;
    bool inWord = false;
    bool fieldOnly = false;  // the word so far is a lone field code
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
                current += exec.at(++i);
            } else if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else {
                current += c;
            }
            continue;
        }
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (inWord && !fieldOnly)
                parts << current;
            current.clear();
            inWord = fieldOnly = false;
            continue;
        }
        const bool startsWord = !inWord;
        inWord = true;
        if (c == QLatin1Char('"')) {
            inQuotes = true;
            fieldOnly = false;
        } else if (c == QLatin1Char('%') && i + 1 < exec.size()) {
            const QChar code = exec.at(++i);
            if (code == QLatin1Char('%')) {
                current += code;
                fieldOnly = false;
            } else {
                // Field codes stand for files or URLs; a tool is started
                // with none, so a word that is only a field code goes.
                fieldOnly = startsWord || fieldOnly;
            }
        } else {
            current += c;
            fieldOnly = false;
        }
    }
    if (inQuotes)
        return std::nullopt;
    if (inWord && !fieldOnly)
        parts << current;
    if (parts.isEmpty() || parts.first().isEmpty())
        return std::nullopt;
    return parts;
}

}  // namespace quillon::desktop
