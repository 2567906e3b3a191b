// Linked into the binary and into every module when each carries its own copy of the C++ runtime
// and of the stack unwinder (VESK_STATIC_RUNTIME): starting a command then loads no runtime
// library beyond the C library.
//
// An exception still crosses files: a keyring error thrown in a module is caught in the binary.
// The catching frame's personality routine then sets the handler's registers through the unwinder
// copy of its own file, and that copy sizes registers from a table it fills on its first unwind
// only; unfilled, it aborts the process. Unwinding one frame when the file loads fills the table.
// By then the loader knows the file, so its frames can be found.
#include <unwind.h>

namespace {

_Unwind_Reason_Code stopAtFirstFrame(_Unwind_Context*, void*) { return _URC_END_OF_STACK; }

[[gnu::constructor]] void makeUnwinderReady() { _Unwind_Backtrace(stopAtFirstFrame, nullptr); }

}  // namespace
