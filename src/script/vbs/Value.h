// The script host's value: a variant that holds one of VBScript's subtypes.
//
// Small numbers live inline (no allocation); only strings, objects and arrays
// own heap data. Arrays have value semantics: copies share their storage until
// one of them is written (copy on write). Coercions follow VBScript's rules and
// throw VbsError on failure (13 type mismatch, 6 overflow, 94 invalid use of
// Null), so built-ins can call them directly.
#pragma once

#include "script/vbs/ElementStorage.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

namespace quillon::vbs {

class HostObject;
struct ArrayData;

// The longest string a script may build (64M characters); longer is error 14.
inline constexpr qsizetype kMaxStringChars = qsizetype(1) << 26;

// VarType() codes; an array is vbArray + the element type (vbVariant).
enum VarTypeCode : int {
    vbEmpty = 0,
    vbNull = 1,
    vbInteger = 2,
    vbLong = 3,
    vbSingle = 4,
    vbDouble = 5,
    vbCurrency = 6,
    vbDate = 7,
    vbString = 8,
    vbObject = 9,
    vbError = 10,
    vbBoolean = 11,
    vbVariant = 12,
    vbDataObject = 13,
    vbByte = 17,
    vbArray = 8192,
};

class Value {
public:
    // Order matters: every type from String on owns heap data.
    enum class Type : uint8_t {
        Empty, Null, Boolean, Byte, Integer, Long, Single, Double, Currency, Date,
        String, Object, Array,
    };

    Value() noexcept : m_type(Type::Empty) { m_u.i = 0; }
    ~Value() { if (m_type >= Type::String) destroy(); }
    Value(const Value& other) : m_type(Type::Empty)
    {
        // Numbers are bits to copy; only the types from String on share or own data.
        if (other.m_type < Type::String) {
            m_u.i = other.m_u.i;
            m_type = other.m_type;
        } else {
            copyFrom(other);
        }
    }
    Value(Value&& other) noexcept : m_type(Type::Empty) { moveFrom(std::move(other)); }
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept;

    static Value null() { Value v; v.m_type = Type::Null; return v; }
    static Value fromBool(bool b) { Value v; v.m_type = Type::Boolean; v.m_u.i = b ? -1 : 0; return v; }
    static Value fromByte(uint8_t n) { return scalar(Type::Byte, n); }
    static Value fromInteger(int16_t n) { return scalar(Type::Integer, n); }
    static Value fromLong(int32_t n) { return scalar(Type::Long, n); }
    static Value fromSingle(float f) { Value v; v.m_type = Type::Single; v.m_u.d = f; return v; }
    static Value fromDouble(double d) { Value v; v.m_type = Type::Double; v.m_u.d = d; return v; }
    // `scaled` is the amount times 10000 (four fixed decimals).
    static Value fromCurrency(int64_t scaled) { return scalar(Type::Currency, scaled); }
    // `serial` is an OLE date: days since 12/30/1899, the fraction is the time.
    static Value fromDate(double serial) { Value v; v.m_type = Type::Date; v.m_u.d = serial; return v; }
    static Value fromString(QString s);
    // A string of raw bytes, two to a character (the low byte first), as the
    // byte functions (LeftB, ChrB, ...) make them: an odd count leaves a lone
    // last byte that character functions do not see.
    static Value fromBytes(const QByteArray& bytes);
    // A null pointer is Nothing.
    static Value fromObject(std::shared_ptr<HostObject> object);
    static Value nothing() { return fromObject(nullptr); }
    static Value fromArray(std::shared_ptr<ArrayData> array);
    // The narrowest of Integer, Long, Double holding n: how integer arithmetic widens.
    static Value fromWideInteger(int64_t n);

    Type type() const { return m_type; }
    bool isEmpty() const { return m_type == Type::Empty; }
    bool isNull() const { return m_type == Type::Null; }
    bool isString() const { return m_type == Type::String; }
    bool isObject() const { return m_type == Type::Object; }
    bool isNothing() const { return m_type == Type::Object && !m_u.o; }
    bool isArray() const { return m_type == Type::Array; }
    // Boolean, Byte, Integer, Long, Single, Double, Currency, Date (not strings, not Empty).
    bool isNumericType() const { return m_type >= Type::Boolean && m_type <= Type::Date; }
    bool isIntegral() const { return m_type >= Type::Boolean && m_type <= Type::Long; }

    // VarType() and TypeName() of this value.
    int varType() const;
    QString typeName() const;

    // Makes this a number of type `t` (Boolean to Date) from its raw bits:
    // -1/0 for a Boolean, the integer, or the bits of the double.
    void assignScalar(Type t, int64_t bits) noexcept
    {
        if (m_type >= Type::String)
            destroy();
        m_type = t;
        m_u.i = bits;
        m_loneByte = 0;
    }

    // Raw access; only valid for the matching type.
    bool boolValue() const { return m_u.i != 0; }
    int64_t integralValue() const { return m_u.i; }     // Boolean (-1/0), Byte, Integer, Long, Currency (scaled)
    double floatValue() const { return m_u.d; }         // Single, Double, Date
    const QString& stringValue() const { return m_u.s; }
    // The string for appending in place; only valid for a String without a
    // lone last byte.
    QString& mutableString() { return m_u.s; }
    // True for a String of an odd number of bytes (see fromBytes).
    bool hasLoneByte() const { return m_loneByte != 0; }
    // The bytes of a String: two per character, the low byte first, and the
    // lone last byte if there is one.
    QByteArray bytes() const;
    const std::shared_ptr<HostObject>& objectValue() const { return m_u.o; }
    const std::shared_ptr<ArrayData>& arrayValue() const { return m_u.a; }
    // The array for writing: detaches it first when its storage is shared.
    ArrayData& mutableArray();

    // Coercions as VBScript's conversion functions do them; they throw VbsError.
    double toDouble() const;          // CDbl: 13 for text that is no number, 94 for Null
    int32_t toLong() const;           // CLng: banker's rounding, 6 on overflow
    int16_t toInteger() const;        // CInt
    uint8_t toByte() const;           // CByte
    float toSingle() const;           // CSng: 6 beyond Single's range
    int64_t toCurrency() const;       // CCur, scaled by 10000
    bool toBool() const;              // CBool: "True"/"False" texts and numbers
    QString toString() const;         // CStr: 94 for Null, 13 for objects and arrays
    // As toString, but Null (and Empty) give "": what & and display use.
    QString toText() const;
    // A date serial: dates as they are, numbers as serials, text parsed as a date.
    double toDateSerial() const;

    // The value for arithmetic: Empty -> Integer 0, Boolean -> Integer,
    // numeric text -> Double; 13 for other text, objects and arrays.
    Value toNumber() const;

    // The error for an object or array used where a value is needed:
    // 91 (object variable not set) for Nothing, 13 for anything else.
    int notAValueError() const { return isNothing() ? 91 : 13; }

private:
    static Value scalar(Type t, int64_t n) { Value v; v.m_type = t; v.m_u.i = n; return v; }
    void destroy() noexcept;
    void copyFrom(const Value& other);
    void moveFrom(Value&& other) noexcept;

    union Storage {
        Storage() : i(0) {}
        ~Storage() {}
        int64_t i;
        double d;
        QString s;
        std::shared_ptr<HostObject> o;
        std::shared_ptr<ArrayData> a;
    } m_u;
    Type m_type;
    uint16_t m_loneByte = 0;  // Strings only: 0, or 0x100 | the lone last byte
};

// One dimension of an array: indexes 0..upper (VBScript arrays start at 0).
struct ArrayData {
    std::vector<int32_t> upper;   // one upper bound per dimension
    std::vector<Value, ElementAllocator<Value>> items;  // the first index varies fastest
    bool fixedSize = false;       // declared with Dim a(n): ReDim and Erase cannot resize it
    int depth = 1;                // arrays nested in it, plus one (an upper bound)

    // Call before storing `item` in this array: arrays nested deeper than
    // kMaxArrayDepth are refused with 28, so freeing them cannot exhaust the stack.
    void admit(const Value& item);
    static constexpr int kMaxArrayDepth = 1000;
    // The most dimensions an array may have.
    static constexpr size_t kMaxDimensions = 60;

    // Element for the given indexes; 9 when out of range or the count differs.
    Value& at(const int32_t* indexes, size_t count);
    const Value& at(const int32_t* indexes, size_t count) const
    {
        return const_cast<ArrayData*>(this)->at(indexes, count);
    }
    // An array of the given upper bounds, every item Empty; 9 for a negative size
    // below -1 (upper -1 is an empty dimension), 7 when it would be too large.
    static std::shared_ptr<ArrayData> create(const std::vector<int32_t>& upper);
    // The number of items of an array of these bounds, checked as create does.
    static size_t itemCount(const std::vector<int32_t>& upper);
    // ReDim Preserve: takes the bounds `upper`, which differ from the current
    // ones in the last dimension only (9 otherwise). The last index varies
    // slowest, so the kept items stay where they are and new ones are Empty;
    // the storage grows in amortised steps, so growing by one each time costs
    // constant time per step, not a copy of the whole array.
    void resizeLastDimension(const std::vector<int32_t>& upper);
};

// Reads "True"/"False" and "#TRUE#"/"#FALSE#" (any case, blanks around) as
// VBScript reads a Boolean from a string; nullopt for other text.
std::optional<bool> parseBooleanText(QStringView text);

// Parses text as VBScript reads a number from a string: spaces around it,
// sign, digits with "," grouping, ".", an E/D exponent, &H and &O forms.
std::optional<double> parseNumericText(QStringView text);

// CStr rendering of a Double (15 significant digits) or Single (7): "0.5",
// "1E+16", "-1.5E-07". Arithmetic reports overflow instead of producing an
// infinity; should one arrive anyway it renders as "1.#INF".
QString formatDouble(double value, int significantDigits = 15);
// The decimal text of a whole number ("-12"), written into `buffer`: what
// CStr and & make of Byte, Integer and Long, without the locale machinery.
using DecimalBuffer = std::array<char16_t, 24>;
QStringView decimalText(int64_t n, DecimalBuffer& buffer);

// CStr rendering of a Currency amount scaled by 10000: "1.5", "-0.0001".
QString formatCurrency(int64_t scaled);

// Banker's rounding (half to even), as CInt, CLng and Round do it.
double roundHalfEven(double value);

inline Value& Value::operator=(const Value& other)
{
    if (this != &other) {
        if (m_type >= Type::String || other.m_type >= Type::String) {
            Value copy(other);
            destroy();
            moveFrom(std::move(copy));
        } else {
            m_type = other.m_type;
            m_u.i = other.m_u.i;
        }
    }
    return *this;
}

inline Value& Value::operator=(Value&& other) noexcept
{
    if (this != &other) {
        if (m_type >= Type::String)
            destroy();
        moveFrom(std::move(other));
    }
    return *this;
}

inline void Value::moveFrom(Value&& other) noexcept
{
    if (other.m_type < Type::String) {
        m_u.i = other.m_u.i;
        m_type = other.m_type;
        m_loneByte = 0;
        other.m_type = Type::Empty;
        other.m_u.i = 0;
        return;
    }
    m_type = other.m_type;
    m_loneByte = other.m_loneByte;
    other.m_loneByte = 0;
    switch (m_type) {
    case Type::String: new (&m_u.s) QString(std::move(other.m_u.s)); other.m_u.s.~QString(); break;
    case Type::Object:
        new (&m_u.o) std::shared_ptr<HostObject>(std::move(other.m_u.o));
        other.m_u.o.~shared_ptr();
        break;
    case Type::Array:
        new (&m_u.a) std::shared_ptr<ArrayData>(std::move(other.m_u.a));
        other.m_u.a.~shared_ptr();
        break;
    default: m_u.i = other.m_u.i; break;
    }
    other.m_type = Type::Empty;
    other.m_u.i = 0;
}

}  // namespace quillon::vbs
