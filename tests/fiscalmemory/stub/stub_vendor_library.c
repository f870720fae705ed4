/* A memory library with only a few of the entry points, for the binding's tests of the
   real dlopen path: it downloads the "basic software" by writing the port name into the
   file, fails the MFK download with status 3, validates a file when it exists, and
   reports its version. Everything else is missing on purpose. */
#include <stdio.h>
#include <string.h>

#define STUB_EXPORT __attribute__((visibility("default")))

STUB_EXPORT int KeloDownloadSB(const char* port, const char* file) {
  FILE* out = fopen(file, "wb");
  if (!out) return 4;
  fputs(port, out);
  fclose(out);
  return 1;
}

STUB_EXPORT int KeloDownloadMFK(const char* port, const char* file) {
  (void)port;
  (void)file;
  return 3;
}

STUB_EXPORT int KeloValidate(const char* file, const char* pubFile) {
  (void)pubFile;
  FILE* in = fopen(file, "rb");
  if (!in) return 6;
  fclose(in);
  return 0;
}

STUB_EXPORT void KeloVersaoDll(char* buffer) {
  strcpy(buffer, "9,8,7,6");
}
