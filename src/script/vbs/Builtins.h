// The table of built-in functions the host calls by name.
//
// A built-in receives its arguments already evaluated (by value) and returns
// a Value; it raises errors by throwing VbsError. The caller checks the
// argument count against the table entry (450 when it is wrong), so a
// built-in may rely on minArgs <= args.size() <= maxArgs. Subs (MsgBox,
// Randomize) are entries too: the statement `Randomize 5` calls the entry
// named "Randomize" and ignores its result.
#pragma once

#include "script/vbs/ScriptHost.h"
#include "script/vbs/Value.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <span>
#include <unordered_map>
#include <vector>

namespace quillon::vbs {

// The generator behind Rnd and Randomize, one per host: a 24-bit linear
// congruential sequence. `seed` is the last value produced.
struct RandomState {
    uint32_t seed = 0x50000;
};

// What a built-in may reach of the host that calls it.
struct BuiltinContext {
    RandomState& random;
    // Shows MsgBox's prompt; returns the button pressed (vbOK = 1 without a handler).
    std::function<int(const QString& prompt, int buttons, const QString& title)> msgBox;
    // Evaluates an expression in the host's global scope (for Eval); throws VbsError.
    std::function<Value(QStringView expression)> eval;
};

using BuiltinFn = Value (*)(BuiltinContext& context, std::span<const Value> args);

struct BuiltinEntry {
    QString name;      // as it is written in documentation ("UCase"); looked up without case
    int minArgs = 0;
    int maxArgs = 0;
    BuiltinFn fn = nullptr;
    // True for a value that needs no parentheses and no arguments and may be
    // used as a plain name (Now, Date, Time, Timer, Rnd).
    bool callableWithoutParens = false;
};

class BuiltinTable {
public:
    // Adds or replaces the entry of that name.
    void add(BuiltinEntry entry);
    // The entry for `name` (any case), or nullptr.
    const BuiltinEntry* find(QStringView name) const;
    // Entry by index (stable once added); index from indexOf.
    const BuiltinEntry& at(int index) const { return m_entries[static_cast<size_t>(index)]; }
    // Index of `name` (any case), or -1.
    int indexOf(QStringView name) const;
    int size() const { return static_cast<int>(m_entries.size()); }

    // The table with every built-in: the core ones and the groups below.
    static const BuiltinTable& standard();

private:
    std::vector<BuiltinEntry> m_entries;
    std::unordered_map<std::u16string, int> m_index;  // lower-case name -> entry
};

// Conversions, type tests, arrays, Eval, MsgBox and ScriptEngine.
void registerCoreBuiltins(BuiltinTable& table);
// String functions: Asc, Chr, InStr, Left, Mid, Replace, Split, Join, Filter, ...
void registerStringBuiltins(BuiltinTable& table);
// Math: Abs, Atn, Cos, Exp, Fix, Int, Log, Rnd, Randomize, Round, Sgn, Sin, Sqr, Tan, Hex, Oct, RGB, ...
void registerMathBuiltins(BuiltinTable& table);
// Dates: CDate, IsDate, Date, Time, Now, Timer, DateAdd, DateDiff, DatePart, ...
void registerDateBuiltins(BuiltinTable& table);
// The byte functions: LenB, LeftB, RightB, MidB, InStrB, AscB, ChrB.
void registerByteBuiltins(BuiltinTable& table);
// FormatNumber, FormatCurrency, FormatPercent, FormatDateTime, Escape, Unescape, ...
void registerFormatBuiltins(BuiltinTable& table);

}  // namespace quillon::vbs
