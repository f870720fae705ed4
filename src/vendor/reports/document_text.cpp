#include "vendor/reports/document_text.h"

#include <variant>

#include "core/common/atomic_file.h"
#include "core/common/charset.h"
#include "core/common/text.h"

namespace tervane {
namespace {

std::string CenteredLine(const std::string& text) {
  if (text.size() >= kDocumentWidth) return text;
  const size_t left = (kDocumentWidth - text.size()) / 2;
  return PadRight(std::string(left, ' ') + text, kDocumentWidth, ' ');
}

std::string DateTime(const vendor::MemoryTime& when) {
  return when.DateText() + " " + when.TimeText();
}

std::string UserLine(int user) { return Cp("USUÁRIO:") + Format("%03d", user); }

const char* TitleOf(vendor::DocumentKind kind) {
  switch (kind) {
    case vendor::DocumentKind::kSale: return "CUPOM FISCAL";
    case vendor::DocumentKind::kSaleCancel: return "CUPOM FISCAL CANCELADO";
    case vendor::DocumentKind::kNonFiscal: return "COMPROVANTE NÃO FISCAL";
    case vendor::DocumentKind::kCardVoucher:
    case vendor::DocumentKind::kVoucherReprint: return "COMPROVANTE DE CRÉDITO OU DÉBITO";
    case vendor::DocumentKind::kManagementReport: return "RELATÓRIO GERENCIAL";
    case vendor::DocumentKind::kReadingX: return "LEITURA X";
    case vendor::DocumentKind::kReductionZ: return "REDUÇÃO Z";
    case vendor::DocumentKind::kFiscalMemoryReading: return "LEITURA DA MEMÓRIA FISCAL";
    case vendor::DocumentKind::kOther: break;
  }
  return "DOCUMENTO";
}

// The printer records a document's title as its first line ("CUPOM FISCAL", "REDUÇÃO Z",
// "COMPROVANTE CRÉDITO OU DÉBITO"...). Such a line is the title printed under the
// header, and is not repeated in the body.
bool IsTitleLine(const std::string& line) {
  static const char* const kTitles[] = {
      "CUPOM FISCAL", "CUPOM FISCAL CANCELADO", "COMPROVANTE NÃO FISCAL",
      "COMPROVANTE DE CRÉDITO OU DÉBITO", "COMPROVANTE CRÉDITO OU DÉBITO",
      "RELATÓRIO GERENCIAL", "LEITURA X", "REDUÇÃO Z", "LEITURA DA MEMÓRIA FISCAL",
      "BILHETE DE PASSAGEM"};
  const std::string text = TrimSpaces(line);
  for (const char* title : kTitles)
    if (text == Cp(title)) return true;
  return false;
}

}  // namespace

std::string DocumentTitle(const vendor::MfdDocument& document) {
  if (!document.lines.empty() && IsTitleLine(document.lines.front())) return TrimSpaces(document.lines.front());
  return Cp(TitleOf(document.kind));
}

std::vector<std::string> DocumentLines(const vendor::MfdHeader& header,
                                       const vendor::MfdDocument& document) {
  std::vector<std::string> lines;
  lines.push_back(SeparatorLine());
  lines.push_back(PadRight(DateTime(document.when), 38, ' ') + Format("COO:%06d", document.coo));
  lines.push_back(UserLine(document.user));
  lines.push_back(SeparatorLine());
  lines.push_back(CenteredLine(DocumentTitle(document)));
  // A recorded title is not repeated in the body, except a Z reduction's: the diagnostics
  // read three lines ahead of a COO that breaks the sequence, and the heading in the body
  // stands beyond them, where a reduction to be rebuilt is looked for.
  auto body = document.lines.begin();
  if (body != document.lines.end() && IsTitleLine(*body) &&
      document.kind != vendor::DocumentKind::kReductionZ)
    ++body;
  if (document.kind == vendor::DocumentKind::kVoucherReprint) {
    lines.push_back("");
    lines.push_back(CenteredLine(Cp("2ªVIA")));
  }
  lines.push_back(SeparatorLine());
  lines.insert(lines.end(), body, document.lines.end());
  lines.push_back(SeparatorLine());
  lines.push_back(PadRight(PadRight(header.brand.substr(0, 16), 16, ' ') +
                               PadRight(header.model.substr(0, 21), 21, ' ') + "ECF-IF",
                           kDocumentWidth, ' '));
  lines.push_back(UserLine(document.user));
  lines.push_back("FAB:" + PadRight(header.serial.substr(0, 20), 24, ' ') +
                  DateTime(document.when));
  return lines;
}

std::vector<std::string> MarkerLines(const vendor::MfdMarker& marker) {
  if (marker.kind == vendor::MarkerKind::kPowerFailure)
    return {"***********FALTA DE ENERGIA - RETORNO***********", DateTime(marker.when)};
  return {Cp("**************ALTERAÇÃO DE USUÁRIO**************"),
          PadRight(DateTime(marker.when), 25, ' ') + UserLine(marker.user)};
}

std::string DocumentsText(const vendor::MfdContents& contents, const MfdSelection& selection) {
  std::string text;
  for (const vendor::MfdEntry* entry : SelectEntries(contents, selection)) {
    const std::vector<std::string> lines =
        std::holds_alternative<vendor::MfdDocument>(*entry)
            ? DocumentLines(contents.header, std::get<vendor::MfdDocument>(*entry))
            : MarkerLines(std::get<vendor::MfdMarker>(*entry));
    for (const std::string& line : lines) text += line + "\r\n";
  }
  return text;
}

int WriteDocumentsText(const std::string& mfdPath, const std::string& txtPath,
                       const MfdSelection& selection) {
  vendor::MfdContents contents;
  std::vector<vendor::MfdMissingRange> missing;
  if (const int code = LoadMfdForReport(mfdPath, contents, &missing); code != 0) return code;
  const std::string documents = DocumentsText(contents, selection);
  if (documents.empty()) return 6;
  // A capture with symbols missing says first which documents it could not give.
  const std::string text = MissingRangesNotice(MissingInSelection(missing, selection)) + documents;
  return SaveFileAtomically(txtPath, text, nullptr) ? 0 : 4;
}

}  // namespace tervane
