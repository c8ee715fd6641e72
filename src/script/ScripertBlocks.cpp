// Block partners, labels and routines.
#include "script/Scripert.h"

#include "base/Text.h"
#include "script/ScripertLines.h"

#include <optional>

namespace quillon::script {

std::u16string nameKey(const QString& s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
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

// One nesting level of a block family while the lines are read in order:
// the lines still waiting for the next branch line (if, elseif) and those
// waiting for the closing line (else, the end of an elseif, exit do).
struct Level {
    std::vector<int> branch;
    std::vector<int> end;
};

void resolve(std::vector<int>& waiting, std::vector<int>& into, int value)
{
    for (int line : waiting)
        into[size_t(line)] = value;
    waiting.clear();
}

// Matches one family read forward: `opens` starts a level whose opening line
// waits for `closes` (or, with `branches`, for the next elseif/else).
void matchForward(const std::vector<Keyword>& keywords, Keyword opens, Keyword closes, Keyword waitsForEnd,
                  bool branches, int offset, std::vector<int>& partner, std::vector<int>& elseIfEnd)
{
    std::vector<Level> levels(1);  // the outermost level is never closed
    for (int i = 0; i < int(keywords.size()); ++i) {
        const Keyword k = keywords[size_t(i)];
        Level& top = levels.back();
        if (k == opens) {
            levels.push_back(Level{{i}, {}});
        } else if (k == closes) {
            resolve(top.branch, partner, i + offset);
            if (branches) {
                for (int line : top.end)
                    (keywords[size_t(line)] == Keyword::ElseIf ? elseIfEnd : partner)[size_t(line)] = i;
                top.end.clear();
            } else {
                resolve(top.end, partner, i + offset);
            }
            if (levels.size() > 1)
                levels.pop_back();
        } else if (branches && (k == Keyword::ElseIf || k == Keyword::Else)) {
            resolve(top.branch, partner, i);
            if (k == Keyword::ElseIf)
                top.branch.push_back(i);
            top.end.push_back(i);
        } else if (waitsForEnd != Keyword::None && k == waitsForEnd) {
            top.end.push_back(i);
        }
    }
}

// Matches loop or next lines read backward to their do while or for.
void matchBackward(const std::vector<Keyword>& keywords, Keyword opens, Keyword closes, std::vector<int>& partner)
{
    std::vector<int> open;
    for (int i = int(keywords.size()) - 1; i >= 0; --i) {
        const Keyword k = keywords[size_t(i)];
        if (k == opens) {
            open.push_back(i);
        } else if (k == closes && !open.empty()) {
            partner[size_t(open.back())] = i;
            open.pop_back();
        }
    }
}

}  // namespace

void matchBlocks(const std::vector<Keyword>& keywords, std::vector<int>& partner, std::vector<int>& elseIfEnd)
{
    partner.assign(keywords.size(), -1);
    elseIfEnd.assign(keywords.size(), -1);
    matchForward(keywords, Keyword::If, Keyword::EndIf, Keyword::None, true, 0, partner, elseIfEnd);
    matchForward(keywords, Keyword::DoWhile, Keyword::Loop, Keyword::ExitDo, false, 0, partner, elseIfEnd);
    matchForward(keywords, Keyword::For, Keyword::Next, Keyword::None, false, 0, partner, elseIfEnd);
    matchForward(keywords, Keyword::Sub, Keyword::EndSub, Keyword::None, false, 1, partner, elseIfEnd);
    matchForward(keywords, Keyword::Function, Keyword::EndFunction, Keyword::None, false, 1, partner, elseIfEnd);
    matchBackward(keywords, Keyword::Loop, Keyword::DoWhile, partner);
    matchBackward(keywords, Keyword::Next, Keyword::For, partner);
}

namespace {

void setLabel(ParsedScript& parsed, const QString& name, int value)
{
    const auto it = parsed.labelIndex.find(nameKey(name));
    if (it != parsed.labelIndex.end()) {
        parsed.labelTable[size_t(it->second)].line = value;
        return;
    }
    parsed.labelIndex.emplace(nameKey(name), int(parsed.labelTable.size()));
    parsed.labelTable.push_back({name, value});
}

const char* labelPrefix(Keyword k)
{
    switch (k) {
    case Keyword::If: return "if_";
    case Keyword::ElseIf: return "elseif_";
    case Keyword::Else: return "else_";
    case Keyword::DoWhile: return "do_";
    case Keyword::ExitDo: return "exitdo_";
    case Keyword::Loop: return "loop_";
    case Keyword::For: return "for_";
    case Keyword::Next: return "next_";
    case Keyword::Sub: return "sub_";
    case Keyword::Function: return "func_";
    default: return nullptr;
    }
}

}  // namespace

// The label of line n's block statement names its partner, found by
// matchBlocks; a user label ("rem name") names its own line. True when the
// statement has no partner (reported through OnError).
bool TScripert::BuildBlockLabels(ParsedScript& parsed, int n)
{
    const TScripert::LineInfo& info = parsed.lines[size_t(n)];
    if (info.keyword == Keyword::Rem) {
        setLabel(parsed, base::trimControl(QStringView(info.w).mid(4)), n);
        return false;
    }
    const char* prefix = labelPrefix(info.keyword);
    if (!prefix)
        return false;
    const QString num = QString::number(n);
    const int partner = parsed.partner[size_t(n)];
    setLabel(parsed, QLatin1String(prefix) + num, partner);
    if (partner < 0)
        reportMissingPartner(n);
    if (info.keyword == Keyword::ElseIf)
        setLabel(parsed, QLatin1String("elseif_end_") + num, parsed.elseIfEnd[size_t(n)]);
    return partner < 0;
}

int TScripert::FindLabel(const QString& name) const
{
    const auto it = script().labelIndex.find(nameKey(name));
    return it == script().labelIndex.end() ? -1 : script().labelTable[size_t(it->second)].line;
}

int TScripert::FindBlockPartner(const QString& kind, int n) const
{
    const std::optional<PartnerRule> rule = partnerRule(kind);
    if (!rule)
        return -1;
    const auto& lines = script().lines;
    const int count = int(lines.size());
    const int step = rule->forward ? 1 : -1;
    int depth = 0;
    for (int i = n + step; i >= 0 && i < count; i += step) {
        const Keyword k = lines[size_t(i)].keyword;
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
    return -1;
}

int TScripert::FindElseIfEnd(int n) const
{
    const auto& lines = script().lines;
    int depth = 0;
    for (int i = n + 1; i < int(lines.size()); ++i) {
        const Keyword k = lines[size_t(i)].keyword;
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
    if (OnError)
        OnError(n, 0, 811, QStringLiteral("条件或循环缺少end标记"));
}

void TScripert::RegisterRoutine(ParsedScript& parsed, int n)
{
    const TScripert::LineInfo& info = parsed.lines[size_t(n)];
    if (info.keyword != Keyword::Sub && info.keyword != Keyword::Function)
        return;
    QString name = base::trimControl(QStringView(info.w).mid(keywordLength(info.keyword)));
    const qsizetype paren = name.indexOf(QLatin1Char('('));
    if (paren >= 0)
        name.truncate(paren);
    const auto it = parsed.routineIndex.find(nameKey(name));
    if (it != parsed.routineIndex.end()) {
        parsed.routineTable[size_t(it->second)].line = n;
        return;
    }
    parsed.routineIndex.emplace(nameKey(name), int(parsed.routineTable.size()));
    parsed.routineTable.push_back({name, n});
}

int TScripert::FindRoutine(const QString& name) const
{
    const auto it = script().routineIndex.find(nameKey(name));
    return it == script().routineIndex.end() ? -1 : script().routineTable[size_t(it->second)].line;
}

bool TScripert::IsRoutineCall(const QString& w) const
{
    RoutineMatcher::Scratch scratch;
    return script().routineCalls.isCall(w, scratch);
}

}  // namespace quillon::script
