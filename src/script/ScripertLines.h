// The parsed form of a script, shared by the engine's own files: what each
// line is and where its block statement jumps, decoded once per parse, so
// the run loop only switches on a line's kind. A parse is never changed
// after it is published; runs made from a template share it, and each
// engine keeps the programs its own host compiled for the lines beside it.
#pragma once

#include "script/RoutineMatcher.h"
#include "script/Scripert.h"

#include <QString>
#include <QStringList>

#include <string>
#include <unordered_map>

namespace quillon::script {

enum class TScripert::Kind : std::uint8_t {
    Empty,
    Getsys, Setsys, MessageBox, Delay, CallSys, CallProto,
    Goto, EndScript, If, EndIf, ElseIf, Else, DoWhile, ExitDo, Loop, For, Next,
    RoutineCall, SubOrFunction, EndSub, EndFunction,
    Statement,
};

// The rarer parts of a line, decoded at parse time.
struct LineParts {
    // getsys, setsys, callsys: the word, the argument pieces as written.
    QString word;
    QStringList pieces;
    // callsys: the call text before and after its argument list.
    QString head, tail;
    bool hasArguments = false;
    // A routine call: where the result goes, the routine, its arguments.
    QString target, name;
    QStringList args;
    int routine = -1;
    // A sub or function line: its parameter list and its pieces.
    QString params;
    QStringList paramPieces;
};

struct TScripert::LineInfo {
    QString s;               // trimmed text, case kept
    QString w;               // s lower-cased
    Keyword keyword = Keyword::None;
    Kind kind = Kind::Statement;
    int target = -1;         // the label a block rule jumps to
    int target2 = -1;        // elseif: the end of its if block
    QString expr;            // condition, "v>limit" of a for, the expression of messagebox and delay
    QString init;            // for: the statement that sets the counter
    QString var;             // for and next: the loop's counter as written
    std::shared_ptr<const LineParts> parts;
};

struct ParsedScript {
    // What was parsed, and how.
    QStringList sourceLines;
    QStringList defineOrders;
    bool pretreated = true;

    QStringList scriptLines;  // after pretreatment
    std::vector<TScripert::LineInfo> lines;
    std::vector<TSysParam> macroTable;
    std::vector<TRem> labelTable;
    std::unordered_map<std::u16string, int> labelIndex;  // name -> first entry
    std::vector<TRem> routineTable;
    std::unordered_map<std::u16string, int> routineIndex;
    RoutineMatcher routineCalls;
    std::vector<TSection> sections;
    // The partners of the block statements, found in one pass.
    std::vector<int> partner;    // per line: its block statement's partner
    std::vector<int> elseIfEnd;  // per line: the end if of an elseif
};

// The programs this engine's host compiled for one line, made the first time
// the line runs.
struct TScripert::CompiledLine {
    const TScripert::LineInfo* line = nullptr;  // the line these are for; null until made
    PreparedText main;   // the statement, the condition or the expression
    PreparedText init;   // for: the counter's initial assignment
    std::vector<PreparedText> pieces;  // host calls: each argument piece
    // A routine call: the statements that bind its arguments on the
    // routine's line (made for that line) and the one that stores a result.
    int boundTo = -1;
    PreparedText dim;
    std::vector<PreparedText> binds;
    PreparedText result;
};

// The programs of line n as they were made the first time it ran; every
// executed line asks, so the look-up is inline and the making is not.
inline TScripert::CompiledLine& TScripert::compiled(const LineInfo& info, int n)
{
    if (size_t(n) < m_compiled.size()) {
        CompiledLine* code = m_compiled[size_t(n)].get();
        if (code && code->line == &info)
            return *code;
    }
    return compileLine(info, n);
}

// Runs a statement line; a failure (the retry without parentheses, the
// report) is handled out of line.
inline void TScripert::runStatement(const PreparedText& statement, int n)
{
    if (!m_host->executeStatement(statement))
        statementFailed(statement, n);
}

// The key of a name in the label and routine indexes.
std::u16string nameKey(const QString& s);

// Finds the partner of every block statement of `keywords` in one pass
// each way, with the answers FindBlockPartner and FindElseIfEnd give.
void matchBlocks(const std::vector<Keyword>& keywords, std::vector<int>& partner, std::vector<int>& elseIfEnd);

// A 32-bit integer in decimal, or hexadecimal after "$".
bool readInt(const QString& text, int& value);

[[noreturn]] void failWith(const HostError& e);
[[noreturn]] void failConversion(const QString& text);

// The truth of a block statement's condition; one that cannot be worked
// out ends the pass.
inline bool TScripert::condition(const PreparedText& expression)
{
    bool truth = false;
    if (!m_host->evalCondition(expression, truth))
        failWith(m_host->lastError());
    return truth;
}

}  // namespace quillon::script
