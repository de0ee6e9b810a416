// The tests model a heap that cannot supply a huge block: past 256 MiB the
// sanitizer's allocator answers null, as a full 32-bit address space would,
// instead of stopping the program.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=256:detect_leaks=1";
}
#endif
