// The libffi ABI that carries each declared calling convention on the
// processor being built for. CMake picks the source that matches.
#pragma once

#include <ffi.h>

namespace quillon::callsys::detail {

// "register" when `registerConvention`, otherwise the convention every other
// declaration names ("stdcall").
ffi_abi abiForConvention(bool registerConvention);

}  // namespace quillon::callsys::detail
