// The tests model a heap that cannot supply a huge block: past 256 MiB the
// sanitizer's allocator answers null, as a full 32-bit address space would,
// instead of stopping the program.
//
// LeakSanitizer stops the program's threads with ptrace before it looks for
// leaks. Under qemu-user, which runs these 32-bit tests on kernels that
// cannot, ptrace is not implemented and the leak check would wait at exit for
// ever; there, and only there, it is left out.
#if defined(__SANITIZE_ADDRESS__)
#include "tests/emulation.h"

extern "C" const char* __asan_default_options() {
  return UnderQemuUser() ? "allocator_may_return_null=1:max_allocation_size_mb=256:detect_leaks=0"
                         : "allocator_may_return_null=1:max_allocation_size_mb=256:detect_leaks=1";
}
#endif
