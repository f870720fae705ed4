/* A memory library with only a few of the entry points, for the binding's tests of the
   real dlopen path: it downloads the "basic software" by writing the port name into the
   file, the MFD by writing the range texts, fails the MFK download with status 3, writes
   the range into an MF report, validates a file when it exists, checks an .mf file, and
   reports its version.
   Everything else is missing on purpose. */
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

/* Writes the range texts it was given into the file. */
STUB_EXPORT int KeloDownloadMFD(const char* port, const char* file, const char* kind, const char* start,
                                const char* end, const char* user) {
  (void)port;
  FILE* out = fopen(file, "wb");
  if (!out) return 4;
  fprintf(out, "%s|%s|%s|%s", kind, start, end, user);
  fclose(out);
  return 1;
}

/* Writes the report's range into the report. */
STUB_EXPORT int KeloRelatorioMFTxt(const char* mfFile, const char* txtFile, const char* kind, const char* start,
                                   const char* end) {
  FILE* in = fopen(mfFile, "rb");
  if (!in) return 6;
  fclose(in);
  FILE* out = fopen(txtFile, "wb");
  if (!out) return 4;
  fprintf(out, "%s|%s|%s", kind, start, end);
  fclose(out);
  return 0;
}

/* Checks an .mf file: one that exists gets a report naming it (0); a missing one gives 6. */
STUB_EXPORT int KeloDLLVerifyMFFileIntegrity(const char* mfFile, const char* txtFile, int reserved) {
  FILE* in = fopen(mfFile, "rb");
  if (!in) return 6;
  fclose(in);
  FILE* out = fopen(txtFile, "wb");
  if (!out) return 4;
  fprintf(out, "%s|%d", mfFile, reserved);
  fclose(out);
  return 0;
}
