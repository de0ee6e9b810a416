// The tool button and the option records.
#include "host/options.h"

#include <cstring>

#include "host/module.h"
#include "host/system.h"

namespace orbitrix {

GuiOptionRecord gOptions[kOptionCount];

namespace {

// The labels are code page 932 (Shift-JIS) bytes, as the host shows them.
const char* const kLabels[kOptionCount] = {
    // 特定角度にくっつく (snap to set angles)
    "\x93\xc1\x92\xe8\x8a\x70\x93\x78\x82\xc9\x82\xad\x82\xc1\x82\xc2\x82\xad",
    // （↑がオンの時）Ctrlを押した時のみ作動 (while the option above is on: only with Ctrl held)
    "\x81\x69\x81\xaa\x82\xaa\x83\x49\x83\x93\x82\xcc\x8e\x9e\x81\x6a"
    "Ctrl\x82\xf0\x89\x9f\x82\xb5\x82\xbd\x8e\x9e\x82\xcc\x82\xdd\x8d\xec\x93\xae",
    // 上下回転に制限をかける (limit the up-and-down rotation)
    "\x8f\xe3\x89\xba\x89\xf1\x93\x5d\x82\xc9\x90\xa7\x8c\xc0\x82\xf0\x82\xa9\x82\xaf\x82\xe9",
    // 一時平行投影する (use parallel projection for a while)
    "\x88\xea\x8e\x9e\x95\xbd\x8d\x73\x93\x8a\x89\x65\x82\xb7\x82\xe9",
};

const char kNoText[] = "";

}  // namespace

}  // namespace orbitrix

using namespace orbitrix;

extern "C" {

uint8_t MCP_CALL MCP_GetToolInfo(uint32_t hostArg1, uint32_t hostArg2, uint32_t idWord0,
                                 uint32_t idWord1) {
  const RegisterInfoFn registerInfo = BoundService<RegisterInfoFn>(kRegisterInfo);
  if (!IsOurTool(idWord0, idWord1) || !registerInfo) return 0;
  ToolInfoRecord record;
  std::memset(&record, 0, sizeof record);
  record.width = ToolInfoRecord::kWidth;
  record.height = ToolInfoRecord::kHeight;
  record.bitmap = sys::LoadButtonBitmap(gModuleHandle);
  record.text = kNoText;
  record.field16 = ToolInfoRecord::kField16;
  record.field22 = ToolInfoRecord::kField22;
  record.field38 = ToolInfoRecord::kField38;
  registerInfo(idWord0, idWord1, hostArg1, hostArg2, kToolInfo, &record, sizeof record);
  return 1;
}

uint8_t MCP_CALL MCP_GetGUIInfo(uint32_t hostArg1, uint32_t hostArg2, uint32_t idWord0,
                                uint32_t idWord1) {
  const RegisterInfoFn registerInfo = BoundService<RegisterInfoFn>(kRegisterInfo);
  if (!IsOurTool(idWord0, idWord1) || !registerInfo) return 1;
  for (int i = 0; i < kOptionCount; ++i) {
    GuiOptionRecord& option = gOptions[i];
    std::memset(&option, 0, sizeof option);
    option.size = sizeof option;
    option.label = kLabels[i];
    option.value = GuiOptionRecord::kOn;
    registerInfo(idWord0, idWord1, hostArg1, hostArg2, kGuiOption, &option, sizeof option);
  }
  return 1;
}

}  // extern "C"
