// Block partners, labels, routines and the frame ring.
#include "script/Scripert.h"

#include "base/Text.h"
#include "script/ScripertLines.h"

namespace quillon::script {

namespace {

std::u16string key(const QString& s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
}

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

}  // namespace

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
    auto label = [&](const char* prefix, int value) { setLabel(QLatin1String(prefix) + num, value); };
    switch (keywordOf(w)) {
    case Keyword::Rem: return setLabel(base::trimControl(QStringView(w).mid(4)), n);
    case Keyword::If: return label("if_", FindBlockPartner(QStringLiteral("if"), n));
    case Keyword::ElseIf:
        label("elseif_", FindBlockPartner(QStringLiteral("elseif"), n));
        return label("elseif_end_", FindElseIfEnd(n));
    case Keyword::Else: return label("else_", FindBlockPartner(QStringLiteral("else"), n));
    case Keyword::DoWhile: return label("do_", FindBlockPartner(QStringLiteral("do"), n));
    case Keyword::ExitDo: return label("exitdo_", FindBlockPartner(QStringLiteral("exitdo"), n));
    case Keyword::Loop: return label("loop_", FindBlockPartner(QStringLiteral("loop"), n));
    case Keyword::For: return label("for_", FindBlockPartner(QStringLiteral("for"), n));
    case Keyword::Next: return label("next_", FindBlockPartner(QStringLiteral("next"), n));
    case Keyword::Sub: return label("sub_", FindBlockPartner(QStringLiteral("sub"), n));
    case Keyword::Function: return label("func_", FindBlockPartner(QStringLiteral("func"), n));
    default: return;
    }
}

namespace {

// How the partner of a block statement is searched: the keyword that opens
// a nested block, the one that closes it, and where the search goes.
struct PartnerRule {
    bool forward;
    Keyword opens;
    Keyword closes;
    bool elseIsPartner;  // "elseif"/"else" end the block at depth 0
    int offset;          // added to the partner's line
};

std::optional<PartnerRule> partnerRule(const QString& kind)
{
    if (kind == QLatin1String("if") || kind == QLatin1String("elseif"))
        return PartnerRule{true, Keyword::If, Keyword::EndIf, true, 0};
    if (kind == QLatin1String("else"))
        return PartnerRule{true, Keyword::If, Keyword::EndIf, false, 0};
    if (kind == QLatin1String("do") || kind == QLatin1String("exitdo"))
        return PartnerRule{true, Keyword::DoWhile, Keyword::Loop, false, 0};
    if (kind == QLatin1String("loop"))
        return PartnerRule{false, Keyword::Loop, Keyword::DoWhile, false, 0};
    if (kind == QLatin1String("for"))
        return PartnerRule{true, Keyword::For, Keyword::Next, false, 0};
    if (kind == QLatin1String("next"))
        return PartnerRule{false, Keyword::Next, Keyword::For, false, 0};
    if (kind == QLatin1String("sub"))
        return PartnerRule{true, Keyword::Sub, Keyword::EndSub, false, 1};
    if (kind == QLatin1String("func"))
        return PartnerRule{true, Keyword::Function, Keyword::EndFunction, false, 1};
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
        const Keyword k = m_lineInfo[size_t(i)].keyword;
        if (k == rule->opens) {
            ++depth;
        } else if (k == rule->closes) {
            if (depth == 0)
                return i + rule->offset;
            --depth;
        } else if (rule->elseIsPartner && depth == 0 && (k == Keyword::ElseIf || k == Keyword::Else)) {
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
        const Keyword k = m_lineInfo[size_t(i)].keyword;
        if (k == Keyword::If) {
            ++depth;
        } else if (k == Keyword::EndIf) {
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
        throw ScriptFailure(811, QStringLiteral("缺少结束标记"));
    OnError(n, 0, 811, QStringLiteral("条件或循环缺少end标记"));
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
    const Keyword k = keywordOf(w);
    if (k != Keyword::Sub && k != Keyword::Function)
        return;
    QString name = base::trimControl(QStringView(w).mid(keywordLength(k)));
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

}  // namespace quillon::script
