// Which variant of the reading and programming commands a printer model gets, decided by
// the model's equipment bit (g_modelMask) and its identifier (g_modelName).
#pragma once

#include <cstdint>

#include "core/common/settings.h"

namespace tervane {

// The older group: equipment bits below 256 (ZK-110 A, ZK-110 AR, ZK-110 B, ZK-110 BR,
// ZK-140 B), and the mask 255 held before a model is known. Every other mask, 1FFFFh
// included, is the newer group.
bool IsOlderModelGroup(std::uint32_t modelMask);

// The owner-data programming command takes its newer layout from mask 255 on: the one
// place where the undetected mask counts as newer.
bool UsesNewerOwnerLayout(std::uint32_t modelMask);

// True for the restaurant models: g_modelName equal to "ZK-110 BR" or "ZK-110 AR" padded
// with spaces to 20 characters.
bool IsRestaurantModel(const ProgramSettings& settings);

// Totalizer names the profile pages enable: 30 above mask 255, 50 otherwise.
int EnabledTotalizerCount(std::uint32_t modelMask);

}  // namespace tervane
