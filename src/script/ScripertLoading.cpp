// Loading a script and parsing it: macros, pretreatment, the block labels
// and routines of every line, and the section table.
#include "script/Scripert.h"

#include "base/Text.h"
#include "script/ScriptText.h"
#include "script/ScripertLines.h"

namespace quillon::script {

void TScripert::LoadScriptFile(const QString& fileName)
{
    LoadScriptText(readScriptFile(fileName));
}

void TScripert::LoadScriptText(const QString& text)
{
    m_sourceLines = base::splitLines(text);
    m_parsed = false;
    ParseScript();
}

// Pretreatment always starts from the text as loaded: rewriting lines that
// were rewritten before would apply the macros to their own output (a
// command whose text holds "mouse " would become a mouse command).
void TScripert::ParseScript()
{
    auto parsed = std::make_shared<ParsedScript>();
    parsed->sourceLines = m_sourceLines;
    parsed->defineOrders = m_defineOrders;
    parsed->pretreated = m_enablePretreat;
    m_macroTable.clear();
    LoadDefineOrders();
    parsed->macroTable = m_macroTable;
    parsed->scriptLines = m_sourceLines;
    if (m_enablePretreat) {
        for (QString& line : parsed->scriptLines)
            line = PretreatLine(base::trimControl(line));
    }

    const int count = int(parsed->scriptLines.size());
    parsed->lines.resize(size_t(count));
    std::vector<Keyword> keywords(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        LineInfo& info = parsed->lines[size_t(i)];
        info.s = base::trimControl(parsed->scriptLines[i]);
        info.w = info.s.toLower();
        info.keyword = keywordOf(info.w);
        keywords[size_t(i)] = info.keyword;
    }
    matchBlocks(keywords, parsed->partner, parsed->elseIfEnd);

    bool open = false;
    bool missing = false;
    for (int j = 0; j < count; ++j) {
        const LineInfo& info = parsed->lines[size_t(j)];
        missing = BuildBlockLabels(*parsed, j) || missing;
        RegisterRoutine(*parsed, j);
        if (info.keyword == Keyword::Section) {
            parsed->sections.push_back(TSection{j + 1, base::trimControl(QStringView(info.s).mid(8)), {}});
            open = true;
        } else if (info.keyword == Keyword::EndSection) {
            open = false;
        } else if (open) {
            parsed->sections.back().lines << parsed->scriptLines[j];
        }
    }
    QStringList routineNames;
    for (const TRem& routine : parsed->routineTable)
        routineNames << routine.name;
    parsed->routineCalls.build(routineNames);
    RoutineMatcher::Scratch scratch;
    for (int j = 0; j < count; ++j)
        parsed->lines[size_t(j)] = describe(*parsed, parsed->scriptLines[j], j, scratch);

    publish(std::move(parsed));
    if (OnAfterPreGetSections)
        OnAfterPreGetSections(this);
    // Without an OnError the parse still finishes, so the tables hold the
    // new script whole; the caller then learns of the missing end.
    if (missing && !OnError)
        throw ScriptFailure(811, QStringLiteral("缺少结束标记"));
}

void TScripert::publish(std::shared_ptr<const ParsedScript> parsed)
{
    {
        std::lock_guard lock(m_scriptMutex);
        m_script = std::move(parsed);
    }
    m_compiled.clear();
    m_compiled.resize(m_script->lines.size());
    m_macroTable = m_script->macroTable;
    m_parsed = true;
}

bool TScripert::parseIsCurrent() const
{
    return m_parsed && script().defineOrders == m_defineOrders && script().pretreated == m_enablePretreat;
}

EngineTemplate TScripert::templateCopy() const
{
    return {OnGetSysParam, OnSetSysParam, OnError,       OnLineNumber, OnAfterPreGetSections, OnMessageBox,
            m_defineOrders, m_sourceLines, m_hostFactory, parseIsCurrent() ? m_script : nullptr};
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
    m_sourceLines = copy.scriptLines;
    m_parsed = false;
    // The template's parse is the one this engine would make: take it whole
    // (its missing ends were reported when the template was parsed).
    if (copy.parsed && copy.parsed->pretreated == m_enablePretreat && copy.parsed->defineOrders == m_defineOrders
        && copy.parsed->sourceLines == m_sourceLines) {
        publish(copy.parsed);
        if (OnAfterPreGetSections)
            OnAfterPreGetSections(this);
        return;
    }
    ParseScript();
}

std::optional<TSection> TScripert::FindSection(const QString& name)
{
    if (!m_parsed)
        ParseScript();
    const QString lower = name.toLower();
    std::shared_ptr<const ParsedScript> parsed;
    {
        std::lock_guard lock(m_scriptMutex);
        parsed = m_script;
    }
    for (const TSection& section : parsed->sections) {
        if (section.name.toLower() == lower)
            return section;
    }
    return std::nullopt;
}

std::vector<TSection> TScripert::SectionTable() const
{
    std::lock_guard lock(m_scriptMutex);
    return m_script->sections;
}

const QStringList& TScripert::ScriptLines() const
{
    return script().scriptLines;
}

const std::vector<TRem>& TScripert::LabelTable() const
{
    return script().labelTable;
}

const std::vector<TRem>& TScripert::RoutineTable() const
{
    return script().routineTable;
}

void TScripert::LoadDefineOrders()
{
    for (const QString& entry : m_defineOrders) {
        const QString t = base::trimControl(entry);
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

namespace {

QString withoutComment(const QString& line)
{
    if (!line.contains(QLatin1String("//")))
        return line;
    int quotes = 0;
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        if (line[i] == QLatin1Char('"'))
            ++quotes;
        else if (line[i] == QLatin1Char('/') && line[i + 1] == QLatin1Char('/') && quotes % 2 == 0)
            return base::trimControl(QStringView(line).left(i));
    }
    return line;
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

}  // namespace

QString TScripert::PretreatLine(const QString& line) const
{
    const QString text = withoutComment(line);
    const QString w = base::trimControl(text.toLower());
    for (const TSysParam& macro : m_macroTable) {
        if (!w.contains(macro.name + QLatin1Char(' ')) && !w.contains(macro.name + QLatin1Char('(')))
            continue;
        // The key is expected at the line start or after the first "=" and
        // any blanks ("h = findhandle(...)"), followed by one separator.
        const qsizetype eq = w.indexOf(QLatin1Char('='));
        const QString target = eq < 0 ? QString() : QLatin1Char(',') + base::trimControl(QStringView(w).left(eq));
        qsizetype key = eq < 0 ? 0 : eq + 1;
        while (eq >= 0 && key < w.size() && isBlank(w[key]))
            ++key;
        QString args = w.mid(key + macro.name.size() + 1);
        if (w.endsWith(QLatin1Char(')')) && !args.isEmpty())
            args.chop(1);
        const QString closing = macro.value.contains(QLatin1Char('"'))
            ? target + QLatin1String("\")") : target + QLatin1Char(')');
        return base::trimControl(macro.value + args + closing);
    }
    return text;
}

}  // namespace quillon::script
