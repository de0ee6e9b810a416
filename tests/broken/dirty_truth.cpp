// Broken on purpose: MCP_ToolSwitch gives its truth value in AL alone and
// leaves other bits set above it in EAX.
#include "tests/broken/real.h"

extern "C" __attribute__((naked)) uint8_t MCP_CALL MCP_ToolSwitch(uint32_t, uint32_t, uint32_t,
                                                                  uint32_t, uint32_t, uint32_t,
                                                                  void*) {
  // The seven arguments again, last first, for the real one.
  asm("pushl 28(%esp)\n\t"
      "pushl 28(%esp)\n\t"
      "pushl 28(%esp)\n\t"
      "pushl 28(%esp)\n\t"
      "pushl 28(%esp)\n\t"
      "pushl 28(%esp)\n\t"
      "pushl 28(%esp)\n\t"
      "call _Real_ToolSwitch\n\t"
      "add $28, %esp\n\t"
      "or $0x5A00, %eax\n\t"
      "ret\n\t");
}
