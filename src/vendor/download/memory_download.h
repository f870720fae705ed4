// Downloads of the printer's memories into files: the .mf, .mfd, .bin, .mpk, .mfk, .sbk
// and .pub files of docs/fiscal-memory-files.md, over the protocol of
// docs/memory-downloads.md.
//
// Result codes (the libraries' status codes): 1 the file was received whole, checked
// and written; 2 the file names no serial number (not written); 3 the printer stopped
// answering or the link dropped (nothing written: a file already at that path is left
// as it was); 6 what arrived is not a valid file of its kind (not written); 7 the request
// was not well formed, the printer refused it (nothing in the range, a document open),
// the port could not be opened, or the file could not be written.
#pragma once

#include <string>

#include "core/common/clock.h"
#include "core/transport/port.h"

namespace tervane::vendor {

inline constexpr int kDownloadOk = 1;
inline constexpr int kDownloadNoSerial = 2;
inline constexpr int kDownloadLinkFailed = 3;
inline constexpr int kDownloadInvalidData = 6;
inline constexpr int kDownloadNotExecuted = 7;

enum class DownloadKind : char {
  kMf = 'F',
  kMfd = 'D',
  kSb = 'S',
  kMpk = 'P',
  kMfk = 'K',
  kSbk = 'B',
  kPublicKey = 'C',
};

struct DownloadAsk {
  DownloadKind kind = DownloadKind::kMf;
  std::string rangeKind = "0";  // "0" all, "1" dates, "2" COOs (.mfd, .mpk)
  std::string start;            // "DDMMYY", or a COO of up to 6 digits
  std::string end;
  std::string user;             // a number up to 999 (leading zeros and blanks allowed), or empty
};

// Fetches one file from the printer on `portName` and writes it to `file` (replaced
// atomically, so a failed download never leaves a partial file). Returns one of the
// result codes above.
int DownloadToFile(PortFactory& ports, Clock& clock, const std::string& portName, const DownloadAsk& ask,
                   const std::string& file);

// The 17 parameter bytes of the open command for a request, or empty when the request
// is not well formed (a range kind other than "0".."2", dates that are not DDMMYY, COOs
// that are not numbers of at most 6 digits, a user that is not a number up to 999).
std::string OpenParameters(const DownloadAsk& ask);

// A file received for `kind` checked as the reader of its kind reads it: 1, 2 or 6.
int CheckReceived(DownloadKind kind, const std::string& bytes);

}  // namespace tervane::vendor
