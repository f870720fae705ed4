// equipamentos.xml: reading and writing the stored equipment profiles, and the list
// operations on them (store with or without replacing, delete by serial number).
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "core/common/settings.h"
#include "core/equipment/profile_record.h"

namespace tervane {

inline constexpr char kProfileFileName[] = "equipamentos.xml";

// g_workDir joined with "equipamentos.xml".
std::string ProfileFilePath(const ProgramSettings& settings);

// What a failed load was about, for a caller that must not overwrite a file it could
// not read.
struct ProfileLoadInfo {
  bool fileMissing = false;   // there is no file at the path (a first save creates it)
  std::string description;    // what was wrong and where; empty after a good load
};

// Empties `list`, then reads every `equipamento` element of the file, in document order,
// into it: each field from the first child element of its name (missing ones keep their
// defaults), booleans false only for the text "0", every LF of the cliché made CR LF,
// the password always empty. Returns 0; -1 when the file is missing or not a readable
// XML document, with the list left empty and `info` (when given) saying why.
int LoadProfiles(const std::string& path, ProfileList& list, ProfileLoadInfo* info = nullptr);

// The same from the bytes of a profile file already in memory. Returns 0, or -1 with the
// list empty when the bytes are not a well-formed document.
int ReadProfilesDocument(std::string_view bytes, ProfileList& list, ProfileLoadInfo* info = nullptr);

// The document SaveProfiles writes, as Windows-1252 bytes: declaration, stylesheet
// instruction, root `equipamentos` (xml:space="preserve") and one indented `equipamento`
// per profile, every field but the password, booleans as "1"/"0". Never fails.
std::string ProfilesDocumentBytes(const ProfileList& list);

// Writes the list over the file atomically. Returns 0; -1 when the file cannot be
// written (it is then left as it was), with `error` (when given) saying why. When `trace`
// is given, "DOM saved to dynamDom.xml" or "Failed to save DOM to dynaDom.xml" and a
// line end are written to it.
int SaveProfiles(const std::string& path, const ProfileList& list, std::string* error = nullptr,
                 std::ostream* trace = nullptr);

// When a profile with the same serial number (exact comparison) exists and `replace` is
// false, changes nothing and returns true. Otherwise removes the first profile with that
// serial, if any, appends `profile` at the end and returns false.
bool StoreProfile(ProfileList& list, const ProfileRecord& profile, bool replace);

// Removes every profile whose serial number equals `serial` exactly. Returns how many
// were removed.
int DeleteProfilesBySerial(ProfileList& list, std::string_view serial);

// The text without its blanks (the form in which serial numbers are stored).
std::string WithoutSpaces(std::string_view text);

}  // namespace tervane
