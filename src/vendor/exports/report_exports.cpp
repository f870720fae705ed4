// The report, database, signature and PDF-417 entry points of the memory libraries: thin
// C wrappers over src/vendor/{reports,validate,pdf417}. Nothing here throws; a null text
// argument is taken as an empty one.
#include <mutex>
#include <string>

#include "vendor/kelo_api.h"
#include "vendor/pdf417/mfd_from_symbols.h"
#include "vendor/reports/document_database.h"
#include "vendor/reports/document_text.h"
#include "vendor/reports/ead_signature.h"
#include "vendor/reports/mf_integrity.h"
#include "vendor/reports/mf_report.h"
#include "vendor/reports/type_e_records.h"
#include "vendor/validate/file_validation.h"

namespace {

std::string Text(const char* text) { return text ? std::string(text) : std::string(); }

// Runs one entry point's work; running out of memory (the one exception the work can meet)
// becomes the status `failed` instead of crossing the C boundary.
template <typename Work>
int Guarded(int failed, Work&& work) noexcept {
  try {
    return work();
  } catch (...) {
    return failed;
  }
}

// The one PDF-417 set a library keeps open between KeloOpenPdf417ToMfd and
// KeloClosePdf417ToMfd.
std::mutex g_pdf417Lock;
tervane::Pdf417MfdBuilder g_pdf417;

}  // namespace

extern "C" {

int KeloGeraTxtPorCOO(const char* mfdFile, const char* outFile, int user, int firstCoo,
                      int lastCoo) {
  return Guarded(6, [&] {
    return tervane::WriteDocumentsText(Text(mfdFile), Text(outFile),
                                       tervane::MfdSelection::ByCoo(user, firstCoo, lastCoo));
  });
}

void KeloGeraTxtPorData(const char* mfdFile, const char* outFile, const char* firstDate,
                        const char* lastDate) {
  Guarded(6, [&] {
    tervane::MfdSelection selection;
    if (!tervane::MfdSelection::ByDates(Text(firstDate), Text(lastDate), selection)) return 6;
    return tervane::WriteDocumentsText(Text(mfdFile), Text(outFile), selection);
  });
}

void KeloGeraTxtTotal(const char* mfdFile, const char* outFile) {
  Guarded(6, [&] {
    return tervane::WriteDocumentsText(Text(mfdFile), Text(outFile),
                                       tervane::MfdSelection::Total());
  });
}

int KeloOpenPdf417ToMfd(const char* mfdFile) {
  std::lock_guard lock(g_pdf417Lock);
  return Guarded(tervane::kPdf417CannotOpen, [&] { return g_pdf417.Open(Text(mfdFile)); });
}

int KeloAddBmpFile(const char* bmpFile) {
  std::lock_guard lock(g_pdf417Lock);
  return Guarded(tervane::kPdf417InvalidData, [&] { return g_pdf417.AddBitmapFile(Text(bmpFile)); });
}

int KeloClosePdf417ToMfd(void) {
  std::lock_guard lock(g_pdf417Lock);
  return Guarded(tervane::kPdf417CannotOpen, [&] { return g_pdf417.Close(); });
}

int KeloGeraMdbPorCOO(const char* mfdFile, const char* outFile, int user, int firstCoo,
                      int lastCoo) {
  return Guarded(6, [&] {
    return tervane::WriteDocumentsDatabase(Text(mfdFile), Text(outFile),
                                           tervane::MfdSelection::ByCoo(user, firstCoo, lastCoo));
  });
}

void KeloGeraMdbPorData(const char* mfdFile, const char* outFile, const char* firstDate,
                        const char* lastDate) {
  Guarded(6, [&] {
    tervane::MfdSelection selection;
    if (!tervane::MfdSelection::ByDates(Text(firstDate), Text(lastDate), selection)) return 6;
    return tervane::WriteDocumentsDatabase(Text(mfdFile), Text(outFile), selection);
  });
}

void KeloGeraMdbTotal(const char* mfdFile, const char* outFile) {
  Guarded(6, [&] {
    return tervane::WriteDocumentsDatabase(Text(mfdFile), Text(outFile),
                                           tervane::MfdSelection::Total());
  });
}

int KeloRelatorioMFTxt(const char* mfFile, const char* txtFile, const char* rangeKind,
                       const char* start, const char* end) {
  return Guarded(6, [&] {
    return tervane::WriteMfReport(Text(mfFile), Text(txtFile), Text(rangeKind), Text(start),
                                  Text(end));
  });
}

int KeloValidate(const char* file, const char* pubFile) {
  return Guarded(tervane::kValidationCannotRead,
                 [&] { return tervane::ValidateSignedFile(Text(file), Text(pubFile)); });
}

int KeloValidatePDF417(const char* file, const char* rsaFile, const char* pubFile) {
  return Guarded(tervane::kValidationCannotRead, [&] {
    return tervane::ValidatePdf417File(Text(file), Text(rsaFile), Text(pubFile));
  });
}

int KeloGeraRegistrosParciaisTipoE(
    const char* inFile, const char* outFile, const char* periodKind, const char* start,
    const char* end, const char* /*reserved1*/, const char* /*reserved2*/, const char* modelName,
    const char* recordType, const char*, const char*, const char*, const char*, const char*,
    const char*, const char*, const char*, const char*, const char*, const char*, const char*,
    const char*) {
  return Guarded(6, [&] {
    return tervane::WriteTypeERecords({Text(inFile), Text(outFile), Text(periodKind), Text(start),
                                       Text(end), Text(modelName), Text(recordType)});
  });
}

void KeloDLLGeraRegistroEAD(const char* file) {
  Guarded(0, [&] { return tervane::SignFileWithEad(Text(file)) ? 1 : 0; });
}

int KeloDLLVerifyMFFileIntegrity(const char* mfFile, const char* txtFile, int /*reserved*/) {
  return Guarded(6, [&] { return tervane::VerifyMfFileIntegrity(Text(mfFile), Text(txtFile)); });
}

}  // extern "C"
