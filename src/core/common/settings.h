// The program settings: one object, passed to whatever reads them. The names keep the
// workbench's own (g_ prefix) so that code and documentation speak alike.
#pragma once

#include <cstdint>
#include <string>

namespace tervane {

inline constexpr std::uint32_t kAllModelsMask = 0x1FFFF;  // all seventeen model bits

struct ProgramSettings {
  std::string g_workDir;                 // base of every relative file
  std::string g_portName;                // "USB", "COM1:".."COM8:", "FILE", "SOCKET" or a device path
  std::string g_modelName;               // 20-character space-padded model identifier, or empty
  std::uint32_t g_modelMask = 255;       // the model's bit for equipamentos_hab
  bool g_extendedReply = false;          // extended-reply mode
  bool g_filterByModel = false;          // grey out commands not meant for the model
  bool g_showResults = true;             // open the result window after every command
  std::string g_printerAddress;          // "a.b.c.d" (port 21) or "a.b.c.d:port", for SOCKET
  std::string g_exchangeDir;             // folder of the exchange files; empty = g_workDir
  std::string g_logDir;                  // folder of the daily log; empty = <g_workDir>/log
};

// Resolves a file name against g_workDir (absolute names are kept).
std::string ResolveInWorkDir(const ProgramSettings& settings, const std::string& name);

}  // namespace tervane
