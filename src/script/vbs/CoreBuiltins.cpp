// Conversions, type tests, arrays, Eval, MsgBox and the engine version.
#include "script/vbs/Builtins.h"
#include "script/vbs/VbsError.h"


namespace quillon::vbs {

namespace {

using Args = std::span<const Value>;

Value cBool(BuiltinContext&, Args a) { return Value::fromBool(a[0].toBool()); }
Value cByte(BuiltinContext&, Args a) { return Value::fromByte(a[0].toByte()); }
Value cCur(BuiltinContext&, Args a) { return Value::fromCurrency(a[0].toCurrency()); }
Value cDbl(BuiltinContext&, Args a) { return Value::fromDouble(a[0].toDouble()); }
Value cInt(BuiltinContext&, Args a) { return Value::fromInteger(a[0].toInteger()); }
Value cLng(BuiltinContext&, Args a) { return Value::fromLong(a[0].toLong()); }
Value cSng(BuiltinContext&, Args a) { return Value::fromSingle(a[0].toSingle()); }
Value cStr(BuiltinContext&, Args a) { return Value::fromString(a[0].toString()); }

Value arrayOf(BuiltinContext&, Args a)
{
    auto array = ArrayData::create({static_cast<int32_t>(a.size()) - 1});
    for (size_t i = 0; i < a.size(); ++i) {
        array->admit(a[i]);
        array->items[i] = a[i];
    }
    return Value::fromArray(std::move(array));
}

// LBound/UBound: the dimension argument counts from 1.
int32_t checkedDimension(const Value& array, Args a)
{
    if (!array.isArray())
        throw VbsError(13);
    int32_t dim = a.size() > 1 ? a[1].toLong() : 1;
    if (dim < 1 || static_cast<size_t>(dim) > array.arrayValue()->upper.size())
        throw VbsError(9);
    return dim;
}

Value lBound(BuiltinContext&, Args a)
{
    checkedDimension(a[0], a);
    return Value::fromLong(0);
}

Value uBound(BuiltinContext&, Args a)
{
    int32_t dim = checkedDimension(a[0], a);
    return Value::fromLong(a[0].arrayValue()->upper[static_cast<size_t>(dim) - 1]);
}

Value isArray(BuiltinContext&, Args a) { return Value::fromBool(a[0].isArray()); }
Value isEmpty(BuiltinContext&, Args a) { return Value::fromBool(a[0].isEmpty()); }
Value isNull(BuiltinContext&, Args a) { return Value::fromBool(a[0].isNull()); }
Value isObject(BuiltinContext&, Args a) { return Value::fromBool(a[0].isObject()); }

Value isNumeric(BuiltinContext&, Args a)
{
    const Value& v = a[0];
    switch (v.type()) {
    case Value::Type::Empty: return Value::fromBool(true);
    case Value::Type::String: return Value::fromBool(parseNumericText(v.stringValue()).has_value());
    case Value::Type::Date: return Value::fromBool(false);
    default: return Value::fromBool(v.isNumericType());
    }
}

Value typeName(BuiltinContext&, Args a) { return Value::fromString(a[0].typeName()); }
Value varType(BuiltinContext&, Args a) { return Value::fromInteger(static_cast<int16_t>(a[0].varType())); }

Value evalFn(BuiltinContext& c, Args a)
{
    if (!c.eval)
        throw VbsError(5);
    return c.eval(a[0].toText());
}

Value msgBox(BuiltinContext& c, Args a)
{
    QString prompt = a[0].toText();
    int buttons = a.size() > 1 && !a[1].isEmpty() ? a[1].toLong() : 0;
    QString title = a.size() > 2 ? a[2].toText() : QString();
    int answer = c.msgBox ? c.msgBox(prompt, buttons, title) : 1;
    return Value::fromInteger(static_cast<int16_t>(answer));
}

// The engine this host stands in for, and its version: 5.8, build 16384.
Value scriptEngine(BuiltinContext&, Args) { return Value::fromString(QStringLiteral("VBScript")); }
Value scriptEngineMajorVersion(BuiltinContext&, Args) { return Value::fromLong(5); }
Value scriptEngineMinorVersion(BuiltinContext&, Args) { return Value::fromLong(8); }
Value scriptEngineBuildVersion(BuiltinContext&, Args) { return Value::fromLong(16384); }

}  // namespace

void registerCoreBuiltins(BuiltinTable& t)
{
    t.add({QStringLiteral("CBool"), 1, 1, cBool});
    t.add({QStringLiteral("CByte"), 1, 1, cByte});
    t.add({QStringLiteral("CCur"), 1, 1, cCur});
    t.add({QStringLiteral("CDbl"), 1, 1, cDbl});
    t.add({QStringLiteral("CInt"), 1, 1, cInt});
    t.add({QStringLiteral("CLng"), 1, 1, cLng});
    t.add({QStringLiteral("CSng"), 1, 1, cSng});
    t.add({QStringLiteral("CStr"), 1, 1, cStr});
    t.add({QStringLiteral("Array"), 0, 10000, arrayOf});
    t.add({QStringLiteral("LBound"), 1, 2, lBound});
    t.add({QStringLiteral("UBound"), 1, 2, uBound});
    t.add({QStringLiteral("IsArray"), 1, 1, isArray});
    t.add({QStringLiteral("IsEmpty"), 1, 1, isEmpty});
    t.add({QStringLiteral("IsNull"), 1, 1, isNull});
    t.add({QStringLiteral("IsObject"), 1, 1, isObject});
    t.add({QStringLiteral("IsNumeric"), 1, 1, isNumeric});
    t.add({QStringLiteral("TypeName"), 1, 1, typeName});
    t.add({QStringLiteral("VarType"), 1, 1, varType});
    t.add({QStringLiteral("Eval"), 1, 1, evalFn});
    t.add({QStringLiteral("MsgBox"), 1, 5, msgBox});
    t.add({QStringLiteral("ScriptEngine"), 0, 0, scriptEngine});
    t.add({QStringLiteral("ScriptEngineMajorVersion"), 0, 0, scriptEngineMajorVersion});
    t.add({QStringLiteral("ScriptEngineMinorVersion"), 0, 0, scriptEngineMinorVersion});
    t.add({QStringLiteral("ScriptEngineBuildVersion"), 0, 0, scriptEngineBuildVersion});
}

}  // namespace quillon::vbs
