// Lexer and parser: one line of text -> Program.
//
// The lexer turns the whole line into tokens first (so the parser may step
// back, which the Sub-call forms need); the parser is a recursive descent
// over VBScript's precedence levels. Every identifier is resolved here: to a
// keyword constant, an intrinsic constant, a built-in, or a slot of the
// global scope, so evaluation never compares names.
#include "script/vbs/Builtins.h"
#include "script/vbs/DateTime.h"
#include "script/vbs/Program.h"
#include "script/vbs/VbsError.h"

#include <cmath>
#include <limits>
#include <unordered_map>

namespace quillon::vbs {

std::u16string lowerKey(QStringView s)
{
    std::u16string key(static_cast<size_t>(s.size()), u'\0');
    for (qsizetype i = 0; i < s.size(); ++i) {
        char16_t c = s[i].unicode();
        key[static_cast<size_t>(i)] = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    }
    return key;
}

namespace {

constexpr int kMaxParseDepth = 200;     // nested parentheses and unary operators
constexpr int kMaxTreeDepth = 500;      // long operator chains
constexpr int kMaxIdentifier = 255;
constexpr qsizetype kMaxLineLength = 4 * 1024 * 1024;

enum class Tok : uint8_t {
    End, Colon, Ident, Literal,
    LParen, RParen, Comma, Dot,
    Plus, Minus, Star, Slash, Backslash, Caret, Amp,
    Eq, Ne, Lt, Gt, Le, Ge,
};

enum class Kw : uint8_t {
    None,
    And, Or, Not, Xor, Eqv, Imp, Mod, Is,
    Dim, ReDim, Preserve, Const, Erase, Call, Set, Let, Option, Explicit,
    On, Error, Resume, Next, GoTo, Private, Public, Rem,
    True, False, Empty, Null, Nothing, New,
    // Block statements the engine handles itself; they never reach the host.
    If, Then, Else, ElseIf, End, For, To, Each, In, Do, Loop, While, Wend, Until,
    Sub, Function, Exit, Select, Case, Class, With,
};

struct KeywordName {
    const char* text;
    Kw kw;
    bool reserved;  // cannot name a variable
};

constexpr KeywordName kKeywords[] = {
    {"and", Kw::And, true}, {"or", Kw::Or, true}, {"not", Kw::Not, true}, {"xor", Kw::Xor, true},
    {"eqv", Kw::Eqv, true}, {"imp", Kw::Imp, true}, {"mod", Kw::Mod, true}, {"is", Kw::Is, true},
    {"dim", Kw::Dim, true}, {"redim", Kw::ReDim, true}, {"preserve", Kw::Preserve, false},
    {"const", Kw::Const, true}, {"erase", Kw::Erase, true}, {"call", Kw::Call, true},
    {"set", Kw::Set, true}, {"let", Kw::Let, true}, {"option", Kw::Option, true},
    {"explicit", Kw::Explicit, false}, {"on", Kw::On, true}, {"error", Kw::Error, false},
    {"resume", Kw::Resume, true}, {"next", Kw::Next, true}, {"goto", Kw::GoTo, true},
    {"private", Kw::Private, true}, {"public", Kw::Public, true}, {"rem", Kw::Rem, true},
    {"true", Kw::True, true}, {"false", Kw::False, true}, {"empty", Kw::Empty, true},
    {"null", Kw::Null, true}, {"nothing", Kw::Nothing, true}, {"new", Kw::New, true},
    {"if", Kw::If, true}, {"then", Kw::Then, true}, {"else", Kw::Else, true},
    {"elseif", Kw::ElseIf, true}, {"end", Kw::End, true}, {"for", Kw::For, true},
    {"to", Kw::To, true}, {"each", Kw::Each, true}, {"in", Kw::In, true}, {"do", Kw::Do, true},
    {"loop", Kw::Loop, true}, {"while", Kw::While, true}, {"wend", Kw::Wend, true},
    {"until", Kw::Until, true}, {"sub", Kw::Sub, true}, {"function", Kw::Function, true},
    {"exit", Kw::Exit, true}, {"select", Kw::Select, true}, {"case", Kw::Case, true},
    {"class", Kw::Class, true}, {"with", Kw::With, true},
};

std::u16string asciiKey(const char* text)
{
    std::u16string key;
    for (; *text; ++text)
        key.push_back(static_cast<char16_t>(*text));
    return key;
}

const std::unordered_map<std::u16string, const KeywordName*>& keywordTable()
{
    static const auto table = [] {
        std::unordered_map<std::u16string, const KeywordName*> t;
        for (const KeywordName& k : kKeywords)
            t.emplace(asciiKey(k.text), &k);
        return t;
    }();
    return table;
}

// The intrinsic constants: names that read as literal values. They are
// Integers, as VBScript defines them, except the colours, vbObjectError and
// the MsgBox flags beyond 16 bits, which are Longs.
const std::unordered_map<std::u16string, Value>& intrinsicConstants()
{
    static const auto table = [] {
        std::unordered_map<std::u16string, Value> t;
        auto text = [&t](const char* name, QString value) { t.emplace(lowerKey(QString::fromLatin1(name)), Value::fromString(std::move(value))); };
        text("vbCr", QStringLiteral("\r"));
        text("vbLf", QStringLiteral("\n"));
        text("vbCrLf", QStringLiteral("\r\n"));
        text("vbNewLine", QStringLiteral("\r\n"));
        text("vbTab", QStringLiteral("\t"));
        text("vbFormFeed", QStringLiteral("\f"));
        text("vbVerticalTab", QStringLiteral("\v"));
        text("vbNullString", QString());
        text("vbNullChar", QString(QChar(0)));
        const std::pair<const char*, int16_t> integers[] = {
            {"vbOKOnly", 0}, {"vbOKCancel", 1}, {"vbAbortRetryIgnore", 2}, {"vbYesNoCancel", 3},
            {"vbYesNo", 4}, {"vbRetryCancel", 5}, {"vbCritical", 16}, {"vbQuestion", 32},
            {"vbExclamation", 48}, {"vbInformation", 64}, {"vbDefaultButton1", 0},
            {"vbDefaultButton2", 256}, {"vbDefaultButton3", 512}, {"vbDefaultButton4", 768},
            {"vbApplicationModal", 0}, {"vbSystemModal", 4096},
            {"vbOK", 1}, {"vbCancel", 2}, {"vbAbort", 3}, {"vbRetry", 4}, {"vbIgnore", 5},
            {"vbYes", 6}, {"vbNo", 7},
            {"vbBinaryCompare", 0}, {"vbTextCompare", 1}, {"vbDatabaseCompare", 2},
            {"vbEmpty", 0}, {"vbNull", 1}, {"vbInteger", 2}, {"vbLong", 3}, {"vbSingle", 4},
            {"vbDouble", 5}, {"vbCurrency", 6}, {"vbDate", 7}, {"vbString", 8}, {"vbObject", 9},
            {"vbError", 10}, {"vbBoolean", 11}, {"vbVariant", 12}, {"vbDataObject", 13},
            {"vbDecimal", 14}, {"vbByte", 17}, {"vbArray", 8192},
            {"vbUseSystemDayOfWeek", 0}, {"vbSunday", 1}, {"vbMonday", 2}, {"vbTuesday", 3},
            {"vbWednesday", 4}, {"vbThursday", 5}, {"vbFriday", 6}, {"vbSaturday", 7},
            {"vbUseSystem", 0}, {"vbFirstJan1", 1}, {"vbFirstFourDays", 2}, {"vbFirstFullWeek", 3},
            {"vbGeneralDate", 0}, {"vbLongDate", 1}, {"vbShortDate", 2}, {"vbLongTime", 3},
            {"vbShortTime", 4}, {"vbUseDefault", -2}, {"vbTrue", -1}, {"vbFalse", 0},
        };
        for (const auto& [name, value] : integers)
            t.emplace(lowerKey(QString::fromLatin1(name)), Value::fromInteger(value));
        const std::pair<const char*, int32_t> longs[] = {
            {"vbMsgBoxHelpButton", 16384}, {"vbMsgBoxSetForeground", 65536}, {"vbMsgBoxRight", 524288},
            {"vbMsgBoxRtlReading", 1048576},
            {"vbBlack", 0}, {"vbRed", 255}, {"vbGreen", 65280}, {"vbYellow", 65535},
            {"vbBlue", 16711680}, {"vbMagenta", 16711935}, {"vbCyan", 16776960},
            {"vbWhite", 16777215}, {"vbObjectError", -2147221504},
        };
        for (const auto& [name, value] : longs)
            t.emplace(lowerKey(QString::fromLatin1(name)), Value::fromLong(value));
        return t;
    }();
    return table;
}

struct Token {
    Tok kind = Tok::End;
    Kw kw = Kw::None;
    int32_t pos = 0;
    int32_t end = 0;
    int32_t constant = -1;  // Literal: index into Program::constants
};

class Lexer {
public:
    Lexer(QStringView text, Program& program) : m_text(text), m_program(program) {}

    std::vector<Token> run()
    {
        std::vector<Token> tokens;
        bool statementStart = true;
        qsizetype i = 0;
        const qsizetype n = m_text.size();
        while (true) {
            while (i < n && isBlank(m_text[i]))
                ++i;
            if (i >= n || m_text[i] == QLatin1Char('\''))
                break;
            Token t;
            t.pos = static_cast<int32_t>(i);
            char16_t c = m_text[i].unicode();
            if (isLetter(c)) {
                i = identifier(i, t);
                if (t.kw == Kw::Rem && statementStart)
                    break;
            } else if (c == u'[') {
                i = bracketIdentifier(i, t);
            } else if (isDigit(c) || (c == u'.' && i + 1 < n && isDigit(m_text[i + 1].unicode()))) {
                i = decimalNumber(i, t);
            } else if (c == u'&' && i + 1 < n && (m_text[i + 1] == QLatin1Char('h') || m_text[i + 1] == QLatin1Char('H')
                                                  || m_text[i + 1] == QLatin1Char('o') || m_text[i + 1] == QLatin1Char('O'))) {
                i = radixNumber(i, t);
            } else if (c == u'"') {
                i = stringLiteral(i, t);
            } else if (c == u'#') {
                i = dateLiteral(i, t);
            } else {
                i = punctuation(i, t);
            }
            t.end = static_cast<int32_t>(i);
            statementStart = t.kind == Tok::Colon;
            tokens.push_back(t);
        }
        Token end;
        end.kind = Tok::End;
        end.pos = end.end = static_cast<int32_t>(i < n ? i : n);
        tokens.push_back(end);
        return tokens;
    }

private:
    // Letters beyond ASCII are accepted too: users name variables in their own script.
    static bool isLetter(char16_t c)
    {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= 0x80 && QChar(c).isLetter());
    }
    static bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
    static bool isBlank(QChar c)
    {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v') || c == QLatin1Char('\f')
            || c.unicode() == 0xA0 || c.unicode() == 0x3000 || c.unicode() == 0xFEFF;
    }

    int32_t addConstant(Value v)
    {
        m_program.constants.push_back(std::move(v));
        return static_cast<int32_t>(m_program.constants.size() - 1);
    }

    qsizetype identifier(qsizetype i, Token& t)
    {
        qsizetype start = i;
        while (i < m_text.size() && (isLetter(m_text[i].unicode()) || isDigit(m_text[i].unicode()) || m_text[i] == QLatin1Char('_')))
            ++i;
        if (i - start > kMaxIdentifier)
            throw VbsError(1030, static_cast<int>(start));
        t.kind = Tok::Ident;
        if (i - start <= 8) {
            auto it = keywordTable().find(lowerKey(m_text.mid(start, i - start)));
            if (it != keywordTable().end())
                t.kw = it->second->kw;
        }
        return i;
    }

    qsizetype bracketIdentifier(qsizetype i, Token& t)
    {
        qsizetype close = m_text.indexOf(QLatin1Char(']'), i + 1);
        if (close < 0)
            throw VbsError(1007, static_cast<int>(m_text.size()));
        if (close - i - 1 > kMaxIdentifier)
            throw VbsError(1030, static_cast<int>(i));
        t.kind = Tok::Ident;
        t.kw = Kw::None;
        return close + 1;
    }

    qsizetype decimalNumber(qsizetype i, Token& t)
    {
        const qsizetype start = i, n = m_text.size();
        bool isFloat = false;
        while (i < n && isDigit(m_text[i].unicode()))
            ++i;
        if (i < n && m_text[i] == QLatin1Char('.')) {
            isFloat = true;
            ++i;
            while (i < n && isDigit(m_text[i].unicode()))
                ++i;
        }
        if (i < n && (m_text[i] == QLatin1Char('e') || m_text[i] == QLatin1Char('E'))) {
            qsizetype e = i + 1;
            if (e < n && (m_text[e] == QLatin1Char('+') || m_text[e] == QLatin1Char('-')))
                ++e;
            if (e < n && isDigit(m_text[e].unicode())) {
                isFloat = true;
                i = e;
                while (i < n && isDigit(m_text[i].unicode()))
                    ++i;
            } else {
                throw VbsError(1031, static_cast<int>(start));
            }
        }
        std::string ascii;
        for (qsizetype k = start; k < i; ++k)
            ascii.push_back(static_cast<char>(m_text[k].unicode()));
        double d = std::strtod(ascii.c_str(), nullptr);
        if (std::isinf(d))
            throw VbsError(1031, static_cast<int>(start));
        t.kind = Tok::Literal;
        if (!isFloat && d <= 2147483647.0)
            t.constant = addConstant(Value::fromWideInteger(static_cast<int64_t>(d)));
        else
            t.constant = addConstant(Value::fromDouble(d));
        return i;
    }

    // &Hffff, &O777, with an optional trailing &. Without the & a value of
    // four hex digits wraps to 16 bits (&HFFFF is -1); either way the literal
    // is an Integer when its value fits one, as &h10& does, and a Long otherwise.
    qsizetype radixNumber(qsizetype i, Token& t)
    {
        const qsizetype start = i, n = m_text.size();
        const bool hex = m_text[i + 1].toUpper() == QLatin1Char('H');
        i += 2;
        uint64_t value = 0;
        int digits = 0;
        while (i < n) {
            char16_t c = m_text[i].unicode();
            int d = isDigit(c) ? c - u'0'
                  : (hex && c >= u'a' && c <= u'f') ? c - u'a' + 10
                  : (hex && c >= u'A' && c <= u'F') ? c - u'A' + 10
                  : -1;
            if (d < 0 || d >= (hex ? 16 : 8))
                break;
            value = value * (hex ? 16 : 8) + static_cast<uint64_t>(d);
            if (value > 0xFFFFFFFFull)
                throw VbsError(1031, static_cast<int>(start));
            ++digits;
            ++i;
        }
        if (digits == 0)
            throw VbsError(1031, static_cast<int>(start));
        bool forceLong = i < n && m_text[i] == QLatin1Char('&');
        if (forceLong)
            ++i;
        t.kind = Tok::Literal;
        const int32_t literal = !forceLong && value <= 0xFFFF ? static_cast<int16_t>(static_cast<uint16_t>(value))
                                                              : static_cast<int32_t>(static_cast<uint32_t>(value));
        t.constant = addConstant(Value::fromWideInteger(literal));
        return i;
    }

    qsizetype stringLiteral(qsizetype i, Token& t)
    {
        const qsizetype start = i, n = m_text.size();
        QString s;
        ++i;
        while (true) {
            qsizetype q = m_text.indexOf(QLatin1Char('"'), i);
            if (q < 0)
                throw VbsError(1033, static_cast<int>(start));
            s += m_text.mid(i, q - i);
            if (q + 1 < n && m_text[q + 1] == QLatin1Char('"')) {
                s += QLatin1Char('"');
                i = q + 2;
            } else {
                i = q + 1;
                break;
            }
        }
        t.kind = Tok::Literal;
        t.constant = addConstant(Value::fromString(std::move(s)));
        return i;
    }

    qsizetype dateLiteral(qsizetype i, Token& t)
    {
        qsizetype close = m_text.indexOf(QLatin1Char('#'), i + 1);
        if (close < 0)
            throw VbsError(1002, static_cast<int>(i));
        auto serial = parseDateText(m_text.mid(i + 1, close - i - 1).toString());
        if (!serial)
            throw VbsError(1002, static_cast<int>(i));
        t.kind = Tok::Literal;
        t.constant = addConstant(Value::fromDate(*serial));
        return close + 1;
    }

    qsizetype punctuation(qsizetype i, Token& t)
    {
        char16_t c = m_text[i].unicode();
        char16_t next = i + 1 < m_text.size() ? m_text[i + 1].unicode() : 0;
        switch (c) {
        case u':': case u'\r': case u'\n': t.kind = Tok::Colon; break;
        case u'(': t.kind = Tok::LParen; break;
        case u')': t.kind = Tok::RParen; break;
        case u',': t.kind = Tok::Comma; break;
        case u'.': t.kind = Tok::Dot; break;
        case u'+': t.kind = Tok::Plus; break;
        case u'-': t.kind = Tok::Minus; break;
        case u'*': t.kind = Tok::Star; break;
        case u'/': t.kind = Tok::Slash; break;
        case u'\\': t.kind = Tok::Backslash; break;
        case u'^': t.kind = Tok::Caret; break;
        case u'&': t.kind = Tok::Amp; break;
        // The comparisons may also be written =>, =< and ><.
        case u'=':
            if (next == u'>') { t.kind = Tok::Ge; return i + 2; }
            if (next == u'<') { t.kind = Tok::Le; return i + 2; }
            t.kind = Tok::Eq;
            break;
        case u'<':
            if (next == u'>') { t.kind = Tok::Ne; return i + 2; }
            if (next == u'=') { t.kind = Tok::Le; return i + 2; }
            t.kind = Tok::Lt;
            break;
        case u'>':
            if (next == u'=') { t.kind = Tok::Ge; return i + 2; }
            if (next == u'<') { t.kind = Tok::Ne; return i + 2; }
            t.kind = Tok::Gt;
            break;
        default: throw VbsError(1032, static_cast<int>(i));
        }
        return i + 1;
    }

    QStringView m_text;
    Program& m_program;
};

class Parser {
public:
    Parser(QStringView text, Program& program, SlotResolver& resolver)
        : m_text(text), m_p(program), m_slots(resolver)
    {
    }

    void parseExpressionLine()
    {
        m_tokens = Lexer(m_text, m_p).run();
        m_p.root = expression();
        if (tok().kind != Tok::End)
            throw VbsError(1025, tok().pos);
    }

    // line := [statement] { ":" [statement] }
    void parseStatementLine()
    {
        m_tokens = Lexer(m_text, m_p).run();
        while (true) {
            if (tok().kind != Tok::Colon && tok().kind != Tok::End)
                statement();
            if (tok().kind == Tok::Colon) {
                ++m_pos;
                continue;
            }
            if (tok().kind != Tok::End)
                throw VbsError(1025, tok().pos);
            break;
        }
    }

private:
    const Token& tok() const { return m_tokens[m_pos]; }
    const Token& peek(size_t ahead = 1) const
    {
        return m_tokens[std::min(m_pos + ahead, m_tokens.size() - 1)];
    }
    bool atStatementEnd() const { return tok().kind == Tok::End || tok().kind == Tok::Colon; }
    QStringView tokenText(const Token& t) const
    {
        QStringView s = m_text.mid(t.pos, t.end - t.pos);
        if (s.startsWith(QLatin1Char('[')))
            s = s.mid(1, s.size() - 2);
        return s;
    }
    bool isKeyword(Kw kw) const { return tok().kind == Tok::Ident && tok().kw == kw; }

    void expect(Tok kind, int number)
    {
        if (tok().kind != kind)
            throw VbsError(number, tok().pos);
        ++m_pos;
    }

    int32_t addName(QStringView name)
    {
        m_p.names.push_back(name.toString());
        return static_cast<int32_t>(m_p.names.size() - 1);
    }

    int32_t slotOf(const Token& t)
    {
        int32_t slot = m_slots.slotFor(tokenText(t));
        if (slot < 0)
            throw VbsError(1001, t.pos);
        return slot;
    }

    int32_t addNode(Node node)
    {
        m_p.nodes.push_back(node);
        int32_t index = static_cast<int32_t>(m_p.nodes.size() - 1);
        m_depths.push_back(static_cast<int16_t>(1 + std::max(depthOf(node.a, node.kind), depthOf(node.b, node.kind))));
        if (m_depths.back() > kMaxTreeDepth)
            throw VbsError(28, node.column);
        return index;
    }

    int depthOf(int32_t child, NodeKind kind) const
    {
        bool hasChildren = kind == NodeKind::Negate || kind == NodeKind::Not || kind == NodeKind::Binary
            || kind == NodeKind::Member || kind == NodeKind::Apply;
        if (!hasChildren || child < 0)
            return 0;
        return m_depths[static_cast<size_t>(child)];
    }

    int32_t constantNode(Value v, int column, bool literal, int32_t name = -1)
    {
        m_p.constants.push_back(std::move(v));
        Node n;
        n.kind = NodeKind::Constant;
        n.name = name;
        n.a = static_cast<int32_t>(m_p.constants.size() - 1);
        n.flags = literal ? kLiteral : 0;
        n.column = column;
        return addNode(n);
    }

    struct DepthGuard {
        explicit DepthGuard(Parser& p) : parser(p)
        {
            if (++parser.m_depth > kMaxParseDepth)
                throw VbsError(28, parser.tok().pos);
        }
        ~DepthGuard() { --parser.m_depth; }
        Parser& parser;
    };

    // An operator without its operand ("x = 1 +", "Not" at the end of the
    // line) is a syntax error, 1002; an expression missing where no operator
    // asked for one stays 1023, "Expected expression".
    void requireOperand() const
    {
        if (!startsOperand(tok()))
            throw VbsError(1002, tok().pos);
    }

    static bool startsOperand(const Token& t)
    {
        switch (t.kind) {
        case Tok::Literal:
        case Tok::LParen:
        case Tok::Minus:
        case Tok::Plus: return true;
        case Tok::Ident:
            switch (t.kw) {
            case Kw::None: case Kw::Preserve: case Kw::Explicit: case Kw::Error:
            case Kw::True: case Kw::False: case Kw::Empty: case Kw::Null: case Kw::Nothing: case Kw::Not:
                return true;
            default: return false;
            }
        default: return false;
        }
    }

    int32_t binary(BinaryOp op, int32_t left, int32_t right, int column)
    {
        Node n;
        n.kind = NodeKind::Binary;
        n.op = op;
        n.a = left;
        n.b = right;
        n.column = column;
        return addNode(n);
    }

    // expression := imp
    int32_t expression()
    {
        DepthGuard guard(*this);
        return impExpr();
    }

    // Levels from the loosest: Imp, Eqv, Xor, Or, And, Not, comparison, &, + -, Mod, \, * /, unary -, ^.
    int32_t impExpr() { return keywordChain(Kw::Imp, BinaryOp::Imp, &Parser::eqvExpr); }
    int32_t eqvExpr() { return keywordChain(Kw::Eqv, BinaryOp::Eqv, &Parser::xorExpr); }
    int32_t xorExpr() { return keywordChain(Kw::Xor, BinaryOp::Xor, &Parser::orExpr); }
    int32_t orExpr() { return keywordChain(Kw::Or, BinaryOp::Or, &Parser::andExpr); }
    int32_t andExpr() { return keywordChain(Kw::And, BinaryOp::And, &Parser::notExpr); }

    int32_t keywordChain(Kw kw, BinaryOp op, int32_t (Parser::*next)())
    {
        int32_t left = (this->*next)();
        while (isKeyword(kw)) {
            int column = tok().pos;
            ++m_pos;
            requireOperand();
            left = binary(op, left, (this->*next)(), column);
        }
        return left;
    }

    // not := "Not" not | comparison
    int32_t notExpr()
    {
        if (isKeyword(Kw::Not)) {
            DepthGuard guard(*this);
            Node n;
            n.kind = NodeKind::Not;
            n.column = tok().pos;
            ++m_pos;
            requireOperand();
            n.a = notExpr();
            return addNode(n);
        }
        return comparison();
    }

    // comparison := concat { ("=" | "<>" | "<" | ">" | "<=" | ">=" | "Is") concat }
    int32_t comparison()
    {
        int32_t left = concatExpr();
        while (true) {
            BinaryOp op;
            switch (tok().kind) {
            case Tok::Eq: op = BinaryOp::Eq; break;
            case Tok::Ne: op = BinaryOp::Ne; break;
            case Tok::Lt: op = BinaryOp::Lt; break;
            case Tok::Gt: op = BinaryOp::Gt; break;
            case Tok::Le: op = BinaryOp::Le; break;
            case Tok::Ge: op = BinaryOp::Ge; break;
            default:
                if (!isKeyword(Kw::Is))
                    return left;
                op = BinaryOp::Is;
                break;
            }
            int column = tok().pos;
            ++m_pos;
            requireOperand();
            left = binary(op, left, concatExpr(), column);
        }
    }

    int32_t concatExpr() { return tokenChain(Tok::Amp, BinaryOp::Concat, Tok::Amp, BinaryOp::Concat, &Parser::additive); }
    int32_t additive() { return tokenChain(Tok::Plus, BinaryOp::Add, Tok::Minus, BinaryOp::Sub, &Parser::modExpr); }
    int32_t intDivExpr() { return tokenChain(Tok::Backslash, BinaryOp::IntDiv, Tok::Backslash, BinaryOp::IntDiv, &Parser::multiplicative); }
    int32_t multiplicative() { return tokenChain(Tok::Star, BinaryOp::Mul, Tok::Slash, BinaryOp::Div, &Parser::unary); }

    int32_t modExpr() { return keywordChain(Kw::Mod, BinaryOp::Mod, &Parser::intDivExpr); }

    int32_t tokenChain(Tok t1, BinaryOp op1, Tok t2, BinaryOp op2, int32_t (Parser::*next)())
    {
        int32_t left = (this->*next)();
        while (tok().kind == t1 || tok().kind == t2) {
            BinaryOp op = tok().kind == t1 ? op1 : op2;
            int column = tok().pos;
            ++m_pos;
            requireOperand();
            left = binary(op, left, (this->*next)(), column);
        }
        return left;
    }

    // unary := ("-" | "+") unary | "Not" not | power
    int32_t unary()
    {
        if (tok().kind == Tok::Minus || tok().kind == Tok::Plus) {
            DepthGuard guard(*this);
            bool minus = tok().kind == Tok::Minus;
            int column = tok().pos;
            ++m_pos;
            requireOperand();
            int32_t operand = unary();
            return minus ? negation(operand, column) : operand;
        }
        if (isKeyword(Kw::Not))
            return notExpr();
        return power();
    }

    // A negated literal number stays a literal (so -1 keeps its typed comparisons).
    int32_t negation(int32_t operand, int column)
    {
        const Node& inner = m_p.nodes[static_cast<size_t>(operand)];
        if (inner.kind == NodeKind::Constant && (inner.flags & kLiteral)
            && m_p.constants[static_cast<size_t>(inner.a)].isNumericType()) {
            Value& v = m_p.constants[static_cast<size_t>(inner.a)];
            v = negate(v);
            return operand;
        }
        Node n;
        n.kind = NodeKind::Negate;
        n.a = operand;
        n.column = column;
        return addNode(n);
    }

    // power := postfix { "^" ["-"|"+"] postfix }   (left to right: 2^3^2 = 64)
    int32_t power()
    {
        int32_t left = postfix();
        while (tok().kind == Tok::Caret) {
            int column = tok().pos;
            ++m_pos;
            requireOperand();
            int32_t right;
            if (tok().kind == Tok::Minus || tok().kind == Tok::Plus) {
                DepthGuard guard(*this);
                bool minus = tok().kind == Tok::Minus;
                int c = tok().pos;
                ++m_pos;
                requireOperand();
                right = power();
                if (minus)
                    right = negation(right, c);
            } else {
                right = postfix();
            }
            left = binary(BinaryOp::Pow, left, right, column);
        }
        return left;
    }

    // postfix := primary { "." name [ "(" args ")" ] | "(" args ")" }
    int32_t postfix()
    {
        int32_t node = primary();
        while (true) {
            if (tok().kind == Tok::Dot) {
                node = member(node);
            } else if (tok().kind == Tok::LParen && canTakeArguments(node)) {
                int column = tok().pos;
                std::vector<int32_t> args = parenArguments();
                node = applyArguments(node, args, column);
            } else if (tok().kind == Tok::LParen && (m_p.nodes[static_cast<size_t>(node)].flags & kHasArgs)) {
                Node n;
                n.kind = NodeKind::Apply;
                n.a = node;
                n.column = tok().pos;
                node = addNode(n);
                node = applyArguments(node, parenArguments(), n.column);
            } else {
                return node;
            }
        }
    }

    bool canTakeArguments(int32_t node) const
    {
        const Node& n = m_p.nodes[static_cast<size_t>(node)];
        return (n.kind == NodeKind::Variable || n.kind == NodeKind::Builtin || n.kind == NodeKind::Member)
            && !(n.flags & kHasArgs);
    }

    int32_t member(int32_t object)
    {
        ++m_pos;  // "."
        if (tok().kind != Tok::Ident)
            throw VbsError(1010, tok().pos);
        Node n;
        n.kind = NodeKind::Member;
        n.a = object;
        n.name = addName(tokenText(tok()));
        n.column = tok().pos;
        ++m_pos;
        return addNode(n);
    }

    // "(" [arg {"," arg}] ")"; an omitted argument is Missing.
    std::vector<int32_t> parenArguments()
    {
        DepthGuard guard(*this);
        expect(Tok::LParen, 1005);
        std::vector<int32_t> args;
        if (tok().kind == Tok::RParen) {
            ++m_pos;
            return args;
        }
        while (true) {
            args.push_back(optionalArgument(Tok::RParen));
            if (tok().kind == Tok::Comma) {
                ++m_pos;
                continue;
            }
            expect(Tok::RParen, 1006);
            return args;
        }
    }

    int32_t optionalArgument(Tok closer)
    {
        if (tok().kind == Tok::Comma || tok().kind == closer || (closer == Tok::End && atStatementEnd())) {
            Node n;
            n.kind = NodeKind::Missing;
            n.column = tok().pos;
            return addNode(n);
        }
        return expression();
    }

    int32_t storeArguments(const std::vector<int32_t>& args)
    {
        int32_t first = static_cast<int32_t>(m_p.args.size());
        m_p.args.insert(m_p.args.end(), args.begin(), args.end());
        return first;
    }

    // Gives a name, built-in or member its argument list.
    int32_t applyArguments(int32_t node, const std::vector<int32_t>& args, int column)
    {
        Node n = m_p.nodes[static_cast<size_t>(node)];
        int depth = m_depths[static_cast<size_t>(node)];
        for (int32_t arg : args)
            depth = std::max(depth, 1 + m_depths[static_cast<size_t>(arg)]);
        if (depth > kMaxTreeDepth)
            throw VbsError(28, column);
        m_depths[static_cast<size_t>(node)] = static_cast<int16_t>(depth);
        n.firstArg = storeArguments(args);
        n.argCount = static_cast<int32_t>(args.size());
        if (n.kind == NodeKind::Variable)
            n.kind = NodeKind::Index;
        else if (n.kind != NodeKind::Member && n.kind != NodeKind::Builtin && n.kind != NodeKind::Apply)
            throw VbsError(1025, column);
        n.flags |= kHasArgs;
        if (n.kind == NodeKind::Builtin) {
            // A built-in call whose arguments are all there and as many as it
            // takes needs no checks when it runs.
            const BuiltinEntry& entry = BuiltinTable::standard().at(n.a);
            bool complete = n.argCount >= entry.minArgs && n.argCount <= entry.maxArgs;
            for (int32_t arg : args)
                complete = complete && m_p.nodes[static_cast<size_t>(arg)].kind != NodeKind::Missing;
            if (complete)
                n.flags |= kCompleteArgs;
        }
        m_p.nodes[static_cast<size_t>(node)] = n;
        return node;
    }

    // primary := literal | "(" expression ")" | name
    int32_t primary()
    {
        const Token t = tok();
        switch (t.kind) {
        case Tok::Literal: {
            ++m_pos;
            Node n;
            n.kind = NodeKind::Constant;
            n.a = t.constant;
            n.flags = kLiteral;
            n.column = t.pos;
            return addNode(n);
        }
        case Tok::LParen: {
            ++m_pos;
            int32_t inner = expression();
            expect(Tok::RParen, 1006);
            return inner;
        }
        case Tok::Ident: return name(t);
        default: throw VbsError(1023, t.pos);
        }
    }

    // name := keyword constant | "Err" | intrinsic constant | built-in | variable
    int32_t name(const Token& t)
    {
        const int32_t keyword = t.kw == Kw::None ? -1 : addName(tokenText(t));
        switch (t.kw) {
        case Kw::True: ++m_pos; return constantNode(Value::fromBool(true), t.pos, false, keyword);
        case Kw::False: ++m_pos; return constantNode(Value::fromBool(false), t.pos, false, keyword);
        case Kw::Empty: ++m_pos; return constantNode(Value(), t.pos, false, keyword);
        case Kw::Null: ++m_pos; return constantNode(Value::null(), t.pos, false, keyword);
        case Kw::Nothing: ++m_pos; return constantNode(Value::nothing(), t.pos, false, keyword);
        case Kw::None:
        case Kw::Preserve:
        case Kw::Explicit:
        case Kw::Error: break;
        default: throw VbsError(1023, t.pos);
        }
        ++m_pos;
        QStringView text = tokenText(t);
        std::u16string key = lowerKey(text);
        Node n;
        n.column = t.pos;
        n.name = addName(text);
        if (key == u"err") {
            n.kind = NodeKind::ErrObject;
            return addNode(n);
        }
        auto c = intrinsicConstants().find(key);
        if (c != intrinsicConstants().end())
            return constantNode(c->second, t.pos, true, n.name);
        int builtin = BuiltinTable::standard().indexOf(text);
        if (builtin >= 0) {
            n.kind = NodeKind::Builtin;
            n.a = builtin;
            return addNode(n);
        }
        n.kind = NodeKind::Variable;
        n.a = slotOf(t);
        return addNode(n);
    }

    Stmt& addStmt(StmtKind kind, int column)
    {
        Stmt s;
        s.kind = kind;
        s.column = column;
        m_p.stmts.push_back(s);
        return m_p.stmts.back();
    }

    void statement()
    {
        const Token t = tok();
        if (t.kind != Tok::Ident)
            throw VbsError(1024, t.pos);
        switch (t.kw) {
        case Kw::None:
        case Kw::Error:
        case Kw::Explicit:
        case Kw::Preserve: callOrAssignment(false); return;
        case Kw::Dim:
        case Kw::Private:
        case Kw::Public: ++m_pos; dimStatement(t.pos); return;
        case Kw::ReDim: ++m_pos; redimStatement(t.pos); return;
        case Kw::Const: ++m_pos; constStatement(t.pos); return;
        case Kw::Erase: ++m_pos; eraseStatement(t.pos); return;
        case Kw::Call: ++m_pos; callStatement(t.pos); return;
        case Kw::Set: ++m_pos; callOrAssignment(true); return;
        case Kw::Let: ++m_pos; callOrAssignment(false); return;
        case Kw::Option: ++m_pos; optionStatement(t.pos); return;
        case Kw::On: ++m_pos; onErrorStatement(t.pos); return;
        default: throw VbsError(1024, t.pos);
        }
    }

    // Dim name [ "(" [int {"," int}] ")" ] { "," ... }
    void dimStatement(int column)
    {
        declarationList(StmtKind::Dim, column, [this] {
            Decl d = declaredName();
            if (tok().kind == Tok::LParen) {
                d.array = true;
                ++m_pos;
                std::vector<int32_t> dims;
                if (tok().kind != Tok::RParen) {
                    while (true) {
                        if (tok().kind != Tok::Literal || !m_p.constants[static_cast<size_t>(tok().constant)].isIntegral())
                            throw VbsError(1026, tok().pos);
                        dims.push_back(primary());
                        if (tok().kind != Tok::Comma)
                            break;
                        ++m_pos;
                    }
                }
                expect(Tok::RParen, 1006);
                d.firstDim = storeArguments(dims);
                d.dimCount = static_cast<int32_t>(dims.size());
            }
            return d;
        });
    }

    // Adds a statement of `kind` whose declarations are `item` { "," item }.
    template <typename Item>
    void declarationList(StmtKind kind, int column, Item item)
    {
        size_t stmtIndex = m_p.stmts.size();
        addStmt(kind, column);
        declarationsOf(stmtIndex, item);
    }

    template <typename Item>
    void declarationsOf(size_t stmtIndex, Item item)
    {
        int32_t first = static_cast<int32_t>(m_p.decls.size());
        while (true) {
            m_p.decls.push_back(item());
            if (tok().kind != Tok::Comma)
                break;
            ++m_pos;
        }
        m_p.stmts[stmtIndex].firstDecl = first;
        m_p.stmts[stmtIndex].declCount = static_cast<int32_t>(m_p.decls.size()) - first;
    }

    Decl declaredName()
    {
        if (tok().kind != Tok::Ident || !(tok().kw == Kw::None || tok().kw == Kw::Error || tok().kw == Kw::Explicit || tok().kw == Kw::Preserve))
            throw VbsError(1010, tok().pos);
        QStringView text = tokenText(tok());
        std::u16string key = lowerKey(text);
        if (key == u"err" || intrinsicConstants().count(key) || BuiltinTable::standard().indexOf(text) >= 0)
            throw VbsError(1041, tok().pos);
        Decl d;
        d.slot = slotOf(tok());
        d.name = addName(text);
        ++m_pos;
        return d;
    }

    // ReDim [Preserve] name "(" expr {"," expr} ")" { "," ... }
    void redimStatement(int column)
    {
        size_t stmtIndex = m_p.stmts.size();
        addStmt(StmtKind::ReDim, column);
        if (isKeyword(Kw::Preserve)) {
            ++m_pos;
            m_p.stmts[stmtIndex].preserve = true;
        }
        declarationsOf(stmtIndex, [this] {
            Decl d = declaredName();
            if (tok().kind != Tok::LParen)
                throw VbsError(1005, tok().pos);
            std::vector<int32_t> dims = parenArguments();
            for (int32_t dim : dims) {
                if (m_p.nodes[static_cast<size_t>(dim)].kind == NodeKind::Missing)
                    throw VbsError(1023, m_p.nodes[static_cast<size_t>(dim)].column);
            }
            if (dims.empty())
                throw VbsError(1023, tok().pos);
            d.array = true;
            d.firstDim = storeArguments(dims);
            d.dimCount = static_cast<int32_t>(dims.size());
            return d;
        });
    }

    // Const name "=" literal { "," name "=" literal }
    void constStatement(int column)
    {
        declarationList(StmtKind::Const, column, [this] {
            Decl d = declaredName();
            expect(Tok::Eq, 1011);
            d.value = constantValue();
            return d;
        });
    }

    // A literal, a signed number, a keyword constant or an intrinsic constant.
    int32_t constantValue()
    {
        int column = tok().pos;
        int32_t node = unary();
        const Node& n = m_p.nodes[static_cast<size_t>(node)];
        if (n.kind != NodeKind::Constant)
            throw VbsError(1045, column);
        return node;
    }

    void eraseStatement(int column)
    {
        declarationList(StmtKind::Erase, column, [this] { return declaredName(); });
    }

    void optionStatement(int column)
    {
        if (!isKeyword(Kw::Explicit))
            throw VbsError(1002, tok().pos);
        ++m_pos;
        addStmt(StmtKind::OptionExplicit, column);
    }

    // On Error Resume Next | On Error GoTo 0
    void onErrorStatement(int column)
    {
        if (!isKeyword(Kw::Error))
            throw VbsError(1002, tok().pos);
        ++m_pos;
        if (isKeyword(Kw::Resume)) {
            ++m_pos;
            if (!isKeyword(Kw::Next))
                throw VbsError(1002, tok().pos);
            ++m_pos;
            addStmt(StmtKind::OnErrorResumeNext, column);
            return;
        }
        if (isKeyword(Kw::GoTo)) {
            ++m_pos;
            if (tok().kind == Tok::Literal) {
                const Value& v = m_p.constants[static_cast<size_t>(tok().constant)];
                if (v.isIntegral() && v.integralValue() == 0) {
                    ++m_pos;
                    addStmt(StmtKind::OnErrorGoto0, column);
                    return;
                }
            }
        }
        throw VbsError(1002, tok().pos);
    }

    // Call name [ "(" args ")" ]
    void callStatement(int column)
    {
        if (tok().kind != Tok::Ident)
            throw VbsError(1010, tok().pos);
        int32_t node = postfix();
        const Node& n = m_p.nodes[static_cast<size_t>(node)];
        if (n.kind != NodeKind::Variable && n.kind != NodeKind::Index && n.kind != NodeKind::Builtin
            && n.kind != NodeKind::Member)
            throw VbsError(1025, tok().pos);
        addStmt(StmtKind::Call, column).value = node;
    }

    // The statements that start with a name:
    //   target "=" expression            (assignment; with Set: object assignment)
    //   name                             (Sub call without arguments)
    //   name arg {"," arg}               (Sub call without parentheses)
    //   name "(" arg ")"                 (one parenthesised argument)
    //   name "(" arg "," arg ... ")"     (1044: no parentheses around Sub arguments)
    void callOrAssignment(bool isSet)
    {
        const int column = tok().pos;
        if (tok().kind != Tok::Ident)
            throw VbsError(1010, tok().pos);
        int32_t node = name(tok());
        while (true) {
            if (tok().kind == Tok::Dot) {
                node = member(node);
                continue;
            }
            if (tok().kind == Tok::LParen && canTakeArguments(node)) {
                const size_t open = m_pos;
                int parenColumn = tok().pos;
                std::vector<int32_t> args = parenArguments();
                if (!isSet && atStatementEnd()) {
                    if (args.size() >= 2)
                        throw VbsError(1044, tok().pos);
                    node = applyArguments(node, args, parenColumn);
                    addStmt(StmtKind::Call, column).value = node;
                    return;
                }
                if (tok().kind == Tok::Eq || tok().kind == Tok::Dot || tok().kind == Tok::LParen) {
                    node = applyArguments(node, args, parenColumn);
                    continue;
                }
                if (isSet)
                    throw VbsError(1011, tok().pos);
                // "f (a) + b, c": the parenthesis opened the first argument.
                m_pos = open;
                subCall(node, column);
                return;
            }
            break;
        }
        if (tok().kind == Tok::Eq) {
            ++m_pos;
            assignment(node, isSet, column);
            return;
        }
        if (isSet)
            throw VbsError(1011, tok().pos);
        subCall(node, column);
    }

    void subCall(int32_t node, int column)
    {
        std::vector<int32_t> args;
        if (!atStatementEnd()) {
            while (true) {
                args.push_back(optionalArgument(Tok::End));
                if (tok().kind != Tok::Comma)
                    break;
                ++m_pos;
            }
        }
        const Node& n = m_p.nodes[static_cast<size_t>(node)];
        if (n.kind == NodeKind::Constant || n.kind == NodeKind::ErrObject || n.argCount != 0 || (n.flags & kHasArgs))
            throw VbsError(args.empty() ? 1024 : 1025, args.empty() ? column : m_p.nodes[static_cast<size_t>(args[0])].column);
        if (!args.empty() || n.kind != NodeKind::Member)
            node = applyArguments(node, args, column);
        addStmt(StmtKind::Call, column).value = node;
    }

    void assignment(int32_t target, bool isSet, int column)
    {
        const Node t = m_p.nodes[static_cast<size_t>(target)];  // a copy: parsing the value adds nodes
        if (t.kind == NodeKind::Constant || t.kind == NodeKind::Builtin || t.kind == NodeKind::ErrObject) {
            throw VbsError::withName(501, t.name >= 0 ? m_p.names[static_cast<size_t>(t.name)] : QString(), column);
        }
        int32_t value = expression();
        StmtKind kind = isSet ? StmtKind::SetAssign : StmtKind::Assign;
        // x = x & y: appended in place instead of copying x each time.
        const Node& v = m_p.nodes[static_cast<size_t>(value)];
        if (!isSet && t.kind == NodeKind::Variable && v.kind == NodeKind::Binary && v.op == BinaryOp::Concat) {
            const Node& left = m_p.nodes[static_cast<size_t>(v.a)];
            if (left.kind == NodeKind::Variable && left.a == t.a)
                kind = StmtKind::AppendAssign;
        }
        Stmt& s = addStmt(kind, column);
        s.target = target;
        s.value = value;
    }

    QStringView m_text;
    Program& m_p;
    SlotResolver& m_slots;
    std::vector<Token> m_tokens;
    std::vector<int16_t> m_depths;
    size_t m_pos = 0;
    int m_depth = 0;
};

}  // namespace

Program parseProgram(QStringView text, bool expression, SlotResolver& resolver)
{
    Program program;
    try {
        if (text.size() > kMaxLineLength)
            throw VbsError(7, 0);
        Parser parser(text, program, resolver);
        if (expression)
            parser.parseExpressionLine();
        else
            parser.parseStatementLine();
        program.numbers = buildNumberCode(program);
    } catch (const VbsError& e) {
        program = Program();
        program.errorNumber = e.number;
        program.errorColumn = e.column < 0 ? 0 : e.column;
        program.errorDescription = e.description;
    } catch (const std::bad_alloc&) {
        program = Program();
        program.errorNumber = 7;
        program.errorDescription = errorDescription(7);
    }
    return program;
}

}  // namespace quillon::vbs
