// Host calls in script lines: getsys and setsys through the engine's
// events, messagebox, delay, and native calls through TCallSys.
#include "script/Scripert.h"

#include "base/Text.h"
#include "base/ZeMath.h"
#include "callsys/CallSys.h"
#include "script/ScripertLines.h"

namespace quillon::script {

namespace {

// The argument list of getsys( / setsys(: up to the first ")", trimmed;
// empty when the line has no ")".
QString argumentList(const QString& s, int prefixLength)
{
    const qsizetype close = s.indexOf(QLatin1Char(')'), prefixLength);
    if (close < 0)
        return {};
    return base::trimControl(QStringView(s).mid(prefixLength, close - prefixLength));
}

void splitWord(const QString& inner, QString& word, QString& rest)
{
    const qsizetype comma = inner.indexOf(QLatin1Char(','));
    if (comma < 0) {
        word.clear();
        rest = inner;
        return;
    }
    word = base::trimControl(QStringView(inner).left(comma));
    rest = base::trimControl(QStringView(inner).mid(comma + 1));
}

// Host value -> parameter text: the escaped forms become the characters.
QString readEscapes(QString v)
{
    v.replace(QLatin1String("\"&chr(13)&\""), QString(QChar(13)));
    v.replace(QLatin1String("\"&chr(10)&\""), QString(QChar(10)));
    v.replace(QLatin1String("\"\""), QLatin1String("\""));
    return v;
}

// Answer text -> the inside of a script string literal.
QString writeEscapes(QString v)
{
    v.replace(QLatin1String("\""), QLatin1String("\"\""));
    v.replace(QChar(13), QLatin1String("\"&chr(13)&\""));
    v.replace(QChar(10), QLatin1String("\"&chr(10)&\""));
    return v;
}

// A literal piece: in a query every double quote is dropped; elsewhere a
// doubled quote stands for one and every other quote is dropped.
QString literalPieceValue(const QString& piece, bool query)
{
    QString t;
    for (qsizetype i = 0; i < piece.size(); ++i) {
        if (piece[i] != QLatin1Char('"'))
            t += piece[i];
        else if (!query && i + 1 < piece.size() && piece[i + 1] == QLatin1Char('"'))
            t += piece[i++];
    }
    return t;
}

}  // namespace

QString TScripert::pieceValue(const QString& piece, bool query)
{
    if (piece.startsWith(QLatin1Char('"')))
        return literalPieceValue(piece, query);
    QString value;
    if (m_host->evalText(piece, value))
        return readEscapes(value);
    if (m_host->evalText(QLatin1Char('"') + piece + QLatin1Char('"'), value))
        return readEscapes(value);
    // The tail of a string literal that the argument split cut at a comma
    // ("Hello, world" gives "Hello and  world") reads as a literal too, so the
    // receiver sees two values instead of the pass ending on a broken string.
    if (piece.endsWith(QLatin1Char('"')))
        return literalPieceValue(piece, query);
    failWith(m_host->lastError());
}

QString TScripert::joinCommandPieces(const QStringList& pieces)
{
    QString param;
    for (const QString& piece : pieces) {
        const QString value = pieceValue(piece, false);
        if (param.isEmpty())
            param = value;
        else
            param += QLatin1Char(',') + value;
    }
    if (param.isEmpty() && !pieces.isEmpty())
        param = pieces.last();
    return param;
}

void TScripert::raiseHandler(const TIOSysEvent& handler, QString& name, QString& content,
                             std::shared_ptr<vbs::HostObject>& acom)
{
    if (handler)
        handler(this, name, content, acom);
}

void TScripert::GetSysParam(QString& word, QString& param, std::shared_ptr<vbs::HostObject>& acom)
{
    const QString lower = word.toLower();
    for (const TSysParam& entry : m_sysParamTable) {
        if (entry.name == lower) {
            param = entry.value;
            break;
        }
    }
    raiseHandler(OnGetSysParam, word, param, acom);
}

void TScripert::SetSysParam(const QString& word, const QString& param)
{
    const QString lower = word.toLower();
    auto it = std::find_if(m_sysParamTable.begin(), m_sysParamTable.end(),
                           [&](const TSysParam& e) { return e.name == lower; });
    if (it == m_sysParamTable.end()) {
        m_sysParamTable.push_back({lower, param});
        it = m_sysParamTable.end() - 1;
    } else {
        it->value = param;
    }
    std::shared_ptr<vbs::HostObject> acom;
    raiseHandler(OnSetSysParam, it->name, it->value, acom);
}

void TScripert::runQuery(const QString& s, int n)
{
    QString word, rest;
    splitWord(argumentList(s, 7), word, rest);
    const QStringList pieces = base::split(rest, QStringLiteral(","));
    QString param;
    for (const QString& piece : pieces)
        param += QLatin1Char(',') + pieceValue(piece, true);
    std::shared_ptr<vbs::HostObject> acom;
    GetSysParam(word, param, acom);
    // Nothing after the word: the query is made, but there is no variable
    // to receive its answer.
    if (pieces.isEmpty())
        return;
    const QString& target = pieces.last();
    if (acom) {
        m_host->addObject(base::trimControl(target), acom);
        return;
    }
    runStatement(target + QLatin1String("=\"") + writeEscapes(param) + QLatin1Char('"'), n);
}

void TScripert::runCommand(const QString& s)
{
    QString word, rest;
    splitWord(argumentList(s, 7), word, rest);
    SetSysParam(word, joinCommandPieces(base::split(rest, QStringLiteral(","))));
}

void TScripert::runMessageBox(const QString& s)
{
    const QString expression = base::trimControl(QStringView(s).mid(11));
    QString text;
    const bool ok = m_host->evalText(expression, text);
    const HostError error = ok ? HostError{} : m_host->lastError();
    if (OnMessageBox)
        OnMessageBox(ok ? text : expression, 0, QString::fromLatin1(kMessageBoxCaption));
    if (!ok)
        failWith(error);
}

void TScripert::runDelay(const QString& s)
{
    QString e = base::trimControl(QStringView(s).mid(6));
    if (e.endsWith(QLatin1Char(')'))) {
        e.chop(1);
        e = base::trimControl(e);
    }
    QString text;
    if (!m_host->evalText(e, text))
        failWith(m_host->lastError());
    int ms = 0;
    if (!readInt(text, ms))
        failConversion(text);
    if (m_ownerThread)
        m_stop.wait(ms);
    else
        base::busyDelay(ms);
}

void TScripert::runNativeCall(const QString& s)
{
    QString c = s.mid(8);
    const qsizetype bracket = c.indexOf(QLatin1Char(']'));
    if (bracket >= 0)
        c.truncate(bracket);
    c = base::trimControl(c);
    QString callText = c;
    const qsizetype open = c.indexOf(QLatin1Char('('));
    if (open >= 0) {
        qsizetype close = c.indexOf(QLatin1Char(')'), open + 1);
        if (close < 0)
            close = c.size();
        const QString args = c.mid(open + 1, close - open - 1);
        callText = c.left(open + 1) + joinCommandPieces(base::split(args, QStringLiteral(",")))
            + c.mid(close);
    }
    QString errorText;
    if (m_callSys->Call(callText, errorText) == callsys::CallOutcome::Failed)
        throw ScriptFailure(13, errorText);
}

void TScripert::runPrototype(const QString& s)
{
    QString c = s.mid(10);
    const qsizetype bracket = c.indexOf(QLatin1Char(']'));
    if (bracket >= 0)
        c.truncate(bracket);
    m_callSys->AddProto(base::trimControl(c), nullptr);
}

}  // namespace quillon::script
