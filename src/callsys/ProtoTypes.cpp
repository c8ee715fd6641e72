#include "callsys/ProtoTypes.h"

#include "base/ZeMath.h"

#include <QRegularExpression>

namespace quillon::callsys {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The lines of a text as a string list reads them: breaks are CR LF, CR or
// LF; an empty text has no lines.
QStringList textLines(const QString& text)
{
    if (text.isEmpty())
        return {};
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(breaks);
    if (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        lines.removeLast();
    return lines;
}

}  // namespace

QString trimControl(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QString lowerAscii(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (c.unicode() >= 'A' && c.unicode() <= 'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return out;
}

TProtoType& TProtoTypes::Add(const QString& declaration, ProcAddress proc)
{
    const QString name = ParseName(declaration);
    if (TProtoType* existing = Find(name))
        return *existing;
    TProtoType entry;
    entry.name = name;
    entry.convention = ParseConvention(declaration);
    entry.params = textLines(ParseParams(declaration));
    entry.proc = proc;
    m_entries.push_back(std::move(entry));
    return m_entries.back();
}

TProtoType* TProtoTypes::Find(const QString& name)
{
    for (TProtoType& entry : m_entries) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

const TProtoType* TProtoTypes::Find(const QString& name) const
{
    return const_cast<TProtoTypes*>(this)->Find(name);
}

QString TProtoTypes::ParseName(const QString& text)
{
    const qsizetype open = text.indexOf(QLatin1Char('('));
    if (open < 0)
        return QString();
    return lowerAscii(trimControl(text.left(open)));
}

QString TProtoTypes::ParseParams(const QString& text)
{
    const qsizetype open = text.indexOf(QLatin1Char('('));
    const QString rest = open < 0 ? text : text.mid(open + 1);

    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    bool hasResult = false;
    QString resultType;
    if (colon >= 0) {
        const QStringList pieces = base::split(rest.mid(colon + 1), QStringLiteral(";"));
        if (!pieces.isEmpty()) {
            hasResult = true;
            resultType = lowerAscii(trimControl(pieces.first()));
        }
    }

    QString paramText;
    const qsizetype close = rest.lastIndexOf(QLatin1Char(')'));
    if (close >= 0)
        paramText = rest.left(close);
    else if (colon >= 0)
        paramText = rest.left(colon);

    QString out;
    for (const QString& piece : base::split(paramText, QStringLiteral(",")))
        out += kCrLf + lowerAscii(trimControl(piece));
    if (hasResult)
        out += kCrLf + QStringLiteral("var ") + resultType;
    return trimControl(out);
}

QString TProtoTypes::ParseConvention(const QString& text)
{
    const QString s = trimControl(text);
    // The last character is never taken: "f(); " is "register".
    for (qsizetype p = s.size() - 2; p >= 0; --p) {
        if (s.at(p) == QLatin1Char(';')) {
            const QString convention = lowerAscii(trimControl(s.mid(p + 1)));
            return convention.isEmpty() ? QStringLiteral("register") : convention;
        }
    }
    return QStringLiteral("register");
}

}  // namespace quillon::callsys
