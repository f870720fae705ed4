// The integrity check of a fiscal-memory file (.mf), and its report.
//
// Checked: the file's frame ("KMF" 01h); every record's CRC-16 and length (the walk goes on
// past a record whose check fails, so that every damaged record is listed); the end
// record's count; the contents (header first, known record types, well-formed fields); the
// sequence of the reductions (CRZ 1, 2, 3..., each grand total the previous one plus the
// day's gross, COO rising within a user, CRO never falling, days of movement never going
// back, a user change at the CRZ reached); and the trailing signature, against the public
// key in the file of the same name with the extension ".pub" beside the .mf (for
// "memoria.mf", "memoria.pub"). Without a usable key the signature cannot be checked, so
// the file cannot pass: the report names the key file it looked for. A missing or damaged
// signature is a fault as well.
//
// The report is Windows-1252 text, lines ended by CR LF: a heading, the file's figures,
// one line per fault, and a closing verdict.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tervane {

struct MfIntegrityResult {
  std::vector<std::string> faults;   // one sentence per fault found, Windows-1252
  std::string report;                // the whole report text
  bool sound() const { return faults.empty(); }
};

// Why no key was given to the check.
enum class MfKeyProblem { kNone, kMissing, kUnreadable };

// Checks the bytes of an .mf file. `fileName` is shown in the report; `modulus` is the
// printer's public key (128 bytes) or empty when none was found, in which case `keyFile`
// names the file looked for and `keyProblem` says whether it was absent or not a key.
// A file whose signature could not be checked is never sound.
MfIntegrityResult CheckMfIntegrity(std::string_view bytes, const std::string& fileName,
                                   const std::string& modulus, const std::string& keyFile = {},
                                   MfKeyProblem keyProblem = MfKeyProblem::kMissing);

// Checks the file at `mfPath` and writes the report to `txtPath` (replacing it
// atomically). Returns 0 when the file passed every check, its signature verified against
// the key beside it; 6 when it has faults, cannot be read or its key is missing or
// unreadable (the report, listing why, is still written); 4 when the report cannot be
// written.
int VerifyMfFileIntegrity(const std::string& mfPath, const std::string& txtPath);

}  // namespace tervane
