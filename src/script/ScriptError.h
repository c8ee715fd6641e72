// Errors of the script engine: a failure that ends a pass, an unreadable
// script file, and the one text form errors take outside the events,
// "line L, column C: error N: DESCRIPTION".
#pragma once

#include <QString>

#include <stdexcept>

namespace quillon::script {

// A failure that ends the pass; thrown by the engine and by event handlers.
struct ScriptFailure : std::runtime_error {
    ScriptFailure(int number, QString description, int column = 0);
    int number;
    int column;
    QString description;
};

// A script file that cannot be read; the message names the path and reason.
struct ScriptFileError : std::runtime_error {
    ScriptFileError(int number, const QString& message);
    int number;  // 53 not found, 70 permission denied, 57 other I/O error
    QString message;
};

// "line L, column C: error N: DESCRIPTION" (line numbers 0-based).
QString formatScriptError(int line, int column, int number, const QString& description);

// The formatted error and a line end on standard error.
void printScriptError(int line, int column, int number, const QString& description);

}  // namespace quillon::script
