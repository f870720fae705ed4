#include "core/app/model_table.h"

namespace tervane {

const std::vector<PrinterModel>& PrinterModels() {
  static const std::vector<PrinterModel> models = {
      {"ZK-110 A", 1, 1, false},       {"ZK-110 B", 2, 4, false},
      {"ZK-110 AR", 3, 2, false},      {"ZK-110 BR", 4, 8, false},
      {"ZK-115 A", 5, 256, true},      {"ZK-140 B", 6, 16, false},
      {"ZK-150 A", 7, 512, true},      {"ZT-300 A", 8, 1024, true},
      {"ZT-700 A", 9, 2048, true},     {"ZT-310 A", 10, 4096, true},
      {"ZP-980 R", 11, 8192, true},    {"ZT-400 A", 12, 16384, true},
      {"ZT-500 A", 13, 32768, true},   {"ZT-800 A", 14, 65536, true},
      {"ZP-980 N", 15, 65536, true},   {"ZT-710 A", 0, 2048, true},
  };
  return models;
}

std::vector<std::string> SettingsModelList() {
  std::vector<std::string> list;
  for (const auto& m : PrinterModels()) {
    if (m.listPosition > 0) list.emplace_back(m.name);
  }
  return list;
}

std::string PadModelName(std::string_view name) {
  std::string s(name.substr(0, 20));
  s.resize(20, ' ');
  return s;
}

std::optional<PrinterModel> FindModel(std::string_view identifier) {
  if (identifier.size() > 20) return std::nullopt;
  const std::string padded = PadModelName(identifier);
  for (const auto& m : PrinterModels()) {
    if (PadModelName(m.name) == padded) return m;
  }
  return std::nullopt;
}

std::uint32_t ModelMaskFor(std::string_view identifier) {
  const auto m = FindModel(identifier);
  return m ? m->mask : kAllModelsMask;
}

std::string VendorLibraryFor(std::uint32_t modelMask) {
  return (modelMask < 4096 || modelMask == 8192) ? "KeloMFD" : "KeloMFD2";
}

std::uint32_t ModelCodeForRules(const ProgramSettings& settings) {
  if (settings.g_modelMask != kAllModelsMask) return settings.g_modelMask;
  const auto m = FindModel(settings.g_modelName);
  return m ? m->mask : settings.g_modelMask;
}

void ChooseModel(ProgramSettings& settings, std::string_view name) {
  settings.g_modelName = name.empty() ? std::string() : PadModelName(name);
  settings.g_modelMask = ModelMaskFor(name);
}

void ApplyDetectedModel(ProgramSettings& settings, std::string_view reportedName) {
  settings.g_modelName = std::string(reportedName);
  settings.g_modelMask = kAllModelsMask;
  const auto m = FindModel(reportedName);
  if (m && m->recognised) {
    settings.g_modelMask = m->mask;
    settings.g_extendedReply = true;
  }
}

}  // namespace tervane
