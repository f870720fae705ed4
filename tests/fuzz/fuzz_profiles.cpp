// Feeds arbitrary bytes to the profile-file reader and checks what must hold for any
// input: no crash or overrun, a failed read leaves an empty list with a reason, every
// `equipamento` element gives one profile with an empty password, and what is read can
// be written and read again, a second round giving exactly the first.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/common/xml_document.h"
#include "core/equipment/profile_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tervane::ProfileList list(1);
  tervane::ProfileLoadInfo info;
  const int code = tervane::ReadProfilesDocument(bytes, list, &info);
  if (code != 0) {
    Check(code == -1 && list.empty() && !info.description.empty());
    return 0;
  }
  tervane::XmlDocument document;
  Check(document.LoadBytes(bytes).ok);
  Check(static_cast<int>(list.size()) == document.SelectElements("equipamento").size());
  for (const auto& p : list) Check(p.password.empty());

  // Line breaks are normalised by the first round trip; after it the file is stable.
  tervane::ProfileList once, twice;
  Check(tervane::ReadProfilesDocument(tervane::ProfilesDocumentBytes(list), once) == 0);
  Check(once.size() == list.size());
  Check(tervane::ReadProfilesDocument(tervane::ProfilesDocumentBytes(once), twice) == 0);
  Check(once == twice);
  return 0;
}
