// The download entry points: thin C wrappers over vendor/download. Each returns 1 when
// the file was received whole and written, else a status code (2, 3, 6 or 7; see
// vendor/download/memory_download.h). Nothing may escape as an exception.
#include "vendor/download/download_entry.h"
#include "vendor/kelo_api.h"

using tervane::vendor::DownloadKind;
using tervane::vendor::RunDownload;

namespace {

template <typename F>
int Guarded(F&& run) {
  try {
    return run();
  } catch (...) {
    return tervane::vendor::kDownloadNotExecuted;
  }
}

}  // namespace

extern "C" {

KELO_EXPORT int KeloDownloadMF(const char* port, const char* mfFile) {
  return Guarded([&] { return RunDownload(port, mfFile, DownloadKind::kMf); });
}

KELO_EXPORT int KeloDownloadMFFiscalII(const char* port, const char* mfFile, const char* userNumber) {
  return Guarded([&] { return RunDownload(port, mfFile, DownloadKind::kMf, "0", "", "", userNumber); });
}

KELO_EXPORT int KeloDownloadMFD(const char* port, const char* file, const char* rangeKind, const char* start,
                                const char* end, const char* user) {
  return Guarded([&] { return RunDownload(port, file, DownloadKind::kMfd, rangeKind, start, end, user); });
}

KELO_EXPORT int KeloDownloadMPK(const char* port, const char* file, const char* rangeKind, const char* start,
                                const char* end, const char* user) {
  return Guarded([&] { return RunDownload(port, file, DownloadKind::kMpk, rangeKind, start, end, user); });
}

KELO_EXPORT int KeloDownloadSB(const char* port, const char* file) {
  return Guarded([&] { return RunDownload(port, file, DownloadKind::kSb); });
}

KELO_EXPORT int KeloDownloadMFK(const char* port, const char* file) {
  return Guarded([&] { return RunDownload(port, file, DownloadKind::kMfk); });
}

KELO_EXPORT int KeloDownloadSBK(const char* port, const char* file) {
  return Guarded([&] { return RunDownload(port, file, DownloadKind::kSbk); });
}

KELO_EXPORT int KeloDownloadPublicKey(const char* port, const char* file) {
  return Guarded([&] { return RunDownload(port, file, DownloadKind::kPublicKey); });
}

}  // extern "C"
