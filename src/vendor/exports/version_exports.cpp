// The library's version text, different for each of the two libraries built from the
// same sources (TERVANE_KELO_LIBRARY is 1 or 2).
#include <cstring>

#include "vendor/kelo_api.h"

#ifndef TERVANE_KELO_LIBRARY
#define TERVANE_KELO_LIBRARY 1
#endif

extern "C" KELO_EXPORT void KeloVersaoDll(char* buffer) {
  if (buffer == nullptr) return;
  const char* version = TERVANE_KELO_LIBRARY == 2 ? "2,1,0,7" : "1,2,0,3";
  std::memcpy(buffer, version, std::strlen(version) + 1);
}
