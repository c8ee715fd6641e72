// Loading a script and parsing it: macros, pretreatment, and the section
// table, with the block labels and routines of every line.
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
    m_scriptLines = base::splitLines(text);
    ParseScript();
}

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
            line = PretreatLine(base::trimControl(line));
    }
    m_lineInfo.assign(size_t(m_scriptLines.size()), LineInfo{});
    for (qsizetype i = 0; i < m_scriptLines.size(); ++i) {
        LineInfo& info = m_lineInfo[size_t(i)];
        info.s = base::trimControl(m_scriptLines[i]);
        info.w = info.s.toLower();
        info.keyword = keywordOf(info.w);
    }

    std::vector<TSection> sections;
    bool open = false;
    for (int j = 0; j < int(m_lineInfo.size()); ++j) {
        const LineInfo& info = m_lineInfo[size_t(j)];
        BuildBlockLabels(info.w, j);
        RegisterRoutine(info.w, j);
        if (info.keyword == Keyword::Section) {
            sections.push_back(TSection{j + 1, base::trimControl(QStringView(info.s).mid(8)), {}});
            open = true;
        } else if (info.keyword == Keyword::EndSection) {
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

QString TScripert::PretreatLine(const QString& line) const
{
    QString text = line;
    if (text.contains(QLatin1String("//"))) {
        int quotes = 0;
        for (qsizetype i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == QLatin1Char('"'))
                ++quotes;
            else if (text[i] == QLatin1Char('/') && text[i + 1] == QLatin1Char('/') && quotes % 2 == 0) {
                text = base::trimControl(QStringView(text).left(i));
                break;
            }
        }
    }
    const QString w = base::trimControl(text.toLower());
    for (const TSysParam& macro : m_macroTable) {
        if (!w.contains(macro.name + QLatin1Char(' ')) && !w.contains(macro.name + QLatin1Char('(')))
            continue;
        // The key is expected at the line start or right after the first "=",
        // followed by one separator character.
        const qsizetype eq = w.indexOf(QLatin1Char('='));
        const QString target = eq < 0 ? QString() : QLatin1Char(',') + base::trimControl(QStringView(w).left(eq));
        QString args = w.mid((eq < 0 ? 0 : eq + 1) + macro.name.size() + 1);
        if (w.endsWith(QLatin1Char(')')) && !args.isEmpty())
            args.chop(1);
        const QString closing = macro.value.contains(QLatin1Char('"'))
            ? target + QLatin1String("\")") : target + QLatin1Char(')');
        return base::trimControl(macro.value + args + closing);
    }
    return text;
}

}  // namespace quillon::script
