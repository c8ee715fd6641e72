// The engine's facade and its run loop: passes over a section or the whole
// script, one line at a time, with the block rules, routine calls and the
// errors that end a pass.
#include "script/Scripert.h"

#include "base/Text.h"
#include "callsys/CallSys.h"
#include "script/ScripertLines.h"

namespace quillon::script {

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
    : m_owner(owner), m_hostFactory(std::move(hostFactory)), m_script(std::make_shared<ParsedScript>())
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
    m_compiled.clear();  // programs of this host go before the host
    m_host->reset();
}

void TScripert::setCallSys(callsys::TCallSys* callSys)
{
    m_callSys = callSys ? callSys : m_ownCallSys.get();
}

// The host's programs for line n, compiled the first time the line runs. A
// line that is not the parsed line n (ExecuteLine of another text) gets
// programs of its own each time.
TScripert::CompiledLine& TScripert::compileLine(const LineInfo& info, int n)
{
    const bool parsedLine = n >= 0 && n < int(m_compiled.size()) && &info == &script().lines[size_t(n)];
    std::unique_ptr<CompiledLine>& slot = parsedLine ? m_compiled[size_t(n)] : m_scratchSlot;
    slot = std::make_unique<CompiledLine>();
    CompiledLine& code = *slot;
    code.line = &info;
    auto expression = [this](const QString& text) { return m_host->prepare(text, true); };
    switch (info.kind) {
    case Kind::Statement: code.main = m_host->prepare(info.s, false); break;
    case Kind::If:
    case Kind::ElseIf:
    case Kind::DoWhile:
    case Kind::MessageBox:
    case Kind::Delay: code.main = expression(info.expr); break;
    case Kind::For:
        code.init = m_host->prepare(info.init, false);
        code.main = expression(info.expr);
        break;
    case Kind::Next: code.main = m_host->prepare(info.var + QLatin1String("=1+") + info.var, false); break;
    case Kind::Getsys:
    case Kind::Setsys:
    case Kind::CallSys:
        for (const QString& piece : info.parts->pieces)
            code.pieces.push_back(piece.startsWith(QLatin1Char('"')) ? PreparedText{piece, nullptr} : expression(piece));
        break;
    case Kind::SubOrFunction:
        if (!info.parts->params.isEmpty())
            code.main = m_host->prepare(QLatin1String("dim ") + info.parts->params, false);
        break;
    case Kind::RoutineCall: {
        const LineParts& parts = *info.parts;
        code.result = m_host->prepare(parts.target + QLatin1Char('=') + parts.name, false);
        break;
    }
    default: break;
    }
    return code;
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
    } catch (const std::bad_alloc&) {
        return reportPassFailure(ScriptFailure(7, QStringLiteral("Out of memory")), m_currentLine);
    } catch (const std::exception& e) {
        return reportPassFailure(ScriptFailure(507, QString::fromUtf8(e.what())), m_currentLine);
    } catch (...) {
        return reportPassFailure(ScriptFailure(507, QStringLiteral("An exception occurred")),
                                 m_currentLine);
    }
}

// A call never spans passes: a pass that ended inside a routine (by an
// error, endscript or a stop) leaves nothing for the next one to return to.
void TScripert::startPass()
{
    m_calls.clear();
    m_callPending = false;
    m_returning = false;
    // The first line of a pass arrives in sequence, as if the line above it
    // (a section's header) had just run.
    m_inSequence = true;
}

bool TScripert::runPass(const QString& sectionName, QString& result)
{
    if (!sectionName.isEmpty())
        return guarded([&] { return runSectionBody(sectionName, result); });
    return guarded([&] {
        m_finished = false;
        // The labels and sections of an unchanged text are those of its last parse.
        if (!parseIsCurrent())
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
    startPass();
    const std::optional<TSection> section = FindSection(name);
    if (section && !section->lines.isEmpty()) {
        const int start = section->startLine;
        const int count = int(section->lines.size());
        const auto& lines = script().lines;
        const int lineCount = int(lines.size());
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
            executeAt(lines[size_t(n)], n);
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
    startPass();
    bool inside = false;
    int i = 0;
    const auto& lines = script().lines;
    const int count = int(lines.size());
    while (i <= count - 1 && !m_stop.requested()) {
        if (i < 0) {
            m_currentLine = m_lastLine;
            jumpFailure(i);
        }
        const LineInfo& info = lines[size_t(i)];
        int n = i;
        if (info.keyword == Keyword::Section) {
            inside = true;
        } else if (info.keyword == Keyword::EndSection) {
            inside = false;
            m_lastLine = i;
            m_inSequence = true;
            ++i;
            continue;
        }
        if (!inside && info.kind != Kind::Empty) {
            m_currentLine = n;
            executeAt(info, n);
        } else {
            m_inSequence = true;  // a line passed over counts as run
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
    // Outside a pass, a line arrives in sequence when it follows the last one.
    m_inSequence = m_lastLine + 1 == n;
    RoutineMatcher::Scratch scratch;
    const LineInfo info = describe(script(), line, n, scratch);
    executeAt(info, n);
}

// Runs line n and works out how the next line arrives: in sequence unless
// the line jumped. A jump to the line below is still a jump; a return from
// a routine lands on the line after the call as if the call had just run.
[[gnu::always_inline]] inline void TScripert::executeAt(const LineInfo& info, int& n)
{
    if (n < 0)
        return;
    const int before = n;
    if (OnLineNumber)
        OnLineNumber(this, n);
    m_returning = false;
    runLine(info, n);
    m_inSequence = n == before || m_returning;
}

[[gnu::always_inline]] inline void TScripert::runLine(const LineInfo& info, int& n)
{
    switch (info.kind) {
    case Kind::Empty:
    case Kind::EndIf:
        return;
    case Kind::Getsys: return runQuery(info, n);
    case Kind::Setsys: return runCommand(info, n);
    case Kind::MessageBox: return runMessageBox(info, n);
    case Kind::Delay: return runDelay(info, n);
    case Kind::CallSys: return runNativeCall(info, n);
    case Kind::CallProto: return runPrototype(info);
    case Kind::Goto:
        n = info.target;
        return;
    case Kind::EndScript:
        n = int(script().lines.size());
        return;
    case Kind::If:
        if (!condition(compiled(info, n).main))
            n = info.target;
        return;
    case Kind::ElseIf:
        if (arrivesInSequence())
            n = info.target2;
        else if (!condition(compiled(info, n).main))
            n = info.target;
        return;
    case Kind::Else:
    case Kind::Loop:
        if (arrivesInSequence())
            n = info.target;
        return;
    case Kind::DoWhile:
        if (!condition(compiled(info, n).main))
            n = info.target;
        return;
    case Kind::ExitDo:
        n = info.target;
        return;
    case Kind::For: {
        CompiledLine& code = compiled(info, n);
        if (arrivesInSequence())
            runStatement(code.init, n);
        if (condition(code.main))
            n = info.target;
        return;
    }
    case Kind::Next: {
        // Steps the counter of its own for line, then loops back when it
        // was reached in sequence. The counter ends one above the first
        // value past the limit (for i=1 to 3 leaves i at 5): scripts rely on it.
        mustExecute(compiled(info, n).main);
        if (arrivesInSequence())
            n = info.target;
        return;
    }
    case Kind::RoutineCall: return routineCall(info, n);
    case Kind::SubOrFunction:
        if (m_callPending)
            bindParameters(info, n);
        else
            n = info.target;
        return;
    case Kind::EndSub:
    case Kind::EndFunction:
        return returnFromRoutine(info, n);
    case Kind::Statement:
        return runStatement(compiled(info, n).main, n);
    }
}

void TScripert::statementFailed(const PreparedText& statement, int n)
{
    QString s = statement.text;
    for (;;) {
        const HostError& e = m_host->lastError();
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

void TScripert::mustExecute(const PreparedText& statement)
{
    if (!m_host->executeStatement(statement))
        failWith(m_host->lastError());
}


void TScripert::routineCall(const LineInfo& info, int& n)
{
    if (m_calls.size() >= size_t(kMaxCallDepth))
        throw ScriptFailure(28, QStringLiteral("Out of stack space"));
    m_callPending = true;
    m_calls.push_back({n + 1, n});
    n = info.parts->routine;
}

// On the routine's own line, reached by a call: "dim" of the parameters,
// then each parameter set to its argument (Empty for a missing one; extra
// arguments are left out).
void TScripert::bindParameters(const LineInfo& info, int n)
{
    m_callPending = false;
    const LineParts& parts = *info.parts;
    if (parts.params.isEmpty() || m_calls.empty())
        return;
    const int callLine = m_calls.back().callLine;
    CompiledLine& call = compiled(script().lines[size_t(callLine)], callLine);
    if (call.boundTo != n) {
        const QStringList& args = script().lines[size_t(callLine)].parts->args;
        call.boundTo = n;
        call.binds.clear();
        for (qsizetype k = 0; k < parts.paramPieces.size(); ++k) {
            const QString value = k < args.size() ? args[k] : QStringLiteral("Empty");
            call.binds.push_back(m_host->prepare(parts.paramPieces[k] + QLatin1Char('=') + value, false));
        }
    }
    mustExecute(compiled(info, n).main);
    for (const PreparedText& bind : call.binds)
        mustExecute(bind);
}

// end sub / end function: back to the line after the call; a function's
// result (the variable named after it) goes to the call's target first.
void TScripert::returnFromRoutine(const LineInfo& info, int& n)
{
    if (m_calls.empty())
        throw ScriptFailure(3, QStringLiteral("Return without GoSub"));
    const CallFrame frame = m_calls.back();
    if (info.kind == Kind::EndFunction)
        mustExecute(compiled(script().lines[size_t(frame.callLine)], frame.callLine).result);
    m_calls.pop_back();
    n = frame.returnLine;
    m_returning = true;
}

}  // namespace quillon::script
