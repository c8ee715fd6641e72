// The keywords a script line starts with, in one table. Pretreated lines are
// recognised by their trimmed, lower-cased text: the section split, the
// block partners, the labels, the line kinds of the run loop and the check
// of a script all read a line's keyword from here.
#pragma once

#include <QStringView>

#include <cstdint>

namespace quillon::script {

enum class Keyword : std::uint8_t {
    None,
    Section,      // "section " ...
    EndSection,   // "end section" ... (first 11 characters)
    Rem,          // "rem " ...: a comment and a user label
    Getsys, Setsys, MessageBox, Delay, CallSys, CallProto,
    Goto, EndScript,
    If, EndIf, ElseIf, Else,
    DoWhile, ExitDo, Loop,
    For, Next,
    Sub, Function, EndSub, EndFunction,
};

// The keyword of `w`, a trimmed and lower-cased line; None for any other line.
Keyword keywordOf(QStringView w);

// The length of the text that introduces `keyword` ("if " is 3, "do while "
// is 9); 0 for keywords that stand for the whole line.
int keywordLength(Keyword keyword);

}  // namespace quillon::script
