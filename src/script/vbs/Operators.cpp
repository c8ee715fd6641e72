#include "script/vbs/Operators.h"

#include "script/vbs/HostObject.h"
#include "script/vbs/VbsError.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace quillon::vbs {

namespace {

using Type = Value::Type;

// Arithmetic operand kinds, ordered so that the wider of two integral kinds
// is the larger one.
enum class Kind : uint8_t { Byte, Integer, Long, Single, Double, Currency, Date };

Kind kindOf(const Value& v)
{
    switch (v.type()) {
    case Type::Byte: return Kind::Byte;
    case Type::Empty:
    case Type::Boolean:
    case Type::Integer: return Kind::Integer;
    case Type::Long: return Kind::Long;
    case Type::Single: return Kind::Single;
    case Type::Currency: return Kind::Currency;
    case Type::Date: return Kind::Date;
    default: return Kind::Double;
    }
}

bool isIntegralKind(Kind k) { return k <= Kind::Long; }

// The value as a number ready for arithmetic (Empty/Boolean -> Integer, text -> Double).
Value numeric(const Value& v)
{
    if (v.type() >= Type::Byte && v.type() <= Type::Date)
        return v;
    return v.toNumber();
}

Value integralResult(int64_t n, Kind kind)
{
    if (kind == Kind::Byte && n >= 0 && n <= 255)
        return Value::fromByte(static_cast<uint8_t>(n));
    if (kind <= Kind::Integer && n >= std::numeric_limits<int16_t>::min() && n <= std::numeric_limits<int16_t>::max())
        return Value::fromInteger(static_cast<int16_t>(n));
    if (n >= std::numeric_limits<int32_t>::min() && n <= std::numeric_limits<int32_t>::max())
        return Value::fromLong(static_cast<int32_t>(n));
    return Value::fromDouble(static_cast<double>(n));
}

Value checkedDouble(double d)
{
    if (std::isinf(d))
        throw VbsError(6);
    if (std::isnan(d))
        throw VbsError(6);
    return Value::fromDouble(d);
}

Value currencyResult(long double scaled)
{
    scaled = std::nearbyint(scaled);
    if (!(scaled < 9223372036854775808.0L && scaled >= -9223372036854775808.0L))
        throw VbsError(6);
    return Value::fromCurrency(static_cast<int64_t>(scaled));
}

Value dateResult(double serial)
{
    if (serial < -657434.0 || serial >= 2958466.0)
        throw VbsError(6);
    return Value::fromDate(serial);
}

// +, -, * on numbers of any kinds.
Value arithmetic(BinaryOp op, const Value& a, const Value& b)
{
    Kind ka = kindOf(a), kb = kindOf(b);
    Kind k = ka > kb ? ka : kb;
    if (isIntegralKind(k)) {
        int64_t x = a.integralValue(), y = b.integralValue();
        int64_t r = op == BinaryOp::Add ? x + y : op == BinaryOp::Sub ? x - y : x * y;
        return integralResult(r, k);
    }
    double x = a.toDouble(), y = b.toDouble();
    double r = op == BinaryOp::Add ? x + y : op == BinaryOp::Sub ? x - y : x * y;
    if (k == Kind::Date) {
        if (op == BinaryOp::Mul || (op == BinaryOp::Sub && ka == Kind::Date && kb == Kind::Date))
            return checkedDouble(r);
        return dateResult(r);
    }
    if (k == Kind::Currency) {
        Kind other = ka == Kind::Currency ? kb : ka;
        if (other == Kind::Single || other == Kind::Double)
            return checkedDouble(r);
        int64_t sx = a.toCurrency(), sy = b.toCurrency();
        if (op == BinaryOp::Mul)
            return currencyResult(static_cast<long double>(sx) * static_cast<long double>(sy) / 10000.0L);
        int64_t sum = 0;
        if (op == BinaryOp::Add ? __builtin_add_overflow(sx, sy, &sum) : __builtin_sub_overflow(sx, sy, &sum))
            throw VbsError(6);
        return Value::fromCurrency(sum);
    }
    if (k == Kind::Single && ka != Kind::Long && kb != Kind::Long) {
        if (std::fabs(r) > static_cast<double>(std::numeric_limits<float>::max()))
            throw VbsError(6);
        return Value::fromSingle(static_cast<float>(r));
    }
    return checkedDouble(r);
}

Value divide(const Value& a, const Value& b)
{
    double y = b.toDouble();
    double x = a.toDouble();
    if (y == 0.0)
        throw VbsError(x == 0.0 ? 6 : 11);
    Kind ka = kindOf(a), kb = kindOf(b);
    if ((ka == Kind::Single || kb == Kind::Single) && ka <= Kind::Single && kb <= Kind::Single
        && ka != Kind::Long && kb != Kind::Long) {
        return Value::fromSingle(static_cast<float>(x / y));
    }
    return checkedDouble(x / y);
}

// \ and Mod: both operands rounded to whole numbers first.
Value integerDivision(BinaryOp op, const Value& a, const Value& b)
{
    Kind ka = kindOf(a), kb = kindOf(b);
    Kind k = (ka <= Kind::Integer && kb <= Kind::Integer) ? (ka > kb ? ka : kb) : Kind::Long;
    int64_t x = ka <= Kind::Long ? a.integralValue() : a.toLong();
    int64_t y = kb <= Kind::Long ? b.integralValue() : b.toLong();
    if (y == 0)
        throw VbsError(11);
    int64_t r = op == BinaryOp::IntDiv ? x / y : x % y;
    if (k == Kind::Long && (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max()))
        throw VbsError(6);
    return integralResult(r, k);
}

Value power(const Value& a, const Value& b)
{
    double x = a.toDouble(), y = b.toDouble();
    if (x == 0.0 && y < 0.0)
        throw VbsError(5);
    double r = std::pow(x, y);
    if (std::isnan(r))
        throw VbsError(5);
    return checkedDouble(r);
}

// The bytes of an operand of &: a string's own bytes (with a lone last byte),
// any other value's text.
QByteArray textBytes(const Value& v)
{
    return v.isString() ? v.bytes() : Value::fromString(v.toText()).bytes();
}

// Joins two strings; when either ends in a lone byte the bytes are joined,
// so ChrB(65) & ChrB(0) is the character "A".
Value joinedStrings(const Value& a, const Value& b)
{
    if (!a.hasLoneByte() && !b.hasLoneByte()) {
        // Strings are read in place and whole numbers written as digits
        // straight into the result: "abc" & i makes one string, not two.
        DecimalBuffer leftDigits, rightDigits;
        QString leftScratch, rightScratch;
        auto text = [](const Value& v, DecimalBuffer& digits, QString& scratch) -> QStringView {
            if (v.isString())
                return v.stringValue();
            if (v.type() == Type::Byte || v.type() == Type::Integer || v.type() == Type::Long)
                return decimalText(v.integralValue(), digits);
            scratch = v.toText();
            return scratch;
        };
        const QStringView left = text(a, leftDigits, leftScratch);
        const QStringView right = text(b, rightDigits, rightScratch);
        if (left.size() + right.size() > kMaxStringChars)
            throw VbsError(14);
        if (right.isEmpty() && a.isString())
            return a;
        if (left.isEmpty() && b.isString())
            return b;
        QString out(left.size() + right.size(), Qt::Uninitialized);
        std::copy_n(left.data(), left.size(), out.data());
        std::copy_n(right.data(), right.size(), out.data() + left.size());
        return Value::fromString(std::move(out));
    }
    const QByteArray left = textBytes(a);
    const QByteArray right = textBytes(b);
    if ((left.size() + right.size()) / 2 > kMaxStringChars)
        throw VbsError(14);
    return Value::fromBytes(left + right);
}

Value concat(const Value& a, const Value& b)
{
    if (a.isNull() && b.isNull())
        return Value::null();
    return joinedStrings(a, b);
}

// The operand kind of a logical operator: Empty counts as a Long 0 there
// (Empty And Empty is a Long), where arithmetic takes it as an Integer.
Kind logicalKind(const Value& v)
{
    switch (v.type()) {
    case Type::Boolean: return Kind::Integer;
    case Type::Empty: return Kind::Long;
    default: return kindOf(numeric(v));
    }
}

// And, Or, Xor, Eqv, Imp on two non-Null values.
Value logical(BinaryOp op, const Value& a, const Value& b)
{
    bool booleans = a.type() == Type::Boolean && b.type() == Type::Boolean;
    Kind ka = logicalKind(a);
    Kind kb = logicalKind(b);
    int64_t x = a.toLong(), y = b.toLong();
    int64_t r = 0;
    switch (op) {
    case BinaryOp::And: r = x & y; break;
    case BinaryOp::Or: r = x | y; break;
    case BinaryOp::Xor: r = x ^ y; break;
    case BinaryOp::Eqv: r = ~(x ^ y); break;
    default: r = (~x) | y; break;
    }
    if (booleans)
        return Value::fromBool(r != 0);
    Kind k = (ka <= Kind::Integer && kb <= Kind::Integer) ? (ka > kb ? ka : kb) : Kind::Long;
    if (k == Kind::Byte)
        return Value::fromByte(static_cast<uint8_t>(r));
    if (k == Kind::Integer)
        return Value::fromInteger(static_cast<int16_t>(r));
    return Value::fromLong(static_cast<int32_t>(r));
}

// The Null rules of the logical operators: a known operand can still decide.
Value logicalWithNull(BinaryOp op, const Value& a, const Value& b)
{
    const Value& known = a.isNull() ? b : a;
    if (known.isNull())
        return Value::null();
    switch (op) {
    case BinaryOp::And:
        // Null And False is False (of the other operand's kind).
        if (known.toLong() == 0)
            return logical(op, known, known);
        return Value::null();
    case BinaryOp::Or:
        if (known.toLong() == -1)
            return logical(op, known, known);
        return Value::null();
    case BinaryOp::Imp:
        // False Imp x and x Imp True are True; a Byte Imp Null keeps the
        // Byte's width and gives its complement.
        if (!a.isNull() && a.toLong() == 0)
            return logical(op, a, a);
        if (a.type() == Type::Byte)
            return Value::fromByte(static_cast<uint8_t>(~a.integralValue()));
        if (!b.isNull() && b.toLong() == -1)
            return logical(op, b, b);
        return Value::null();
    default: return Value::null();
    }
}

int compareNumbers(const Value& a, const Value& b)
{
    if (a.isIntegral() && b.isIntegral()) {
        int64_t x = a.integralValue(), y = b.integralValue();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    double x = a.toDouble(), y = b.toDouble();
    return x < y ? -1 : x > y ? 1 : 0;
}

int compareStrings(const QString& a, const QString& b)
{
    int c = a.compare(b, Qt::CaseSensitive);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

}  // namespace

int compareValues(const Value& a, const Value& b, bool leftLiteral, bool rightLiteral)
{
    if (a.isObject() || a.isArray())
        throw VbsError(a.notAValueError());
    if (b.isObject() || b.isArray())
        throw VbsError(b.notAValueError());
    bool as = a.isString(), bs = b.isString();
    if (as && bs)
        return compareStrings(a.stringValue(), b.stringValue());
    if (!as && !bs) {
        if (a.isEmpty() && b.isEmpty())
            return 0;
        return compareNumbers(a.isEmpty() ? Value::fromInteger(0) : a, b.isEmpty() ? Value::fromInteger(0) : b);
    }
    // One string, one non-string.
    const Value& str = as ? a : b;
    const Value& other = as ? b : a;
    bool strLiteral = as ? leftLiteral : rightLiteral;
    bool otherLiteral = as ? rightLiteral : leftLiteral;
    int r = 0;
    if (other.isEmpty()) {
        r = compareStrings(str.stringValue(), QString());
    } else if (otherLiteral) {
        // A literal number: the text is read as a number (13 when it is none).
        Value number = Value::fromDouble(str.toDouble());
        return as ? compareNumbers(number, other) : compareNumbers(other, number);
    } else if (strLiteral) {
        r = compareStrings(str.stringValue(), other.toString());
    } else {
        r = 1;  // between variables a string is greater than any number
    }
    return as ? r : -r;
}

Value binaryOp(BinaryOp op, const Value& a, const Value& b, bool leftLiteral, bool rightLiteral)
{
    switch (op) {
    case BinaryOp::Concat: return concat(a, b);
    case BinaryOp::Is:
        if (!a.isObject() || !b.isObject())
            throw VbsError(424);
        return Value::fromBool(a.objectValue() == b.objectValue());
    default: break;
    }
    if (a.isNull() || b.isNull()) {
        if (op >= BinaryOp::And)
            return logicalWithNull(op, a, b);
        if (a.isObject() || a.isArray())
            throw VbsError(a.notAValueError());
        if (b.isObject() || b.isArray())
            throw VbsError(b.notAValueError());
        return Value::null();
    }
    switch (op) {
    case BinaryOp::Add:
        if (a.isString() && b.isString())
            return joinedStrings(a, b);
        if (a.isString() && b.isEmpty())
            return a;
        if (b.isString() && a.isEmpty())
            return b;
        [[fallthrough]];
    case BinaryOp::Sub:
    case BinaryOp::Mul: return arithmetic(op, numeric(a), numeric(b));
    case BinaryOp::Div: return divide(numeric(a), numeric(b));
    case BinaryOp::IntDiv:
    case BinaryOp::Mod: return integerDivision(op, numeric(a), numeric(b));
    case BinaryOp::Pow: return power(numeric(a), numeric(b));
    case BinaryOp::Eq: return Value::fromBool(compareValues(a, b, leftLiteral, rightLiteral) == 0);
    case BinaryOp::Ne: return Value::fromBool(compareValues(a, b, leftLiteral, rightLiteral) != 0);
    case BinaryOp::Lt: return Value::fromBool(compareValues(a, b, leftLiteral, rightLiteral) < 0);
    case BinaryOp::Gt: return Value::fromBool(compareValues(a, b, leftLiteral, rightLiteral) > 0);
    case BinaryOp::Le: return Value::fromBool(compareValues(a, b, leftLiteral, rightLiteral) <= 0);
    case BinaryOp::Ge: return Value::fromBool(compareValues(a, b, leftLiteral, rightLiteral) >= 0);
    default: return logical(op, a, b);
    }
}

Value negate(const Value& operand)
{
    if (operand.isNull())
        return operand;
    Value v = numeric(operand);
    switch (v.type()) {
    case Type::Byte:
    case Type::Integer: return integralResult(-v.integralValue(), Kind::Integer);
    case Type::Long: return integralResult(-v.integralValue(), Kind::Long);
    case Type::Single: return Value::fromSingle(static_cast<float>(-v.floatValue()));
    case Type::Currency:
        if (v.integralValue() == std::numeric_limits<int64_t>::min())
            throw VbsError(6);
        return Value::fromCurrency(-v.integralValue());
    case Type::Date: return dateResult(-v.floatValue());
    default: return Value::fromDouble(-v.toDouble());
    }
}

Value logicalNot(const Value& operand)
{
    switch (operand.type()) {
    case Type::Null: return operand;
    case Type::Boolean: return Value::fromBool(!operand.boolValue());
    case Type::Empty: return Value::fromLong(-1);
    case Type::String:
        // Text that is no number may still be a truth value: Not "#FALSE#" is True.
        if (!parseNumericText(operand.stringValue())) {
            if (std::optional<bool> b = parseBooleanText(operand.stringValue()))
                return Value::fromBool(!*b);
        }
        return Value::fromLong(~operand.toLong());
    case Type::Byte: return Value::fromByte(static_cast<uint8_t>(~operand.integralValue()));
    case Type::Integer: return Value::fromInteger(static_cast<int16_t>(~operand.integralValue()));
    default: return Value::fromLong(~operand.toLong());
    }
}

}  // namespace quillon::vbs
