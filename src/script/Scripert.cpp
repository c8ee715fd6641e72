#include "script/Scripert.h"

#include "base/ZeMath.h"
#include "callsys/CallSys.h"
#include "script/LineText.h"
#include "script/ScriptThrd.h"

#include <QFile>
#include <QStringDecoder>

#include <cstdio>

namespace quillon::script {

enum class TScripert::Kind : std::uint8_t {
    Empty,
    Getsys, Setsys, MessageBox, Delay, CallSys, CallProto,
    Goto, EndScript, If, EndIf, ElseIf, Else, DoWhile, ExitDo, Loop, For, Next,
    RoutineCall, SubOrFunction, EndSub, EndFunction,
    Statement,
};

// What a line is, worked out once per parse: the run loop only switches on it.
struct TScripert::LineInfo {
    QString s;               // trimmed text, case kept
    QString w;               // s lower-cased
    Kind kind = Kind::Statement;
    int target = -1;         // the label a block rule jumps to
    int target2 = -1;        // elseif: the end of its if block
    QString expr;            // condition, or "v>limit" of a for line
    QString init;            // for: the statement that sets the counter
    QString var;             // for: the counter as written
};

namespace {

const QString kMissingPartnerText = QStringLiteral("条件或循环缺少end标记");
const QString kMissingPartnerParseText = QStringLiteral("缺少结束标记");
const QString kJumpText = QStringLiteral("跳转到无法定位的行号:");

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool startsWith(const QString& w, QLatin1StringView prefix)
{
    return w.startsWith(prefix);
}

std::u16string key(const QString& s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
}

// The argument list of getsys( / setsys(: up to the first ")", trimmed;
// empty when the line has no ")".
QString argumentList(const QString& s, int prefixLength)
{
    const qsizetype close = s.indexOf(QLatin1Char(')'), prefixLength);
    if (close < 0)
        return {};
    return trimLow(QStringView(s).mid(prefixLength, close - prefixLength));
}

void splitWord(const QString& inner, QString& word, QString& rest)
{
    const qsizetype comma = inner.indexOf(QLatin1Char(','));
    if (comma < 0) {
        word.clear();
        rest = inner;
        return;
    }
    word = trimLow(QStringView(inner).left(comma));
    rest = trimLow(QStringView(inner).mid(comma + 1));
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

// A 32-bit integer in decimal, or hexadecimal after "$".
bool readInt(const QString& text, int& value)
{
    const QString t = trimLow(text);
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

}  // namespace

ScriptFailure::ScriptFailure(int number_, QString description_, int column_)
    : std::runtime_error(description_.toStdString()), number(number_), column(column_),
      description(std::move(description_))
{
}

ScriptFileError::ScriptFileError(int number_, const QString& message_)
    : std::runtime_error(message_.toStdString()), number(number_), message(message_)
{
}

QStringList mainWindowDefineOrders()
{
    return {
        QStringLiteral("findhandle ;getsys(findhandle,"),
        QStringLiteral("findwindow ;getsys(findwindow,"),
        QStringLiteral("findchild ;getsys(findchild,"),
        QStringLiteral("test ;getsys(test,"),
        QStringLiteral("gethtxt ;getsys(gethtxt,"),
        QStringLiteral("sethtxt ;setsys(sethtxt,"),
        QStringLiteral("sethclick ;setsys(sethclick,"),
        QStringLiteral("key ;setsys(key,"),
        QStringLiteral("kdown ;setsys(kdown,"),
        QStringLiteral("kup ;setsys(kup,"),
        QStringLiteral("mouse ;setsys(mouse,"),
    };
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

void TScripert::copyTemplate(const TScripert& source)
{
    OnGetSysParam = source.OnGetSysParam;
    OnSetSysParam = source.OnSetSysParam;
    OnError = source.OnError;
    OnLineNumber = source.OnLineNumber;
    OnAfterPreGetSections = source.OnAfterPreGetSections;
    OnMessageBox = source.OnMessageBox;
    m_defineOrders = source.m_defineOrders;
    m_scriptLines = source.m_scriptLines;
    ParseScript();
}

// ---- loading --------------------------------------------------------------

void TScripert::LoadScriptFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        int number = 57;
        if (file.error() == QFileDevice::OpenError && !file.exists())
            number = 53;
        else if (file.error() == QFileDevice::PermissionsError)
            number = 70;
        throw ScriptFileError(number, QStringLiteral("cannot read script file '%1': %2")
                                          .arg(fileName, file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ScriptFileError(57, QStringLiteral("cannot read script file '%1': %2")
                                      .arg(fileName, file.errorString()));
    LoadScriptText(decodeScriptBytes(bytes));
}

void TScripert::LoadScriptText(const QString& text)
{
    m_scriptLines = splitScriptLines(text);
    ParseScript();
}

// ---- parsing --------------------------------------------------------------

// The section table is not cleared here but replaced whole at the end of the
// parse, so another thread asking for a section never sees it half built.
void TScripert::resetTables()
{
    m_labelTable.clear();
    m_labelIndex.clear();
    m_routineTable.clear();
    m_routineIndex.clear();
    m_macroTable.clear();
}

void TScripert::ParseScript()
{
    resetTables();
    m_parsed = true;
    LoadDefineOrders();
    if (m_enablePretreat) {
        for (QString& line : m_scriptLines)
            line = PretreatLine(trimLow(line));
    }
    m_lineInfo.assign(size_t(m_scriptLines.size()), LineInfo{});
    for (qsizetype i = 0; i < m_scriptLines.size(); ++i) {
        m_lineInfo[size_t(i)].s = trimLow(m_scriptLines[i]);
        m_lineInfo[size_t(i)].w = m_lineInfo[size_t(i)].s.toLower();
    }

    std::vector<TSection> sections;
    bool open = false;
    for (int j = 0; j < int(m_lineInfo.size()); ++j) {
        const QString& w = m_lineInfo[size_t(j)].w;
        BuildBlockLabels(w, j);
        RegisterRoutine(w, j);
        if (w.startsWith(QLatin1String("section "))) {
            sections.push_back(TSection{j + 1, trimLow(QStringView(m_lineInfo[size_t(j)].s).mid(8)), {}});
            open = true;
        } else if (w.startsWith(QLatin1String("end section"))) {
            open = false;
        } else if (open) {
            sections.back().lines << m_scriptLines[j];
        }
    }
    for (int j = 0; j < int(m_lineInfo.size()); ++j)
        m_lineInfo[size_t(j)] = describe(m_scriptLines[j], j);
    {
        std::lock_guard lock(m_sectionMutex);
        m_sectionTable = std::move(sections);
    }
    if (OnAfterPreGetSections)
        OnAfterPreGetSections(this);
}

std::optional<TSection> TScripert::FindSection(const QString& name)
{
    if (!m_parsed)
        ParseScript();
    const QString lower = name.toLower();
    std::lock_guard lock(m_sectionMutex);
    for (const TSection& section : m_sectionTable) {
        if (section.name.toLower() == lower)
            return section;
    }
    return std::nullopt;
}

std::vector<TSection> TScripert::SectionTable() const
{
    std::lock_guard lock(m_sectionMutex);
    return m_sectionTable;
}

void TScripert::LoadDefineOrders()
{
    for (const QString& entry : m_defineOrders) {
        const QString t = trimLow(entry);
        const qsizetype p = t.indexOf(QLatin1Char(';'));
        if (t.isEmpty() || p < 0)
            continue;
        // Every entry has one blank before ";": "key ;value" gives "key".
        AddDefineOrder(t.left(p > 0 ? p - 1 : 0), t.mid(p + 1));
    }
}

void TScripert::AddDefineOrder(const QString& key, const QString& value)
{
    const QString lower = key.toLower();
    for (TSysParam& entry : m_macroTable) {
        if (entry.name == lower) {
            entry.value = value;
            return;
        }
    }
    m_macroTable.push_back({lower, value});
}

QString TScripert::PretreatLine(const QString& line) const
{
    QString text = line;
    if (text.contains(QLatin1String("//"))) {
        int quotes = 0;
        for (qsizetype i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == QLatin1Char('"'))
                ++quotes;
            else if (text[i] == QLatin1Char('/') && text[i + 1] == QLatin1Char('/') && quotes % 2 == 0) {
                text = trimLow(QStringView(text).left(i));
                break;
            }
        }
    }
    const QString w = trimLow(text.toLower());
    for (const TSysParam& macro : m_macroTable) {
        if (!w.contains(macro.name + QLatin1Char(' ')) && !w.contains(macro.name + QLatin1Char('(')))
            continue;
        // The key is expected at the line start or right after the first "=",
        // followed by one separator character.
        const qsizetype eq = w.indexOf(QLatin1Char('='));
        const QString target = eq < 0 ? QString() : QLatin1Char(',') + trimLow(QStringView(w).left(eq));
        QString args = w.mid((eq < 0 ? 0 : eq + 1) + macro.name.size() + 1);
        if (w.endsWith(QLatin1Char(')')) && !args.isEmpty())
            args.chop(1);
        const QString closing = macro.value.contains(QLatin1Char('"'))
            ? target + QLatin1String("\")") : target + QLatin1Char(')');
        return trimLow(macro.value + args + closing);
    }
    return text;
}

// ---- labels, partners and routines -----------------------------------------

void TScripert::setLabel(const QString& name, int value)
{
    const auto it = m_labelIndex.find(key(name));
    if (it != m_labelIndex.end()) {
        m_labelTable[size_t(it->second)].line = value;
        return;
    }
    m_labelIndex.emplace(key(name), int(m_labelTable.size()));
    m_labelTable.push_back({name, value});
}

int TScripert::FindLabel(const QString& name) const
{
    const auto it = m_labelIndex.find(key(name));
    return it == m_labelIndex.end() ? -1 : m_labelTable[size_t(it->second)].line;
}

void TScripert::BuildBlockLabels(const QString& w, int n)
{
    const QString num = QString::number(n);
    if (startsWith(w, QLatin1StringView("rem ")))
        setLabel(trimLow(QStringView(w).mid(4)), n);
    else if (startsWith(w, QLatin1StringView("if ")))
        setLabel(QLatin1String("if_") + num, FindBlockPartner(QStringLiteral("if"), n));
    else if (startsWith(w, QLatin1StringView("elseif "))) {
        setLabel(QLatin1String("elseif_") + num, FindBlockPartner(QStringLiteral("elseif"), n));
        setLabel(QLatin1String("elseif_end_") + num, FindElseIfEnd(n));
    } else if (w == QLatin1String("else"))
        setLabel(QLatin1String("else_") + num, FindBlockPartner(QStringLiteral("else"), n));
    else if (startsWith(w, QLatin1StringView("do while ")))
        setLabel(QLatin1String("do_") + num, FindBlockPartner(QStringLiteral("do"), n));
    else if (w == QLatin1String("exit do"))
        setLabel(QLatin1String("exitdo_") + num, FindBlockPartner(QStringLiteral("exitdo"), n));
    else if (w == QLatin1String("loop"))
        setLabel(QLatin1String("loop_") + num, FindBlockPartner(QStringLiteral("loop"), n));
    else if (startsWith(w, QLatin1StringView("for ")))
        setLabel(QLatin1String("for_") + num, FindBlockPartner(QStringLiteral("for"), n));
    else if (w == QLatin1String("next"))
        setLabel(QLatin1String("next_") + num, FindBlockPartner(QStringLiteral("next"), n));
    else if (startsWith(w, QLatin1StringView("sub ")))
        setLabel(QLatin1String("sub_") + num, FindBlockPartner(QStringLiteral("sub"), n));
    else if (startsWith(w, QLatin1StringView("function ")))
        setLabel(QLatin1String("func_") + num, FindBlockPartner(QStringLiteral("func"), n));
}

namespace {

bool isEndIf(const QString& w)
{
    return w == QLatin1String("end if") || w == QLatin1String("endif");
}

struct PartnerRule {
    bool forward;
    bool (*opens)(const QString&);
    bool (*closes)(const QString&);
    bool elseIsPartner;  // "elseif"/"else" end the block at depth 0
    int offset;          // added to the partner's line
};

bool opensIf(const QString& w) { return w.startsWith(QLatin1String("if ")); }
bool opensDo(const QString& w) { return w.startsWith(QLatin1String("do while ")); }
bool isLoop(const QString& w) { return w == QLatin1String("loop"); }
bool opensFor(const QString& w) { return w.startsWith(QLatin1String("for ")); }
bool isNext(const QString& w) { return w == QLatin1String("next"); }
bool opensSub(const QString& w) { return w.startsWith(QLatin1String("sub ")); }
bool endsSub(const QString& w) { return w == QLatin1String("end sub"); }
bool opensFunc(const QString& w) { return w.startsWith(QLatin1String("function ")); }
bool endsFunc(const QString& w) { return w == QLatin1String("end function"); }

std::optional<PartnerRule> partnerRule(const QString& kind)
{
    if (kind == QLatin1String("if") || kind == QLatin1String("elseif"))
        return PartnerRule{true, opensIf, isEndIf, true, 0};
    if (kind == QLatin1String("else"))
        return PartnerRule{true, opensIf, isEndIf, false, 0};
    if (kind == QLatin1String("do") || kind == QLatin1String("exitdo"))
        return PartnerRule{true, opensDo, isLoop, false, 0};
    if (kind == QLatin1String("loop"))
        return PartnerRule{false, isLoop, opensDo, false, 0};
    if (kind == QLatin1String("for"))
        return PartnerRule{true, opensFor, isNext, false, 0};
    if (kind == QLatin1String("next"))
        return PartnerRule{false, isNext, opensFor, false, 0};
    if (kind == QLatin1String("sub"))
        return PartnerRule{true, opensSub, endsSub, false, 1};
    if (kind == QLatin1String("func"))
        return PartnerRule{true, opensFunc, endsFunc, false, 1};
    return std::nullopt;
}

}  // namespace

int TScripert::FindBlockPartner(const QString& kind, int n)
{
    const std::optional<PartnerRule> rule = partnerRule(kind);
    if (!rule)
        return -1;
    const int count = int(m_lineInfo.size());
    const int step = rule->forward ? 1 : -1;
    int depth = 0;
    for (int i = n + step; i >= 0 && i < count; i += step) {
        const QString& w = m_lineInfo[size_t(i)].w;
        if (rule->opens(w)) {
            ++depth;
        } else if (rule->closes(w)) {
            if (depth == 0)
                return i + rule->offset;
            --depth;
        } else if (rule->elseIsPartner && depth == 0
                   && (w.startsWith(QLatin1String("elseif ")) || w == QLatin1String("else"))) {
            return i;
        }
    }
    reportMissingPartner(n);
    return -1;
}

int TScripert::FindElseIfEnd(int n) const
{
    int depth = 0;
    for (int i = n + 1; i < int(m_lineInfo.size()); ++i) {
        const QString& w = m_lineInfo[size_t(i)].w;
        if (opensIf(w)) {
            ++depth;
        } else if (isEndIf(w)) {
            if (depth == 0)
                return i;
            --depth;
        }
    }
    return -1;
}

void TScripert::reportMissingPartner(int n)
{
    if (!OnError)
        throw ScriptFailure(811, kMissingPartnerParseText);
    OnError(n, 0, 811, kMissingPartnerText);
}

void TScripert::setRoutine(const QString& name, int line)
{
    const auto it = m_routineIndex.find(key(name));
    if (it != m_routineIndex.end()) {
        m_routineTable[size_t(it->second)].line = line;
        return;
    }
    m_routineIndex.emplace(key(name), int(m_routineTable.size()));
    m_routineTable.push_back({name, line});
}

void TScripert::RegisterRoutine(const QString& w, int n)
{
    QString name;
    if (w.startsWith(QLatin1String("sub ")))
        name = trimLow(QStringView(w).mid(4));
    else if (w.startsWith(QLatin1String("function ")))
        name = trimLow(QStringView(w).mid(9));
    else
        return;
    const qsizetype paren = name.indexOf(QLatin1Char('('));
    if (paren >= 0)
        name.truncate(paren);
    setRoutine(name, n);
}

int TScripert::FindRoutine(const QString& name) const
{
    const auto it = m_routineIndex.find(key(name));
    return it == m_routineIndex.end() ? -1 : m_routineTable[size_t(it->second)].line;
}

bool TScripert::IsRoutineCall(const QString& w) const
{
    for (const TRem& routine : m_routineTable) {
        const QString& r = routine.name;
        if (r.isEmpty())
            continue;
        const qsizetype p = w.indexOf(r);
        if (p < 0)
            continue;
        const bool startOk = p == 0
            || (!isIdentChar(w[p - 1]) && !w.contains(QLatin1String("sub "))
                && !w.contains(QLatin1String("function ")));
        const qsizetype end = p + r.size();
        const bool endOk = end == w.size() || w[end] == QLatin1Char(' ') || w[end] == QLatin1Char('(');
        if (startOk && endOk)
            return true;
    }
    return false;
}

void TScripert::PushFrame(const QString& s)
{
    m_frameTop = m_frameTop == 255 ? 0 : m_frameTop + 1;
    m_frameRing[size_t(m_frameTop)] = s;
}

QString TScripert::PopFrame()
{
    const QString s = m_frameRing[size_t(m_frameTop)];
    m_frameTop = m_frameTop == 0 ? 255 : m_frameTop - 1;
    return s;
}

// ---- line kinds ------------------------------------------------------------

TScripert::LineInfo TScripert::describe(const QString& text, int n) const
{
    LineInfo info;
    info.s = trimLow(text);
    info.w = info.s.toLower();
    const QString& s = info.s;
    const QString& w = info.w;
    const QString num = QString::number(n);
    auto label = [&](const char* prefix) { return FindLabel(QLatin1String(prefix) + num); };
    auto withoutThen = [&](int prefixLength) {
        QString t = s;
        t.remove(QLatin1String(" then"));
        return trimLow(QStringView(t).mid(prefixLength));
    };

    if (w.isEmpty())
        info.kind = Kind::Empty;
    else if (w.startsWith(QLatin1String("getsys(")))
        info.kind = Kind::Getsys;
    else if (w.startsWith(QLatin1String("setsys(")))
        info.kind = Kind::Setsys;
    else if (w.startsWith(QLatin1String("messagebox ")))
        info.kind = Kind::MessageBox;
    else if (w.startsWith(QLatin1String("delay ")) || w.startsWith(QLatin1String("delay(")))
        info.kind = Kind::Delay;
    else if (w.startsWith(QLatin1String("callsys[")))
        info.kind = Kind::CallSys;
    else if (w.startsWith(QLatin1String("callproto[")))
        info.kind = Kind::CallProto;
    else if (w.startsWith(QLatin1String("goto "))) {
        info.kind = Kind::Goto;
        info.target = FindLabel(trimLow(QStringView(s).mid(5)));
    } else if (w == QLatin1String("endscript"))
        info.kind = Kind::EndScript;
    else if (w.startsWith(QLatin1String("if "))) {
        info.kind = Kind::If;
        info.expr = withoutThen(3);
        info.target = label("if_");
    } else if (isEndIf(w))
        info.kind = Kind::EndIf;
    else if (w.startsWith(QLatin1String("elseif "))) {
        info.kind = Kind::ElseIf;
        info.expr = withoutThen(7);
        info.target = label("elseif_");
        info.target2 = label("elseif_end_");
    } else if (w == QLatin1String("else")) {
        info.kind = Kind::Else;
        info.target = label("else_");
    } else if (w.startsWith(QLatin1String("do while "))) {
        info.kind = Kind::DoWhile;
        info.expr = trimLow(QStringView(s).mid(9));
        info.target = label("do_");
    } else if (w == QLatin1String("exit do")) {
        info.kind = Kind::ExitDo;
        info.target = label("exitdo_");
    } else if (w == QLatin1String("loop")) {
        info.kind = Kind::Loop;
        info.target = label("loop_");
    } else if (w.startsWith(QLatin1String("for "))) {
        info.kind = Kind::For;
        const QString t = trimLow(QStringView(s).mid(4));
        const qsizetype eq = t.indexOf(QLatin1Char('='));
        info.var = eq < 0 ? t : t.left(eq);
        const qsizetype to = t.toLower().indexOf(QLatin1String(" to "));
        const QString limit = to < 0 ? QString() : trimLow(QStringView(t).mid(to + 4));
        info.init = to < 0 ? t : t.left(to);
        info.expr = info.var + QLatin1Char('>') + limit;
        info.target = label("for_");
    } else if (w == QLatin1String("next")) {
        info.kind = Kind::Next;
        info.target = label("next_");
    } else if (IsRoutineCall(w))
        info.kind = Kind::RoutineCall;
    else if (w.startsWith(QLatin1String("sub "))) {
        info.kind = Kind::SubOrFunction;
        info.target = label("sub_");
    } else if (w.startsWith(QLatin1String("function "))) {
        info.kind = Kind::SubOrFunction;
        info.target = label("func_");
    } else if (w == QLatin1String("end sub"))
        info.kind = Kind::EndSub;
    else if (w == QLatin1String("end function"))
        info.kind = Kind::EndFunction;
    return info;
}

// ---- running ---------------------------------------------------------------

void TScripert::requestStop()
{
    m_stopRequested = true;
}

void TScripert::printError(int line, int column, int number, const QString& description)
{
    const QByteArray text = QStringLiteral("line %1, column %2: error %3: %4\n")
                                .arg(line).arg(column).arg(number).arg(description).toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
}

bool TScripert::reportPassFailure(const ScriptFailure& failure, int line)
{
    if (OnError)
        OnError(line, failure.column, failure.number, failure.description);
    else
        printError(line, failure.column, failure.number, failure.description);
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
    m_stopRequested = false;
    return guarded([&] { return runSectionBody(name, result); });
}

bool TScripert::RunScript(QString& result)
{
    m_stopRequested = false;
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
    throw ScriptFailure(812, kJumpText + QString::number(j));
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
            if (m_stopRequested)
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
    while (i <= count - 1 && !m_stopRequested) {
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
        target = trimLow(QStringView(x).left(eq));
        x = trimLow(QStringView(x).mid(eq + 1));
    }
    PushFrame(target);
    qsizetype p = x.indexOf(QLatin1Char('('));
    if (p < 0)
        p = x.indexOf(QLatin1Char(' '));
    QString name;
    if (p >= 0) {
        name = trimLow(QStringView(x).left(p));
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
        PushFrame(trimLow(pieces[i]));
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
    if (trimLow(params).isEmpty())
        return;
    mustExecute(QLatin1String("dim ") + params);
    for (const QString& piece : base::split(params, QStringLiteral(",")))
        mustExecute(piece + QLatin1Char('=') + PopFrame());
}

// ---- host calls ------------------------------------------------------------

namespace {

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
        m_host->addObject(trimLow(target), acom);
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
    const QString expression = trimLow(QStringView(s).mid(11));
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
    QString e = trimLow(QStringView(s).mid(6));
    if (e.endsWith(QLatin1Char(')'))) {
        e.chop(1);
        e = trimLow(e);
    }
    QString text;
    if (!m_host->evalText(e, text))
        failWith(m_host->lastError());
    int ms = 0;
    if (!readInt(text, ms))
        failConversion(text);
    if (m_ownerThread)
        m_ownerThread->Delay(ms);
    else
        base::busyDelay(ms);
}

void TScripert::runNativeCall(const QString& s)
{
    QString c = s.mid(8);
    const qsizetype bracket = c.indexOf(QLatin1Char(']'));
    if (bracket >= 0)
        c.truncate(bracket);
    c = trimLow(c);
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
    m_callSys->AddProto(trimLow(c), nullptr);
}

}  // namespace quillon::script
