// The tests model a heap that cannot supply a huge block: past 256 MiB the
// sanitizer's allocator answers null, as a full 32-bit address space would,
// instead of stopping the program.
//
// LeakSanitizer stops the program's threads with ptrace before it looks for
// leaks. Under qemu-user, which runs these 32-bit tests on kernels that
// cannot, ptrace is not implemented and the leak check would wait at exit for
// ever; there, and only there, it is left out.
#if defined(__SANITIZE_ADDRESS__)
#include <errno.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>

namespace {

// The system call made directly: the sanitizer asks for its options before
// the C library's errno can be used under qemu.
long RawPtrace(long request, long pid) {
  long result;
  asm volatile("int $0x80"
               : "=a"(result)
               : "a"(SYS_ptrace), "b"(request), "c"(pid), "d"(0), "S"(0)
               : "memory");
  return result;
}

}  // namespace

extern "C" const char* __asan_default_options() {
  // Natively, asking about a process this one does not trace is refused
  // (ESRCH); under qemu-user the call does not exist at all (ENOSYS).
  const bool ptrace = RawPtrace(PTRACE_PEEKUSER, 0) != -ENOSYS;
  return ptrace ? "allocator_may_return_null=1:max_allocation_size_mb=256:detect_leaks=1"
                : "allocator_may_return_null=1:max_allocation_size_mb=256:detect_leaks=0";
}
#endif
