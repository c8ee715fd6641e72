// Objects the program exposes to scripts. A host object answers property
// reads, method calls and property writes by member name; names are compared
// without regard to case. The host reaches objects added with
// ScriptHost::addObject and objects stored in variables with Set.
#pragma once

#include "script/vbs/Value.h"

#include <QString>

#include <span>

namespace quillon::vbs {

class HostObject {
public:
    virtual ~HostObject() = default;

    // What TypeName() reports for the object.
    virtual QString typeName() const { return QStringLiteral("Object"); }

    // True when the object has a member of that name (any case).
    virtual bool hasMember(const QString& name) const = 0;

    // Reads a property or calls a method with `args` (possibly none) and
    // returns its value (Empty for a method without one). Throws
    // VbsError(438) for an unknown member, VbsError(450) for a wrong count.
    virtual Value invoke(const QString& name, std::span<const Value> args) = 0;

    // Writes a property (`args` are its indexes, usually none). The default
    // refuses with 438.
    virtual void setProperty(const QString& name, std::span<const Value> args, const Value& value);
};

}  // namespace quillon::vbs
