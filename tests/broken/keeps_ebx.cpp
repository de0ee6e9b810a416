// Broken on purpose: MCP_ToolMouseMove hands the real export a changed EBX,
// which the real one duly gives back: the host gets its EBX back changed.
#include "tests/broken/real.h"

extern "C" __attribute__((naked)) int32_t MCP_CALL MCP_ToolMouseMove(uint32_t, uint32_t, uint32_t,
                                                                     uint32_t, uint32_t, uint32_t,
                                                                     uint32_t, orbitrix::ViewHandle,
                                                                     uint32_t, void*) {
  asm("mov $0x5A5A5A5A, %ebx\n\t"
      "jmp _Real_ToolMouseMove\n\t");
}
