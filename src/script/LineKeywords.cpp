#include "script/LineKeywords.h"

#include <QLatin1StringView>

#include <iterator>

namespace quillon::script {

namespace {

struct KeywordEntry {
    QLatin1StringView text;
    bool wholeLine;  // the line is exactly the text; otherwise it starts with it
    Keyword keyword;
};

// No entry starts another, so the order of the table never decides.
constexpr KeywordEntry kKeywords[] = {
    {QLatin1StringView("section "), false, Keyword::Section},
    {QLatin1StringView("end section"), false, Keyword::EndSection},
    {QLatin1StringView("rem "), false, Keyword::Rem},
    {QLatin1StringView("getsys("), false, Keyword::Getsys},
    {QLatin1StringView("setsys("), false, Keyword::Setsys},
    {QLatin1StringView("messagebox "), false, Keyword::MessageBox},
    {QLatin1StringView("delay "), false, Keyword::Delay},
    {QLatin1StringView("delay("), false, Keyword::Delay},
    {QLatin1StringView("callsys["), false, Keyword::CallSys},
    {QLatin1StringView("callproto["), false, Keyword::CallProto},
    {QLatin1StringView("goto "), false, Keyword::Goto},
    {QLatin1StringView("endscript"), true, Keyword::EndScript},
    {QLatin1StringView("if "), false, Keyword::If},
    {QLatin1StringView("end if"), true, Keyword::EndIf},
    {QLatin1StringView("endif"), true, Keyword::EndIf},
    {QLatin1StringView("elseif "), false, Keyword::ElseIf},
    {QLatin1StringView("else"), true, Keyword::Else},
    {QLatin1StringView("do while "), false, Keyword::DoWhile},
    {QLatin1StringView("exit do"), true, Keyword::ExitDo},
    {QLatin1StringView("loop"), true, Keyword::Loop},
    {QLatin1StringView("for "), false, Keyword::For},
    {QLatin1StringView("next"), true, Keyword::Next},
    {QLatin1StringView("sub "), false, Keyword::Sub},
    {QLatin1StringView("function "), false, Keyword::Function},
    {QLatin1StringView("end sub"), true, Keyword::EndSub},
    {QLatin1StringView("end function"), true, Keyword::EndFunction},
};

}  // namespace

Keyword keywordOf(QStringView w)
{
    if (w.isEmpty())
        return Keyword::None;
    for (const KeywordEntry& entry : kKeywords) {
        if (entry.wholeLine ? w == entry.text : w.startsWith(entry.text))
            return entry.keyword;
    }
    return Keyword::None;
}

int keywordLength(Keyword keyword)
{
    for (const KeywordEntry& entry : kKeywords) {
        if (entry.keyword == keyword)
            return entry.wholeLine ? 0 : int(entry.text.size());
    }
    return 0;
}

}  // namespace quillon::script
