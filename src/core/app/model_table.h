// The printer model table: identifiers (20-character fields padded with spaces, compared
// whole and exactly), their mask bits, which models detection recognises, and the rule
// that picks the vendor memory library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/settings.h"

namespace tervane {

struct PrinterModel {
  const char* name;        // identifier without padding, e.g. "ZK-110 A"
  int listPosition;        // position in the settings list, 1-15; 0 = not listed
  std::uint32_t mask;      // g_modelMask for this model
  bool recognised;         // detection switches extended-reply mode on
};

// All rows of the table, in table order.
const std::vector<PrinterModel>& PrinterModels();

// The 15 identifiers of the settings list, in list order, unpadded.
std::vector<std::string> SettingsModelList();

// Pads (or cuts) a model name to the 20-character identifier form.
std::string PadModelName(std::string_view name);

// The row whose padded identifier equals `identifier` (padded before comparing), if any.
std::optional<PrinterModel> FindModel(std::string_view identifier);

// The mask for a model name: its row's mask, 1FFFFh when it matches no row.
std::uint32_t ModelMaskFor(std::string_view identifier);

// The vendor library for a mask: "KeloMFD" below 4096 or exactly 8192, else "KeloMFD2".
std::string VendorLibraryFor(std::uint32_t modelMask);

// The model code the model table's rules are applied to: the table's mask of the model in
// `g_modelName` when detection left the all-models mask (detection keeps 1FFFFh for a
// model it does not switch to extended replies, the older ones), else `g_modelMask`.
std::uint32_t ModelCodeForRules(const ProgramSettings& settings);

// Sets the model as the settings dialog does: name padded, mask from the table (1FFFFh
// when unknown); the extended-reply flag is left as it is.
void ChooseModel(ProgramSettings& settings, std::string_view name);

// Applies a model reported by the printer as detection does: name and mask from the
// table, extended-reply mode on for a recognised model; an unknown name gives 1FFFFh and
// leaves extended-reply mode as it was.
void ApplyDetectedModel(ProgramSettings& settings, std::string_view reportedName);

}  // namespace tervane
