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
