// The files the simulated printer hands out through its download commands, built from
// its memories and signed with its own key.
#pragma once

#include <cstdint>
#include <string>

#include "sim/printer_state.h"
#include "vendor/formats/memory_time.h"

namespace tervane::sim {

// What a download asks for, as the open command carries it.
struct DownloadRequest {
  char kind = 0;        // 'F' .mf, 'D' .mfd, 'S' .bin, 'P' .mpk, 'K' .mfk, 'B' .sbk, 'C' .pub
  char range = '0';     // '0' everything, '1' dates, '2' COOs (MFD and MPK)
  std::string start;    // "DDMMYY" or six COO digits
  std::string end;
  std::string user;     // three digits or blank (the current user)
};

// Builds the payload of a download: the whole signed file, except for the .mfd, whose
// payload is its record stream followed by the signature of the whole framed file (the
// receiver lays the frame around the stream; the frame is fixed, so the signature
// holds). Returns 0, or the extended code of the refusal: 4 for a request that is not
// well formed, 214 for a range that holds no document.
std::uint16_t BuildDownload(const PrinterState& state, const DownloadRequest& request,
                            const vendor::MemoryTime& now, std::string& payload);

// The .mfd record stream of a range (used for .mfd and .mpk). Returns false when the
// request's range is not well formed or holds no document.
bool TapeStream(const PrinterState& state, const DownloadRequest& request, std::string& stream,
                bool& empty);

}  // namespace tervane::sim
