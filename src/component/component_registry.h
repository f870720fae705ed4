// The entries of the component registry: which library serves a class ID, which class a
// ProgID names, where a type library is. Component libraries write their own entries
// when they are registered; hosts read them to create objects by class ID.
//
// Sections of the file:
//   [Class {clsid}]            Name, Library, ProgID, Threading, Control, MiscStatus,
//                              TypeLib, Version
//   [ProgID <progid>]          Class, Name
//   [TypeLib {libid} <major.minor>]  Name, Description, HelpFile, Library
//   [Interface {iid}]          Name, TypeLib
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "component/guid.h"
#include "component/hresult.h"

namespace tervane::component {

struct ClassEntry {
  Guid clsid;
  std::string name;     // the type name shown to people
  std::string library;  // absolute path of the library that serves the class
  std::string progId;   // empty: none
  std::string threading = "Apartment";
  bool control = false;  // an embeddable control: the fields below are written too
  std::uint32_t miscStatus = 0;
  Guid typeLib;
  std::string version;  // of the type library, "1.0"
};

struct TypeLibEntry {
  Guid libId;
  std::string version;  // "1.0"
  std::string name;
  std::string description;
  std::string helpFile;
  std::string library;
  std::vector<std::pair<Guid, std::string>> interfaces;  // interface ID and name
};

// Writes the type library's section and its interfaces' sections into the registry at
// `registryPath`, replacing earlier ones. Returns false with `error` set when the file
// cannot be changed (EditRegistryFile) or a value cannot be stored (it holds a line
// break); the file is then unchanged.
bool RegisterTypeLib(const std::string& registryPath, const TypeLibEntry& entry, std::string* error);

// Removes the type library `libId` of `version` and the interfaces registered with it.
// Removing what is not there succeeds. Same failures as RegisterTypeLib.
bool UnregisterTypeLib(const std::string& registryPath, const Guid& libId, const std::string& version,
                       std::string* error);

// Writes the class's section and, when it has one, its ProgID's section. Same failures.
bool RegisterClassEntry(const std::string& registryPath, const ClassEntry& entry, std::string* error);

// Removes the class `clsid` and the ProgID that names it (a ProgID now naming another
// class stays). Removing what is not there succeeds. Same failures.
bool UnregisterClassEntry(const std::string& registryPath, const Guid& clsid, std::string* error);

// Removes, without loading the library, every class whose Library is `library` (with the
// ProgIDs naming them) and every type library whose Library is `library` (with its
// interfaces): the way to unregister a library whose file is gone or cannot be loaded.
// Sets `removed` (when given) to how many class and type library entries went. Same
// failures as RegisterClassEntry; nothing registered with `library` is no failure.
bool UnregisterLibraryEntries(const std::string& registryPath, const std::string& library, int* removed,
                              std::string* error);

// Look-ups. Each reads the registry file at `registryPath` alone when it is given; when
// it is empty, the user's registry (DefaultRegistryPath) and then the system-wide one
// (SystemRegistryPath), so that a user's entry overrides a system entry of the same
// name. A missing file is an empty one. A file that cannot be read or is malformed hides
// nothing registered in the other; it fails the look-up (kRegistryRead, with `error`
// naming the file and what is wrong with it) only when the entry is found nowhere.

// The registered library of class `clsid`. Returns kOk with `library` set;
// kClassNotRegistered when no registry read has such a class (with a library);
// kRegistryRead when it is found nowhere and a registry file cannot be read or is
// malformed. `error` (when given) describes any failure, naming the files.
HResult FindClassLibrary(const std::string& registryPath, const Guid& clsid, std::string& library,
                         std::string* error = nullptr);

// The class a ProgID names. Returns kOk with `clsid` set; kClassNotRegistered for an
// unknown ProgID or one naming no readable class ID; kRegistryRead as above.
HResult FindProgId(const std::string& registryPath, const std::string& progId, Guid& clsid,
                   std::string* error = nullptr);

// The whole class entry, for tools and tests. Same results as FindClassLibrary.
HResult FindClassEntry(const std::string& registryPath, const Guid& clsid, ClassEntry& entry,
                       std::string* error = nullptr);

// The type library entry `libId` of `version`. Same results, with kClassNotRegistered
// standing for "no such type library".
HResult FindTypeLib(const std::string& registryPath, const Guid& libId, const std::string& version,
                    TypeLibEntry& entry, std::string* error = nullptr);

// Section names, exposed for tests of the file's layout.
std::string ClassSectionName(const Guid& clsid);
std::string ProgIdSectionName(const std::string& progId);
std::string TypeLibSectionName(const Guid& libId, const std::string& version);
std::string InterfaceSectionName(const Guid& iid);

}  // namespace tervane::component
