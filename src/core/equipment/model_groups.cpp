#include "core/equipment/model_groups.h"

#include "core/app/model_table.h"

namespace tervane {

bool IsOlderModelGroup(std::uint32_t modelMask) { return modelMask < 256; }

bool UsesNewerOwnerLayout(std::uint32_t modelMask) { return modelMask >= 255; }

bool IsRestaurantModel(const ProgramSettings& settings) {
  return settings.g_modelName == PadModelName("ZK-110 BR") || settings.g_modelName == PadModelName("ZK-110 AR");
}

int EnabledTotalizerCount(std::uint32_t modelMask) { return modelMask > 255 ? 30 : 50; }

}  // namespace tervane
