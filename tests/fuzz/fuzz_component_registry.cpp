// The component registry file is text a person may edit: any bytes must parse or be
// refused with a line number, never crash, and what parses must write out as text that
// reads back to the same entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "component/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tervane::component::RegistryFile;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  RegistryFile file;
  std::string error;
  if (!file.Parse(text, &error)) {
    if (error.rfind("line ", 0) != 0 || !file.sections().empty()) std::abort();
    return 0;
  }
  const std::string written = file.Serialise();
  RegistryFile again;
  if (!again.Parse(written, &error)) std::abort();
  if (again.Serialise() != written) std::abort();
  if (again.sections().size() != file.sections().size()) std::abort();
  for (std::size_t i = 0; i < file.sections().size(); ++i) {
    if (again.sections()[i].name != file.sections()[i].name) std::abort();
    if (again.sections()[i].values != file.sections()[i].values) std::abort();
  }
  return 0;
}
