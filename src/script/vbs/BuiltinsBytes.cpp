// The byte functions: LenB, LeftB, RightB, MidB, InStrB, AscB and ChrB see a
// string as the bytes of its UTF-16 text, two per character with the low byte
// first, and count positions in bytes. A result of an odd number of bytes
// keeps its lone last byte (Value::fromBytes), so ChrB(65) & ChrB(0) is "A".
#include "script/vbs/BuiltinSupport.h"

#include <QByteArray>

namespace quillon::vbs {

using namespace builtin;

namespace {

QByteArray bytesOf(const Value& v)
{
    return v.isString() ? v.bytes() : Value::fromString(v.toText()).bytes();
}

// A byte count: 94 for Null, 5 when negative.
int32_t byteCountArg(const Value& v)
{
    const int32_t n = longArg(v);
    if (n < 0)
        raise(kInvalidCall);
    return n;
}

Value fnLenB(BuiltinContext&, Args a)
{
    if (a[0].isNull())
        return Value::null();
    return Value::fromLong(int32_t(bytesOf(a[0]).size()));
}

Value fnLeftB(BuiltinContext&, Args a)
{
    const int32_t n = byteCountArg(a[1]);
    if (a[0].isNull())
        return Value::null();
    return Value::fromBytes(bytesOf(a[0]).left(n));
}

Value fnRightB(BuiltinContext&, Args a)
{
    const int32_t n = byteCountArg(a[1]);
    if (a[0].isNull())
        return Value::null();
    return Value::fromBytes(bytesOf(a[0]).right(n));
}

// MidB(string, start[, length]): start counts bytes from 1.
Value fnMidB(BuiltinContext&, Args a)
{
    const int32_t start = longArg(a[1]);
    if (start < 1)
        raise(kInvalidCall);
    const int32_t length = given(a, 2) ? byteCountArg(a[2]) : -1;
    if (a[0].isNull())
        return Value::null();
    const QByteArray bytes = bytesOf(a[0]);
    if (start > bytes.size())
        return Value::fromString(QString());
    return Value::fromBytes(bytes.mid(start - 1, length));
}

QByteArray foldedAscii(QByteArray bytes)
{
    for (char& c : bytes) {
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
    }
    return bytes;
}

// InStrB([start,] string1, string2[, compare]): the byte position of the
// first match at or after start; text compare ignores the case of ASCII letters.
Value fnInStrB(BuiltinContext&, Args a)
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
    QByteArray text = bytesOf(s1);
    QByteArray what = bytesOf(s2);
    if (text.isEmpty() || start > text.size() + (what.isEmpty() ? 1 : 0))
        return Value::fromLong(0);
    if (what.isEmpty())
        return Value::fromLong(start);
    if (textCompare) {
        text = foldedAscii(text);
        what = foldedAscii(what);
    }
    return Value::fromLong(int32_t(text.indexOf(what, start - 1) + 1));
}

Value fnAscB(BuiltinContext&, Args a)
{
    if (a[0].isNull())
        raise(kInvalidNull);
    const QByteArray bytes = bytesOf(a[0]);
    if (bytes.isEmpty())
        raise(kInvalidCall);
    return Value::fromInteger(int16_t(uint8_t(bytes[0])));
}

Value fnChrB(BuiltinContext&, Args a)
{
    const int32_t code = longArg(a[0]);
    if (code < 0 || code > 255)
        raise(kInvalidCall);
    return Value::fromBytes(QByteArray(1, char(code)));
}

}  // namespace

void registerByteBuiltins(BuiltinTable& table)
{
    const BuiltinEntry entries[] = {
        {QStringLiteral("LenB"), 1, 1, fnLenB},
        {QStringLiteral("LeftB"), 2, 2, fnLeftB},
        {QStringLiteral("RightB"), 2, 2, fnRightB},
        {QStringLiteral("MidB"), 2, 3, fnMidB},
        {QStringLiteral("InStrB"), 2, 4, fnInStrB},
        {QStringLiteral("AscB"), 1, 1, fnAscB},
        {QStringLiteral("ChrB"), 1, 1, fnChrB},
    };
    for (const BuiltinEntry& e : entries)
        table.add(e);
}

}  // namespace quillon::vbs
