// Helpers shared by the host's tests: run setup lines, then evaluate.
#pragma once

#include "script/vbs/ScriptHost.h"
#include "script/vbs/Value.h"

#include <QString>

#include <string>

namespace quillon::vbs::test {

// What the console prints for a value: CStr's text, "Null", or the type name.
inline QString rendered(const Value& v)
{
    if (v.isNull())
        return QStringLiteral("Null");
    if (v.isObject() || v.isArray())
        return v.typeName();
    return v.toString();
}

// "=text" for a value, "!number" for an error.
inline std::string outcome(ScriptHost& host, const char* setup, const char* expression)
{
    if (setup && *setup && !host.executeStatement(QString::fromUtf8(setup)))
        return "setup failed: " + std::to_string(host.error().number) + " " + host.error().description.toStdString();
    Value v;
    if (!host.eval(QString::fromUtf8(expression), v))
        return "!" + std::to_string(host.error().number);
    return "=" + rendered(v).toStdString();
}

}  // namespace quillon::vbs::test
