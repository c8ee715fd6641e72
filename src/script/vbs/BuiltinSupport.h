// Small helpers shared by the built-in function groups: reading optional
// arguments, the argument coercions VBScript applies before a function runs,
// and the bound on string sizes that every built-in building text keeps to.
#pragma once

#include "script/vbs/Builtins.h"
#include "script/vbs/DateText.h"
#include "script/vbs/DateTime.h"
#include "script/vbs/Value.h"
#include "script/vbs/VbsError.h"

#include <QString>

#include <cstdint>
#include <span>

namespace quillon::vbs::builtin {

using Args = std::span<const Value>;

// The longest text a built-in builds (64M UTF-16 units): beyond it the result
// is error 14, "Out of string space", instead of exhausting memory.
inline constexpr qsizetype kMaxStringLength = qsizetype(1) << 26;

constexpr int kInvalidCall = 5;
constexpr int kOverflow = 6;
constexpr int kOutOfStringSpace = 14;
constexpr int kTypeMismatch = 13;
constexpr int kInvalidNull = 94;

[[noreturn]] inline void raise(int number) { throw VbsError(number); }

// True when argument `i` was passed.
inline bool given(Args args, size_t i) { return i < args.size(); }

// True when optional argument `i` was passed and not left out: an omitted
// argument, as in Replace(s, "a", "b", , 2), arrives as Empty, so an Empty
// optional number takes its default.
inline bool givenOptional(Args args, size_t i) { return given(args, i) && !args[i].isEmpty(); }

// Text of an argument that must not be Null (94); Empty gives "".
inline QString textArg(const Value& v)
{
    if (v.isNull())
        raise(kInvalidNull);
    return v.toText();
}

// The text of an argument without copying a string: a String's own text,
// any other value's text in `scratch`. Null gives "": test for it first.
inline const QString& textOf(const Value& v, QString& scratch)
{
    if (v.isString())
        return v.stringValue();
    scratch = v.toText();
    return scratch;
}

// A string result holding `text`. One-character Latin-1 results are shared
// strings from a table, so Mid(s, i, 1) and Chr(65) allocate nothing.
Value textValue(QStringView text);

// A whole number argument (CLng rules: banker's rounding, 6 on overflow, 94 for Null).
inline int32_t longArg(const Value& v)
{
    if (v.isNull())
        raise(kInvalidNull);
    return v.toLong();
}

// An optional whole number argument; `fallback` when absent or left out.
inline int32_t longArg(Args args, size_t i, int32_t fallback)
{
    return givenOptional(args, i) ? longArg(args[i]) : fallback;
}

// An optional Boolean argument (CBool rules); `fallback` when absent or left out.
inline bool boolArg(Args args, size_t i, bool fallback)
{
    if (!givenOptional(args, i))
        return fallback;
    if (args[i].isNull())
        raise(kInvalidNull);
    return args[i].toBool();
}

// vbBinaryCompare (0) or vbTextCompare (1); anything else is error 5.
inline bool textCompareArg(Args args, size_t i)
{
    const int32_t mode = longArg(args, i, 0);
    if (mode != 0 && mode != 1)
        raise(kInvalidCall);
    return mode == 1;
}

inline void checkLength(qint64 length)
{
    if (length > kMaxStringLength)
        raise(kOutOfStringSpace);
}

// The serial of a date argument: dates as they are, text read as an English
// date or else as a number (13 when it is neither), numbers as serials;
// anything outside 1/1/100 .. 12/31/9999 is overflow (6). Null is error 94;
// functions that pass Null through test for it first.
inline double dateArg(const Value& v)
{
    if (v.isNull())
        raise(kInvalidNull);
    const double serial = v.toDateSerial();
    if (!(serial >= kMinDateSerial && serial <= kMaxDateSerial))
        raise(kOverflow);
    return serial;
}

}  // namespace quillon::vbs::builtin
