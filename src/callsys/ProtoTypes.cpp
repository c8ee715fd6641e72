#include "callsys/ProtoTypes.h"

#include "base/Text.h"
#include "base/ZeMath.h"

namespace quillon::callsys {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

TProtoType& TProtoTypes::Add(const QString& declaration, ProcAddress proc)
{
    const QString name = ParseName(declaration);
    if (TProtoType* existing = Find(name))
        return *existing;
    TProtoType entry;
    entry.name = name;
    entry.convention = ParseConvention(declaration);
    entry.params = base::splitLines(ParseParams(declaration));
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
    return base::asciiLower(base::trimControl(text.left(open)));
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
            resultType = base::asciiLower(base::trimControl(pieces.first()));
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
        out += kCrLf + base::asciiLower(base::trimControl(piece));
    if (hasResult)
        out += kCrLf + QStringLiteral("var ") + resultType;
    return base::trimControl(out);
}

QString TProtoTypes::ParseConvention(const QString& text)
{
    const QString s = base::trimControl(text);
    // The last character is never taken: "f(); " is "register".
    for (qsizetype p = s.size() - 2; p >= 0; --p) {
        if (s.at(p) == QLatin1Char(';')) {
            const QString convention = base::asciiLower(base::trimControl(s.mid(p + 1)));
            return convention.isEmpty() ? QStringLiteral("register") : convention;
        }
    }
    return QStringLiteral("register");
}

}  // namespace quillon::callsys
