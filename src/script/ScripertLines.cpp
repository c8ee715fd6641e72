// Line decoding: what each line of a parsed script is and where its block
// statement jumps, in the order the run loop tests the forms.
#include "script/Scripert.h"

#include "base/Text.h"
#include "script/ScripertLines.h"

namespace quillon::script {

namespace {

// The kind of the forms that are tested before a routine call.
std::optional<TScripert::Kind> kindBeforeCalls(Keyword k)
{
    using Kind = TScripert::Kind;
    switch (k) {
    case Keyword::Getsys: return Kind::Getsys;
    case Keyword::Setsys: return Kind::Setsys;
    case Keyword::MessageBox: return Kind::MessageBox;
    case Keyword::Delay: return Kind::Delay;
    case Keyword::CallSys: return Kind::CallSys;
    case Keyword::CallProto: return Kind::CallProto;
    case Keyword::Goto: return Kind::Goto;
    case Keyword::EndScript: return Kind::EndScript;
    case Keyword::If: return Kind::If;
    case Keyword::EndIf: return Kind::EndIf;
    case Keyword::ElseIf: return Kind::ElseIf;
    case Keyword::Else: return Kind::Else;
    case Keyword::DoWhile: return Kind::DoWhile;
    case Keyword::ExitDo: return Kind::ExitDo;
    case Keyword::Loop: return Kind::Loop;
    case Keyword::For: return Kind::For;
    case Keyword::Next: return Kind::Next;
    default: return std::nullopt;
    }
}

}  // namespace

TScripert::LineInfo TScripert::describe(const QString& text, int n) const
{
    LineInfo info;
    info.s = base::trimControl(text);
    info.w = info.s.toLower();
    info.keyword = keywordOf(info.w);
    const QString& s = info.s;
    const QString num = QString::number(n);
    auto label = [&](const char* prefix) { return FindLabel(QLatin1String(prefix) + num); };
    auto withoutThen = [&](int prefixLength) {
        QString t = s;
        t.remove(QLatin1String(" then"));
        return base::trimControl(QStringView(t).mid(prefixLength));
    };

    if (info.w.isEmpty()) {
        info.kind = Kind::Empty;
        return info;
    }
    if (const std::optional<Kind> kind = kindBeforeCalls(info.keyword))
        info.kind = *kind;
    else if (IsRoutineCall(info.w))
        info.kind = Kind::RoutineCall;
    else if (info.keyword == Keyword::Sub || info.keyword == Keyword::Function)
        info.kind = Kind::SubOrFunction;
    else if (info.keyword == Keyword::EndSub)
        info.kind = Kind::EndSub;
    else if (info.keyword == Keyword::EndFunction)
        info.kind = Kind::EndFunction;
    else
        info.kind = Kind::Statement;

    switch (info.kind) {
    case Kind::Goto:
        info.target = FindLabel(base::trimControl(QStringView(s).mid(5)));
        break;
    case Kind::If:
        info.expr = withoutThen(3);
        info.target = label("if_");
        break;
    case Kind::ElseIf:
        info.expr = withoutThen(7);
        info.target = label("elseif_");
        info.target2 = label("elseif_end_");
        break;
    case Kind::Else: info.target = label("else_"); break;
    case Kind::DoWhile:
        info.expr = base::trimControl(QStringView(s).mid(9));
        info.target = label("do_");
        break;
    case Kind::ExitDo: info.target = label("exitdo_"); break;
    case Kind::Loop: info.target = label("loop_"); break;
    case Kind::For: {
        const QString t = base::trimControl(QStringView(s).mid(4));
        const qsizetype eq = t.indexOf(QLatin1Char('='));
        info.var = eq < 0 ? t : t.left(eq);
        const qsizetype to = t.toLower().indexOf(QLatin1String(" to "));
        const QString limit = to < 0 ? QString() : base::trimControl(QStringView(t).mid(to + 4));
        info.init = to < 0 ? t : t.left(to);
        info.expr = info.var + QLatin1Char('>') + limit;
        info.target = label("for_");
        break;
    }
    case Kind::Next: info.target = label("next_"); break;
    case Kind::SubOrFunction:
        info.target = label(info.keyword == Keyword::Sub ? "sub_" : "func_");
        break;
    default: break;
    }
    return info;
}

}  // namespace quillon::script
