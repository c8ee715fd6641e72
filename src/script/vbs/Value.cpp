#include "script/vbs/Value.h"

#include "script/vbs/DateTime.h"
#include "script/vbs/HostObject.h"
#include "script/vbs/VbsError.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace quillon::vbs {

namespace {

constexpr int64_t kMaxArrayItems = 4 * 1024 * 1024;

// Currency holds +-922,337,203,685,477.5807: the scaled value is an int64.
constexpr double kCurrencyScaledLimit = 9223372036854775807.0;

bool equalsNoCase(QStringView a, const char* b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

int64_t checkedRound(double d, double low, double high)
{
    if (std::isnan(d))
        throw VbsError(6);
    double r = roundHalfEven(d);
    if (r < low || r > high)
        throw VbsError(6);
    return static_cast<int64_t>(r);
}

}  // namespace

Value Value::fromString(QString s)
{
    Value v;
    v.m_type = Type::String;
    new (&v.m_u.s) QString(std::move(s));
    return v;
}

Value Value::fromBytes(const QByteArray& bytes)
{
    const qsizetype units = bytes.size() / 2;
    QString s(units, Qt::Uninitialized);
    for (qsizetype i = 0; i < units; ++i)
        s[i] = QChar(char16_t(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8)));
    Value v = fromString(std::move(s));
    if (bytes.size() % 2)
        v.m_loneByte = uint16_t(0x100 | uint8_t(bytes.back()));
    return v;
}

QByteArray Value::bytes() const
{
    const QString& s = m_u.s;
    QByteArray out;
    out.reserve(s.size() * 2 + 1);
    for (QChar c : s) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    if (m_loneByte)
        out.append(char(m_loneByte & 0xFF));
    return out;
}

Value Value::fromObject(std::shared_ptr<HostObject> object)
{
    Value v;
    v.m_type = Type::Object;
    new (&v.m_u.o) std::shared_ptr<HostObject>(std::move(object));
    return v;
}

Value Value::fromArray(std::shared_ptr<ArrayData> array)
{
    Value v;
    v.m_type = Type::Array;
    new (&v.m_u.a) std::shared_ptr<ArrayData>(std::move(array));
    return v;
}

Value Value::fromWideInteger(int64_t n)
{
    if (n >= std::numeric_limits<int16_t>::min() && n <= std::numeric_limits<int16_t>::max())
        return scalar(Type::Integer, n);
    if (n >= std::numeric_limits<int32_t>::min() && n <= std::numeric_limits<int32_t>::max())
        return scalar(Type::Long, n);
    return fromDouble(static_cast<double>(n));
}

void Value::destroy() noexcept
{
    switch (m_type) {
    case Type::String: m_u.s.~QString(); break;
    case Type::Object: m_u.o.~shared_ptr(); break;
    case Type::Array: m_u.a.~shared_ptr(); break;
    default: break;
    }
    m_type = Type::Empty;
    m_u.i = 0;
    m_loneByte = 0;
}

void Value::copyFrom(const Value& other)
{
    switch (other.m_type) {
    case Type::String: new (&m_u.s) QString(other.m_u.s); break;
    case Type::Object: new (&m_u.o) std::shared_ptr<HostObject>(other.m_u.o); break;
    case Type::Array: new (&m_u.a) std::shared_ptr<ArrayData>(other.m_u.a); break;
    default: m_u.i = other.m_u.i; break;
    }
    m_type = other.m_type;
    m_loneByte = other.m_loneByte;
}

ArrayData& Value::mutableArray()
{
    if (m_u.a.use_count() > 1)
        m_u.a = std::make_shared<ArrayData>(*m_u.a);
    return *m_u.a;
}

int Value::varType() const
{
    switch (m_type) {
    case Type::Empty: return vbEmpty;
    case Type::Null: return vbNull;
    case Type::Boolean: return vbBoolean;
    case Type::Byte: return vbByte;
    case Type::Integer: return vbInteger;
    case Type::Long: return vbLong;
    case Type::Single: return vbSingle;
    case Type::Double: return vbDouble;
    case Type::Currency: return vbCurrency;
    case Type::Date: return vbDate;
    case Type::String: return vbString;
    case Type::Object: return vbObject;
    case Type::Array: return vbArray + vbVariant;
    }
    return vbEmpty;
}

QString Value::typeName() const
{
    switch (m_type) {
    case Type::Empty: return QStringLiteral("Empty");
    case Type::Null: return QStringLiteral("Null");
    case Type::Boolean: return QStringLiteral("Boolean");
    case Type::Byte: return QStringLiteral("Byte");
    case Type::Integer: return QStringLiteral("Integer");
    case Type::Long: return QStringLiteral("Long");
    case Type::Single: return QStringLiteral("Single");
    case Type::Double: return QStringLiteral("Double");
    case Type::Currency: return QStringLiteral("Currency");
    case Type::Date: return QStringLiteral("Date");
    case Type::String: return QStringLiteral("String");
    case Type::Object: return m_u.o ? m_u.o->typeName() : QStringLiteral("Nothing");
    case Type::Array: return QStringLiteral("Variant()");
    }
    return QString();
}

double Value::toDouble() const
{
    switch (m_type) {
    case Type::Empty: return 0.0;
    case Type::Null: throw VbsError(94);
    case Type::Boolean:
    case Type::Byte:
    case Type::Integer:
    case Type::Long: return static_cast<double>(m_u.i);
    case Type::Currency: return static_cast<double>(m_u.i) / 10000.0;
    case Type::Single:
    case Type::Double:
    case Type::Date: return m_u.d;
    case Type::String: {
        auto d = parseNumericText(m_u.s);
        if (!d)
            throw VbsError(13);
        if (std::isinf(*d))
            throw VbsError(6);
        return *d;
    }
    case Type::Object:
    case Type::Array: break;
    }
    throw VbsError(notAValueError());
}

int32_t Value::toLong() const
{
    if (m_type == Type::Long || m_type == Type::Integer || m_type == Type::Byte || m_type == Type::Boolean)
        return static_cast<int32_t>(m_u.i);
    return static_cast<int32_t>(checkedRound(toDouble(), -2147483648.0, 2147483647.0));
}

int16_t Value::toInteger() const
{
    if (m_type == Type::Integer || m_type == Type::Byte || m_type == Type::Boolean)
        return static_cast<int16_t>(m_u.i);
    return static_cast<int16_t>(checkedRound(toDouble(), -32768.0, 32767.0));
}

uint8_t Value::toByte() const
{
    // True is all bits set: CByte(True) is 255.
    if (m_type == Type::Boolean)
        return static_cast<uint8_t>(m_u.i & 0xFF);
    return static_cast<uint8_t>(checkedRound(toDouble(), 0.0, 255.0));
}

float Value::toSingle() const
{
    double d = toDouble();
    if (std::fabs(d) > static_cast<double>(std::numeric_limits<float>::max()))
        throw VbsError(6);
    return static_cast<float>(d);
}

int64_t Value::toCurrency() const
{
    switch (m_type) {
    case Type::Currency: return m_u.i;
    case Type::Boolean:
    case Type::Byte:
    case Type::Integer:
    case Type::Long: return m_u.i * 10000;
    default: break;
    }
    // Extended precision keeps the four decimals of amounts near the limit.
    long double scaled = std::nearbyint(static_cast<long double>(toDouble()) * 10000.0L);
    if (std::isnan(scaled) || scaled >= static_cast<long double>(kCurrencyScaledLimit)
        || scaled < -static_cast<long double>(kCurrencyScaledLimit))
        throw VbsError(6);
    return static_cast<int64_t>(scaled);
}

bool Value::toBool() const
{
    switch (m_type) {
    case Type::Empty: return false;
    case Type::Null: throw VbsError(94);
    case Type::Boolean:
    case Type::Byte:
    case Type::Integer:
    case Type::Long:
    case Type::Currency: return m_u.i != 0;
    case Type::Single:
    case Type::Double:
    case Type::Date: return m_u.d != 0.0;
    case Type::String: {
        if (auto b = parseBooleanText(m_u.s))
            return *b;
        auto d = parseNumericText(m_u.s);
        if (!d)
            throw VbsError(13);
        return *d != 0.0;
    }
    case Type::Object:
    case Type::Array: break;
    }
    throw VbsError(notAValueError());
}

QStringView decimalText(int64_t n, DecimalBuffer& buffer)
{
    char16_t* end = buffer.data() + buffer.size();
    char16_t* at = end;
    // Digits of the magnitude, from the last; unsigned so INT64_MIN has one.
    uint64_t magnitude = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    do {
        *--at = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (n < 0)
        *--at = u'-';
    return QStringView(at, end - at);
}

QString Value::toString() const
{
    switch (m_type) {
    case Type::Empty: return QString();
    case Type::Null: throw VbsError(94);
    case Type::Boolean: return m_u.i ? QStringLiteral("True") : QStringLiteral("False");
    case Type::Byte:
    case Type::Integer:
    case Type::Long: {
        DecimalBuffer buffer;
        return decimalText(m_u.i, buffer).toString();
    }
    case Type::Single: return formatDouble(m_u.d, 7);
    case Type::Double: return formatDouble(m_u.d, 15);
    case Type::Currency: return formatCurrency(m_u.i);
    case Type::Date: return formatDateDefault(m_u.d);
    case Type::String: return m_u.s;
    case Type::Object:
    case Type::Array: break;
    }
    throw VbsError(notAValueError());
}

QString Value::toText() const
{
    if (m_type == Type::Null)
        return QString();
    if (m_type == Type::String)
        return m_u.s;
    return toString();
}

double Value::toDateSerial() const
{
    if (m_type == Type::Date)
        return m_u.d;
    if (m_type == Type::String) {
        if (auto d = parseDateText(m_u.s))
            return *d;
        auto n = parseNumericText(m_u.s);
        if (!n)
            throw VbsError(13);
        if (*n < kMinDateSerial || *n > kMaxDateSerial)
            throw VbsError(6);
        return *n;
    }
    double d = toDouble();
    if (d < kMinDateSerial || d > kMaxDateSerial)
        throw VbsError(6);
    return d;
}

Value Value::toNumber() const
{
    switch (m_type) {
    case Type::Empty: return fromInteger(0);
    case Type::Boolean: return fromInteger(static_cast<int16_t>(m_u.i));
    case Type::String: return fromDouble(toDouble());
    case Type::Null: return *this;
    case Type::Object:
    case Type::Array: throw VbsError(notAValueError());
    default: return *this;
    }
}

Value& ArrayData::at(const int32_t* indexes, size_t count)
{
    // An array declared with Dim a() has no dimensions and no elements yet.
    if (count != upper.size() || upper.empty())
        throw VbsError(9);
    size_t offset = 0;
    size_t stride = 1;
    for (size_t k = 0; k < count; ++k) {
        if (indexes[k] < 0 || indexes[k] > upper[k])
            throw VbsError(9);
        offset += static_cast<size_t>(indexes[k]) * stride;
        stride *= static_cast<size_t>(upper[k]) + 1;
    }
    return items[offset];
}

void ArrayData::admit(const Value& item)
{
    if (!item.isArray())
        return;
    int itemDepth = item.arrayValue()->depth;
    if (itemDepth >= kMaxArrayDepth)
        throw VbsError(28);
    depth = std::max(depth, itemDepth + 1);
}

size_t ArrayData::itemCount(const std::vector<int32_t>& upper)
{
    if (upper.empty() || upper.size() > kMaxDimensions)
        throw VbsError(9);
    int64_t total = 1;
    for (int32_t u : upper) {
        if (u < -1)
            throw VbsError(9);
        total *= static_cast<int64_t>(u) + 1;
        if (total > kMaxArrayItems)
            throw VbsError(7);
    }
    return static_cast<size_t>(total);
}

std::shared_ptr<ArrayData> ArrayData::create(const std::vector<int32_t>& upper)
{
    const size_t total = itemCount(upper);
    auto array = std::make_shared<ArrayData>();
    array->upper = upper;
    array->items.resize(total);
    return array;
}

void ArrayData::resizeLastDimension(const std::vector<int32_t>& newUpper)
{
    const size_t total = itemCount(newUpper);
    if (newUpper.size() != upper.size() || !std::equal(newUpper.begin(), newUpper.end() - 1, upper.begin()))
        throw VbsError(9);
    items.resize(total);
    upper.back() = newUpper.back();
}

std::optional<bool> parseBooleanText(QStringView text)
{
    text = text.trimmed();
    if (equalsNoCase(text, "true") || equalsNoCase(text, "#true#"))
        return true;
    if (equalsNoCase(text, "false") || equalsNoCase(text, "#false#"))
        return false;
    return std::nullopt;
}

std::optional<double> parseNumericText(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty() || text.size() > 400)
        return std::nullopt;
    if (text.size() >= 2 && text[0] == QLatin1Char('&')) {
        QChar kind = text[1].toUpper();
        int base = kind == QLatin1Char('H') ? 16 : 8;
        QStringView digits = text.mid(kind == QLatin1Char('H') || kind == QLatin1Char('O') ? 2 : 1);
        if (digits.isEmpty() || digits.size() > (base == 16 ? 8 : 11))
            return std::nullopt;
        uint64_t n = 0;
        for (QChar c : digits) {
            int d = c.isDigit() ? c.unicode() - '0'
                  : (base == 16 && c.toUpper() >= QLatin1Char('A') && c.toUpper() <= QLatin1Char('F'))
                        ? c.toUpper().unicode() - 'A' + 10
                        : 99;
            if (d >= base)
                return std::nullopt;
            n = n * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        }
        if (n > 0xFFFFFFFFull)
            return std::nullopt;
        if (n <= 0xFFFF && digits.size() <= (base == 16 ? 4 : 6))
            return static_cast<double>(static_cast<int16_t>(n));
        return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(n)));
    }
    std::string ascii;
    ascii.reserve(static_cast<size_t>(text.size()));
    qsizetype i = 0;
    if (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))
        ascii.push_back(static_cast<char>(text[i++].unicode()));
    bool digits = false;
    for (; i < text.size(); ++i) {
        QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            ascii.push_back(static_cast<char>(c.unicode()));
            digits = true;
        } else if (c == QLatin1Char(',') && digits) {
            continue;
        } else {
            break;
        }
    }
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        ascii.push_back('.');
        for (++i; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
            ascii.push_back(static_cast<char>(text[i].unicode()));
            digits = true;
        }
    }
    if (!digits)
        return std::nullopt;
    if (i < text.size() && (text[i].toUpper() == QLatin1Char('E') || text[i].toUpper() == QLatin1Char('D'))) {
        ascii.push_back('e');
        ++i;
        if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            ascii.push_back(static_cast<char>(text[i++].unicode()));
        bool expDigits = false;
        for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
            ascii.push_back(static_cast<char>(text[i].unicode()));
            expDigits = true;
        }
        if (!expDigits)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    return std::strtod(ascii.c_str(), nullptr);
}

QString formatDouble(double value, int significantDigits)
{
    if (value == 0.0 || std::isnan(value))
        return QStringLiteral("0");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("1.#INF") : QStringLiteral("-1.#INF");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", significantDigits - 1, value);
    // buf: [-]d.ddddde[+-]xx
    const char* p = buf;
    bool negative = *p == '-';
    if (negative)
        ++p;
    std::string digits;
    for (; *p && *p != 'e'; ++p)
        if (*p != '.')
            digits.push_back(*p);
    int exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out = negative ? "-" : "";
    if (exponent >= significantDigits || exponent < -4) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        char exp[16];
        std::snprintf(exp, sizeof exp, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += exp;
    } else if (exponent >= 0) {
        size_t intLen = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= intLen) {
            out += digits + std::string(intLen - digits.size(), '0');
        } else {
            out += digits.substr(0, intLen) + "." + digits.substr(intLen);
        }
    } else {
        out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
    return QString::fromLatin1(out.c_str());
}

QString formatCurrency(int64_t scaled)
{
    uint64_t magnitude = scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    QString out = scaled < 0 ? QStringLiteral("-") : QString();
    out += QString::number(magnitude / 10000);
    unsigned fraction = static_cast<unsigned>(magnitude % 10000);
    if (fraction != 0) {
        QString f = QStringLiteral("%1").arg(fraction, 4, 10, QLatin1Char('0'));
        while (f.endsWith(QLatin1Char('0')))
            f.chop(1);
        out += QLatin1Char('.') + f;
    }
    return out;
}

double roundHalfEven(double value)
{
    return std::nearbyint(value);  // the default rounding mode is to nearest, ties to even
}

}  // namespace quillon::vbs
