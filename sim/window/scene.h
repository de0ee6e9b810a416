// A view's picture: a ground grid, the axes and a wireframe cube, seen
// through a camera that orbits the scene's middle at the view's heading and
// pitch, drawn with GDI in perspective or in parallel projection.
#pragma once

#include <windows.h>

namespace sim {

// At heading 0, pitch 0 the camera looks at the front, x to the right and y
// up; a larger heading brings the scene's left side round to face it, a
// larger pitch lifts it to look down, straight down at 90. Neither angle is
// wrapped or limited. In parallel projection the scene's middle keeps the
// size it has in perspective.
void DrawScene(HDC dc, const RECT& area, float heading, float pitch, bool parallel);

}  // namespace sim
