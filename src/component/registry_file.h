// A component registry file: an INI text of named sections holding "name=value" lines.
// Each user has one in the XDG data folder (tervane/components.ini); the system-wide one
// is /etc/tervane/components.ini. This file is the layer's storage only;
// component_registry.h gives its entries their meaning.
//
// Lines are "[section]", "name=value", blank, or comments starting with ';' or '#'.
// Values are bytes (library paths are stored as the file system gives them); no value or
// name may hold a line break or a NUL, so that what is written reads back the same.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tervane::component {

struct RegistrySection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> values;  // in file order

  // The value of `key` (exact), or null.
  const std::string* Find(std::string_view key) const;
  // Replaces or appends `key`. Returns false (nothing changed) when the key is empty or
  // holds '=' or either holds a line break or a NUL.
  bool Set(std::string_view key, std::string_view value);
};

class RegistryFile {
 public:
  // Reads the text of a registry file. Returns false for a malformed file, with `error`
  // (when given) set to "line N: <what is wrong>", and leaves this object empty: a text
  // line that is neither a section, a "name=value" line inside a section, a comment nor
  // blank; a section header without its ']' or with an empty name; a section named
  // twice; a NUL byte anywhere.
  bool Parse(std::string_view text, std::string* error = nullptr);
  // The text of the file, with a comment line at the top.
  std::string Serialise() const;

  const std::vector<RegistrySection>& sections() const { return sections_; }
  // The section named `name` (exact), or null.
  const RegistrySection* Find(std::string_view name) const;
  RegistrySection* Find(std::string_view name);
  // The section named `name`, created empty at the end when there is none. Returns null
  // for a name that could not be read back (empty, holding ']', a line break or a NUL).
  RegistrySection* FindOrAdd(std::string_view name);
  // Removes the section named `name`; true when there was one.
  bool Remove(std::string_view name);

 private:
  std::vector<RegistrySection> sections_;
};

// The registry file of this user: $XDG_DATA_HOME/tervane/components.ini, or
// $HOME/.local/share/tervane/components.ini when XDG_DATA_HOME is unset or not an
// absolute path. Empty when neither gives a folder.
std::string DefaultRegistryPath();

// The system-wide registry file, written by the package's installation scripts (as root)
// and read by every user after the user's own: /etc/tervane/components.ini, or
// $TERVANE_SYSTEM_REGISTRY when that is set to an absolute path (tests and an unpacked
// package point it elsewhere).
std::string SystemRegistryPath();

// The registry that self-registration (DllRegisterServer, DllUnregisterServer) of a
// component library writes in this process: SystemRegistryPath() when the environment
// variable TERVANE_REGISTRY_TARGET is "system", otherwise DefaultRegistryPath(). An
// environment variable rather than a setter, because each component library carries its
// own copy of this layer: the variable is what the library and its loader share.
std::string RegistrationTargetPath();
inline constexpr const char* kRegistryTargetVariable = "TERVANE_REGISTRY_TARGET";

enum class RegistryReadStatus { kRead, kMissing, kUnreadable, kMalformed };

// Reads and parses the registry file at `path`. kMissing (an empty `file`) when there is
// no file; kUnreadable and kMalformed leave `file` empty and set `error` (when given) to
// a description naming the path.
RegistryReadStatus ReadRegistryFile(const std::string& path, RegistryFile& file, std::string* error = nullptr);

// Changes the registry file at `path` under an exclusive lock (a ".lock" file beside it),
// so that two programs registering at once do not lose each other's entries: reads it
// (a missing file reads as empty), calls `change`, and saves the result atomically when
// it differs from what was read, creating the folder when needed (nothing is written,
// and no file is created, when the change changed nothing). Returns true on success.
// Returns false with `error` set when the path is empty, the lock cannot be taken, the
// file is unreadable or malformed, `change` returns false (it sets `error` itself), or
// the save fails; the file is then as it was. A malformed file is never replaced: it may
// hold other components' entries, and the message says which line to repair.
using RegistryChange = std::function<bool(RegistryFile& file, std::string* error)>;
bool EditRegistryFile(const std::string& path, const RegistryChange& change, std::string* error);

}  // namespace tervane::component
