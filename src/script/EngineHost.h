// The script host as the engine sees it: evaluate to text or to a Boolean,
// run a statement, bind an object, and read the last error.
//
// The engine only ever needs values converted to text, to a truth value or
// (through text) to an integer, so this narrow seam keeps the engine apart
// from the host's value model. createVbsHost() gives the real VBScript host;
// tests may plug in their own through a HostFactory.
#pragma once

#include "script/vbs/ScriptHost.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <memory>

namespace quillon::script {

// A text the host has compiled once. The engine keeps it with its line and
// runs it again and again without the host looking the text up; `code` is
// the host's own and only valid with the host that made it (null: the text
// is run as text).
struct PreparedText {
    QString text;
    std::shared_ptr<const void> code;
};

struct HostError {
    int number = 0;
    int column = 0;
    QString description;
};

class EngineHost {
public:
    virtual ~EngineHost() = default;

    // Evaluates `expression`; on success `text` holds the value as text
    // (empty for Empty). False on failure; lastError() says why.
    virtual bool evalText(QStringView expression, QString& text) = 0;

    // Evaluates `expression` as a condition; false (and lastError()) when it
    // fails or its value has no truth value.
    virtual bool evalCondition(QStringView expression, bool& truth) = 0;

    // Runs one statement in the global scope. False on failure.
    virtual bool executeStatement(QStringView statement) = 0;

    // Compiles `text` (an expression, or a statement line) for this host.
    // The default keeps only the text.
    virtual PreparedText prepare(const QString& text, bool expression)
    {
        (void)expression;
        return {text, nullptr};
    }
    // As the calls above, for a prepared text; the defaults run its text.
    virtual bool evalText(const PreparedText& expression, QString& text) { return evalText(expression.text, text); }
    virtual bool evalCondition(const PreparedText& expression, bool& truth)
    {
        return evalCondition(expression.text, truth);
    }
    virtual bool executeStatement(const PreparedText& statement) { return executeStatement(statement.text); }

    // Makes `object` reachable under `name`, its members as global names too.
    virtual void addObject(const QString& name, std::shared_ptr<vbs::HostObject> object) = 0;

    // Forgets every variable and object.
    virtual void reset() = 0;

    // MsgBox calls go to `handler`.
    virtual void setMsgBoxHandler(vbs::MsgBoxHandler handler) = 0;

    // The error of the last call; number 0 after a success.
    virtual const HostError& lastError() const = 0;
};

using HostFactory = std::function<std::unique_ptr<EngineHost>()>;

// A host backed by the VBScript-compatible evaluator.
std::unique_ptr<EngineHost> createVbsHost();

}  // namespace quillon::script
