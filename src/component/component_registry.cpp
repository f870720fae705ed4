#include "component/component_registry.h"

#include <charconv>

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

HResult ReadForLookup(const std::string& registryPath, RegistryFile& file, std::string* error) {
  switch (ReadRegistryFile(registryPath, file, error)) {
    case RegistryReadStatus::kRead: return hr::kOk;
    case RegistryReadStatus::kMissing:
      if (error) *error = "no component registry at " + registryPath;
      return hr::kClassNotRegistered;
    case RegistryReadStatus::kUnreadable:
    case RegistryReadStatus::kMalformed: return hr::kRegistryRead;
  }
  return hr::kRegistryRead;
}

std::string Value(const RegistrySection& section, const char* key) {
  const std::string* value = section.Find(key);
  return value ? *value : std::string();
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

HResult FindClassEntry(const std::string& registryPath, const Guid& clsid, ClassEntry& entry, std::string* error) {
  RegistryFile file;
  if (const HResult read = ReadForLookup(registryPath, file, error); read != hr::kOk) return read;
  const RegistrySection* section = file.Find(ClassSectionName(clsid));
  if (!section || Value(*section, "Library").empty()) {
    if (error) *error = "class " + ToString(clsid) + " is not registered in " + registryPath;
    return hr::kClassNotRegistered;
  }
  ClassEntry found;
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
  entry = std::move(found);
  return hr::kOk;
}

HResult FindClassLibrary(const std::string& registryPath, const Guid& clsid, std::string& library,
                         std::string* error) {
  ClassEntry entry;
  const HResult result = FindClassEntry(registryPath, clsid, entry, error);
  if (result == hr::kOk) library = entry.library;
  return result;
}

HResult FindProgId(const std::string& registryPath, const std::string& progId, Guid& clsid, std::string* error) {
  RegistryFile file;
  if (const HResult read = ReadForLookup(registryPath, file, error); read != hr::kOk) return read;
  const RegistrySection* section = file.Find(ProgIdSectionName(progId));
  if (!section || !ParseGuid(Value(*section, "Class"), clsid)) {
    if (error) *error = "ProgID " + progId + " is not registered in " + registryPath;
    return hr::kClassNotRegistered;
  }
  return hr::kOk;
}

HResult FindTypeLib(const std::string& registryPath, const Guid& libId, const std::string& version,
                    TypeLibEntry& entry, std::string* error) {
  RegistryFile file;
  if (const HResult read = ReadForLookup(registryPath, file, error); read != hr::kOk) return read;
  const RegistrySection* section = file.Find(TypeLibSectionName(libId, version));
  if (!section) {
    if (error) *error = "type library " + ToString(libId) + " " + version + " is not registered in " + registryPath;
    return hr::kClassNotRegistered;
  }
  TypeLibEntry found;
  found.libId = libId;
  found.version = version;
  found.name = Value(*section, "Name");
  found.description = Value(*section, "Description");
  found.helpFile = Value(*section, "HelpFile");
  found.library = Value(*section, "Library");
  for (const RegistrySection& other : file.sections()) {
    Guid iid;
    if (other.name.rfind("Interface ", 0) == 0 && ParseGuid(other.name.substr(10), iid) &&
        Value(other, "TypeLib") == ToString(libId)) {
      found.interfaces.emplace_back(iid, Value(other, "Name"));
    }
  }
  entry = std::move(found);
  return hr::kOk;
}

}  // namespace tervane::component
