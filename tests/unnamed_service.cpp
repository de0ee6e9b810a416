// Must not compile: a press has not named SetViewCamera among its services,
// so its code cannot reach that slot (tests/CMakeLists.txt expects the error).
#include "tool/drag.h"

void* PressWritesTheCamera() {
  return reinterpret_cast<void*>(orbitrix::PressServices::get<orbitrix::kSetViewCamera>());
}
