#include "component/registry_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/common/atomic_file.h"
#include "core/common/ini_file.h"

namespace tervane::component {
namespace {

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool ValidSectionName(std::string_view name) {
  return !name.empty() && name.find(']') == std::string_view::npos && !HasLineBreakOrNul(name) &&
         TrimSpaces(name) == name;
}

std::string SystemMessage(int error) {
  return std::strerror(error);
}

// An exclusive advisory lock held on "<path>.lock" for the lifetime of the object.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    int result;
    do {
      result = ::flock(fd_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
      error_ = errno;
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return fd_ >= 0; }
  int error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

}  // namespace

const std::string* RegistrySection::Find(std::string_view key) const {
  for (const auto& [existingKey, value] : values) {
    if (existingKey == key) return &value;
  }
  return nullptr;
}

bool RegistrySection::Set(std::string_view key, std::string_view value) {
  if (key.empty() || key.find('=') != std::string_view::npos || HasLineBreakOrNul(key) || HasLineBreakOrNul(value) ||
      TrimSpaces(key) != key || key.front() == '[' || key.front() == ';' || key.front() == '#') {
    return false;
  }
  for (auto& [existingKey, existing] : values) {
    if (existingKey == key) {
      existing = value;
      return true;
    }
  }
  values.emplace_back(std::string(key), std::string(value));
  return true;
}

bool RegistryFile::Parse(std::string_view text, std::string* error) {
  sections_.clear();
  auto fail = [&](int line, const std::string& what) {
    sections_.clear();
    if (error) *error = "line " + std::to_string(line) + ": " + what;
    return false;
  };
  if (text.find('\0') != std::string_view::npos) {
    const size_t at = text.find('\0');
    int line = 1;
    for (size_t i = 0; i < at; ++i) line += text[i] == '\n';
    return fail(line, "NUL byte (binary data, not a registry text)");
  }
  std::vector<RegistrySection> sections;
  IniLineReader reader(text);
  IniLine line;
  while (reader.Next(line)) {
    const int number = line.number;
    switch (line.kind) {
      case IniLineKind::kBlank:
      case IniLineKind::kComment:
        continue;
      case IniLineKind::kSection: {
        if (line.text.back() != ']') return fail(number, "section header without ']'");
        // Between '[' and the last ']': a name holding a ']' is refused, not cut short.
        const std::string_view name = TrimSpaces(line.text.substr(1, line.text.size() - 2));
        if (!ValidSectionName(name)) return fail(number, "section without a valid name");
        for (const RegistrySection& existing : sections) {
          if (existing.name == name) return fail(number, "section [" + std::string(name) + "] named twice");
        }
        sections.push_back(RegistrySection{std::string(name), {}});
        continue;
      }
      case IniLineKind::kOther:
        return fail(number, "neither a section nor a name=value line");
      case IniLineKind::kValue:
        if (sections.empty()) return fail(number, "value outside any section");
        if (line.name.empty()) return fail(number, "value without a name");
        if (!sections.back().Set(line.name, line.value)) return fail(number, "unreadable name");
        continue;
    }
  }
  sections_ = std::move(sections);
  return true;
}

std::string RegistryFile::Serialise() const {
  std::string text = "; Tervane component registry: class IDs, ProgIDs and type libraries.\n";
  for (const RegistrySection& section : sections_) {
    text += '\n';
    text += '[' + section.name + "]\n";
    for (const auto& [key, value] : section.values) text += key + '=' + value + '\n';
  }
  return text;
}

const RegistrySection* RegistryFile::Find(std::string_view name) const {
  for (const RegistrySection& section : sections_) {
    if (section.name == name) return &section;
  }
  return nullptr;
}

RegistrySection* RegistryFile::Find(std::string_view name) {
  for (RegistrySection& section : sections_) {
    if (section.name == name) return &section;
  }
  return nullptr;
}

RegistrySection* RegistryFile::FindOrAdd(std::string_view name) {
  if (RegistrySection* existing = Find(name)) return existing;
  if (!ValidSectionName(name)) return nullptr;
  sections_.push_back(RegistrySection{std::string(name), {}});
  return &sections_.back();
}

bool RegistryFile::Remove(std::string_view name) {
  for (auto it = sections_.begin(); it != sections_.end(); ++it) {
    if (it->name == name) {
      sections_.erase(it);
      return true;
    }
  }
  return false;
}

std::string DefaultRegistryPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return std::string(data) + "/tervane/components.ini";
  const char* home = std::getenv("HOME");
  if (home && home[0] != '\0') return std::string(home) + "/.local/share/tervane/components.ini";
  return {};
}

std::string SystemRegistryPath() {
  const char* path = std::getenv("TERVANE_SYSTEM_REGISTRY");
  if (path && path[0] == '/') return path;
  return "/etc/tervane/components.ini";
}

std::string RegistrationTargetPath() {
  const char* target = std::getenv(kRegistryTargetVariable);
  if (target && std::string_view(target) == "system") return SystemRegistryPath();
  return DefaultRegistryPath();
}

RegistryReadStatus ReadRegistryFile(const std::string& path, RegistryFile& file, std::string* error) {
  file = RegistryFile();
  if (path.empty()) {
    if (error) *error = "no component registry: neither XDG_DATA_HOME nor HOME is set";
    return RegistryReadStatus::kUnreadable;
  }
  std::error_code code;
  if (!std::filesystem::exists(path, code) && !code) return RegistryReadStatus::kMissing;
  std::string bytes;
  std::string readError;
  if (!ReadWholeFile(path, bytes, &readError)) {
    if (error) *error = readError;
    return RegistryReadStatus::kUnreadable;
  }
  std::string parseError;
  if (!file.Parse(bytes, &parseError)) {
    if (error) *error = "malformed component registry " + path + ", " + parseError;
    return RegistryReadStatus::kMalformed;
  }
  return RegistryReadStatus::kRead;
}

bool EditRegistryFile(const std::string& path, const RegistryChange& change, std::string* error) {
  if (path.empty()) {
    if (error) *error = "no component registry: neither XDG_DATA_HOME nor HOME is set";
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code code;
  if (!folder.empty()) std::filesystem::create_directories(folder, code);
  if (code) {
    if (error) *error = "cannot create " + folder.string() + ": " + code.message();
    return false;
  }
  FileLock lock(path);
  if (!lock.held()) {
    if (error) *error = "cannot lock " + path + ".lock: " + SystemMessage(lock.error());
    return false;
  }
  RegistryFile file;
  const RegistryReadStatus status = ReadRegistryFile(path, file, error);
  if (status == RegistryReadStatus::kUnreadable || status == RegistryReadStatus::kMalformed) return false;
  const std::string before = status == RegistryReadStatus::kMissing ? std::string() : file.Serialise();
  if (!change(file, error)) return false;
  const std::string after = file.Serialise();
  if (status == RegistryReadStatus::kMissing ? file.sections().empty() : after == before) return true;
  return SaveFileAtomically(path, after, error);
}

}  // namespace tervane::component
