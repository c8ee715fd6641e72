// Host calls in script lines: getsys and setsys through the engine's
// events, messagebox, delay, and native calls through TCallSys. The parts
// of each call were decoded when the script was parsed; the argument
// pieces are compiled by the host the first time their line runs.
#include "script/Scripert.h"

#include "base/Text.h"
#include "base/ZeMath.h"
#include "callsys/CallSys.h"
#include "script/ScripertLines.h"

namespace quillon::script {

namespace {

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

// The rest of a string literal that the split at commas cut off: it ends
// with the literal's closing quote, so it holds an odd number of quotes
// (that one and doubled pairs), as ` world"` of `"Hello, world"` does.
bool isCutLiteralTail(const QString& piece)
{
    return !piece.startsWith(QLatin1Char('"')) && piece.endsWith(QLatin1Char('"'))
        && piece.count(QLatin1Char('"')) % 2 == 1;
}

bool isLiteral(const QString& piece)
{
    return piece.startsWith(QLatin1Char('"'));
}

}  // namespace

QString TScripert::pieceValue(const QString& piece, PreparedText* slot, bool query)
{
    if (isLiteral(piece))
        return literalPieceValue(piece, query);
    QString value;
    if (slot ? m_host->evalText(*slot, value) : m_host->evalText(piece, value))
        return readEscapes(value);
    const HostError error = m_host->lastError();
    // A piece that is no expression reads as the literal of its own text
    // ("hello world"); the tail of a cut literal as a literal too. Anything
    // else ends the pass with the host's error for the piece.
    if (m_host->evalText(QLatin1Char('"') + piece + QLatin1Char('"'), value))
        return readEscapes(value);
    if (isCutLiteralTail(piece))
        return literalPieceValue(piece, query);
    failWith(error);
}

QString TScripert::joinCommandPieces(const QStringList& pieces, std::vector<PreparedText>& programs)
{
    QString param;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QString value = pieceValue(pieces[i], &programs[size_t(i)], false);
        if (param.isEmpty())
            param = value;
        else
            param += QLatin1Char(',') + value;
    }
    if (param.isEmpty() && !pieces.isEmpty())
        param = pieces.last();
    return param;
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
    if (OnGetSysParam)
        OnGetSysParam(this, word, param, acom);
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
    if (OnSetSysParam)
        OnSetSysParam(this, it->name, it->value, acom);
}

void TScripert::runQuery(const LineInfo& info, int n)
{
    const LineParts& parts = *info.parts;
    CompiledLine& code = compiled(info, n);
    QString param;
    for (qsizetype i = 0; i < parts.pieces.size(); ++i)
        param += QLatin1Char(',') + pieceValue(parts.pieces[i], &code.pieces[size_t(i)], true);
    QString word = parts.word;
    std::shared_ptr<vbs::HostObject> acom;
    GetSysParam(word, param, acom);
    // Nothing after the word: the query is made, but there is no variable
    // to receive its answer.
    if (parts.pieces.isEmpty())
        return;
    const QString& target = parts.pieces.last();
    if (acom) {
        m_host->addObject(base::trimControl(target), acom);
        return;
    }
    runStatement(PreparedText{target + QLatin1String("=\"") + writeEscapes(param) + QLatin1Char('"'), nullptr}, n);
}

void TScripert::runCommand(const LineInfo& info, int n)
{
    SetSysParam(info.parts->word, joinCommandPieces(info.parts->pieces, compiled(info, n).pieces));
}

void TScripert::runMessageBox(const LineInfo& info, int n)
{
    QString text;
    const bool ok = m_host->evalText(compiled(info, n).main, text);
    const HostError error = ok ? HostError{} : m_host->lastError();
    if (OnMessageBox)
        OnMessageBox(ok ? text : info.expr, 0, QString::fromLatin1(kMessageBoxCaption));
    if (!ok)
        failWith(error);
}

void TScripert::runDelay(const LineInfo& info, int n)
{
    QString text;
    if (!m_host->evalText(compiled(info, n).main, text))
        failWith(m_host->lastError());
    int ms = 0;
    if (!readInt(text, ms))
        failConversion(text);
    if (m_ownerThread)
        m_stop.wait(ms);
    else
        base::busyDelay(ms);
}

void TScripert::runNativeCall(const LineInfo& info, int n)
{
    const LineParts& parts = *info.parts;
    const QString callText = parts.hasArguments
        ? parts.head + joinCommandPieces(parts.pieces, compiled(info, n).pieces) + parts.tail
        : parts.head;
    QString errorText;
    if (m_callSys->Call(callText, errorText) == callsys::CallOutcome::Failed)
        throw ScriptFailure(13, errorText);
}

void TScripert::runPrototype(const LineInfo& info)
{
    m_callSys->AddProto(info.expr, nullptr);
}

}  // namespace quillon::script
