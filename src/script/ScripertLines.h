// The per-line facts of a parsed script, shared by the engine's own files:
// what a line is and where its block statement jumps, worked out once per
// parse so that the run loop only switches on the kind.
#pragma once

#include "script/Scripert.h"

#include <QString>

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
    Keyword keyword = Keyword::None;
    Kind kind = Kind::Statement;
    int target = -1;         // the label a block rule jumps to
    int target2 = -1;        // elseif: the end of its if block
    QString expr;            // condition, or "v>limit" of a for line
    QString init;            // for: the statement that sets the counter
    QString var;             // for: the counter as written
};


// A 32-bit integer in decimal, or hexadecimal after "$".
bool readInt(const QString& text, int& value);

[[noreturn]] void failWith(const HostError& e);
[[noreturn]] void failConversion(const QString& text);

}  // namespace quillon::script
