// VBScript's operators on values: arithmetic with Integer -> Long -> Double
// widening, Null propagation, + on strings, comparison rules (with the typed
// literal rule), logical operators as bitwise operations on integers.
// Every function throws VbsError on failure (13, 6, 11, 94, 424, 5).
#pragma once

#include "script/vbs/Value.h"

namespace quillon::vbs {

enum class BinaryOp : uint8_t {
    Add, Sub, Mul, Div, IntDiv, Mod, Pow, Concat,
    Eq, Ne, Lt, Gt, Le, Ge, Is,
    And, Or, Xor, Eqv, Imp,
};

// `leftLiteral`/`rightLiteral`: the operand is a literal constant in the
// text. A comparison between a literal and a value of the other kind
// (number vs string) converts the value to the literal's kind, as VBScript's
// compiler does; between two variables a number is always less than a string.
Value binaryOp(BinaryOp op, const Value& left, const Value& right,
               bool leftLiteral = false, bool rightLiteral = false);

Value negate(const Value& operand);
Value logicalNot(const Value& operand);

// -1, 0, 1 for a comparison of two non-Null values under VBScript's rules.
int compareValues(const Value& left, const Value& right, bool leftLiteral, bool rightLiteral);

}  // namespace quillon::vbs
