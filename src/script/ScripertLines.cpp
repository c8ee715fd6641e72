// Line decoding: what each line of a parsed script is, where its block
// statement jumps, and the parts of its host call or routine call, in the
// order the run loop tests the forms.
#include "script/Scripert.h"

#include "base/Text.h"
#include "base/ZeMath.h"
#include "script/ScripertLines.h"

namespace quillon::script {

namespace {

using Kind = TScripert::Kind;

// The kind of the forms that are tested before a routine call.
std::optional<Kind> kindBeforeCalls(Keyword k)
{
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

int lookUp(const std::unordered_map<std::u16string, int>& index, const std::vector<TRem>& table, const QString& name)
{
    const auto it = index.find(nameKey(name));
    return it == index.end() ? -1 : table[size_t(it->second)].line;
}

QStringList splitAtCommas(const QString& text)
{
    return base::split(text, QStringLiteral(","));
}

// getsys(word, pieces...) and setsys(word, pieces...): the argument list
// ends at the first ")" (none: no arguments); the word is the text before
// its first "," (empty without one).
void decodeSysCall(const QString& s, LineParts& parts)
{
    const qsizetype close = s.indexOf(QLatin1Char(')'), 7);
    const QString inner = close < 0 ? QString() : base::trimControl(QStringView(s).mid(7, close - 7));
    const qsizetype comma = inner.indexOf(QLatin1Char(','));
    QString rest = inner;
    if (comma >= 0) {
        parts.word = base::trimControl(QStringView(inner).left(comma));
        rest = base::trimControl(QStringView(inner).mid(comma + 1));
    }
    parts.pieces = splitAtCommas(rest);
}

// callsys[head(arguments)tail]: the text up to the first "]", trimmed.
void decodeNativeCall(const QString& s, LineParts& parts)
{
    QString c = s.mid(8);
    const qsizetype bracket = c.indexOf(QLatin1Char(']'));
    if (bracket >= 0)
        c.truncate(bracket);
    c = base::trimControl(c);
    const qsizetype open = c.indexOf(QLatin1Char('('));
    if (open < 0) {
        parts.head = c;
        return;
    }
    qsizetype close = c.indexOf(QLatin1Char(')'), open + 1);
    if (close < 0)
        close = c.size();
    parts.hasArguments = true;
    parts.head = c.left(open + 1);
    parts.pieces = splitAtCommas(c.mid(open + 1, close - open - 1));
    parts.tail = c.mid(close);
}

// x = name(arguments): every "call " removed; the target is the text before
// the first "=" ("void_sys_null" without one); the arguments end at ")".
void decodeRoutineCall(const QString& w, LineParts& parts)
{
    QString x = w;
    x.remove(QLatin1String("call "));
    parts.target = QStringLiteral("void_sys_null");
    const qsizetype eq = x.indexOf(QLatin1Char('='));
    if (eq >= 0) {
        parts.target = base::trimControl(QStringView(x).left(eq));
        x = base::trimControl(QStringView(x).mid(eq + 1));
    }
    qsizetype p = x.indexOf(QLatin1Char('('));
    if (p < 0)
        p = x.indexOf(QLatin1Char(' '));
    if (p >= 0) {
        parts.name = base::trimControl(QStringView(x).left(p));
        x = x.mid(p + 1);
    } else {
        parts.name = x;
        x.clear();
    }
    const qsizetype close = x.indexOf(QLatin1Char(')'));
    if (close >= 0)
        x.truncate(close);
    for (const QString& piece : splitAtCommas(x))
        parts.args << base::trimControl(piece);
}

// sub name(params) / function name(params): the text between the first "("
// and the next ")"; a routine without "(" or with "()" binds nothing.
void decodeParameters(const QString& s, Keyword k, LineParts& parts)
{
    const QString decl = s.mid(keywordLength(k));
    const qsizetype open = decl.indexOf(QLatin1Char('('));
    if (open < 0)
        return;
    const qsizetype close = decl.indexOf(QLatin1Char(')'), open + 1);
    const QString params = close < 0 ? decl.mid(open + 1) : decl.mid(open + 1, close - open - 1);
    if (base::trimControl(params).isEmpty())
        return;
    parts.params = params;
    parts.paramPieces = splitAtCommas(params);
}

QString withoutThen(const QString& s, int prefixLength)
{
    QString t = s;
    t.remove(QLatin1String(" then"));
    return base::trimControl(QStringView(t).mid(prefixLength));
}

}  // namespace

TScripert::LineInfo TScripert::describe(const ParsedScript& parsed, const QString& text, int n,
                                        RoutineMatcher::Scratch& scratch) const
{
    LineInfo info;
    info.s = base::trimControl(text);
    info.w = info.s.toLower();
    info.keyword = keywordOf(info.w);
    const QString& s = info.s;
    const QString num = QString::number(n);
    auto label = [&](const char* prefix) {
        return lookUp(parsed.labelIndex, parsed.labelTable, QLatin1String(prefix) + num);
    };

    if (info.w.isEmpty()) {
        info.kind = Kind::Empty;
        return info;
    }
    if (const std::optional<Kind> kind = kindBeforeCalls(info.keyword))
        info.kind = *kind;
    else if (parsed.routineCalls.isCall(info.w, scratch))
        info.kind = Kind::RoutineCall;
    else if (info.keyword == Keyword::Sub || info.keyword == Keyword::Function)
        info.kind = Kind::SubOrFunction;
    else if (info.keyword == Keyword::EndSub)
        info.kind = Kind::EndSub;
    else if (info.keyword == Keyword::EndFunction)
        info.kind = Kind::EndFunction;
    else
        info.kind = Kind::Statement;

    // Only host calls and routines have parts: most lines need none.
    std::shared_ptr<LineParts> parts;
    if (info.kind == Kind::Getsys || info.kind == Kind::Setsys || info.kind == Kind::CallSys
        || info.kind == Kind::RoutineCall || info.kind == Kind::SubOrFunction)
        parts = std::make_shared<LineParts>();
    switch (info.kind) {
    case Kind::Getsys:
    case Kind::Setsys: decodeSysCall(s, *parts); break;
    case Kind::CallSys: decodeNativeCall(s, *parts); break;
    case Kind::CallProto: {
        QString c = s.mid(10);
        const qsizetype bracket = c.indexOf(QLatin1Char(']'));
        if (bracket >= 0)
            c.truncate(bracket);
        info.expr = base::trimControl(c);
        break;
    }
    case Kind::MessageBox: info.expr = base::trimControl(QStringView(s).mid(11)); break;
    case Kind::Delay: {
        QString e = base::trimControl(QStringView(s).mid(6));
        if (e.endsWith(QLatin1Char(')'))) {
            e.chop(1);
            e = base::trimControl(e);
        }
        info.expr = e;
        break;
    }
    case Kind::Goto:
        info.target = lookUp(parsed.labelIndex, parsed.labelTable, base::trimControl(QStringView(s).mid(5)));
        break;
    case Kind::If:
        info.expr = withoutThen(s, 3);
        info.target = label("if_");
        break;
    case Kind::ElseIf:
        info.expr = withoutThen(s, 7);
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
        const qsizetype to = base::asciiLower(t).indexOf(QLatin1String(" to "));
        const QString limit = to < 0 ? QString() : base::trimControl(QStringView(t).mid(to + 4));
        info.init = to < 0 ? t : t.left(to);
        info.expr = info.var + QLatin1Char('>') + limit;
        info.target = label("for_");
        break;
    }
    case Kind::Next:
        info.target = label("next_");
        // The counter of the for line this next belongs to: steps and tests
        // never depend on how loops were left before.
        if (info.target >= 0 && info.target < n && parsed.lines[size_t(info.target)].kind == Kind::For)
            info.var = parsed.lines[size_t(info.target)].var;
        break;
    case Kind::RoutineCall:
        decodeRoutineCall(info.w, *parts);
        parts->routine = lookUp(parsed.routineIndex, parsed.routineTable, parts->name);
        break;
    case Kind::SubOrFunction:
        info.target = label(info.keyword == Keyword::Sub ? "sub_" : "func_");
        decodeParameters(s, info.keyword, *parts);
        break;
    default: break;
    }
    info.parts = std::move(parts);
    return info;
}

}  // namespace quillon::script
