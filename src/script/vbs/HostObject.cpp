#include "script/vbs/HostObject.h"

#include "script/vbs/VbsError.h"

namespace quillon::vbs {

void HostObject::setProperty(const QString& name, std::span<const Value>, const Value&)
{
    throw VbsError::withName(438, name);
}

}  // namespace quillon::vbs
