#include "FakeHost.h"

namespace quillon::script::testing {

struct FakeHost::Parser {
    FakeHost& host;
    QString text;
    qsizetype pos = 0;

    struct Failure {
        int number;
    };

    void skip()
    {
        while (pos < text.size() && text[pos] == QLatin1Char(' '))
            ++pos;
    }
    bool take(QChar c)
    {
        skip();
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    static qint64 num(const QString& v)
    {
        if (v.isEmpty())
            return 0;
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        if (!ok)
            throw Failure{13};
        return n;
    }
    QString expr()
    {
        QString left = sum();
        skip();
        if (pos < text.size() && QStringLiteral("<>=").contains(text[pos])) {
            const QChar op = text[pos++];
            const qint64 a = num(left);
            const qint64 b = num(sum());
            const bool r = op == QLatin1Char('<') ? a < b : op == QLatin1Char('>') ? a > b : a == b;
            return r ? QStringLiteral("True") : QStringLiteral("False");
        }
        return left;
    }
    QString sum()
    {
        QString v = product();
        for (;;) {
            if (take(QLatin1Char('+')))
                v = QString::number(num(v) + num(product()));
            else if (take(QLatin1Char('-')))
                v = QString::number(num(v) - num(product()));
            else if (take(QLatin1Char('&')))
                v += product();
            else
                return v;
        }
    }
    QString product()
    {
        QString v = primary();
        for (;;) {
            if (take(QLatin1Char('*'))) {
                v = QString::number(num(v) * num(primary()));
            } else if (take(QLatin1Char('/'))) {
                const qint64 d = num(primary());
                if (d == 0)
                    throw Failure{11};
                v = QString::number(num(v) / d);
            } else {
                return v;
            }
        }
    }
    QString primary()
    {
        skip();
        if (take(QLatin1Char('-')))
            return QString::number(-num(primary()));
        if (take(QLatin1Char('('))) {
            QString v = expr();
            if (!take(QLatin1Char(')')))
                throw Failure{1006};
            return v;
        }
        if (pos < text.size() && text[pos] == QLatin1Char('"')) {
            QString s;
            for (++pos; pos < text.size(); ++pos) {
                if (text[pos] == QLatin1Char('"')) {
                    if (pos + 1 < text.size() && text[pos + 1] == QLatin1Char('"')) {
                        s += QLatin1Char('"');
                        ++pos;
                        continue;
                    }
                    ++pos;
                    return s;
                }
                s += text[pos];
            }
            throw Failure{1033};
        }
        const qsizetype start = pos;
        while (pos < text.size() && (text[pos].isLetterOrNumber() || text[pos] == QLatin1Char('_')))
            ++pos;
        const QString word = text.mid(start, pos - start);
        if (word.isEmpty())
            throw Failure{1002};
        if (word[0].isDigit()) {
            num(word);
            return word;
        }
        return host.vars.value(word.toLower());
    }
    QString whole()
    {
        QString v = expr();
        skip();
        if (pos != text.size())
            throw Failure{1002};
        return v;
    }
};

bool FakeHost::fail(int number, const QString& description)
{
    error = {number, 0, description};
    return false;
}

bool FakeHost::evalText(QStringView expression, QString& text)
{
    Parser p{*this, expression.toString()};
    try {
        text = p.whole();
    } catch (const Parser::Failure& f) {
        return fail(f.number, QStringLiteral("fake error %1").arg(f.number));
    }
    error = {};
    return true;
}

bool FakeHost::evalCondition(QStringView expression, bool& truth)
{
    QString v;
    if (!evalText(expression, v))
        return false;
    if (v == QLatin1String("True") || v == QLatin1String("False")) {
        truth = v == QLatin1String("True");
        return true;
    }
    bool ok = false;
    const qint64 n = v.isEmpty() ? 0 : v.toLongLong(&ok);
    if (!v.isEmpty() && !ok)
        return fail(13, QStringLiteral("Type mismatch"));
    truth = n != 0;
    return true;
}

bool FakeHost::executeStatement(QStringView statement)
{
    const QString s = statement.toString();
    statements << s;
    const QString t = s.trimmed();
    if (t.startsWith(QLatin1String("dim "), Qt::CaseInsensitive)
        || t.startsWith(QLatin1String("rem "), Qt::CaseInsensitive)) {
        error = {};
        return true;
    }
    // msgbox(...) with parentheses is the classic sub call the host refuses.
    if (t.startsWith(QLatin1String("msgbox"), Qt::CaseInsensitive)) {
        if (t.contains(QLatin1Char('(')))
            return fail(1044, QStringLiteral("Cannot use parentheses when calling a Sub"));
        error = {};
        return true;
    }
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return fail(1002, QStringLiteral("Syntax error"));
    const QString name = t.left(eq).trimmed().toLower();
    for (QChar c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('_'))
            return fail(1002, QStringLiteral("Syntax error"));
    }
    QString value;
    if (!evalText(QStringView(t).mid(eq + 1), value))
        return false;
    vars[name] = value;
    error = {};
    return true;
}

HostFactory FakeHostFactory::factory()
{
    return [this] {
        auto host = std::make_unique<FakeHost>();
        last = host.get();
        return std::unique_ptr<EngineHost>(std::move(host));
    };
}

}  // namespace quillon::script::testing
