// The evaluator: runs cached Programs against the global scope.
//
// Globals live in globals fixed at parse time; a slot's state says whether it
// was ever declared or assigned, so reading a variable is an index and a
// check. Integer arithmetic and comparisons of Integer/Long operands are done
// inline; everything else goes through Operators.cpp.
#include "script/vbs/ScriptHost.h"

#include "script/vbs/Builtins.h"
#include "script/vbs/HostObject.h"
#include "script/vbs/Program.h"
#include "script/vbs/Value.h"
#include "script/vbs/VbsError.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <array>
#include <deque>
#include <limits>
#include <optional>
#include <utility>
#include <string_view>
#include <unordered_map>

namespace quillon::vbs {

namespace {

// The parse cache holds at most this many texts and this many characters in
// all; when either would be exceeded it starts over. Loops run a handful of
// texts, so starting over costs one parse per text.
constexpr size_t kMaxCacheEntries = 4096;
constexpr size_t kMaxCachedChars = 1u << 20;
constexpr qsizetype kMaxCachedText = 8192;
constexpr size_t kMaxSlots = 1u << 18;
constexpr int kMaxEvalNesting = 10;

const QString kRuntimeSource = QStringLiteral("Microsoft VBScript runtime error");
const QString kCompileSource = QStringLiteral("Microsoft VBScript compilation error");

enum SlotState : uint8_t {
    Unset,      // never declared nor assigned: reads Empty (or a visible member)
    Implicit,   // assigned without Dim
    Declared,   // Dim, ReDim
    Constant,   // Const
    Named,      // added with addObject
};

struct Slot {
    Value value;
    SlotState state = Unset;
};

// The global slots: fixed-size blocks, so a slot never moves once made (a
// running statement holds references into it) and finding one is a shift
// and a mask.
class SlotTable {
public:
    Slot& operator[](size_t index) { return m_blocks[index >> kShift][index & kMask]; }
    size_t size() const { return m_size; }
    void emplace_back()
    {
        if ((m_size & kMask) == 0)
            m_blocks.push_back(std::make_unique<Slot[]>(kMask + 1));
        ++m_size;
    }

private:
    static constexpr size_t kShift = 8;
    static constexpr size_t kMask = (size_t(1) << kShift) - 1;
    std::vector<std::unique_ptr<Slot[]>> m_blocks;
    size_t m_size = 0;
};

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>{}(s); }
};

struct ProgramCache {
    using Map = std::unordered_map<std::u16string, std::unique_ptr<Program>, TextHash, std::equal_to<>>;
    Map programs;
    size_t chars = 0;

    // The programs of recent lookups by where their text lay: the engine
    // hands the host the same line texts over and over, so a hit costs a
    // pointer test and a short compare instead of hashing the text. The text
    // is always compared, so a new text at an old address is no hit.
    struct Recent {
        const char16_t* where = nullptr;
        Map::const_iterator entry;
    };
    std::array<Recent, 16> recent{};

    static size_t recentIndex(QStringView text)
    {
        const auto address = reinterpret_cast<uintptr_t>(text.utf16());
        return ((address >> 4) ^ static_cast<size_t>(text.size())) % std::tuple_size_v<decltype(recent)>;
    }

    const Program* findRecent(QStringView text) const
    {
        const Recent& r = recent[recentIndex(text)];
        if (r.where != text.utf16() || !r.where)
            return nullptr;
        const std::u16string& key = r.entry->first;
        if (key.size() != static_cast<size_t>(text.size())
            || std::memcmp(key.data(), text.utf16(), key.size() * sizeof(char16_t)) != 0)
            return nullptr;
        return r.entry->second.get();
    }

    const Program& remember(QStringView text, Map::const_iterator entry)
    {
        recent[recentIndex(text)] = {text.utf16(), entry};
        return *entry->second;
    }

    bool full(size_t extra) const
    {
        return programs.size() >= kMaxCacheEntries || chars + extra > kMaxCachedChars;
    }
    void clear()
    {
        recent = {};
        programs.clear();
        chars = 0;
    }
};

std::u16string_view viewOf(QStringView text)
{
    return {text.utf16(), static_cast<size_t>(text.size())};
}

// The Err object: the last error caught under On Error Resume Next.
class ErrObject final : public HostObject {
public:
    QString typeName() const override { return QStringLiteral("ErrObject"); }

    bool hasMember(const QString& name) const override
    {
        static const char* const names[] = {"number", "description", "source", "clear", "raise", "helpfile", "helpcontext"};
        for (const char* n : names) {
            if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }

    Value invoke(const QString& name, std::span<const Value> args) override
    {
        auto is = [&name](const char* n) { return name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0; };
        if (is("number") || name.isEmpty())
            return Value::fromLong(number);
        if (is("description"))
            return Value::fromString(description);
        if (is("source"))
            return Value::fromString(source);
        if (is("helpfile"))
            return Value::fromString(QString());
        if (is("helpcontext"))
            return Value::fromLong(0);
        if (is("clear")) {
            clear();
            return Value();
        }
        if (is("raise")) {
            if (args.empty() || args.size() > 5)
                throw VbsError::withName(450, QStringLiteral("Raise"));
            int32_t n = args[0].toLong();
            if (n == 0)
                throw VbsError(5);
            QString text = args.size() > 2 && !args[2].isEmpty() ? args[2].toText() : errorDescription(n);
            throw VbsError(n, text);
        }
        throw VbsError::withName(438, name);
    }

    void setProperty(const QString& name, std::span<const Value>, const Value& value) override
    {
        if (name.compare(QLatin1String("number"), Qt::CaseInsensitive) == 0)
            number = value.toLong();
        else if (name.compare(QLatin1String("description"), Qt::CaseInsensitive) == 0)
            description = value.toText();
        else if (name.compare(QLatin1String("source"), Qt::CaseInsensitive) == 0)
            source = value.toText();
        else
            throw VbsError::withName(438, name);
    }

    void clear()
    {
        number = 0;
        description.clear();
        source.clear();
    }

    int32_t number = 0;
    QString description;
    QString source;
};

bool isSmallInt(const Value& v)
{
    return v.type() == Value::Type::Integer || v.type() == Value::Type::Long;
}

bool isDoubleOrSmallInt(const Value& v)
{
    return isSmallInt(v) || v.type() == Value::Type::Double;
}

double asDouble(const Value& v)
{
    return v.type() == Value::Type::Double ? v.floatValue() : static_cast<double>(v.integralValue());
}

// Double arithmetic reports overflow instead of producing an infinity.
Value checkedDouble(double r)
{
    if (!std::isfinite(r))
        throw VbsError(6);
    return Value::fromDouble(r);
}

// Integer/Long arithmetic, widening on overflow.
Value widened(int64_t r, bool bothInteger)
{
    if (bothInteger && r >= std::numeric_limits<int16_t>::min() && r <= std::numeric_limits<int16_t>::max())
        return Value::fromInteger(static_cast<int16_t>(r));
    if (r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max())
        return Value::fromLong(static_cast<int32_t>(r));
    return Value::fromDouble(static_cast<double>(r));
}

// Adds the built-in's name to an error raised inside it: "Overflow: 'CInt'".
VbsError& named(VbsError& e, const QString& name)
{
    if (e.description == errorDescription(e.number))
        e.description += QStringLiteral(": '") + name + QLatin1Char('\'');
    return e;
}

}  // namespace

struct ScriptHost::Impl final : SlotResolver {
    SlotTable globals;
    std::unordered_map<std::u16string, int32_t> slotIndex;
    ProgramCache expressionCache;
    ProgramCache statementCache;
    std::vector<std::unique_ptr<Program>> transient;  // uncached programs of the running call
    std::vector<std::pair<QString, std::shared_ptr<HostObject>>> visibleObjects;
    std::shared_ptr<ErrObject> err = std::make_shared<ErrObject>();
    bool optionExplicit = false;
    bool resumeNext = false;
    int active = 0;  // calls running now: the outer one plus nested Evals (and re-entry)
    RandomState random;
    MsgBoxHandler msgBox;
    BuiltinContext context{random, {}, {}};
    ScriptError error;
    const BuiltinTable& builtins = BuiltinTable::standard();

    // Keeps programs of running calls alive: uncached ones are freed, and the
    // cache may start over, only when no call is running.
    struct ActiveCall {
        explicit ActiveCall(Impl& impl) : d(impl) { ++d.active; }
        ~ActiveCall()
        {
            if (--d.active == 0 && !d.transient.empty())
                d.transient.clear();
        }
        Impl& d;
    };

    Impl()
    {
        context.msgBox = [this](const QString& prompt, int buttons, const QString& title) {
            return msgBox ? msgBox(prompt, buttons, title) : 1;
        };
        context.eval = [this](QStringView text) { return nestedEval(text); };
    }

    int32_t slotFor(QStringView name) override
    {
        std::u16string key = lowerKey(name);
        auto it = slotIndex.find(key);
        if (it != slotIndex.end())
            return it->second;
        if (globals.size() >= kMaxSlots)
            return -1;
        auto index = static_cast<int32_t>(globals.size());
        globals.emplace_back();
        slotIndex.emplace(std::move(key), index);
        return index;
    }

    // The parsed form of `text`, from the cache when it was seen before.
    const Program& program(QStringView text, bool expression)
    {
        ProgramCache& cache = expression ? expressionCache : statementCache;
        if (const Program* recent = cache.findRecent(text))
            return *recent;
        auto it = cache.programs.find(viewOf(text));
        if (it != cache.programs.end())
            return cache.remember(text, it);
        auto parsed = std::make_unique<Program>(parseProgram(text, expression, *this));
        const auto size = static_cast<size_t>(text.size());
        // Programs of a running call must stay alive: the cache is only
        // emptied between top-level calls.
        if (text.size() > kMaxCachedText || (cache.full(size) && active > 1)) {
            transient.push_back(std::move(parsed));
            return *transient.back();
        }
        if (cache.full(size))
            cache.clear();
        cache.chars += size;
        auto inserted = cache.programs.emplace(std::u16string(viewOf(text)), std::move(parsed));
        return cache.remember(text, inserted.first);
    }

    Value eval(const Program& p, int32_t index)
    {
        const Node& n = p.nodes[static_cast<size_t>(index)];
        switch (n.kind) {
        case NodeKind::Constant: return p.constants[static_cast<size_t>(n.a)];
        case NodeKind::Variable: {
            const Slot& s = globals[static_cast<size_t>(n.a)];
            if (s.state != Unset)
                return s.value;
            return annotated(p, n);
        }
        case NodeKind::Binary: return binary(p, n);
        default: return annotated(p, n);
        }
    }

    // A node without side effects: reading it cannot change any variable.
    static bool isSimple(const Program& p, int32_t index)
    {
        NodeKind k = p.nodes[static_cast<size_t>(index)].kind;
        return k == NodeKind::Constant || k == NodeKind::Variable;
    }

    // The node's value without copying it when it is a constant, a variable
    // or an array element.
    const Value& ref(const Program& p, int32_t index, Value& scratch)
    {
        const Node& n = p.nodes[static_cast<size_t>(index)];
        if (n.kind == NodeKind::Constant)
            return p.constants[static_cast<size_t>(n.a)];
        if (n.kind == NodeKind::Variable) {
            const Slot& s = globals[static_cast<size_t>(n.a)];
            if (s.state != Unset)
                return s.value;
        }
        if (n.kind == NodeKind::Index) {
            if (Slot* s = arraySlot(n))
                return annotatedElement(p, n, *s);
        }
        scratch = eval(p, index);
        return scratch;
    }

    const Value& annotatedElement(const Program& p, const Node& n, Slot& slot)
    {
        try {
            return element(p, n, slot);
        } catch (VbsError& e) {
            if (e.column < 0)
                e.column = n.column;
            throw;
        }
    }

    // A constant or a variable that was set, read in place; null otherwise.
    const Value* plainOperand(const Program& p, int32_t index)
    {
        const Node& n = p.nodes[static_cast<size_t>(index)];
        if (n.kind == NodeKind::Constant)
            return &p.constants[static_cast<size_t>(n.a)];
        if (n.kind == NodeKind::Variable) {
            Slot& s = globals[static_cast<size_t>(n.a)];
            if (s.state != Unset)
                return &s.value;
        }
        return nullptr;
    }

    // Two Integer/Long operands that are constants or variables, the most
    // common operation of a loop, with nothing made but the result; the rest
    // goes the general way.
    Value binary(const Program& p, const Node& n)
    {
        const Value* left = plainOperand(p, n.a);
        const Value* right = left ? plainOperand(p, n.b) : nullptr;
        if (right && isSmallInt(*left) && isSmallInt(*right)) {
            const int64_t x = left->integralValue(), y = right->integralValue();
            const bool bothInteger = left->type() == Value::Type::Integer && right->type() == Value::Type::Integer;
            switch (n.op) {
            case BinaryOp::Add: return widened(x + y, bothInteger);
            case BinaryOp::Sub: return widened(x - y, bothInteger);
            case BinaryOp::Eq: return Value::fromBool(x == y);
            case BinaryOp::Ne: return Value::fromBool(x != y);
            case BinaryOp::Lt: return Value::fromBool(x < y);
            case BinaryOp::Gt: return Value::fromBool(x > y);
            case BinaryOp::Le: return Value::fromBool(x <= y);
            case BinaryOp::Ge: return Value::fromBool(x >= y);
            default: break;
            }
        }
        return generalBinary(p, n);
    }

    [[gnu::noinline]] Value generalBinary(const Program& p, const Node& n)
    {
        Value leftScratch, rightScratch;
        const Value* left;
        if (isSimple(p, n.b)) {
            left = &ref(p, n.a, leftScratch);
        } else {
            leftScratch = eval(p, n.a);
            left = &leftScratch;
        }
        const Value& right = ref(p, n.b, rightScratch);
        if (isSmallInt(*left) && isSmallInt(right)) {
            int64_t x = left->integralValue(), y = right.integralValue();
            bool bothInteger = left->type() == Value::Type::Integer && right.type() == Value::Type::Integer;
            switch (n.op) {
            case BinaryOp::Add: return widened(x + y, bothInteger);
            case BinaryOp::Sub: return widened(x - y, bothInteger);
            case BinaryOp::Mul: return widened(x * y, bothInteger);
            case BinaryOp::Eq: return Value::fromBool(x == y);
            case BinaryOp::Ne: return Value::fromBool(x != y);
            case BinaryOp::Lt: return Value::fromBool(x < y);
            case BinaryOp::Gt: return Value::fromBool(x > y);
            case BinaryOp::Le: return Value::fromBool(x <= y);
            case BinaryOp::Ge: return Value::fromBool(x >= y);
            case BinaryOp::IntDiv:
            case BinaryOp::Mod: {
                if (y == 0)
                    break;  // 11, from the general path
                const int64_t r = n.op == BinaryOp::Mod ? x % y : x / y;
                if (bothInteger || (r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()))
                    return widened(r, bothInteger);
                break;  // overflow, from the general path
            }
            default: break;
            }
        } else if (left->type() == Value::Type::Boolean && right.type() == Value::Type::Boolean) {
            const bool x = left->boolValue(), y = right.boolValue();
            switch (n.op) {
            case BinaryOp::And: return Value::fromBool(x && y);
            case BinaryOp::Or: return Value::fromBool(x || y);
            case BinaryOp::Xor: return Value::fromBool(x != y);
            default: break;
            }
        } else if (isDoubleOrSmallInt(*left) && isDoubleOrSmallInt(right)) {
            // A Double with a Double, Integer or Long: a Double result.
            if (std::optional<Value> r = doubleBinary(n, asDouble(*left), asDouble(right)))
                return std::move(*r);
        }
        try {
            return binaryOp(n.op, *left, right, p.nodes[static_cast<size_t>(n.a)].flags & kLiteral,
                            p.nodes[static_cast<size_t>(n.b)].flags & kLiteral);
        } catch (VbsError& e) {
            if (e.column < 0)
                e.column = n.column;
            throw;
        }
    }

    static std::optional<Value> doubleBinary(const Node& n, double x, double y)
    {
        try {
            switch (n.op) {
            case BinaryOp::Add: return checkedDouble(x + y);
            case BinaryOp::Sub: return checkedDouble(x - y);
            case BinaryOp::Mul: return checkedDouble(x * y);
            case BinaryOp::Div:
                if (y == 0.0)
                    return std::nullopt;  // 11 or 6, as the general path decides
                return checkedDouble(x / y);
            case BinaryOp::Eq: return Value::fromBool(x == y);
            case BinaryOp::Ne: return Value::fromBool(x != y);
            case BinaryOp::Lt: return Value::fromBool(x < y);
            case BinaryOp::Gt: return Value::fromBool(x > y);
            case BinaryOp::Le: return Value::fromBool(x <= y);
            case BinaryOp::Ge: return Value::fromBool(x >= y);
            default: return std::nullopt;
            }
        } catch (VbsError& e) {
            e.column = n.column;
            throw;
        }
    }

    // The less common nodes; errors without a column get this node's.
    Value annotated(const Program& p, const Node& n)
    {
        try {
            return evalOther(p, n);
        } catch (VbsError& e) {
            if (e.column < 0)
                e.column = n.column;
            throw;
        }
    }

    Value evalOther(const Program& p, const Node& n)
    {
        switch (n.kind) {
        case NodeKind::Variable: return readUnset(p, n);
        case NodeKind::Negate: return negate(eval(p, n.a));
        case NodeKind::Not: return logicalNot(eval(p, n.a));
        case NodeKind::Builtin: return callBuiltin(p, n);
        case NodeKind::Index: return index(p, n);
        case NodeKind::Member: return member(p, n);
        case NodeKind::Apply: return apply(p, n);
        case NodeKind::ErrObject: return Value::fromLong(err->number);
        case NodeKind::Missing: return Value();
        default: return eval(p, static_cast<int32_t>(&n - p.nodes.data()));
        }
    }

    const QString& nameOf(const Program& p, const Node& n) const { return p.names[static_cast<size_t>(n.name)]; }

    // A global name nobody declared or assigned: a member of an object added
    // with visible members, or Empty.
    std::shared_ptr<HostObject> visibleOwner(const QString& name)
    {
        for (auto it = visibleObjects.rbegin(); it != visibleObjects.rend(); ++it) {
            if (it->second && it->second->hasMember(name))
                return it->second;
        }
        return nullptr;
    }

    Value readUnset(const Program& p, const Node& n)
    {
        const QString& name = nameOf(p, n);
        if (std::shared_ptr<HostObject> owner = visibleOwner(name))
            return owner->invoke(name, {});
        if (optionExplicit)
            throw VbsError::withName(500, name);
        return Value();
    }

    // Arguments, evaluated left to right into a small buffer. The buffer's
    // values are made as the arguments are evaluated, so a call of two
    // arguments makes and frees two values, not six.
    struct Arguments {
        static constexpr size_t kSmall = 6;
        Arguments() = default;
        Arguments(const Arguments&) = delete;
        Arguments& operator=(const Arguments&) = delete;
        ~Arguments()
        {
            for (size_t i = 0; i < made; ++i)
                smallData()[i].~Value();
        }
        Value* smallData() { return std::launder(reinterpret_cast<Value*>(small)); }
        const Value* smallData() const { return std::launder(reinterpret_cast<const Value*>(small)); }
        std::span<const Value> span() const
        {
            return large.empty() ? std::span<const Value>(smallData(), count) : std::span<const Value>(large);
        }
        alignas(Value) unsigned char small[kSmall * sizeof(Value)];
        size_t made = 0;  // values made in `small`
        std::vector<Value> large;
        size_t count = 0;
    };

    [[gnu::always_inline]] void evalArguments(const Program& p, const Node& n, Arguments& out)
    {
        out.count = static_cast<size_t>(n.argCount);
        if (out.count > Arguments::kSmall) {
            out.large.resize(out.count);
            for (size_t i = 0; i < out.count; ++i)
                out.large[i] = eval(p, p.args[static_cast<size_t>(n.firstArg) + i]);
            return;
        }
        for (size_t i = 0; i < out.count; ++i) {
            new (out.smallData() + i) Value(eval(p, p.args[static_cast<size_t>(n.firstArg) + i]));
            ++out.made;
        }
    }

    // The indexes of an element access as whole numbers, in a fixed buffer:
    // reading or writing an element allocates nothing. More indexes than an
    // array can have dimensions are counted, so the access fails with 9.
    struct Indexes {
        std::array<int32_t, ArrayData::kMaxDimensions> values;
        size_t count = 0;
        void add(int32_t index)
        {
            if (count < values.size())
                values[count] = index;
            ++count;
        }
    };

    void evalIndexes(const Program& p, const Node& n, Indexes& out)
    {
        for (int32_t k = 0; k < n.argCount; ++k) {
            Value scratch;
            out.add(ref(p, p.args[static_cast<size_t>(n.firstArg + k)], scratch).toLong());
        }
    }

    static Indexes indexesOf(std::span<const Value> args)
    {
        Indexes indexes;
        for (const Value& a : args)
            indexes.add(a.toLong());
        return indexes;
    }

    static Value& elementAt(ArrayData& array, const Indexes& indexes)
    {
        return array.at(indexes.values.data(), indexes.count);
    }

    // The slot of an element access a(i, j) whose variable holds an array.
    Slot* arraySlot(const Node& n)
    {
        Slot& s = globals[static_cast<size_t>(n.a)];
        return s.state != Unset && s.value.isArray() ? &s : nullptr;
    }

    // a(i, j) on an array, read in place; the indexes are evaluated first.
    const Value& element(const Program& p, const Node& n, Slot& slot)
    {
        Indexes indexes;
        evalIndexes(p, n, indexes);
        // Evaluating an index may have called out and replaced the array.
        if (!slot.value.isArray())
            throw VbsError::withName(13, nameOf(p, n));
        return elementAt(*slot.value.arrayValue(), indexes);
    }

    Value callBuiltin(const Program& p, const Node& n)
    {
        const BuiltinEntry& entry = builtins.at(n.a);
        if (n.flags & kCompleteArgs) {
            Arguments args;
            evalArguments(p, n, args);
            try {
                return entry.fn(context, args.span());
            } catch (VbsError& e) {
                throw named(e, entry.name);
            }
        }
        // Omitted trailing arguments are simply absent; an omitted required
        // one is 449.
        Node call = n;
        auto isMissing = [&p, &n](int32_t k) {
            return p.nodes[static_cast<size_t>(p.args[static_cast<size_t>(n.firstArg + k)])].kind == NodeKind::Missing;
        };
        while (call.argCount > 0 && isMissing(call.argCount - 1))
            --call.argCount;
        if (call.argCount < entry.minArgs || call.argCount > entry.maxArgs)
            throw VbsError::withName(call.argCount < n.argCount && call.argCount < entry.minArgs ? 449 : 450, entry.name);
        for (int32_t k = 0; k < entry.minArgs; ++k) {
            if (isMissing(k))
                throw VbsError::withName(449, entry.name);
        }
        Arguments args;
        evalArguments(p, call, args);
        try {
            return entry.fn(context, args.span());
        } catch (VbsError& e) {
            throw named(e, entry.name);
        }
    }

    // name(args): an array element, a visible member call, or an object's default member.
    Value index(const Program& p, const Node& n)
    {
        if (Slot* s = arraySlot(n))
            return element(p, n, *s);
        Arguments args;
        evalArguments(p, n, args);
        Slot& s = globals[static_cast<size_t>(n.a)];
        const QString& name = nameOf(p, n);
        if (s.state == Unset) {
            if (std::shared_ptr<HostObject> owner = visibleOwner(name))
                return owner->invoke(name, args.span());
            if (optionExplicit)
                throw VbsError::withName(500, name);
            throw VbsError::withName(13, name);
        }
        if (s.value.isArray())
            return elementAt(*s.value.arrayValue(), indexesOf(args.span()));
        if (s.value.isObject() && s.value.objectValue()) {
            std::shared_ptr<HostObject> object = s.value.objectValue();
            return object->invoke(QString(), args.span());
        }
        throw VbsError::withName(s.value.notAValueError(), name);
    }

    // The object a member is read from: Nothing gives 91, a non-object 424.
    std::shared_ptr<HostObject> objectOf(const Program& p, int32_t index)
    {
        const Node& n = p.nodes[static_cast<size_t>(index)];
        if (n.kind == NodeKind::ErrObject)
            return err;
        Value v = eval(p, index);
        if (!v.isObject()) {
            bool named = n.kind == NodeKind::Variable || n.kind == NodeKind::Index;
            throw named ? VbsError::withName(424, nameOf(p, n), n.column) : VbsError(424, n.column);
        }
        if (!v.objectValue())
            throw VbsError(91, n.column);
        return v.objectValue();
    }

    Value member(const Program& p, const Node& n)
    {
        std::shared_ptr<HostObject> object = objectOf(p, n.a);
        Arguments args;
        evalArguments(p, n, args);
        return object->invoke(nameOf(p, n), args.span());
    }

    // f(x)(i): an element of the array a call returned, or its object's default member.
    Value apply(const Program& p, const Node& n)
    {
        Value target = eval(p, n.a);
        Arguments args;
        evalArguments(p, n, args);
        if (target.isArray())
            return elementAt(*target.arrayValue(), indexesOf(args.span()));
        if (target.isObject() && target.objectValue())
            return target.objectValue()->invoke(QString(), args.span());
        throw VbsError(target.notAValueError());
    }

    Value nestedEval(QStringView text)
    {
        if (active > kMaxEvalNesting)
            throw VbsError(28);
        ActiveCall call(*this);
        const Program& p = program(text, true);
        if (p.errorNumber != 0)
            throw VbsError(p.errorNumber, p.errorDescription);
        return eval(p, p.root);
    }

    void run(const Program& p, const Stmt& s)
    {
        switch (s.kind) {
        case StmtKind::Assign: {
            Value v = eval(p, s.value);
            // The common case, a variable assigned before: straight into its slot.
            const Node& t = p.nodes[static_cast<size_t>(s.target)];
            if (t.kind == NodeKind::Variable && !v.isObject()) {
                Slot& slot = globals[static_cast<size_t>(t.a)];
                if (slot.state == Implicit || slot.state == Declared) {
                    slot.value = std::move(v);
                    break;
                }
            }
            assign(p, s.target, std::move(v), false);
            break;
        }
        case StmtKind::SetAssign: {
            Value v = eval(p, s.value);
            if (!v.isObject())
                throw VbsError(424, p.nodes[static_cast<size_t>(s.value)].column);
            assign(p, s.target, std::move(v), true);
            break;
        }
        case StmtKind::AppendAssign: append(p, s); break;
        case StmtKind::Call: call(p, s.value); break;
        case StmtKind::Dim: dim(p, s); break;
        case StmtKind::ReDim: redim(p, s); break;
        case StmtKind::Const: defineConstants(p, s); break;
        case StmtKind::Erase: erase(p, s); break;
        case StmtKind::OptionExplicit: optionExplicit = true; break;
        case StmtKind::OnErrorResumeNext:
            resumeNext = true;
            err->clear();
            break;
        case StmtKind::OnErrorGoto0:
            resumeNext = false;
            err->clear();
            break;
        }
    }

    void assign(const Program& p, int32_t target, Value value, bool isSet)
    {
        const Node& t = p.nodes[static_cast<size_t>(target)];
        try {
            if (!isSet && value.isObject())
                throw value.objectValue() ? VbsError::withName(450, nameOf(p, t)) : VbsError(91);
            switch (t.kind) {
            case NodeKind::Variable: assignVariable(p, t, std::move(value)); return;
            case NodeKind::Index: assignElement(p, t, std::move(value)); return;
            case NodeKind::Member: {
                std::shared_ptr<HostObject> object = objectOf(p, t.a);
                Arguments args;
                evalArguments(p, t, args);
                object->setProperty(nameOf(p, t), args.span(), value);
                return;
            }
            default: throw VbsError(501);
            }
        } catch (VbsError& e) {
            if (e.column < 0)
                e.column = t.column;
            throw;
        }
    }

    void assignVariable(const Program& p, const Node& t, Value value)
    {
        Slot& s = globals[static_cast<size_t>(t.a)];
        switch (s.state) {
        case Constant: throw VbsError::withName(501, nameOf(p, t));
        case Unset:
            if (std::shared_ptr<HostObject> owner = visibleOwner(nameOf(p, t))) {
                owner->setProperty(nameOf(p, t), {}, value);
                return;
            }
            if (optionExplicit)
                throw VbsError::withName(500, nameOf(p, t));
            s.state = Implicit;
            break;
        case Named: s.state = Implicit; break;
        default: break;
        }
        s.value = std::move(value);
    }

    void assignElement(const Program& p, const Node& t, Value value)
    {
        if (Slot* s = arraySlot(t)) {
            Indexes indexes;
            evalIndexes(p, t, indexes);
            if (s->value.isArray()) {
                ArrayData& array = s->value.mutableArray();
                Value& element = elementAt(array, indexes);
                array.admit(value);
                element = std::move(value);
                return;
            }
            throw VbsError::withName(13, nameOf(p, t));
        }
        Arguments args;
        evalArguments(p, t, args);
        Slot& s = globals[static_cast<size_t>(t.a)];
        const QString& name = nameOf(p, t);
        if (s.state == Unset) {
            if (std::shared_ptr<HostObject> owner = visibleOwner(name)) {
                owner->setProperty(name, args.span(), value);
                return;
            }
            throw VbsError::withName(optionExplicit ? 500 : 13, name);
        }
        if (s.value.isArray()) {
            ArrayData& array = s.value.mutableArray();
            Value& element = elementAt(array, indexesOf(args.span()));
            array.admit(value);
            element = std::move(value);
            return;
        }
        if (s.value.isObject() && s.value.objectValue()) {
            std::shared_ptr<HostObject> object = s.value.objectValue();
            object->setProperty(QString(), args.span(), value);
            return;
        }
        throw VbsError::withName(13, name);
    }

    // x = x & y with x holding a string: the string grows in place.
    void append(const Program& p, const Stmt& s)
    {
        const Node& concat = p.nodes[static_cast<size_t>(s.value)];
        const Node& t = p.nodes[static_cast<size_t>(s.target)];
        Slot& slot = globals[static_cast<size_t>(t.a)];
        auto appendable = [&slot] {
            return (slot.state == Implicit || slot.state == Declared) && slot.value.isString() && !slot.value.hasLoneByte();
        };
        if (!appendable()) {
            assign(p, s.target, eval(p, s.value), false);
            return;
        }
        Value scratch;
        const Value& right = ref(p, concat.b, scratch);
        if (right.isString() && slot.value.isString()
            && slot.value.stringValue().size() + right.stringValue().size() > kMaxStringChars)
            throw VbsError(14, concat.column);
        // Evaluating the right side may have called out and changed x.
        if (appendable() && right.isString() && !right.hasLoneByte()) {
            slot.value.mutableString().append(right.stringValue());
            return;
        }
        if (appendable() && !right.isObject() && !right.isArray() && !right.hasLoneByte()) {
            slot.value.mutableString().append(right.toText());
            return;
        }
        Value result;
        try {
            result = binaryOp(BinaryOp::Concat, slot.value, right);
        } catch (VbsError& e) {
            if (e.column < 0)
                e.column = concat.column;
            throw;
        }
        assign(p, s.target, std::move(result), false);
    }

    void call(const Program& p, int32_t index)
    {
        const Node& n = p.nodes[static_cast<size_t>(index)];
        if (n.kind == NodeKind::Variable) {
            Node asCall = n;
            asCall.kind = NodeKind::Index;
            asCall.argCount = 0;
            annotated(p, asCall);
            return;
        }
        eval(p, index);
    }

    Slot& declaredSlot(const Decl& d)
    {
        Slot& s = globals[static_cast<size_t>(d.slot)];
        if (s.state == Constant)
            throw VbsError(1041);
        if (s.state == Unset || s.state == Implicit || s.state == Named)
            s.state = Declared;
        return s;
    }

    std::vector<int32_t> bounds(const Program& p, const Decl& d)
    {
        std::vector<int32_t> upper;
        for (int32_t k = 0; k < d.dimCount; ++k)
            upper.push_back(eval(p, p.args[static_cast<size_t>(d.firstDim + k)]).toLong());
        return upper;
    }

    // Dim of a name that exists keeps its value: a line may run many times.
    void dim(const Program& p, const Stmt& s)
    {
        for (int32_t i = 0; i < s.declCount; ++i) {
            const Decl& d = p.decls[static_cast<size_t>(s.firstDecl + i)];
            Slot& slot = declaredSlot(d);
            if (!d.array || slot.value.isArray())
                continue;
            if (d.dimCount == 0) {
                slot.value = Value::fromArray(std::make_shared<ArrayData>());
                continue;
            }
            auto array = ArrayData::create(bounds(p, d));
            array->fixedSize = true;
            slot.value = Value::fromArray(std::move(array));
        }
    }

    void redim(const Program& p, const Stmt& s)
    {
        for (int32_t i = 0; i < s.declCount; ++i) {
            const Decl& d = p.decls[static_cast<size_t>(s.firstDecl + i)];
            std::vector<int32_t> upper = bounds(p, d);
            Slot& slot = declaredSlot(d);
            if (slot.value.isArray() && slot.value.arrayValue()->fixedSize)
                throw VbsError(10);
            if (s.preserve && slot.value.isArray() && !slot.value.arrayValue()->upper.empty()) {
                slot.value.mutableArray().resizeLastDimension(upper);
                continue;
            }
            slot.value = Value::fromArray(ArrayData::create(upper));
        }
    }

    void defineConstants(const Program& p, const Stmt& s)
    {
        for (int32_t i = 0; i < s.declCount; ++i) {
            const Decl& d = p.decls[static_cast<size_t>(s.firstDecl + i)];
            Slot& slot = globals[static_cast<size_t>(d.slot)];
            if (slot.state != Unset && slot.state != Constant)
                throw VbsError(1041);
            slot.state = Constant;
            slot.value = eval(p, d.value);
        }
    }

    void erase(const Program& p, const Stmt& s)
    {
        for (int32_t i = 0; i < s.declCount; ++i) {
            const Decl& d = p.decls[static_cast<size_t>(s.firstDecl + i)];
            Slot& slot = globals[static_cast<size_t>(d.slot)];
            if (!slot.value.isArray())
                throw VbsError::withName(13, QStringLiteral("Erase"));
            const ArrayData& old = *slot.value.arrayValue();
            if (old.fixedSize) {
                auto array = ArrayData::create(old.upper);
                array->fixedSize = true;
                slot.value = Value::fromArray(std::move(array));
            } else {
                slot.value = Value::fromArray(std::make_shared<ArrayData>());
            }
        }
    }

    void fail(int number, int column, const QString& description)
    {
        error.number = number;
        error.column = column < 0 ? 0 : column;
        error.description = description;
        error.source = isCompileError(number) ? kCompileSource : kRuntimeSource;
    }

    void succeed()
    {
        if (error.number != 0 || !error.description.isEmpty())
            error = ScriptError();
    }


    // A flat number expression run over typed numbers; false when an
    // operand or a result leaves Integer, Long and Double (or an operation
    // would fail): nothing was changed and the node tree decides.
    // A slot's number as its raw bits: a Value keeps a Double's bits where
    // it keeps a whole number, as Number does.
    [[gnu::always_inline]] bool load(int32_t slot, Number& n)
    {
        const Slot& s = globals[static_cast<size_t>(slot)];
        const Value::Type t = s.value.type();
        if (s.state == Unset || (t != Value::Type::Integer && t != Value::Type::Long && t != Value::Type::Double))
            return false;
        n.type = t;
        n.i = s.value.integralValue();
        return true;
    }

    [[gnu::always_inline]] bool evalNumbers(const NumberCode& code, Number& out)
    {
        // The commonest shape, a leaf and an operation with a leaf (`i + 1`,
        // `k = 0`), without the loop.
        if (code.ops.size() == 2) {
            const NumberOp& first = code.ops[0];
            const NumberOp& second = code.ops[1];
            Number left, right;
            if (first.code == NumberOp::Code::Variable) {
                if (!load(first.a, left))
                    return false;
            } else {
                left = code.constants[static_cast<size_t>(first.a)];
            }
            if (second.code == NumberOp::Code::BinaryVariable) {
                if (!load(second.a, right))
                    return false;
            } else {
                right = code.constants[static_cast<size_t>(second.a)];
            }
            return numberBinary(second.op, left, right, out);
        }
        Number stack[kMaxNumberDepth];
        int top = 0;
        for (const NumberOp& op : code.ops) {
            switch (op.code) {
            case NumberOp::Code::Constant: stack[top++] = code.constants[static_cast<size_t>(op.a)]; break;
            case NumberOp::Code::Variable:
                if (!load(op.a, stack[top++]))
                    return false;
                break;
            case NumberOp::Code::Binary:
                --top;
                if (!numberBinary(op.op, stack[top - 1], stack[top], stack[top - 1]))
                    return false;
                break;
            case NumberOp::Code::BinaryConstant:
                if (!numberBinary(op.op, stack[top - 1], code.constants[static_cast<size_t>(op.a)], stack[top - 1]))
                    return false;
                break;
            case NumberOp::Code::BinaryVariable: {
                Number right;
                if (!load(op.a, right) || !numberBinary(op.op, stack[top - 1], right, stack[top - 1]))
                    return false;
                break;
            }
            }
        }
        out = stack[0];
        return true;
    }

    // A program's flat form, when it has one and it holds for the values at
    // hand: it cannot fail or call out, so it runs before any guard.
    [[gnu::always_inline]] bool evalFlat(const Program& p, Value& result)
    {
        Number n;
        if (p.numbers.empty() || p.numbers.target >= 0 || !evalNumbers(p.numbers, n))
            return false;
        result.assignScalar(n.type, n.i);
        succeed();
        return true;
    }

    [[gnu::always_inline]] bool executeFlat(const Program& p)
    {
        if (p.numbers.target < 0 || !assignNumbers(p.numbers))
            return false;
        succeed();
        return true;
    }

    // `name = expression` of numbers into a variable that was set before.
    [[gnu::always_inline]] bool assignNumbers(const NumberCode& code)
    {
        Slot& slot = globals[static_cast<size_t>(code.target)];
        if (slot.state != Implicit && slot.state != Declared)
            return false;
        Number n;
        if (!evalNumbers(code, n))
            return false;
        slot.value.assignScalar(n.type, n.i);
        return true;
    }

    [[gnu::always_inline]] bool evalProgram(const Program& p, Value& result)
    {
        if (p.errorNumber != 0) {
            fail(p.errorNumber, p.errorColumn, p.errorDescription);
            return false;
        }
        result = eval(p, p.root);
        succeed();
        return true;
    }

    [[gnu::always_inline]] bool executeProgram(const Program& p)
    {
        if (p.errorNumber != 0) {
            fail(p.errorNumber, p.errorColumn, p.errorDescription);
            return false;
        }
        if (std::optional<VbsError> failure = runStatements(p)) {
            fail(failure->number, failure->column, failure->description);
            return false;
        }
        succeed();
        return true;
    }

    // Runs every statement of the line; under On Error Resume Next a failing
    // statement is recorded in Err and the next one runs.
    [[gnu::always_inline]] std::optional<VbsError> runStatements(const Program& p)
    {
        for (const Stmt& s : p.stmts) {
            try {
                run(p, s);
            } catch (VbsError& e) {
                if (e.column < 0)
                    e.column = s.column;
                if (!resumeNext)
                    return e;
                err->number = e.number;
                err->description = e.description;
                err->source = kRuntimeSource;
            }
        }
        return std::nullopt;
    }
};

ScriptHost::ScriptHost() : d(std::make_unique<Impl>()) {}
ScriptHost::~ScriptHost() = default;

namespace {

// Runs `body` for a public call and turns anything it throws into the host's
// error state, so no exception leaves the host.
template <typename Impl, typename Body>
bool guarded(Impl& d, Body body)
{
    try {
        return body();
    } catch (const VbsError& e) {
        d.fail(e.number, e.column, e.description);
    } catch (const std::bad_alloc&) {
        d.fail(7, 0, errorDescription(7));
    } catch (...) {
        d.fail(51, 0, errorDescription(51));
    }
    return false;
}

}  // namespace

bool ScriptHost::eval(QStringView expression, Value& result)
{
    Impl::ActiveCall call(*d);
    return guarded(*d, [&] {
        const Program& p = d->program(expression, true);
        return d->evalFlat(p, result) || d->evalProgram(p, result);
    });
}

bool ScriptHost::executeStatement(QStringView statement)
{
    Impl::ActiveCall call(*d);
    return guarded(*d, [&] {
        const Program& p = d->program(statement, false);
        return d->executeFlat(p) || d->executeProgram(p);
    });
}

std::shared_ptr<const Program> ScriptHost::compile(QStringView text, bool expression)
{
    try {
        return std::make_shared<const Program>(parseProgram(text, expression, *d));
    } catch (...) {
        return nullptr;
    }
}

namespace {

// The general path of a prepared program, kept out of line so the flat path
// before it stays small.
template <typename Impl>
[[gnu::noinline]] bool evalGeneral(Impl& d, const Program& expression, Value& result)
{
    typename Impl::ActiveCall call(d);
    return guarded(d, [&] { return d.evalProgram(expression, result); });
}

template <typename Impl>
[[gnu::noinline]] bool executeGeneral(Impl& d, const Program& statement)
{
    typename Impl::ActiveCall call(d);
    return guarded(d, [&] { return d.executeProgram(statement); });
}

}  // namespace

bool ScriptHost::eval(const Program& expression, Value& result)
{
    return d->evalFlat(expression, result) || evalGeneral(*d, expression, result);
}

bool ScriptHost::flatCondition(const Program& expression, bool& truth)
{
    Number n;
    if (expression.numbers.empty() || expression.numbers.target >= 0 || !d->evalNumbers(expression.numbers, n))
        return false;
    truth = n.type == Value::Type::Double ? n.d != 0.0 : n.i != 0;
    d->succeed();
    return true;
}

bool ScriptHost::executeStatement(const Program& statement)
{
    return d->executeFlat(statement) || executeGeneral(*d, statement);
}

void ScriptHost::addObject(const QString& name, std::shared_ptr<HostObject> object, bool membersVisible)
{
    int32_t slot = d->slotFor(name);
    if (slot < 0)
        return;
    Slot& s = d->globals[static_cast<size_t>(slot)];
    s.value = Value::fromObject(object);
    s.state = Named;
    auto& visible = d->visibleObjects;
    visible.erase(std::remove_if(visible.begin(), visible.end(),
                                 [&name](const auto& v) { return v.first.compare(name, Qt::CaseInsensitive) == 0; }),
                  visible.end());
    if (membersVisible)
        visible.emplace_back(name, std::move(object));
}

void ScriptHost::reset()
{
    for (size_t i = 0; i < d->globals.size(); ++i) {
        Slot& s = d->globals[i];
        s.value = Value();
        s.state = Unset;
    }
    d->visibleObjects.clear();
    d->optionExplicit = false;
    d->resumeNext = false;
    d->err->clear();
    d->random = RandomState();
}

const ScriptError& ScriptHost::error() const
{
    return d->error;
}

void ScriptHost::clearError()
{
    d->error = ScriptError();
}

void ScriptHost::setMsgBoxHandler(MsgBoxHandler handler)
{
    d->msgBox = std::move(handler);
}

}  // namespace quillon::vbs
