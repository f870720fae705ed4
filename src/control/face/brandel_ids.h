// The identity of the logo control: its class IDs, ProgIDs, type library and interfaces.
// These values are fixed once and never change between builds: containers create the
// control by kClsidBrandelCtrl and would lose it if it changed.
#pragma once

#include <cstdint>

#include "component/dispatch.h"
#include "component/guid.h"

namespace tervane::brandel {

using component::Guid;
using component::MakeGuid;

// The control class.
inline constexpr Guid kClsidBrandelCtrl =
    MakeGuid(0xf7786aa9, 0x4563, 0x4526, 0xaf, 0x06, 0x51, 0xf0, 0x18, 0x4e, 0x09, 0xe2);
// The type library BrandelLib, version 1.0.
inline constexpr Guid kLibidBrandel =
    MakeGuid(0x69b869ba, 0x5833, 0x4af9, 0x84, 0x30, 0x5f, 0x10, 0x81, 0xd5, 0x6c, 0xa2);
// The dispatch interface _DBrandel.
inline constexpr Guid kDiidDBrandel =
    MakeGuid(0xdccbaabb, 0x9805, 0x4136, 0xa0, 0x69, 0x3d, 0x90, 0x51, 0x30, 0xbe, 0xf0);
// The event interface _DBrandelEvents (the control fires no events).
inline constexpr Guid kDiidDBrandelEvents =
    MakeGuid(0x19d48a64, 0x48f9, 0x4fd5, 0xb2, 0x48, 0xda, 0xa3, 0x42, 0x75, 0xeb, 0x44);
// The property page class.
inline constexpr Guid kClsidBrandelPropPage =
    MakeGuid(0xee3aaa3c, 0x5cdb, 0x438a, 0xa6, 0xc3, 0xb5, 0xe8, 0x79, 0x0f, 0x63, 0xf7);

inline constexpr const char* kProgIdBrandelCtrl = "BRANDEL.BrandelCtrl.1";
inline constexpr const char* kProgIdBrandelPropPage = "BRANDEL.BrandelPropPage.1";
inline constexpr const char* kTypeLibName = "BrandelLib";
inline constexpr const char* kTypeLibVersion = "1.0";
inline constexpr const char* kTypeLibHelpFile = "Brandel.hlp";
inline constexpr const char* kTypeLibDescription = "Brandel ActiveX Control module";
inline constexpr const char* kDispatchName = "_DBrandel";
inline constexpr const char* kEventsName = "_DBrandelEvents";

// Recompose on resize, can't link inside, inside-out, activate when visible, set client
// site first.
inline constexpr std::uint32_t kMiscStatus = 131473;
static_assert(kMiscStatus == 0x20191);

// The control's own dispatch members (the stock ones are in component/dispatch.h).
namespace dispid {
constexpr component::DispId kPortName = 1;
constexpr component::DispId kFreeMove = 2;
}  // namespace dispid

}  // namespace tervane::brandel
