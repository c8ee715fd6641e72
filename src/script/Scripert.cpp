#include "script/Scripert.h"

#include "base/Text.h"
#include "base/ZeMath.h"
#include "callsys/CallSys.h"
#include "script/ScripertLines.h"

namespace quillon::script {

// A 32-bit integer in decimal, or hexadecimal after "$".
bool readInt(const QString& text, int& value)
{
    const QString t = base::trimControl(text);
    bool ok = false;
    qlonglong v = 0;
    if (t.startsWith(QLatin1Char('$')))
        v = t.mid(1).toLongLong(&ok, 16);
    else if (t.startsWith(QLatin1String("-$")))
        v = -t.mid(2).toLongLong(&ok, 16);
    else
        v = t.toLongLong(&ok, 10);
    if (!ok || v < INT32_MIN || v > INT32_MAX)
        return false;
    value = int(v);
    return true;
}

[[noreturn]] void failWith(const HostError& e)
{
    throw ScriptFailure(e.number, e.description, e.column);
}

[[noreturn]] void failConversion(const QString& text)
{
    throw ScriptFailure(13, QStringLiteral("Type mismatch: '%1' is not an integer").arg(text));
}


TScripert::TScripert(QObject* owner, HostFactory hostFactory)
    : m_owner(owner), m_hostFactory(std::move(hostFactory))
{
    m_host = m_hostFactory ? m_hostFactory() : createVbsHost();
    m_host->setMsgBoxHandler([this](const QString& prompt, int buttons, const QString& title) {
        return OnMessageBox ? OnMessageBox(prompt, buttons, title) : 1;
    });
    m_ownCallSys = std::make_unique<callsys::TCallSys>(owner);
    m_callSys = m_ownCallSys.get();
}

TScripert::~TScripert()
{
    m_host->reset();
}

void TScripert::setCallSys(callsys::TCallSys* callSys)
{
    m_callSys = callSys ? callSys : m_ownCallSys.get();
}

EngineTemplate TScripert::templateCopy() const
{
    return {OnGetSysParam, OnSetSysParam, OnError,        OnLineNumber, OnAfterPreGetSections,
            OnMessageBox,  m_defineOrders, m_scriptLines, m_hostFactory};
}

void TScripert::applyTemplate(const EngineTemplate& copy)
{
    OnGetSysParam = copy.OnGetSysParam;
    OnSetSysParam = copy.OnSetSysParam;
    OnError = copy.OnError;
    OnLineNumber = copy.OnLineNumber;
    OnAfterPreGetSections = copy.OnAfterPreGetSections;
    OnMessageBox = copy.OnMessageBox;
    m_defineOrders = copy.defineOrders;
    m_scriptLines = copy.scriptLines;
    ParseScript();
}

bool TScripert::reportPassFailure(const ScriptFailure& failure, int line)
{
    if (OnError)
        OnError(line, failure.column, failure.number, failure.description);
    else
        printScriptError(line, failure.column, failure.number, failure.description);
    m_finished = true;
    return false;
}

template <typename Body>
bool TScripert::guarded(Body body)
{
    m_currentLine = m_lastLine;
    try {
        return body();
    } catch (const ScriptFailure& failure) {
        return reportPassFailure(failure, m_currentLine);
    } catch (const std::exception& e) {
        return reportPassFailure(ScriptFailure(507, QString::fromUtf8(e.what())), m_currentLine);
    } catch (...) {
        return reportPassFailure(ScriptFailure(507, QStringLiteral("An exception occurred")),
                                 m_currentLine);
    }
}

bool TScripert::runPass(const QString& sectionName, QString& result)
{
    if (!sectionName.isEmpty())
        return guarded([&] { return runSectionBody(sectionName, result); });
    return guarded([&] {
        m_finished = false;
        ParseScript();
        return runScriptBody(result);
    });
}

bool TScripert::RunSection(const QString& name, QString& result)
{
    m_stop.clear();
    return guarded([&] { return runSectionBody(name, result); });
}

bool TScripert::RunScript(QString& result)
{
    m_stop.clear();
    return guarded([&] { return runScriptBody(result); });
}

QString TScripert::evalResult()
{
    QString result;
    if (!m_host->evalText(u"result", result))
        result.clear();
    return result;
}

[[noreturn]] static void jumpFailure(int j)
{
    throw ScriptFailure(812, QStringLiteral("跳转到无法定位的行号:") + QString::number(j));
}

bool TScripert::runSectionBody(const QString& name, QString& result)
{
    m_finished = false;
    if (!m_parsed)
        ParseScript();
    if (OnExecute)
        OnExecute(this);
    const std::optional<TSection> section = FindSection(name);
    if (section && !section->lines.isEmpty()) {
        const int start = section->startLine;
        const int count = int(section->lines.size());
        const int lineCount = int(m_lineInfo.size());
        // The first body line arrives in sequence, as if the header had run.
        m_lastLine = start - 1;
        int j = 0;
        for (;;) {
            if (j < 0) {
                m_currentLine = m_lastLine;
                jumpFailure(j);
            }
            if (start + j >= lineCount)
                break;
            int n = start + j;
            m_currentLine = n;
            executeAt(m_lineInfo[size_t(n)], n);
            m_lastLine = start + j;
            j = n - start;
            if (m_lastLine == n)
                ++j;
            if (m_stop.requested())
                j = count;
            if (j == count)
                break;
        }
    }
    result = evalResult();
    m_finished = true;
    return true;
}

bool TScripert::runScriptBody(QString& result)
{
    if (OnExecute)
        OnExecute(this);
    m_host->executeStatement(u"result=\"\"");
    m_finished = false;
    bool inside = false;
    int i = 0;
    const int count = int(m_lineInfo.size());
    // The first line arrives in sequence.
    m_lastLine = -1;
    while (i <= count - 1 && !m_stop.requested()) {
        if (i < 0) {
            m_currentLine = m_lastLine;
            jumpFailure(i);
        }
        const LineInfo& info = m_lineInfo[size_t(i)];
        int n = i;
        if (info.w.startsWith(QLatin1String("section "))) {
            inside = true;
        } else if (info.w.startsWith(QLatin1String("end section"))) {
            inside = false;
            m_lastLine = i;
            ++i;
            continue;
        }
        if (!inside && info.kind != Kind::Empty) {
            m_currentLine = n;
            executeAt(info, n);
        }
        m_lastLine = i;
        i = n;
        if (m_lastLine == n)
            ++i;
    }
    if (i < 0) {
        m_currentLine = m_lastLine;
        jumpFailure(i);
    }
    result = evalResult();
    m_finished = true;
    return true;
}

void TScripert::ExecuteLine(const QString& line, int& n)
{
    if (n < 0)
        return;
    executeAt(describe(line, n), n);
}

void TScripert::executeAt(const LineInfo& info, int& n)
{
    if (n < 0)
        return;
    if (OnLineNumber)
        OnLineNumber(this, n);
    runLine(info, n);
}

void TScripert::runLine(const LineInfo& info, int& n)
{
    switch (info.kind) {
    case Kind::Empty:
    case Kind::EndIf:
        return;
    case Kind::Getsys: return runQuery(info.s, n);
    case Kind::Setsys: return runCommand(info.s);
    case Kind::MessageBox: return runMessageBox(info.s);
    case Kind::Delay: return runDelay(info.s);
    case Kind::CallSys: return runNativeCall(info.s);
    case Kind::CallProto: return runPrototype(info.s);
    case Kind::Goto:
        n = info.target;
        return;
    case Kind::EndScript:
        n = int(m_scriptLines.size());
        return;
    case Kind::If:
        if (!condition(info.expr))
            n = info.target;
        return;
    case Kind::ElseIf:
        if (arrivesInSequence(n))
            n = info.target2;
        else if (!condition(info.expr))
            n = info.target;
        return;
    case Kind::Else:
    case Kind::Loop:
        if (arrivesInSequence(n))
            n = info.target;
        return;
    case Kind::DoWhile:
        if (!condition(info.expr))
            n = info.target;
        return;
    case Kind::ExitDo:
        n = info.target;
        return;
    case Kind::For:
        if (arrivesInSequence(n))
            runStatement(info.init, n);
        PushFrame(info.var);
        if (condition(info.expr))
            n = info.target;
        return;
    case Kind::Next: {
        const QString v = PopFrame();
        // Loops pop the same counter over and over: build its step once.
        if (v != m_stepVar) {
            m_stepVar = v;
            m_stepStatement = v + QLatin1String("=1+") + v;
        }
        mustExecute(m_stepStatement);
        if (arrivesInSequence(n))
            n = info.target;
        return;
    }
    case Kind::RoutineCall: return routineCall(info.w, n);
    case Kind::SubOrFunction:
        if (m_callPending)
            bindParameters(info.s);
        else
            n = info.target;
        return;
    case Kind::EndSub:
        PopFrame();
        PopFrame();
        return jumpToFrame(n);
    case Kind::EndFunction: {
        const QString name = PopFrame();
        const QString target = PopFrame();
        mustExecute(target + QLatin1Char('=') + name);
        return jumpToFrame(n);
    }
    case Kind::Statement:
        return runStatement(info.s, n);
    }
}

void TScripert::jumpToFrame(int& n)
{
    const QString frame = PopFrame();
    if (!readInt(frame, n))
        failConversion(frame);
}

void TScripert::runStatement(const QString& statement, int n)
{
    if (m_host->executeStatement(statement))
        return;
    QString s = statement;
    for (;;) {
        const HostError e = m_host->lastError();
        if (e.number == 0)
            return;
        // A sub called with parentheses: run it again without them. Once the
        // line has none left the error is reported instead of looping.
        if (e.number == 1044 && (s.contains(QLatin1Char('(')) || s.contains(QLatin1Char(')')))) {
            s.replace(QLatin1Char('('), QLatin1Char(' '));
            s.replace(QLatin1Char(')'), QLatin1Char(' '));
            m_host->executeStatement(s);
            continue;
        }
        if (OnError)
            OnError(n, e.column, e.number, e.description);
        return;
    }
}

void TScripert::mustExecute(const QString& statement)
{
    if (!m_host->executeStatement(statement))
        failWith(m_host->lastError());
}

bool TScripert::condition(const QString& expression)
{
    bool truth = false;
    if (!m_host->evalCondition(expression, truth))
        failWith(m_host->lastError());
    return truth;
}

void TScripert::routineCall(const QString& w, int& n)
{
    QString x = w;
    x.remove(QLatin1String("call "));
    m_callPending = true;
    PushFrame(QString::number(n + 1));
    QString target = QStringLiteral("void_sys_null");
    const qsizetype eq = x.indexOf(QLatin1Char('='));
    if (eq >= 0) {
        target = base::trimControl(QStringView(x).left(eq));
        x = base::trimControl(QStringView(x).mid(eq + 1));
    }
    PushFrame(target);
    qsizetype p = x.indexOf(QLatin1Char('('));
    if (p < 0)
        p = x.indexOf(QLatin1Char(' '));
    QString name;
    if (p >= 0) {
        name = base::trimControl(QStringView(x).left(p));
        x = x.mid(p + 1);
    } else {
        name = x;
        x.clear();
    }
    PushFrame(name);
    n = FindRoutine(name);
    const qsizetype close = x.indexOf(QLatin1Char(')'));
    if (close >= 0)
        x.truncate(close);
    const QStringList pieces = base::split(x, QStringLiteral(","));
    for (qsizetype i = pieces.size() - 1; i >= 0; --i)
        PushFrame(base::trimControl(pieces[i]));
}

void TScripert::bindParameters(const QString& s)
{
    m_callPending = false;
    const QString w = s.toLower();
    const QString decl = s.mid(w.startsWith(QLatin1String("sub ")) ? 4 : 9);
    const qsizetype open = decl.indexOf(QLatin1Char('('));
    if (open < 0)
        return;
    const qsizetype close = decl.indexOf(QLatin1Char(')'), open + 1);
    const QString params = close < 0 ? decl.mid(open + 1) : decl.mid(open + 1, close - open - 1);
    // "sub name()" declares no parameters; "dim " alone would be a syntax error.
    if (base::trimControl(params).isEmpty())
        return;
    mustExecute(QLatin1String("dim ") + params);
    for (const QString& piece : base::split(params, QStringLiteral(",")))
        mustExecute(piece + QLatin1Char('=') + PopFrame());
}

}  // namespace quillon::script
