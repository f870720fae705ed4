// Feeds arbitrary bytes to the key print as the contents of CP.pub: no crash; a file
// taken for printing gives four commands that frame, whose barcode length bytes name
// 256 plus the lengths of lines 2 and 3, and whose key lines carry only line 1.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/fiscalmemory/key_print.h"
#include "core/protocol/frame_builder.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tervane;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  PublicKeyLines lines;
  if (ParsePublicKeyText(text, lines) != KeyFileProblem::kNone) return 0;
  Check(!lines[0].empty() && lines[0].size() <= kPublicKeyLength);
  for (const std::string& line : lines) {
    for (unsigned char c : line) Check(c >= 0x20 && c != 0x7F);
  }
  std::vector<CommandRecord> commands = PublicKeyPrintCommands(lines);
  Check(commands.size() == 4);
  const std::size_t length = kPublicKeyLength + lines[1].size() + lines[2].size();
  const std::string& header = commands[1].parameters.at(0).value;
  Check(header.size() == 18);
  Check(std::strtoul(header.substr(14, 2).c_str(), nullptr, 16) == (length & 0xFF));
  Check(std::strtoul(header.substr(16, 2).c_str(), nullptr, 16) == ((length >> 8) & 0xFF));
  // Texts that fit one frame each frame without a size error.
  ProgramSettings settings;
  for (CommandRecord& command : commands) {
    const int result = AssembleFrame(command, settings);
    Check(result == kOk || result == kWrongSize);
    Check(command.frame.length <= kFrameCapacity);
  }
  return 0;
}
