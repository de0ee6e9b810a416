// The heap as the sanitizer's allocator counts it, byte for byte. A test
// that holds the module to giving back what it takes counts it around the
// call, so that the check holds where LeakSanitizer cannot run (under
// qemu-user it is off) as well as where it can.
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime's allocator interface.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
inline size_t HeapBytes() { return __sanitizer_get_current_allocated_bytes(); }
#else
inline size_t HeapBytes() { return 0; }
#endif
