// The entry points of the memory libraries libKeloMFD.so and libKeloMFD2.so.
//
// The workbench binds these by name with dlopen/dlsym, one library load per operation,
// so their names, arguments and results are a fixed contract: C linkage, texts are
// Windows-1252 NUL-terminated strings, "port" is a workbench port name (a serial device or
// "COM1:".."COM8:", "SOCKET", "FILE"). Status codes: 0 or 1 as each entry says for success,
// 2 "file without serial number", 3 "command failed" (also: the printer stopped answering),
// 4 "cannot open the .txt", 5 "cannot open the database", 6 "no valid data", 7 "not executed".
// No entry point throws, and none keeps state between calls except the PDF-417 trio, which
// keeps the open output between KeloOpenPdf417ToMfd and KeloClosePdf417ToMfd.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#define KELO_EXPORT __attribute__((visibility("default")))

// Downloads from the printer on `port` into `file`.
KELO_EXPORT int KeloDownloadMF(const char* port, const char* mfFile);
KELO_EXPORT int KeloDownloadMFFiscalII(const char* port, const char* mfFile, const char* userNumber);
// rangeKind "0" everything, "1" dates (start/end "DDMMYY"), "2" COO (start/end "%06ld");
// user is "%03d" or empty.
KELO_EXPORT int KeloDownloadMFD(const char* port, const char* file, const char* rangeKind,
                                const char* start, const char* end, const char* user);
KELO_EXPORT int KeloDownloadMPK(const char* port, const char* file, const char* rangeKind,
                                const char* start, const char* end, const char* user);
KELO_EXPORT int KeloDownloadSB(const char* port, const char* file);
KELO_EXPORT int KeloDownloadMFK(const char* port, const char* file);
KELO_EXPORT int KeloDownloadSBK(const char* port, const char* file);
KELO_EXPORT int KeloDownloadPublicKey(const char* port, const char* file);

// Documents (text) and databases (SQLite) made from a downloaded .mfd file.
KELO_EXPORT int KeloGeraTxtPorCOO(const char* mfdFile, const char* outFile, int user, int firstCoo,
                                  int lastCoo);
KELO_EXPORT int KeloGeraMdbPorCOO(const char* mfdFile, const char* outFile, int user, int firstCoo,
                                  int lastCoo);
// Dates are "DDMMYY".
KELO_EXPORT void KeloGeraTxtPorData(const char* mfdFile, const char* outFile, const char* firstDate,
                                    const char* lastDate);
KELO_EXPORT void KeloGeraMdbPorData(const char* mfdFile, const char* outFile, const char* firstDate,
                                    const char* lastDate);
KELO_EXPORT void KeloGeraTxtTotal(const char* mfdFile, const char* outFile);
KELO_EXPORT void KeloGeraMdbTotal(const char* mfdFile, const char* outFile);

// Fiscal-memory report; rangeKind "C"/"D" (by reductions / by dates), "c"/"d" simplified.
// Returns 0 on success.
KELO_EXPORT int KeloRelatorioMFTxt(const char* mfFile, const char* txtFile, const char* rangeKind,
                                   const char* start, const char* end);

// PDF-417 bitmaps into an .mfd file: open, add each bitmap, close.
KELO_EXPORT int KeloOpenPdf417ToMfd(const char* mfdFile);
KELO_EXPORT int KeloAddBmpFile(const char* bmpFile);
KELO_EXPORT int KeloClosePdf417ToMfd(void);

// Signature checks against a .pub file; 0 = valid.
KELO_EXPORT int KeloValidate(const char* file, const char* pubFile);
KELO_EXPORT int KeloValidatePDF417(const char* file, const char* rsaFile, const char* pubFile);

// Type E records: input, output, period kind, start, end, "", "", model name, record type,
// then 13 texts the workbench leaves empty.
KELO_EXPORT int KeloGeraRegistrosParciaisTipoE(
    const char* inFile, const char* outFile, const char* periodKind, const char* start,
    const char* end, const char* reserved1, const char* reserved2, const char* modelName,
    const char* recordType, const char* extra1, const char* extra2, const char* extra3,
    const char* extra4, const char* extra5, const char* extra6, const char* extra7,
    const char* extra8, const char* extra9, const char* extra10, const char* extra11,
    const char* extra12, const char* extra13);
// Appends the EAD signature line to `file`.
KELO_EXPORT void KeloDLLGeraRegistroEAD(const char* file);

// Checks an .mf file's records and writes the findings to txtFile; 0 = success.
KELO_EXPORT int KeloDLLVerifyMFFileIntegrity(const char* mfFile, const char* txtFile, int reserved);

// Writes the library's version text ("d,d,d,d") into buffer, at most 32 bytes with the NUL.
KELO_EXPORT void KeloVersaoDll(char* buffer);

#ifdef __cplusplus
}
#endif
