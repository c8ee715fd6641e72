// The VBScript-compatible script host: evaluates expressions and runs
// statements in one global scope whose variables persist between calls.
//
// Every line of a running script reaches the host as text, over and over in
// loops, so each distinct text is parsed once and cached. Errors are values:
// after a failed call error() holds VBScript's own number, the 0-based column
// in the line where the error was found, and the English description.
// A host belongs to one thread at a time; it is not shared between runs.
#pragma once

#include <QString>
#include <QStringView>

#include <functional>
#include <memory>

namespace quillon::vbs {

class Value;
class HostObject;
struct Program;

struct ScriptError {
    int number = 0;        // 0 after success
    int column = 0;        // 0-based offset in the line
    QString description;   // "Division by zero", "Variable is undefined: 'x'"
    QString source;        // "Microsoft VBScript runtime error" / "... compilation error"
};

// Shows a message box for MsgBox: returns the button pressed (vbOK = 1, ...).
using MsgBoxHandler = std::function<int(const QString& prompt, int buttons, const QString& title)>;

class ScriptHost {
public:
    ScriptHost();
    ~ScriptHost();
    ScriptHost(const ScriptHost&) = delete;
    ScriptHost& operator=(const ScriptHost&) = delete;

    // Evaluates `expression` ("a = b" compares). False on failure; error() says why.
    bool eval(QStringView expression, Value& result);

    // Runs one statement line ("a = b" assigns; several joined by ":").
    // False on failure; error() says why; error().number is 0 after success.
    bool executeStatement(QStringView statement);

    // Parses `text` once, as an expression or as a statement line, for this
    // host; the caller keeps the program and runs it again and again without
    // the parse cache. Null when it cannot be parsed at all (out of memory);
    // a syntax error is kept in the program and reported when it runs.
    std::shared_ptr<const Program> compile(QStringView text, bool expression);
    // Runs a program compiled by this host, as eval() and executeStatement()
    // run a text.
    bool eval(const Program& expression, Value& result);
    bool executeStatement(const Program& statement);
    // The truth of a compiled expression in its flat form (numbers only),
    // made without a value; false when the form does not hold for the
    // values at hand, and eval() decides.
    bool flatCondition(const Program& expression, bool& truth);

    // Makes `object` reachable under `name`; with `membersVisible` its members
    // are also reachable without the name, as global names.
    void addObject(const QString& name, std::shared_ptr<HostObject> object, bool membersVisible);

    // Forgets every variable, object and option; keeps the parse cache.
    void reset();

    const ScriptError& error() const;
    void clearError();

    // MsgBox goes here; without a handler MsgBox answers vbOK and shows nothing.
    void setMsgBoxHandler(MsgBoxHandler handler);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace quillon::vbs
