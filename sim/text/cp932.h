// Text in code page 932 (Shift-JIS), as the plug-in registers its labels,
// converted by Windows. Windows builds only.
#pragma once

#include <string>

namespace sim {

// The text as UTF-8; the bytes as they are when Windows cannot convert them.
std::string Utf8FromCp932(const char* text);

}  // namespace sim
