// Formatting built-ins with the English (United States) conventions, never
// the system locale: "1,234.50", "$1,234.50" ("($1,234.50)" when negative),
// "12.50%", dates m/d/yyyy. Escape and Unescape use the %XX / %uXXXX forms.
#include "script/vbs/BuiltinSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillon::vbs {

using namespace builtin;

namespace {

// A Tristate argument: -2 (vbUseDefault) or absent gives `fallback`,
// 0 is False, anything else True.
bool tristateArg(Args a, size_t i, bool fallback)
{
    const int32_t v = longArg(a, i, -2);
    return v == -2 ? fallback : v != 0;
}

struct NumberStyle {
    int digits = 2;
    bool leadingDigit = true;
    bool parentheses = false;
    bool grouping = true;
    QString prefix;   // "$" for currency, inside the sign or parentheses
    QString suffix;   // "%" for percentages
};

// `value` (>= 0) as a string of decimal digits scaled by 10^digits, rounded
// half away from zero after reading the Double to 15 significant digits, so
// 1.005 formats as 1.01 as the number was written.
QString scaledDigits(double value, int digits)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    QString mantissa;
    for (int i = 0; i < 16; ++i)
        if (buf[i] != '.')
            mantissa += QLatin1Char(buf[i]);
    const int exponent = std::atoi(buf + 17);
    const int wanted = exponent + 1 + digits;  // digits of the scaled integer
    if (wanted < 0 || (wanted == 0 && mantissa[0] < u'5'))
        return QStringLiteral("0");
    if (wanted == 0)
        return QStringLiteral("1");
    QString out = mantissa.left(wanted);
    if (out.size() < wanted)
        out += QString(wanted - out.size(), u'0');
    if (wanted < mantissa.size() && mantissa[wanted] >= u'5') {
        qsizetype i = out.size() - 1;
        while (i >= 0 && out[i] == u'9')
            out[i--] = u'0';
        if (i < 0)
            out.prepend(u'1');
        else
            out[i] = QChar(out[i].unicode() + 1);
    }
    return out;
}

QString grouped(const QString& digits)
{
    QString out;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += u',';
        out += digits[i];
    }
    return out;
}

QString formatWithStyle(double value, const NumberStyle& style)
{
    if (!std::isfinite(value))
        raise(kOverflow);
    const QString scaled = scaledDigits(std::fabs(value), style.digits);
    QString integerPart = scaled.size() > style.digits ? scaled.left(scaled.size() - style.digits) : QString();
    QString fraction = scaled.right(style.digits);
    if (fraction.size() < style.digits)
        fraction.prepend(QString(style.digits - fraction.size(), u'0'));
    const bool zero = std::all_of(scaled.begin(), scaled.end(), [](QChar c) { return c == u'0'; });
    if (integerPart.isEmpty())
        integerPart = QStringLiteral("0");
    QString body = integerPart == QLatin1String("0") && !style.leadingDigit
                       ? QString()
                       : (style.grouping ? grouped(integerPart) : integerPart);
    if (style.digits > 0)
        body += u'.' + fraction;
    body = style.prefix + body + style.suffix;
    if (value >= 0 || zero)
        return body;
    return style.parentheses ? u'(' + body + u')' : u'-' + body;
}

// The shared arguments of FormatNumber, FormatCurrency and FormatPercent:
// (expression[, digits[, leading digit[, parentheses[, grouping]]]]).
// A Null value to format is a type mismatch (13); Null in any other argument
// is an invalid use of Null (94).
Value formatNumeric(Args a, double scale, NumberStyle style)
{
    if (a[0].isNull())
        raise(kTypeMismatch);
    const double value = a[0].toNumber().toDouble() * scale;
    const int32_t digits = longArg(a, 1, -1);
    if (digits < -1 || digits > 255)
        raise(kInvalidCall);
    if (digits >= 0)
        style.digits = digits;
    style.leadingDigit = tristateArg(a, 2, style.leadingDigit);
    style.parentheses = tristateArg(a, 3, style.parentheses);
    style.grouping = tristateArg(a, 4, style.grouping);
    const QString text = formatWithStyle(value, style);
    checkLength(text.size());
    return Value::fromString(text);
}

Value fnFormatNumber(BuiltinContext&, Args a) { return formatNumeric(a, 1.0, NumberStyle{}); }

Value fnFormatCurrency(BuiltinContext&, Args a)
{
    NumberStyle style;
    style.prefix = QStringLiteral("$");
    style.parentheses = true;  // the United States shows negative amounts in parentheses
    return formatNumeric(a, 1.0, style);
}

Value fnFormatPercent(BuiltinContext&, Args a)
{
    NumberStyle style;
    style.suffix = QStringLiteral("%");
    return formatNumeric(a, 100.0, style);
}

// FormatDateTime(date[, format]): 0 general (as CStr), 1 long date
// "Tuesday, December 8, 2026", 2 short date "12/8/2026", 3 long time
// "3:04:05 PM", 4 short time "15:04".
Value fnFormatDateTime(BuiltinContext&, Args a)
{
    const int32_t format = longArg(a, 1, 0);
    if (format < 0 || format > 4)
        raise(kInvalidCall);
    if (a[0].isNull())
        raise(kTypeMismatch);
    const double serial = dateArg(a[0]);
    const DateParts p = dateParts(serial);
    switch (format) {
    case 1:
        return Value::fromString(QStringLiteral("%1, %2 %3, %4")
                                     .arg(englishWeekdayName(p.weekday, false), englishMonthName(p.month, false))
                                     .arg(p.day)
                                     .arg(p.year));
    case 2: return Value::fromString(formatShortDate(p));
    case 3: return Value::fromString(formatLongTime(p));
    case 4:
        return Value::fromString(QStringLiteral("%1:%2")
                                     .arg(p.hour, 2, 10, QLatin1Char('0'))
                                     .arg(p.minute, 2, 10, QLatin1Char('0')));
    default: return Value::fromString(formatDateDefault(serial));
    }
}

bool keptByEscape(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')
           || QStringView(u"@*_+-./").contains(QChar(c));
}

// Escape and Unescape need text: Null is error 94.
Value fnEscape(BuiltinContext&, Args a)
{
    const QString s = textArg(a[0]);
    checkLength(qint64(s.size()) * 6);
    QString out;
    out.reserve(s.size());
    for (QChar ch : s) {
        const char16_t c = ch.unicode();
        if (keptByEscape(c))
            out += ch;
        else if (c < 0x100)
            out += u'%' + QStringLiteral("%1").arg(int(c), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += QStringLiteral("%u") + QStringLiteral("%1").arg(int(c), 4, 16, QLatin1Char('0')).toUpper();
    }
    return Value::fromString(out);
}

int hexDigit(QChar ch)
{
    const char16_t c = ch.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// The value of `count` hex digits at `s[at]`, or -1 when they are not all hex.
int hexAt(const QString& s, qsizetype at, int count)
{
    if (at + count > s.size())
        return -1;
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const int d = hexDigit(s[at + i]);
        if (d < 0)
            return -1;
        v = v * 16 + d;
    }
    return v;
}

// Unescape turns %XX and %uXXXX back into characters; a "%" not followed by
// such digits stays as it is.
Value fnUnescape(BuiltinContext&, Args a)
{
    const QString s = textArg(a[0]);
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'%') {
            if (i + 1 < s.size() && s[i + 1] == u'u') {
                const int v = hexAt(s, i + 2, 4);
                if (v >= 0) {
                    out += QChar(char16_t(v));
                    i += 5;
                    continue;
                }
            }
            const int v = hexAt(s, i + 1, 2);
            if (v >= 0) {
                out += QChar(char16_t(v));
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return Value::fromString(out);
}

}  // namespace

void registerFormatBuiltins(BuiltinTable& table)
{
    const BuiltinEntry entries[] = {
        {QStringLiteral("FormatNumber"), 1, 5, fnFormatNumber},
        {QStringLiteral("FormatCurrency"), 1, 5, fnFormatCurrency},
        {QStringLiteral("FormatPercent"), 1, 5, fnFormatPercent},
        {QStringLiteral("FormatDateTime"), 1, 2, fnFormatDateTime},
        {QStringLiteral("Escape"), 1, 1, fnEscape},
        {QStringLiteral("Unescape"), 1, 1, fnUnescape},
    };
    for (const BuiltinEntry& e : entries)
        table.add(e);
}

}  // namespace quillon::vbs
