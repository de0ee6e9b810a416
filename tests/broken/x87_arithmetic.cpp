// Broken on purpose: the module's own sources, built with x87 arithmetic
// (-mfpmath=387, in this folder's CMakeLists.txt) instead of SSE2. A host
// that leaves the x87 unit at 24-bit precision, as Direct3D 9 does, then
// gets other snaps of large headings than the rule's: the division by 90
// is rounded to 24 bits.
