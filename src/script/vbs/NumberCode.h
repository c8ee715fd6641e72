// The flat form of an expression made only of number constants, variables
// and arithmetic or comparison operators: `i < 1000000`, `s + i * 2`,
// `k mod 4`. It runs over a small stack of typed numbers, so a loop of whole
// numbers never builds a variant. It has no side effects: when an operand is
// not an Integer, Long or Double, or an operation would fail or leave these
// types, the caller runs the program's node tree instead, which gives the
// language's own answer or error.
#pragma once

#include "script/vbs/Operators.h"
#include "script/vbs/Value.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace quillon::vbs {

struct Program;

// An Integer, Long or Double (or a Boolean, -1 or 0, as a comparison's
// result); `i` and `d` share their bits as in a Value. Left unset when made:
// the evaluator's stack is made on every run.
struct Number {
    Value::Type type;
    union {
        int64_t i;
        double d;
    };
};

struct NumberOp {
    // Binary takes both operands from the stack; BinaryConstant and
    // BinaryVariable take the right one from `a`, so `i + 1` is two steps.
    enum class Code : uint8_t { Constant, Variable, Binary, BinaryConstant, BinaryVariable };
    Code code = Code::Constant;
    BinaryOp op = BinaryOp::Add;
    int32_t a = -1;  // a constant: into NumberCode::constants; a variable: its slot
};

struct NumberCode {
    std::vector<NumberOp> ops;        // in evaluation order (postfix); empty: no flat form
    std::vector<Number> constants;
    int32_t depth = 0;                // the most numbers on the stack at once
    // A statement `name = expression`: the slot of the name; -1 otherwise.
    int32_t target = -1;

    bool empty() const { return ops.empty(); }
};

// The most numbers the stack of a flat expression holds; deeper expressions
// keep only their node tree.
inline constexpr int32_t kMaxNumberDepth = 16;

// The flat form of `program`'s expression (an Eval) or of its one statement
// `variable = expression`; empty when the program has no such form.
NumberCode buildNumberCode(const Program& program);

// One operation on two numbers as the language does it; false when an
// operand is a Boolean, or the result would be an error (overflow, division
// by zero) or is worked out another way (\ and Mod of a Double round it
// first): the node tree then decides. Integer and Long results widen as
// they do in the language (Integer to Long to Double).
[[gnu::always_inline]] inline bool numberBinary(BinaryOp op, const Number& x, const Number& y, Number& result)
{
    using T = Value::Type;
    const bool xWhole = x.type == T::Integer || x.type == T::Long;
    const bool yWhole = y.type == T::Integer || y.type == T::Long;
    auto truth = [&result](bool b) {
        result.type = T::Boolean;
        result.i = b ? -1 : 0;
        return true;
    };
    if (xWhole && yWhole) {
        const int64_t a = x.i, b = y.i;
        const bool bothInteger = x.type == T::Integer && y.type == T::Integer;
        auto whole = [&result, bothInteger](int64_t r) {
            if (bothInteger && r >= INT16_MIN && r <= INT16_MAX) {
                result.type = T::Integer;
                result.i = r;
            } else if (r >= INT32_MIN && r <= INT32_MAX) {
                result.type = T::Long;
                result.i = r;
            } else {
                result.type = T::Double;
                result.d = static_cast<double>(r);
            }
            return true;
        };
        switch (op) {
        case BinaryOp::Add: return whole(a + b);
        case BinaryOp::Sub: return whole(a - b);
        case BinaryOp::Mul: return whole(a * b);
        case BinaryOp::Div:
            if (b == 0)
                return false;
            result.type = T::Double;
            result.d = static_cast<double>(a) / static_cast<double>(b);
            return true;
        case BinaryOp::IntDiv:
        case BinaryOp::Mod: {
            if (b == 0)
                return false;
            const int64_t r = op == BinaryOp::Mod ? a % b : a / b;
            if (!bothInteger && (r < INT32_MIN || r > INT32_MAX))
                return false;  // overflow
            return whole(r);
        }
        case BinaryOp::Eq: return truth(a == b);
        case BinaryOp::Ne: return truth(a != b);
        case BinaryOp::Lt: return truth(a < b);
        case BinaryOp::Gt: return truth(a > b);
        case BinaryOp::Le: return truth(a <= b);
        case BinaryOp::Ge: return truth(a >= b);
        default: return false;
        }
    }
    if (!(xWhole || x.type == T::Double) || !(yWhole || y.type == T::Double))
        return false;
    const double a = xWhole ? static_cast<double>(x.i) : x.d;
    const double b = yWhole ? static_cast<double>(y.i) : y.d;
    auto real = [&result](double r) {
        if (!std::isfinite(r))
            return false;  // overflow
        result.type = T::Double;
        result.d = r;
        return true;
    };
    switch (op) {
    case BinaryOp::Add: return real(a + b);
    case BinaryOp::Sub: return real(a - b);
    case BinaryOp::Mul: return real(a * b);
    case BinaryOp::Div: return b != 0.0 && real(a / b);
    case BinaryOp::Eq: return truth(a == b);
    case BinaryOp::Ne: return truth(a != b);
    case BinaryOp::Lt: return truth(a < b);
    case BinaryOp::Gt: return truth(a > b);
    case BinaryOp::Le: return truth(a <= b);
    case BinaryOp::Ge: return truth(a >= b);
    default: return false;
    }
}


}  // namespace quillon::vbs
