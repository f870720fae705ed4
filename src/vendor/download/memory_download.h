// Downloads of the printer's memories into files: the .mf, .mfd, .bin, .mpk, .mfk, .sbk
// and .pub files of docs/fiscal-memory-files.md, over the protocol of
// docs/memory-downloads.md.
//
// Result codes (the libraries' status codes): 1 the file was received whole, checked
// and written; 2 the file names no serial number (not written); 3 the printer stopped
// answering, a block kept failing (garbled, short or with a bad CRC on every attempt) or
// the link dropped (nothing written: a file already at that path is left as it was); 6
// what arrived is not a valid file of its kind (not written); 7 the request was not well
// formed, the printer refused it (nothing in the range, a document open), the port could
// not be opened, or the file could not be written; 8 a download asked to continue a kept
// partial download that is not this one (another printer's serial number, another size
// or range, blocks that changed): nothing written, the kept file left as it was.
//
// A download that fails after some blocks keeps them in the partial file of its kind
// (when the ask names one); a later download asked to resume continues from the last
// good block kept, after checking the printer's serial number, the announced size and
// the last kept block against the printer's.
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
inline constexpr int kDownloadPartialMismatch = 8;

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
  std::string partialPath;      // where to keep the blocks of an unfinished download; empty: nowhere
  bool resume = false;          // continue from the blocks kept at partialPath
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
