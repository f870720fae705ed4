// The pages a command's composite parameters are edited on: the owner's cliché, the
// cheque positions and the tax rates. An answerer that can show them implements
// ParameterForms beside Prompter; one that cannot (a batch run, a scripted answerer) only
// implements Prompter, and every page then counts as cancelled.
#pragma once

#include <array>
#include <string>

#include "core/common/prompter.h"

namespace tervane {

// The owner's cliché page: three lines with their styles and one "Centralizado" box.
struct ClicheLine {
  std::string text;  // line 1 and 2 at most 47 characters, line 3 at most 94
  bool underline = false;
  bool italic = false;
  bool emphasis = false;
  bool expanded = false;
};
struct ClicheForm {
  std::array<ClicheLine, 3> lines;
  bool centred = false;
};

// The cheque-position page: 13 two-digit boxes, X and Y of "Valor", "Extenso 1",
// "Extenso 2", "Favorecido", "Local", then the columns of "Dia", "Mes", "Ano".
struct ChequePositionForm {
  std::array<std::string, 13> fields;
};

// The tax-rate page "Alíquotas": sixteen 4-digit rates (hundredths of a percent) and
// their binding, false = ICMS, true = ISS.
struct TaxRateForm {
  std::array<std::string, 16> rates;
  std::array<bool, 16> iss{};
};

class ParameterForms {
 public:
  virtual ~ParameterForms() = default;

  // Each page starts with what `form` holds and returns what was entered; false on Cancel.
  virtual bool EditCliche(ClicheForm& form) = 0;
  virtual bool EditChequePositions(ChequePositionForm& form) = 0;
  virtual bool EditTaxRates(TaxRateForm& form) = 0;
};

// The pages of the answerer, or null when it has none.
inline ParameterForms* ParameterFormsOf(Prompter& prompter) { return dynamic_cast<ParameterForms*>(&prompter); }

}  // namespace tervane
