#include "component/component_registry.h"

#include <charconv>
#include <functional>

#include "component/registry_file.h"

namespace tervane::component {
namespace {

// Sets every pair in `values` on `section`; false with `error` set at the first value
// that cannot be stored.
bool SetAll(RegistrySection& section, const std::vector<std::pair<const char*, std::string>>& values,
            std::string* error) {
  for (const auto& [key, value] : values) {
    if (!section.Set(key, value)) {
      if (error) *error = std::string("cannot store ") + key + " of [" + section.name + "]: it holds a line break";
      return false;
    }
  }
  return true;
}

// A fresh section `name` (an earlier one is dropped, so stale values do not survive).
RegistrySection* FreshSection(RegistryFile& file, const std::string& name, std::string* error) {
  file.Remove(name);
  RegistrySection* section = file.FindOrAdd(name);
  if (!section && error) *error = "cannot store a section named \"" + name + "\"";
  return section;
}

std::string Value(const RegistrySection& section, const char* key) {
  const std::string* value = section.Find(key);
  return value ? *value : std::string();
}

// Finds something in the registries a look-up reads: the file at `registryPath` alone,
// or, when that is empty, the user's registry and then the system-wide one, so that a
// user's entry overrides a system entry of the same name. `find` looks in one file and
// returns true when it found what it looks for. A missing file is an empty one; a file
// that cannot be read or is malformed is passed over, so that it hides nothing found in
// the other, and is named (with what is wrong) only when nothing is found anywhere.
HResult Lookup(const std::string& registryPath, const std::string& what,
               const std::function<bool(const RegistryFile&)>& find, std::string* error) {
  std::vector<std::string> paths;
  if (!registryPath.empty()) {
    paths.push_back(registryPath);
  } else {
    paths.push_back(DefaultRegistryPath());
    paths.push_back(SystemRegistryPath());
  }
  std::vector<std::string> problems;
  std::vector<std::string> searched;
  for (const std::string& path : paths) {
    RegistryFile file;
    std::string why;
    switch (ReadRegistryFile(path, file, &why)) {
      case RegistryReadStatus::kRead:
        if (find(file)) return hr::kOk;
        searched.push_back(path);
        break;
      case RegistryReadStatus::kMissing:
        searched.push_back(path);
        break;
      case RegistryReadStatus::kUnreadable:
      case RegistryReadStatus::kMalformed:
        problems.push_back(why);
        break;
    }
  }
  if (error) {
    std::string text = what + " is not registered";
    for (size_t i = 0; i < searched.size(); ++i) text += (i == 0 ? " in " : " or ") + searched[i];
    for (const std::string& problem : problems) text += "; " + problem;
    *error = std::move(text);
  }
  return problems.empty() ? hr::kClassNotRegistered : hr::kRegistryRead;
}

}  // namespace

std::string ClassSectionName(const Guid& clsid) {
  return "Class " + ToString(clsid);
}
std::string ProgIdSectionName(const std::string& progId) {
  return "ProgID " + progId;
}
std::string TypeLibSectionName(const Guid& libId, const std::string& version) {
  return "TypeLib " + ToString(libId) + " " + version;
}
std::string InterfaceSectionName(const Guid& iid) {
  return "Interface " + ToString(iid);
}

bool RegisterTypeLib(const std::string& registryPath, const TypeLibEntry& entry, std::string* error) {
  return EditRegistryFile(
      registryPath,
      [&](RegistryFile& file, std::string* why) {
        RegistrySection* section = FreshSection(file, TypeLibSectionName(entry.libId, entry.version), why);
        if (!section || !SetAll(*section,
                                {{"Name", entry.name},
                                 {"Description", entry.description},
                                 {"HelpFile", entry.helpFile},
                                 {"Library", entry.library}},
                                why)) {
          return false;
        }
        for (const auto& [iid, name] : entry.interfaces) {
          RegistrySection* itf = FreshSection(file, InterfaceSectionName(iid), why);
          if (!itf || !SetAll(*itf, {{"Name", name}, {"TypeLib", ToString(entry.libId)}}, why)) return false;
        }
        return true;
      },
      error);
}

bool UnregisterTypeLib(const std::string& registryPath, const Guid& libId, const std::string& version,
                       std::string* error) {
  return EditRegistryFile(
      registryPath,
      [&](RegistryFile& file, std::string*) {
        file.Remove(TypeLibSectionName(libId, version));
        // Interfaces that point at this library go with it.
        std::vector<std::string> interfaces;
        for (const RegistrySection& section : file.sections()) {
          if (section.name.rfind("Interface ", 0) == 0 && Value(section, "TypeLib") == ToString(libId)) {
            interfaces.push_back(section.name);
          }
        }
        for (const std::string& name : interfaces) file.Remove(name);
        return true;
      },
      error);
}

bool RegisterClassEntry(const std::string& registryPath, const ClassEntry& entry, std::string* error) {
  return EditRegistryFile(
      registryPath,
      [&](RegistryFile& file, std::string* why) {
        RegistrySection* section = FreshSection(file, ClassSectionName(entry.clsid), why);
        if (!section) return false;
        std::vector<std::pair<const char*, std::string>> values = {
            {"Name", entry.name}, {"Library", entry.library}, {"Threading", entry.threading}};
        if (!entry.progId.empty()) values.emplace_back("ProgID", entry.progId);
        if (entry.control) {
          values.emplace_back("Control", "1");
          values.emplace_back("MiscStatus", std::to_string(entry.miscStatus));
          values.emplace_back("TypeLib", ToString(entry.typeLib));
          values.emplace_back("Version", entry.version);
        }
        if (!SetAll(*section, values, why)) return false;
        if (entry.progId.empty()) return true;
        RegistrySection* progId = FreshSection(file, ProgIdSectionName(entry.progId), why);
        return progId && SetAll(*progId, {{"Class", ToString(entry.clsid)}, {"Name", entry.name}}, why);
      },
      error);
}

bool UnregisterClassEntry(const std::string& registryPath, const Guid& clsid, std::string* error) {
  return EditRegistryFile(
      registryPath,
      [&](RegistryFile& file, std::string*) {
        if (const RegistrySection* section = file.Find(ClassSectionName(clsid))) {
          const std::string progId = Value(*section, "ProgID");
          if (!progId.empty()) {
            const RegistrySection* named = file.Find(ProgIdSectionName(progId));
            if (named && Value(*named, "Class") == ToString(clsid)) file.Remove(ProgIdSectionName(progId));
          }
        }
        file.Remove(ClassSectionName(clsid));
        return true;
      },
      error);
}

bool UnregisterLibraryEntries(const std::string& registryPath, const std::string& library, int* removed,
                              std::string* error) {
  int count = 0;
  const bool done = EditRegistryFile(
      registryPath,
      [&](RegistryFile& file, std::string*) {
        count = 0;
        std::vector<std::string> sections;
        std::vector<std::string> libIds;
        for (const RegistrySection& section : file.sections()) {
          if (Value(section, "Library") != library) continue;
          if (section.name.rfind("Class ", 0) == 0) {
            sections.push_back(section.name);
            const std::string progId = Value(section, "ProgID");
            const RegistrySection* named = progId.empty() ? nullptr : file.Find(ProgIdSectionName(progId));
            if (named && Value(*named, "Class") == section.name.substr(6)) sections.push_back(named->name);
            ++count;
          } else if (section.name.rfind("TypeLib ", 0) == 0) {
            sections.push_back(section.name);
            const size_t space = section.name.find(' ', 8);
            libIds.push_back(section.name.substr(8, space == std::string::npos ? std::string::npos : space - 8));
            ++count;
          }
        }
        for (const RegistrySection& section : file.sections()) {
          if (section.name.rfind("Interface ", 0) != 0) continue;
          for (const std::string& libId : libIds) {
            if (Value(section, "TypeLib") == libId) sections.push_back(section.name);
          }
        }
        for (const std::string& name : sections) file.Remove(name);
        return true;
      },
      error);
  if (removed) *removed = done ? count : 0;
  return done;
}

HResult FindClassEntry(const std::string& registryPath, const Guid& clsid, ClassEntry& entry, std::string* error) {
  ClassEntry found;
  const auto find = [&](const RegistryFile& file) {
    const RegistrySection* section = file.Find(ClassSectionName(clsid));
    if (!section || Value(*section, "Library").empty()) return false;
    found.clsid = clsid;
    found.name = Value(*section, "Name");
    found.library = Value(*section, "Library");
    found.progId = Value(*section, "ProgID");
    found.threading = Value(*section, "Threading");
    found.control = Value(*section, "Control") == "1";
    const std::string misc = Value(*section, "MiscStatus");
    std::from_chars(misc.data(), misc.data() + misc.size(), found.miscStatus);
    ParseGuid(Value(*section, "TypeLib"), found.typeLib);
    found.version = Value(*section, "Version");
    return true;
  };
  const HResult result = Lookup(registryPath, "class " + ToString(clsid), find, error);
  if (result == hr::kOk) entry = std::move(found);
  return result;
}

HResult FindClassLibrary(const std::string& registryPath, const Guid& clsid, std::string& library,
                         std::string* error) {
  ClassEntry entry;
  const HResult result = FindClassEntry(registryPath, clsid, entry, error);
  if (result == hr::kOk) library = entry.library;
  return result;
}

HResult FindProgId(const std::string& registryPath, const std::string& progId, Guid& clsid, std::string* error) {
  Guid found;
  const auto find = [&](const RegistryFile& file) {
    const RegistrySection* section = file.Find(ProgIdSectionName(progId));
    return section && ParseGuid(Value(*section, "Class"), found);
  };
  const HResult result = Lookup(registryPath, "ProgID " + progId, find, error);
  if (result == hr::kOk) clsid = found;
  return result;
}

HResult FindTypeLib(const std::string& registryPath, const Guid& libId, const std::string& version,
                    TypeLibEntry& entry, std::string* error) {
  TypeLibEntry found;
  const auto find = [&](const RegistryFile& file) {
    const RegistrySection* section = file.Find(TypeLibSectionName(libId, version));
    if (!section) return false;
    found.libId = libId;
    found.version = version;
    found.name = Value(*section, "Name");
    found.description = Value(*section, "Description");
    found.helpFile = Value(*section, "HelpFile");
    found.library = Value(*section, "Library");
    // The interfaces come from the same file as the library they belong to.
    for (const RegistrySection& other : file.sections()) {
      Guid iid;
      if (other.name.rfind("Interface ", 0) == 0 && ParseGuid(other.name.substr(10), iid) &&
          Value(other, "TypeLib") == ToString(libId)) {
        found.interfaces.emplace_back(iid, Value(other, "Name"));
      }
    }
    return true;
  };
  const HResult result = Lookup(registryPath, "type library " + ToString(libId) + " " + version, find, error);
  if (result == hr::kOk) entry = std::move(found);
  return result;
}

}  // namespace tervane::component
