#include "callsys/CallSys.h"

#include "base/OwnerThreadCall.h"
#include "base/Text.h"
#include "base/ZeMath.h"
#include "callsys/CallAbi.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QMetaType>

#include <exception>
#include <memory>
#include <optional>
#include <vector>

namespace quillon::callsys {

namespace {

// How a position's value is made, by the type line declared for it.
enum class Kind { String, VarString, Integer, VarInteger, Real, VarReal, None };

struct Arg {
    Kind kind = Kind::None;
    QString text;
    qint32 integer = 0;
};

Kind kindOf(const QString& typeLine)
{
    if (typeLine == u"string")
        return Kind::String;
    if (typeLine == u"var string")
        return Kind::VarString;
    if (typeLine == u"integer")
        return Kind::Integer;
    if (typeLine == u"var integer")
        return Kind::VarInteger;
    if (typeLine == u"real")
        return Kind::Real;
    if (typeLine == u"var real")
        return Kind::VarReal;
    return Kind::None;
}

CallOutcome refuse(QString& errorText, QStringView reason)
{
    errorText = reason.toString();
    return CallOutcome::Refused;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// A 32-bit signed integer written in decimal, or in hexadecimal after "$"
// (or "0x"), with an optional sign. Hexadecimal covers the full 32 bits, so
// "$FFFFFFFF" is -1; a decimal value out of range is not an integer.
std::optional<qint32> readInteger(const QString& s)
{
    qsizetype at = 0;
    const bool negative = s.startsWith(QLatin1Char('-'));
    if (negative || s.startsWith(QLatin1Char('+')))
        ++at;
    int radix = 10;
    if (s.mid(at, 1) == u"$") {
        radix = 16;
        at += 1;
    } else if (s.mid(at, 2).compare(u"0x", Qt::CaseInsensitive) == 0) {
        radix = 16;
        at += 2;
    }
    if (at >= s.size())
        return std::nullopt;
    const quint64 limit = radix == 16 ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
    quint64 value = 0;
    for (; at < s.size(); ++at) {
        const int digit = hexDigit(s.at(at));
        if (digit < 0 || digit >= radix)
            return std::nullopt;
        value = value * quint64(radix) + quint64(digit);
        if (value > limit)
            return std::nullopt;
    }
    const quint32 bits = quint32(value);
    return qint32(negative ? 0u - bits : bits);
}

// The arguments of a call text: the text between the first "(" and the last
// ")", cut at ",". Each argument is trimmed but keeps its case, its inner
// blanks and any ":" or ";" in it. Empty arguments at either end of the list
// are dropped (inner ones stay); without ")" there are no arguments.
QStringList callArguments(const QString& callText)
{
    const qsizetype open = callText.indexOf(QLatin1Char('('));
    const qsizetype close = callText.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close <= open)
        return {};
    QStringList args;
    for (const QString& piece : base::split(callText.mid(open + 1, close - open - 1), QStringLiteral(",")))
        args << base::trimControl(piece);
    while (!args.isEmpty() && args.first().isEmpty())
        args.removeFirst();
    while (!args.isEmpty() && args.last().isEmpty())
        args.removeLast();
    return args;
}

// Turns the arguments into the values of the call, by the prototype declared
// under `name`; an undeclared name gets its placeholder entry and passes every
// argument as a string. Returns an outcome when the call must not be made.
std::optional<CallOutcome> makeValues(TProtoTypes& protos, const QString& name, const QStringList& args,
                                      std::vector<Arg>& values, QString& errorText)
{
    const TProtoType* entry = protos.Find(name);
    const bool declared = entry && base::trimControl(entry->params.join(QStringLiteral("\r\n"))) != u"no proto type";
    if (!declared)
        protos.Add(name + QStringLiteral("(no proto type)"), nullptr);
    else if (entry->params.size() > args.size())
        return refuse(errorText, kNotEnoughArguments);

    const qsizetype count = declared ? entry->params.size() : args.size();
    values.resize(size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        Arg& value = values[size_t(i)];
        value.kind = declared ? kindOf(entry->params.at(i)) : Kind::String;
        value.text = args.at(i);
        if (value.kind == Kind::Integer || value.kind == Kind::VarInteger) {
            const std::optional<qint32> number = readInteger(value.text);
            if (!number) {
                errorText = QStringLiteral("'%1' is not a valid integer value").arg(value.text);
                return CallOutcome::Failed;
            }
            value.integer = *number;
        }
    }
    return std::nullopt;
}

// A child of `form` (at any depth, nearer ones first) whose objectName
// matches `name` in ASCII case-insensitively.
QObject* findComponent(QObject* form, const QString& name)
{
    QObjectList level = form->children();
    while (!level.isEmpty()) {
        QObjectList next;
        for (QObject* child : level) {
            if (base::asciiLower(child->objectName()) == name)
                return child;
            next += child->children();
        }
        level = next;
    }
    return nullptr;
}

// The slots and invokable methods named `name` (ASCII case-insensitively)
// that `target`'s class and its ancestors declare, nearest class first.
// QObject's own methods are never among them.
std::vector<QMetaMethod> publishedMethods(const QObject* target, const QString& name)
{
    std::vector<QMetaMethod> found;
    for (const QMetaObject* mo = target->metaObject(); mo && mo != &QObject::staticMetaObject; mo = mo->superClass()) {
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
            const QMetaMethod method = mo->method(i);
            if (method.methodType() != QMetaMethod::Slot && method.methodType() != QMetaMethod::Method)
                continue;
            if (base::asciiLower(QString::fromLatin1(method.name())) == name)
                found.push_back(method);
        }
    }
    return found;
}

// The value given to one parameter of a method. Strings and integers are
// passed by address, so a reference parameter (QString&, int&) writes into
// this position's own variable, which is not read back.
class ParamValue {
public:
    ParamValue() = default;
    ParamValue(const ParamValue&) = delete;
    ParamValue& operator=(const ParamValue&) = delete;
    ~ParamValue()
    {
        if (m_other)
            m_otherType.destroy(m_other);
    }

    // Prepares the value of `arg` for a parameter of type `typeName`; false
    // when the two do not fit. A position without a value gets the
    // parameter type's default value (0, empty), never garbage.
    bool prepare(const Arg& arg, QByteArray typeName)
    {
        if (typeName.endsWith('&'))
            typeName.chop(1);
        switch (arg.kind) {
        case Kind::String:
        case Kind::VarString:
            m_string = arg.text;
            m_address = &m_string;
            return typeName == "QString";
        case Kind::Integer:
        case Kind::VarInteger:
            m_integer = arg.integer;
            m_address = &m_integer;
            return typeName == "int";
        default:
            m_otherType = QMetaType::fromName(typeName);
            m_other = m_otherType.isValid() ? m_otherType.create() : nullptr;
            m_address = m_other;
            return m_other != nullptr;
        }
    }

    void* address() const { return m_address; }

private:
    QString m_string;
    qint32 m_integer = 0;
    QMetaType m_otherType;
    void* m_other = nullptr;
    void* m_address = nullptr;
};

// Calls `method` of `target` with `values` when its parameters fit them;
// surplus values are ignored, as a callee ignores registers it does not read.
bool invokeIfFits(QObject* target, const QMetaMethod& method, const std::vector<Arg>& values)
{
    const int count = method.parameterCount();
    if (count > int(values.size()))
        return false;
    std::vector<ParamValue> params(static_cast<size_t>(count));
    std::vector<void*> argv(size_t(count) + 1, nullptr);   // argv[0]: the result, discarded
    for (int i = 0; i < count; ++i) {
        if (!params[size_t(i)].prepare(values[size_t(i)], method.parameterTypeName(i)))
            return false;
        argv[size_t(i) + 1] = params[size_t(i)].address();
    }
    QMetaObject::metacall(target, QMetaObject::InvokeMetaMethod, method.methodIndex(), argv.data());
    return true;
}

// Runs `work` on the thread that owns `owner` and returns its outcome (see
// base::callOnOwnerThread). Nothing the work throws crosses threads.
template <typename Work>
CallOutcome runOnOwnerThread(QObject* owner, Work&& work, QString& errorText)
{
    CallOutcome outcome = CallOutcome::Refused;
    const bool ran = base::callOnOwnerThread(owner, [&] {
        try {
            outcome = work();
        } catch (const std::exception& e) {
            errorText = QString::fromLocal8Bit(e.what());
            outcome = CallOutcome::Failed;
        } catch (...) {
            errorText = QStringLiteral("the called method failed");
            outcome = CallOutcome::Failed;
        }
    });
    if (!ran)   // the owner or its thread went away before the call reached it
        return refuse(errorText, kNoFunction);
    return outcome;
}

// The value of one position of a plain function, as the function reads it:
// strings as NUL-terminated UTF-8 (null when empty), integers as 32 bits.
struct FfiValue {
    QByteArray bytes;
    char* text = nullptr;
    qint32 integer = 0;
    double real = 0.0;
    void* pointer = nullptr;
};

ffi_type* prepareFfiValue(const Arg& arg, FfiValue& v, void*& slot)
{
    switch (arg.kind) {
    case Kind::String:
        v.bytes = arg.text.toUtf8();
        v.pointer = v.bytes.isEmpty() ? nullptr : v.bytes.data();
        slot = &v.pointer;
        return &ffi_type_pointer;
    case Kind::VarString:
        v.bytes = arg.text.toUtf8();
        v.text = v.bytes.isEmpty() ? nullptr : v.bytes.data();
        v.pointer = &v.text;
        slot = &v.pointer;
        return &ffi_type_pointer;
    case Kind::Integer:
        v.integer = arg.integer;
        slot = &v.integer;
        return &ffi_type_sint32;
    case Kind::VarInteger:
        v.integer = arg.integer;
        v.pointer = &v.integer;
        slot = &v.pointer;
        return &ffi_type_pointer;
    case Kind::Real:
        slot = &v.real;
        return &ffi_type_double;
    case Kind::VarReal:
        v.pointer = &v.real;
        slot = &v.pointer;
        return &ffi_type_pointer;
    case Kind::None:
        break;
    }
    slot = &v.pointer;
    return &ffi_type_pointer;
}

// Calls a registered function with the values in position order under the
// declared convention. Its result is discarded.
bool callThroughFfi(ProcAddress proc, const QString& convention, const std::vector<Arg>& values)
{
    std::vector<FfiValue> storage(values.size());
    std::vector<ffi_type*> types(values.size());
    std::vector<void*> argSlots(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        types[i] = prepareFfiValue(values[i], storage[i], argSlots[i]);
    ffi_cif cif;
    const ffi_abi abi = detail::abiForConvention(convention == u"register");
    if (ffi_prep_cif(&cif, abi, unsigned(values.size()), &ffi_type_void, types.data()) != FFI_OK)
        return false;
    ffi_call(&cif, proc, nullptr, argSlots.data());
    return true;
}

}  // namespace

TCallSys::TCallSys(QObject* mainForm) : m_mainForm(mainForm) {}

TCallSys::~TCallSys() = default;

QObject* TCallSys::MainForm() const
{
    return m_mainForm.data();
}

void TCallSys::SetMainForm(QObject* form)
{
    m_mainForm = form;
}

const TProtoType& TCallSys::AddProto(const QString& declaration, ProcAddress proc)
{
    return m_protos.Add(declaration, proc);
}

ProcAddress TCallSys::FindProc(const QString& name) const
{
    const TProtoType* entry = m_protos.Find(name);
    return entry ? entry->proc : nullptr;
}

CallOutcome TCallSys::Call(const QString& callText, QString& errorText)
{
    const QString name = TProtoTypes::ParseName(callText);
    if (name.isEmpty())
        return refuse(errorText, kNoFunction);
    const QStringList pieces = base::split(name, QStringLiteral("."));
    const QStringList args = callArguments(callText);
    if (pieces.size() == 2)
        return callMethod(pieces.at(0), pieces.at(1), name, args, errorText);
    return callFunction(name, args, errorText);
}

CallOutcome TCallSys::callMethod(const QString& component, const QString& method, const QString& name,
                                 const QStringList& args, QString& errorText)
{
    QObject* form = m_mainForm.data();
    if (!form)
        return refuse(errorText, kNoFunction);
    // Everything that reads the form, its children or their methods runs on
    // the form's thread; this thread waits meanwhile and so does not touch
    // the prototype table concurrently.
    auto work = [&]() -> CallOutcome {
        QObject* target = component == u"self" ? form : findComponent(form, component);
        if (!target)
            return refuse(errorText, kNoFunction);
        const std::vector<QMetaMethod> candidates = publishedMethods(target, method);
        if (candidates.empty())
            return refuse(errorText, kNoFunction);
        std::vector<Arg> values;
        if (const std::optional<CallOutcome> stop = makeValues(m_protos, name, args, values, errorText))
            return *stop;
        for (const QMetaMethod& candidate : candidates) {
            if (invokeIfFits(target, candidate, values))
                return CallOutcome::Called;
        }
        return refuse(errorText, kArgumentsDoNotFit);
    };
    return runOnOwnerThread(form, work, errorText);
}

CallOutcome TCallSys::callFunction(const QString& name, const QStringList& args, QString& errorText)
{
    // A plain function is reached only through the entry its address was
    // registered under, so its own prototype always converts its values.
    const TProtoType* entry = m_protos.Find(name);
    if (!entry || !entry->proc)
        return refuse(errorText, kNoFunction);
    std::vector<Arg> values;
    if (const std::optional<CallOutcome> stop = makeValues(m_protos, name, args, values, errorText))
        return *stop;
    try {
        if (!callThroughFfi(entry->proc, entry->convention, values))
            return refuse(errorText, kNoFunction);
    } catch (const std::exception& e) {
        // What the function throws ends the pass, like a failed conversion.
        errorText = QString::fromLocal8Bit(e.what());
        return CallOutcome::Failed;
    }
    return CallOutcome::Called;
}

}  // namespace quillon::callsys
