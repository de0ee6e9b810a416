// Whether this 32-bit program runs under qemu-user rather than on the
// processor: there the ptrace system call does not exist at all (ENOSYS),
// while a kernel refuses it only for a process it does not trace (ESRCH).
// Asked with the system call itself, since the sanitizers ask before the C
// library's errno can be used under qemu.
#pragma once

#include <errno.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>

inline bool UnderQemuUser() {
  long result;
  asm volatile("int $0x80"
               : "=a"(result)
               : "a"(SYS_ptrace), "b"(PTRACE_PEEKUSER), "c"(0), "d"(0), "S"(0)
               : "memory");
  return result == -ENOSYS;
}
