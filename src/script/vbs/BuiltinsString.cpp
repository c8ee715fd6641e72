// String built-ins. Positions are 1-based and count UTF-16 units, as
// VBScript's wide strings do. Text comparison (vbTextCompare) folds case one
// unit at a time, so positions found in folded text are positions in the
// original.
#include "script/vbs/BuiltinSupport.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <vector>

namespace quillon::vbs {

using namespace builtin;

namespace {

// Windows-1252 (the English ANSI code page) for 0x80..0x9F; the other bytes
// are Latin-1. Asc and Chr go through it.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t charFromAnsi(int code)
{
    return code >= 0x80 && code < 0xA0 ? kCp1252High[code - 0x80] : char16_t(code);
}

// The ANSI code of a character; "?" for one the code page lacks.
int ansiFromChar(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c)
            return 0x80 + i;
    return '?';
}

QString folded(const QString& s)
{
    QString out(s.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < s.size(); ++i)
        out[i] = s[i].toCaseFolded();
    return out;
}

// Finds `what` in `text` from 0-based `from`, optionally ignoring case; -1 if absent.
qsizetype findIn(const QString& text, const QString& what, qsizetype from, bool textCompare)
{
    // One character compared as binary, the common case, is a plain scan:
    // the general search costs more to set up than a short text takes.
    if (!textCompare && what.size() == 1 && from >= 0) {
        const char16_t c = what.front().unicode();
        const char16_t* chars = reinterpret_cast<const char16_t*>(text.constData());
        for (qsizetype i = from; i < text.size(); ++i) {
            if (chars[i] == c)
                return i;
        }
        return -1;
    }
    return text.indexOf(what, from, textCompare ? Qt::CaseInsensitive : Qt::CaseSensitive);
}

Value firstChar(const Value& v, bool wide)
{
    const QString s = textArg(v);
    if (s.isEmpty())
        raise(kInvalidCall);
    const char16_t c = s[0].unicode();
    return Value::fromInteger(wide ? int16_t(c) : int16_t(ansiFromChar(c)));
}

Value fnAsc(BuiltinContext&, Args a) { return firstChar(a[0], false); }
Value fnAscW(BuiltinContext&, Args a) { return firstChar(a[0], true); }

Value fnChr(BuiltinContext&, Args a)
{
    const int32_t code = longArg(a[0]);
    if (code < 0 || code > 255)
        raise(kInvalidCall);
    const char16_t c = charFromAnsi(code);
    return textValue(QStringView(&c, 1));
}

Value fnChrW(BuiltinContext&, Args a)
{
    const int32_t code = longArg(a[0]);
    if (code < -32768 || code > 65535)
        raise(kInvalidCall);
    return Value::fromString(QString(QChar(char16_t(code & 0xFFFF))));
}

// InStr([start,] string1, string2[, compare]): three arguments mean a start.
Value fnInStr(BuiltinContext&, Args a)
{
    const bool hasStart = a.size() >= 3;
    const int32_t start = hasStart ? longArg(a[0]) : 1;
    if (start < 1)
        raise(kInvalidCall);
    const bool textCompare = textCompareArg(a, 3);
    const Value& s1 = a[hasStart ? 1 : 0];
    const Value& s2 = a[hasStart ? 2 : 1];
    if (s1.isNull() || s2.isNull())
        return Value::null();
    QString scratch1, scratch2;
    const QString& text = textOf(s1, scratch1);
    const QString& what = textOf(s2, scratch2);
    if (text.isEmpty() || start > text.size() + (what.isEmpty() ? 1 : 0))
        return Value::fromLong(0);
    if (what.isEmpty())
        return Value::fromLong(start);
    return Value::fromLong(int32_t(findIn(text, what, start - 1, textCompare) + 1));
}

// InStrRev(string1, string2[, start[, compare]]): the last match ending at or before start.
Value fnInStrRev(BuiltinContext&, Args a)
{
    int32_t start = longArg(a, 2, -1);
    if (start == 0 || start < -1)
        raise(kInvalidCall);
    const bool textCompare = textCompareArg(a, 3);
    if (a[0].isNull() || a[1].isNull())
        return Value::null();
    const QString text = a[0].toText();
    const QString what = a[1].toText();
    if (start == -1)
        start = int32_t(text.size());
    if (text.isEmpty() || start > text.size())
        return Value::fromLong(0);
    if (what.isEmpty())
        return Value::fromLong(start);
    const qsizetype from = start - what.size();
    if (from < 0)
        return Value::fromLong(0);
    const qsizetype pos = text.lastIndexOf(what, from, textCompare ? Qt::CaseInsensitive : Qt::CaseSensitive);
    return Value::fromLong(int32_t(pos + 1));
}

Value nullOr(const Value& v, QString (*fn)(const QString&))
{
    if (v.isNull())
        return Value::null();
    return Value::fromString(fn(v.toText()));
}

// Case maps one unit at a time, so the length never changes: UCase("straße")
// keeps its "ß" as VBScript does, where a full mapping would give "SS".
QString lowerOf(const QString& s)
{
    QString out(s);
    for (QChar& c : out)
        c = c.toLower();
    return out;
}

QString upperOf(const QString& s)
{
    QString out(s);
    for (QChar& c : out)
        c = c.toUpper();
    return out;
}

// The trims remove spaces only: tabs and line breaks are kept, as VBScript does.
QString ltrimOf(const QString& s)
{
    qsizetype i = 0;
    while (i < s.size() && s[i] == u' ')
        ++i;
    return s.mid(i);
}

QString rtrimOf(const QString& s)
{
    qsizetype n = s.size();
    while (n > 0 && s[n - 1] == u' ')
        --n;
    return s.left(n);
}

QString trimOf(const QString& s) { return ltrimOf(rtrimOf(s)); }

Value fnLCase(BuiltinContext&, Args a) { return nullOr(a[0], lowerOf); }
Value fnUCase(BuiltinContext&, Args a) { return nullOr(a[0], upperOf); }
Value fnLTrim(BuiltinContext&, Args a) { return nullOr(a[0], ltrimOf); }
Value fnRTrim(BuiltinContext&, Args a) { return nullOr(a[0], rtrimOf); }
Value fnTrim(BuiltinContext&, Args a) { return nullOr(a[0], trimOf); }

Value fnLen(BuiltinContext&, Args a)
{
    if (a[0].isNull())
        return Value::null();
    QString scratch;
    return Value::fromLong(int32_t(textOf(a[0], scratch).size()));
}

// Left and Right: the count is checked even when the text is Null.
int32_t countArg(const Value& v)
{
    const int32_t n = longArg(v);
    if (n < 0)
        raise(kInvalidCall);
    return n;
}

// The piece of `v`'s text from `from`, `count` units long (both in range);
// the whole text is returned shared, not copied.
Value pieceOf(const Value& v, const QString& text, qsizetype from, qsizetype count)
{
    if (from == 0 && count == text.size())
        return v.isString() ? Value::fromString(v.stringValue()) : Value::fromString(text);
    return textValue(QStringView(text).mid(from, count));
}

Value fnLeft(BuiltinContext&, Args a)
{
    const int32_t n = countArg(a[1]);
    if (a[0].isNull())
        return Value::null();
    QString scratch;
    const QString& s = textOf(a[0], scratch);
    return pieceOf(a[0], s, 0, std::min<qsizetype>(n, s.size()));
}

Value fnRight(BuiltinContext&, Args a)
{
    const int32_t n = countArg(a[1]);
    if (a[0].isNull())
        return Value::null();
    QString scratch;
    const QString& s = textOf(a[0], scratch);
    const qsizetype count = std::min<qsizetype>(n, s.size());
    return pieceOf(a[0], s, s.size() - count, count);
}

Value fnMid(BuiltinContext&, Args a)
{
    const int32_t start = longArg(a[1]);
    if (start < 1)
        raise(kInvalidCall);
    const int32_t length = given(a, 2) ? countArg(a[2]) : -1;
    if (a[0].isNull())
        return Value::null();
    QString scratch;
    const QString& s = textOf(a[0], scratch);
    if (start > s.size())
        return Value::fromString(QString());
    const qsizetype from = start - 1;
    const qsizetype rest = s.size() - from;
    return pieceOf(a[0], s, from, length < 0 ? rest : std::min<qsizetype>(length, rest));
}

// Replaces up to `count` matches of `find` (-1: all). Every match is found
// first, so an oversized result is refused before it is built.
QString replaced(const QString& text, const QString& find, const QString& with, int32_t count, bool textCompare)
{
    // Counted in one pass and built in a second: no list of positions to
    // allocate, and a text without a match comes back shared, not copied.
    qsizetype hits = 0;
    for (qsizetype pos = 0; count == -1 || hits < count; ++hits) {
        const qsizetype hit = findIn(text, find, pos, textCompare);
        if (hit < 0)
            break;
        pos = hit + find.size();
    }
    if (hits == 0)
        return text;
    const qint64 length = qint64(text.size()) + qint64(hits) * (with.size() - find.size());
    checkLength(length);
    QString out(qsizetype(length), Qt::Uninitialized);
    QChar* to = out.data();
    auto copy = [&to](const QChar* from, qsizetype n) {
        std::copy_n(from, n, to);
        to += n;
    };
    qsizetype pos = 0;
    for (qsizetype k = 0; k < hits; ++k) {
        const qsizetype hit = findIn(text, find, pos, textCompare);
        copy(text.constData() + pos, hit - pos);
        copy(with.constData(), with.size());
        pos = hit + find.size();
    }
    copy(text.constData() + pos, text.size() - pos);
    return out;
}

// Replace(expression, find, with[, start[, count[, compare]]]): the result
// begins at `start`; the text before it is dropped, as VBScript does.
Value fnReplace(BuiltinContext&, Args a)
{
    for (const Value& v : a)
        if (v.isNull())
            raise(kInvalidNull);
    QString textScratch, findScratch, withScratch;
    const QString& text = textOf(a[0], textScratch);
    const QString& find = textOf(a[1], findScratch);
    const QString& with = textOf(a[2], withScratch);
    const int32_t start = longArg(a, 3, 1);
    const int32_t count = longArg(a, 4, -1);
    if (start < 1 || count < -1)
        raise(kInvalidCall);
    const bool textCompare = textCompareArg(a, 5);
    if (start > text.size())
        return Value::fromString(QString());
    const QString rest = start == 1 ? text : text.mid(start - 1);
    if (find.isEmpty() || count == 0)
        return Value::fromString(rest);
    return Value::fromString(replaced(rest, find, with, count, textCompare));
}

Value fnSpace(BuiltinContext&, Args a)
{
    const int32_t n = countArg(a[0]);
    checkLength(n);
    return Value::fromString(QString(n, u' '));
}

// String(number, character): a number gives the character of that code
// (modulo 256), text gives its first character; Null in either gives Null.
Value fnString(BuiltinContext&, Args a)
{
    if (a[0].isNull() || a[1].isNull())
        return Value::null();
    const int32_t n = countArg(a[0]);
    QChar c;
    if (a[1].isString()) {
        const QString s = a[1].stringValue();
        if (s.isEmpty())
            raise(kInvalidCall);
        c = s[0];
    } else {
        const int32_t code = a[1].toLong();
        c = QChar(charFromAnsi(((code % 256) + 256) % 256));
    }
    checkLength(n);
    return Value::fromString(QString(n, c));
}

Value fnStrComp(BuiltinContext&, Args a)
{
    const bool textCompare = textCompareArg(a, 2);
    if (a[0].isNull() || a[1].isNull())
        return Value::null();
    QString s1 = a[0].toText();
    QString s2 = a[1].toText();
    if (textCompare) {
        s1 = folded(s1);
        s2 = folded(s2);
    }
    const int c = QString::compare(s1, s2, Qt::CaseSensitive);
    return Value::fromInteger(int16_t(c < 0 ? -1 : c > 0 ? 1 : 0));
}

Value fnStrReverse(BuiltinContext&, Args a)
{
    QString s = textArg(a[0]);
    std::reverse(s.begin(), s.end());
    return Value::fromString(s);
}

// The items of a one-dimensional array argument: 13 for anything else, 94 for Null.
const ArrayData& listArg(const Value& v)
{
    if (v.isNull())
        raise(kInvalidNull);
    if (!v.isArray() || !v.arrayValue())
        raise(kTypeMismatch);
    const ArrayData& array = *v.arrayValue();
    if (array.upper.size() != 1)
        raise(kInvalidCall);
    return array;
}

Value stringArray(const QStringList& items)
{
    auto array = ArrayData::create({int32_t(items.size()) - 1});
    for (qsizetype i = 0; i < items.size(); ++i)
        array->items[size_t(i)] = Value::fromString(items[i]);
    return Value::fromArray(std::move(array));
}

Value fnJoin(BuiltinContext&, Args a)
{
    const ArrayData& list = listArg(a[0]);
    const QString delimiter = given(a, 1) ? textArg(a[1]) : QStringLiteral(" ");
    QString out;
    for (size_t i = 0; i < list.items.size(); ++i) {
        const QString item = list.items[i].toText();
        checkLength(qint64(out.size()) + delimiter.size() + item.size());
        if (i > 0)
            out += delimiter;
        out += item;
    }
    return Value::fromString(out);
}

// Split(expression[, delimiter[, count[, compare]]]): with a count, the last
// item holds the rest of the text unsplit; "" gives an empty array.
Value fnSplit(BuiltinContext&, Args a)
{
    const QString text = textArg(a[0]);
    const QString delimiter = given(a, 1) ? textArg(a[1]) : QStringLiteral(" ");
    const int32_t count = longArg(a, 2, -1);
    if (count < -1)
        raise(kInvalidCall);
    const bool textCompare = textCompareArg(a, 3);
    QStringList items;
    if (text.isEmpty() || count == 0)
        return stringArray(items);
    if (delimiter.isEmpty())
        return stringArray({text});
    qsizetype pos = 0;
    while (count == -1 || items.size() < count - 1) {
        const qsizetype hit = findIn(text, delimiter, pos, textCompare);
        if (hit < 0)
            break;
        items.push_back(text.mid(pos, hit - pos));
        pos = hit + delimiter.size();
    }
    items.push_back(text.mid(pos));
    return stringArray(items);
}

// Filter(list, value[, include[, compare]]): the items that contain `value`
// (or, with include False, that do not).
Value fnFilter(BuiltinContext&, Args a)
{
    const ArrayData& list = listArg(a[0]);
    const QString value = textArg(a[1]);
    const bool include = boolArg(a, 2, true);
    const bool textCompare = textCompareArg(a, 3);
    QStringList kept;
    for (const Value& item : list.items) {
        const QString s = item.toText();
        if ((findIn(s, value, 0, textCompare) >= 0) == include)
            kept.push_back(s);
    }
    return stringArray(kept);
}

}  // namespace

Value builtin::textValue(QStringView text)
{
    static const std::array<QString, 256> kSingles = [] {
        std::array<QString, 256> t;
        for (size_t c = 0; c < t.size(); ++c)
            t[c] = QString(QChar(char16_t(c)));
        return t;
    }();
    if (text.size() == 1 && text[0].unicode() < kSingles.size())
        return Value::fromString(kSingles[text[0].unicode()]);
    return Value::fromString(text.toString());
}

void registerStringBuiltins(BuiltinTable& table)
{
    const BuiltinEntry entries[] = {
        {QStringLiteral("Asc"), 1, 1, fnAsc},
        {QStringLiteral("AscW"), 1, 1, fnAscW},
        {QStringLiteral("Chr"), 1, 1, fnChr},
        {QStringLiteral("ChrW"), 1, 1, fnChrW},
        {QStringLiteral("InStr"), 2, 4, fnInStr},
        {QStringLiteral("InStrRev"), 2, 4, fnInStrRev},
        {QStringLiteral("LCase"), 1, 1, fnLCase},
        {QStringLiteral("UCase"), 1, 1, fnUCase},
        {QStringLiteral("LTrim"), 1, 1, fnLTrim},
        {QStringLiteral("RTrim"), 1, 1, fnRTrim},
        {QStringLiteral("Trim"), 1, 1, fnTrim},
        {QStringLiteral("Len"), 1, 1, fnLen},
        {QStringLiteral("Left"), 2, 2, fnLeft},
        {QStringLiteral("Right"), 2, 2, fnRight},
        {QStringLiteral("Mid"), 2, 3, fnMid},
        {QStringLiteral("Replace"), 3, 6, fnReplace},
        {QStringLiteral("Space"), 1, 1, fnSpace},
        {QStringLiteral("String"), 2, 2, fnString},
        {QStringLiteral("StrComp"), 2, 3, fnStrComp},
        {QStringLiteral("StrReverse"), 1, 1, fnStrReverse},
        {QStringLiteral("Join"), 1, 2, fnJoin},
        {QStringLiteral("Split"), 1, 4, fnSplit},
        {QStringLiteral("Filter"), 2, 4, fnFilter},
    };
    for (const BuiltinEntry& e : entries)
        table.add(e);
}

}  // namespace quillon::vbs
