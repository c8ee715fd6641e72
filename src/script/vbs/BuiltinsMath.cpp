// Math built-ins. Functions that keep their argument's subtype (Abs, Int,
// Fix, Round) do so as VBScript does: Integer stays Integer, Currency stays
// Currency, text becomes Double. Rnd and Randomize reproduce VBScript's
// 24-bit generator, so a seeded sequence (Rnd(-1) then Randomize n) gives
// the same numbers users know from it.
#include "script/vbs/BuiltinSupport.h"

#include <QTime>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace quillon::vbs {

using namespace builtin;

namespace {

using Type = Value::Type;

// An Integer or Long result, widened when it leaves its type (Abs(-32768)).
Value integralResult(Type type, int64_t n)
{
    if (type == Type::Integer && n >= -32768 && n <= 32767)
        return Value::fromInteger(int16_t(n));
    if (type == Type::Byte && n >= 0 && n <= 255)
        return Value::fromByte(uint8_t(n));
    if (n >= INT32_MIN && n <= INT32_MAX)
        return Value::fromLong(int32_t(n));
    return Value::fromDouble(double(n));
}

// The value a numeric function works on: Empty -> Integer 0, Boolean ->
// Integer, numeric text -> Double, 13 for anything else.
Value numberArg(const Value& v)
{
    return v.toNumber();
}

// Applies `op` keeping the subtype: integral types unchanged in kind, Single
// stays Single, Currency stays Currency (on its scaled amount), the rest Double.
template <typename IntOp, typename FloatOp>
Value keepType(const Value& arg, IntOp intOp, FloatOp floatOp)
{
    const Value v = numberArg(arg);
    switch (v.type()) {
    case Type::Boolean:
    case Type::Integer: return integralResult(Type::Integer, intOp(v.integralValue()));
    case Type::Byte: return integralResult(Type::Byte, intOp(v.integralValue()));
    case Type::Long: return integralResult(Type::Long, intOp(v.integralValue()));
    case Type::Single: return Value::fromSingle(float(floatOp(v.floatValue())));
    case Type::Currency: {
        const double r = floatOp(double(v.integralValue()) / 10000.0) * 10000.0;
        if (!(std::fabs(r) < 9.2233720368547758e18))
            raise(kOverflow);
        return Value::fromCurrency(int64_t(std::llround(r)));
    }
    case Type::Date: return Value::fromDate(floatOp(v.floatValue()));
    default: return Value::fromDouble(floatOp(v.toDouble()));
    }
}

int64_t identity(int64_t n) { return n; }

Value fnAbs(BuiltinContext&, Args a)
{
    if (a[0].isNull())
        return Value::null();
    const Value v = numberArg(a[0]);
    if (v.type() == Type::Date)
        return Value::fromDouble(std::fabs(v.floatValue()));
    return keepType(v, [](int64_t n) { return n < 0 ? -n : n; }, [](double d) { return std::fabs(d); });
}

Value fnInt(BuiltinContext&, Args a)
{
    if (a[0].isNull())
        return Value::null();
    return keepType(a[0], identity, [](double d) { return std::floor(d); });
}

Value fnFix(BuiltinContext&, Args a)
{
    if (a[0].isNull())
        return Value::null();
    return keepType(a[0], identity, [](double d) { return std::trunc(d); });
}

// Round(number[, digits]): half to even at the given decimal place.
Value fnRound(BuiltinContext&, Args a)
{
    const int32_t digits = longArg(a, 1, 0);
    if (digits < 0)
        raise(kInvalidCall);
    if (a[0].isNull())
        return Value::null();
    const auto roundTo = [digits](double d) {
        if (digits == 0)
            return roundHalfEven(d);
        const double factor = std::pow(10.0, digits);
        const double scaled = d * factor;
        if (!std::isfinite(scaled) || std::fabs(scaled) >= 4503599627370496.0)
            return d;  // already finer than the requested place
        return roundHalfEven(scaled) / factor;
    };
    const Value v = numberArg(a[0]);
    if (v.type() == Type::Currency && digits < 4) {
        const int64_t unit = int64_t(std::pow(10.0, 4 - digits));
        const int64_t n = v.integralValue();
        int64_t q = n / unit;
        const int64_t r = n % unit;
        const int64_t twice = 2 * (r < 0 ? -r : r);
        if (twice > unit || (twice == unit && q % 2 != 0))
            q += n < 0 ? -1 : 1;
        int64_t rounded = 0;
        if (__builtin_mul_overflow(q, unit, &rounded))
            raise(kOverflow);
        return Value::fromCurrency(rounded);
    }
    if (v.type() == Type::Currency)
        return v;
    return keepType(v, identity, roundTo);
}

Value fnSgn(BuiltinContext&, Args a)
{
    if (a[0].isNull())
        raise(kInvalidNull);
    const Value v = numberArg(a[0]);
    double d = 0;
    if (v.isIntegral() || v.type() == Type::Currency)
        d = double(v.integralValue());
    else
        d = v.toDouble();
    return Value::fromInteger(int16_t(d > 0 ? 1 : d < 0 ? -1 : 0));
}

// The floating-point functions: Null in, Null out; results that leave the
// Double range are overflow (6); arguments outside the domain are error 5.
template <double (*F)(double)>
Value floatFunction(Args a)
{
    if (a[0].isNull())
        return Value::null();
    const double r = F(numberArg(a[0]).toDouble());
    if (std::isinf(r))
        raise(kOverflow);
    if (std::isnan(r))
        raise(kInvalidCall);
    return Value::fromDouble(r);
}

double atnOf(double d) { return std::atan(d); }
double cosOf(double d) { return std::cos(d); }
double sinOf(double d) { return std::sin(d); }
double tanOf(double d) { return std::tan(d); }
double expOf(double d) { return std::exp(d); }
double logOf(double d) { return d > 0 ? std::log(d) : std::numeric_limits<double>::quiet_NaN(); }
double sqrOf(double d) { return d >= 0 ? std::sqrt(d) : std::numeric_limits<double>::quiet_NaN(); }

Value fnAtn(BuiltinContext&, Args a) { return floatFunction<atnOf>(a); }
Value fnCos(BuiltinContext&, Args a) { return floatFunction<cosOf>(a); }
Value fnSin(BuiltinContext&, Args a) { return floatFunction<sinOf>(a); }
Value fnTan(BuiltinContext&, Args a) { return floatFunction<tanOf>(a); }
Value fnExp(BuiltinContext&, Args a) { return floatFunction<expOf>(a); }
Value fnLog(BuiltinContext&, Args a) { return floatFunction<logOf>(a); }
Value fnSqr(BuiltinContext&, Args a) { return floatFunction<sqrOf>(a); }

// Hex and Oct: Integer (and Boolean) values print as 16-bit two's
// complement, everything else as a 32-bit Long: Hex(-1) is "FFFF",
// Hex(-32769) is "FFFF7FFF".
Value radixText(const Value& arg, int base)
{
    if (arg.isNull())
        return Value::null();
    uint32_t bits = 0;
    if (arg.isEmpty())
        bits = 0;
    else if (arg.type() == Type::Integer || arg.type() == Type::Boolean)
        bits = uint16_t(int16_t(arg.integralValue()));
    else if (arg.type() == Type::Byte)
        bits = uint8_t(arg.integralValue());
    else
        bits = uint32_t(longArg(arg));
    return Value::fromString(QString::number(bits, base).toUpper());
}

Value fnHex(BuiltinContext&, Args a) { return radixText(a[0], 16); }
Value fnOct(BuiltinContext&, Args a) { return radixText(a[0], 8); }

// RGB(red, green, blue): components above 255 count as 255, negative ones are error 5.
Value fnRGB(BuiltinContext&, Args a)
{
    int32_t color = 0;
    for (int i = 2; i >= 0; --i) {
        const int32_t c = longArg(a[size_t(i)]);
        if (c < 0)
            raise(kInvalidCall);
        color = color * 256 + std::min(c, 255);
    }
    return Value::fromLong(color);
}

constexpr uint32_t kRndMultiplier = 0x43FD43FD;
constexpr uint32_t kRndIncrement = 0xC39EC3;

void stepRandom(RandomState& r)
{
    r.seed = (r.seed * kRndMultiplier + kRndIncrement) & 0xFFFFFF;
}

// Rnd([n]): n < 0 restarts the sequence from n itself (the same n gives the
// same number), n = 0 repeats the last number, otherwise the next one.
Value fnRnd(BuiltinContext& ctx, Args a)
{
    double n = 1;
    if (given(a, 0)) {
        if (a[0].isNull())
            raise(kInvalidNull);
        n = numberArg(a[0]).toDouble();
    }
    if (n < 0) {
        const uint32_t bits = std::bit_cast<uint32_t>(float(n));
        ctx.random.seed = ((bits & 0xFFFFFF) + (bits >> 24)) & 0xFFFFFF;
        stepRandom(ctx.random);
    } else if (n > 0) {
        stepRandom(ctx.random);
    }
    return Value::fromSingle(float(ctx.random.seed) / 16777216.0f);
}

// Randomize [n]: mixes the high half of n's bits into the middle of the
// seed; without n the time of day (Timer) is used.
Value fnRandomize(BuiltinContext& ctx, Args a)
{
    double n = 0;
    if (given(a, 0)) {
        if (a[0].isNull())
            raise(kInvalidNull);
        n = numberArg(a[0]).toDouble();
    } else {
        n = float(QTime::currentTime().msecsSinceStartOfDay() / 1000.0);
    }
    const uint32_t high = uint32_t(std::bit_cast<uint64_t>(n) >> 32);
    const uint32_t mixed = ((high & 0xFFFF) ^ (high >> 16)) << 8;
    ctx.random.seed = (ctx.random.seed & 0xFF0000FF) | (mixed & 0xFFFF00);
    return Value();
}

}  // namespace

void registerMathBuiltins(BuiltinTable& table)
{
    const BuiltinEntry entries[] = {
        {QStringLiteral("Abs"), 1, 1, fnAbs},
        {QStringLiteral("Int"), 1, 1, fnInt},
        {QStringLiteral("Fix"), 1, 1, fnFix},
        {QStringLiteral("Round"), 1, 2, fnRound},
        {QStringLiteral("Sgn"), 1, 1, fnSgn},
        {QStringLiteral("Atn"), 1, 1, fnAtn},
        {QStringLiteral("Cos"), 1, 1, fnCos},
        {QStringLiteral("Sin"), 1, 1, fnSin},
        {QStringLiteral("Tan"), 1, 1, fnTan},
        {QStringLiteral("Exp"), 1, 1, fnExp},
        {QStringLiteral("Log"), 1, 1, fnLog},
        {QStringLiteral("Sqr"), 1, 1, fnSqr},
        {QStringLiteral("Hex"), 1, 1, fnHex},
        {QStringLiteral("Oct"), 1, 1, fnOct},
        {QStringLiteral("RGB"), 3, 3, fnRGB},
        {QStringLiteral("Rnd"), 0, 1, fnRnd, true},
        {QStringLiteral("Randomize"), 0, 1, fnRandomize},
    };
    for (const BuiltinEntry& e : entries)
        table.add(e);
}

}  // namespace quillon::vbs
