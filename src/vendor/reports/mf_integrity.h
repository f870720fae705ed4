// The integrity check of a fiscal-memory file (.mf), and its report.
//
// Checked: the file's frame ("KMF" 01h); every record's CRC-16 and length (the walk goes on
// past a record whose check fails, so that every damaged record is listed); the end
// record's count; the contents (header first, known record types, well-formed fields); the
// sequence of the reductions (CRZ 1, 2, 3..., each grand total the previous one plus the
// day's gross, COO rising within a user, CRO never falling, days of movement never going
// back, a user change at the CRZ reached); and the trailing signature, against the public
// key in the file of the same name with the extension ".pub" beside the .mf (for
// "memoria.mf", "memoria.pub"). With no such key the signature is reported as not checked,
// which is not a fault; a missing or damaged signature is.
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

// Checks the bytes of an .mf file. `fileName` is shown in the report; `modulus` is the
// printer's public key (128 bytes) or empty when none was found.
MfIntegrityResult CheckMfIntegrity(std::string_view bytes, const std::string& fileName,
                                   const std::string& modulus);

// Checks the file at `mfPath` and writes the report to `txtPath` (replacing it
// atomically). Returns 0 when the file passed every check; 6 when it has faults or cannot
// be read (the report, listing them, is still written); 4 when the report cannot be
// written.
int VerifyMfFileIntegrity(const std::string& mfPath, const std::string& txtPath);

}  // namespace tervane
