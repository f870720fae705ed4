#include "core/sequences/sequence_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "core/common/atomic_file.h"
#include "core/common/charset.h"

namespace tervane {

std::string DefaultSequenceFile(const ProgramSettings& settings) {
  return ResolveInWorkDir(settings, kSequenceFileName);
}

int CSequenceStore::LoadSequences(const std::string& path, SequenceLoadResult* result) {
  std::string bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, &error)) {
    if (result) {
      result->code = -1;
      // Nothing there (a link to nothing included): a first save will create it.
      struct stat st;
      result->missing = ::stat(path.c_str(), &st) != 0 && errno == ENOENT;
      result->description = Utf8ToCp1252Lossy(error);
    }
    return -1;
  }
  if (result) result->missing = false;
  const int code = ReadSequenceDocument(bytes, sequences_, result);
  if (code != 0 && result) {
    result->description = Utf8ToCp1252Lossy(path) + ": " + result->description;
  }
  return code;
}

int CSequenceStore::SaveSequences(std::string* error) const {
  std::string bytes;
  if (!WriteSequenceDocument(sequences_, bytes, error)) return -1;
  return SaveFileAtomically(filePath_, bytes, error) ? 0 : -1;
}

int CSequenceStore::UpsertSequence(CSequence sequence, bool replace) {
  const auto it = std::find_if(sequences_.begin(), sequences_.end(),
                               [&](const CSequence& s) { return s.name == sequence.name; });
  if (it != sequences_.end()) {
    if (!replace) return 1;
    sequences_.erase(it);
  }
  sequences_.push_back(std::move(sequence));
  return 0;
}

int CSequenceStore::RemoveSequence(std::string_view name) {
  const auto it = std::find_if(sequences_.begin(), sequences_.end(),
                               [&](const CSequence& s) { return s.name == name; });
  if (it == sequences_.end()) return -1;
  sequences_.erase(it);
  return 0;
}

const CSequence* CSequenceStore::FindSequence(std::string_view name) const {
  for (const CSequence& s : sequences_) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

CSequence* CSequenceStore::FindSequence(std::string_view name) {
  for (CSequence& s : sequences_) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

}  // namespace tervane
