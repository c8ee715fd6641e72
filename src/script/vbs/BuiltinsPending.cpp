// Placeholders for the built-in groups that are not written yet.
#include "script/vbs/Builtins.h"

namespace quillon::vbs {

void registerStringBuiltins(BuiltinTable&) {}
void registerMathBuiltins(BuiltinTable&) {}
void registerDateBuiltins(BuiltinTable&) {}
void registerFormatBuiltins(BuiltinTable&) {}

}  // namespace quillon::vbs
