#include "callsys/CallAbi.h"

namespace quillon::callsys::detail {

// 32-bit x86 has the two conventions declarations name: "register" puts the
// first three values into EAX, EDX and ECX and pushes the rest in position
// order; stdcall pushes every value in reverse order. The callee cleans up.
ffi_abi abiForConvention(bool registerConvention)
{
    return registerConvention ? FFI_REGISTER : FFI_STDCALL;
}

}  // namespace quillon::callsys::detail
