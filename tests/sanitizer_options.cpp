// The tests model a heap that cannot supply a huge block: past 256 MiB the
// sanitizer's allocator answers null, as a full 32-bit address space would,
// instead of stopping the program.
//
// The same checks with Debian 12's GCC 12 and Debian 13's GCC 14: GCC 14
// turns on the detection of stack use after return by default, whose fake
// frames make every call with a stack buffer slow (the conversion test nine
// times as slow); GCC 12 does not.
//
// LeakSanitizer stops the program's threads with ptrace before it looks for
// leaks. Under qemu-user, which runs these 32-bit tests on kernels that
// cannot, ptrace is not implemented and the leak check would wait at exit for
// ever; there, and only there, it is left out.
#if defined(__SANITIZE_ADDRESS__)
#include "tests/emulation.h"

#define ORBITRIX_ASAN_OPTIONS \
  "allocator_may_return_null=1:max_allocation_size_mb=256:detect_stack_use_after_return=0"

extern "C" const char* __asan_default_options() {
  return UnderQemuUser() ? ORBITRIX_ASAN_OPTIONS ":detect_leaks=0"
                         : ORBITRIX_ASAN_OPTIONS ":detect_leaks=1";
}
#endif
