#include "script/vbs/ScriptHost.h"

#include "script/vbs/HostObject.h"
#include "script/vbs/Value.h"
#include "script/vbs/VbsError.h"

namespace quillon::vbs {

struct ScriptHost::Impl {
    ScriptError error;
    MsgBoxHandler msgBox;
};

ScriptHost::ScriptHost() : d(std::make_unique<Impl>()) {}
ScriptHost::~ScriptHost() = default;

bool ScriptHost::eval(QStringView, Value&)
{
    d->error = {1002, 0, errorDescription(1002), QStringLiteral("Microsoft VBScript compilation error")};
    return false;
}

bool ScriptHost::executeStatement(QStringView)
{
    d->error = {1002, 0, errorDescription(1002), QStringLiteral("Microsoft VBScript compilation error")};
    return false;
}

void ScriptHost::addObject(const QString&, std::shared_ptr<HostObject>, bool) {}
void ScriptHost::reset() {}
const ScriptError& ScriptHost::error() const { return d->error; }
void ScriptHost::clearError() { d->error = ScriptError(); }
void ScriptHost::setMsgBoxHandler(MsgBoxHandler handler) { d->msgBox = std::move(handler); }

}  // namespace quillon::vbs
