#include "callsys/CallAbi.h"

namespace quillon::callsys::detail {

// On x86-64 and other processors there is one C calling convention: both
// declared conventions pass the values in position order through it.
ffi_abi abiForConvention(bool)
{
    return FFI_DEFAULT_ABI;
}

}  // namespace quillon::callsys::detail
