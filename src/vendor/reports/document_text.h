// Text documents made from a detail-tape file: every selected document laid out as the
// printer printed it, 48 columns, Windows-1252, lines ended by CR LF.
//
// A document:
//   ------------------------------------------------
//   07/12/2026 10:15:30                   COO:000123     "COO:" at column 38
//   USUÁRIO:001                                          the owner number
//   ------------------------------------------------
//                     CUPOM FISCAL                       the kind's title, centred
//                        2ªVIA                           (voucher copies and reprints only)
//   ------------------------------------------------
//   <the recorded lines of the document>
//   ------------------------------------------------
//   QUORVEXA        ZT-310 A             ECF-IF          maker (16) model (21) "ECF-IF"
//   USUÁRIO:001
//   FAB:XX0000000000000001    07/12/2026 10:15:30        date at column 28
//
// A first recorded line that is a document title ("CUPOM FISCAL", "       REDUÇÃO Z        ",
// "COMPROVANTE CRÉDITO OU DÉBITO"...) is printed, centred, as the title and not repeated,
// except a Z reduction's, kept in the body too so that it stands beyond the three lines
// read ahead of a COO that breaks the sequence.
// The title is always the third line after the COO line, and a copy's "2ªVIA" the fifth;
// the date and time of the footer are two lines below the model line and 28 columns in.
// Markers are printed where the printer recorded them:
//   ***********FALTA DE ENERGIA - RETORNO***********
//   07/12/2026 10:15:30
// and
//   **************ALTERAÇÃO DE USUÁRIO**************
//   07/12/2026 10:15:30      USUÁRIO:002
#pragma once

#include <string>
#include <vector>

#include "vendor/formats/mfd_file.h"
#include "vendor/reports/mfd_selection.h"

namespace tervane {

constexpr size_t kDocumentWidth = 48;

// A line of dashes across the document.
inline std::string SeparatorLine() { return std::string(kDocumentWidth, '-'); }

// A document's title: its first recorded line when that is a title, else the title of its
// kind (Windows-1252, no padding).
std::string DocumentTitle(const vendor::MfdDocument& document);

// The printed lines of one document or marker, without line ends.
std::vector<std::string> DocumentLines(const vendor::MfdHeader& header,
                                       const vendor::MfdDocument& document);
std::vector<std::string> MarkerLines(const vendor::MfdMarker& marker);

// The whole text of the selected entries, lines ended by CR LF.
std::string DocumentsText(const vendor::MfdContents& contents, const MfdSelection& selection);

// Reads `mfdPath` and writes the text of the selected documents to `txtPath` (replacing
// it atomically). Returns 0 on success; 2 when the file names no serial number; 6 when it
// is not a valid .mfd or no document is selected (no file is written then); 4 when the
// text file cannot be written.
int WriteDocumentsText(const std::string& mfdPath, const std::string& txtPath,
                       const MfdSelection& selection);

}  // namespace tervane
