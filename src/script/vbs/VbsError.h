// Errors raised inside the script host. Built-ins, coercions and the
// evaluator throw VbsError; the host catches it at the statement boundary and
// turns it into the ScriptError value its callers see. Exceptions never leave
// the host.
#pragma once

#include <QString>

namespace quillon::vbs {

// The standard English text for a VBScript error number ("Division by zero"),
// or "Unknown runtime error" for a number without one.
QString errorDescription(int number);

// True for the compile-time numbers (1001..1099): they are reported before any
// part of the statement runs.
bool isCompileError(int number);

struct VbsError {
    // The standard text for `number`.
    explicit VbsError(int number, int column = -1);
    // A text of its own, e.g. "Type mismatch: 'x'".
    VbsError(int number, QString description, int column = -1);

    // "Type mismatch: 'name'": the standard text with the name the error is tied to.
    static VbsError withName(int number, const QString& name, int column = -1);

    int number;
    QString description;
    int column;  // 0-based, -1 when the thrower does not know it
};

}  // namespace quillon::vbs
