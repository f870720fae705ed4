// Result codes of the component layer: 32-bit values, negative (severity bit set) for a
// failure, 0 for success and 1 for "succeeded, but no"; the numbers are the customary
// ones of in-process components, so that a code printed by a tool can be looked up.
#pragma once

#include <cstdint>
#include <string>

namespace tervane::component {

using HResult = std::int32_t;

constexpr HResult MakeHResult(std::uint32_t bits) {
  return static_cast<HResult>(bits);
}

namespace hr {
constexpr HResult kOk = 0;
constexpr HResult kFalse = 1;
constexpr HResult kNotImplemented = MakeHResult(0x80004001);
constexpr HResult kNoInterface = MakeHResult(0x80004002);
constexpr HResult kPointer = MakeHResult(0x80004003);
constexpr HResult kFail = MakeHResult(0x80004005);
constexpr HResult kUnexpected = MakeHResult(0x8000FFFF);
constexpr HResult kOutOfMemory = MakeHResult(0x8007000E);
constexpr HResult kInvalidArg = MakeHResult(0x80070057);
// An apartment object called from a thread other than its own.
constexpr HResult kWrongThread = MakeHResult(0x8001010E);
// Invoking a dispatch member.
constexpr HResult kUnknownName = MakeHResult(0x80020006);
constexpr HResult kMemberNotFound = MakeHResult(0x80020003);
constexpr HResult kTypeMismatch = MakeHResult(0x80020005);
constexpr HResult kBadParamCount = MakeHResult(0x8002000E);
// A property given a value outside its range.
constexpr HResult kInvalidPropertyValue = MakeHResult(0x800A017C);
// Class factories and creation.
constexpr HResult kNoAggregation = MakeHResult(0x80040110);
constexpr HResult kClassNotAvailable = MakeHResult(0x80040111);
constexpr HResult kRegistryRead = MakeHResult(0x80040150);
constexpr HResult kClassNotRegistered = MakeHResult(0x80040154);
constexpr HResult kLibraryNotFound = MakeHResult(0x800401F8);
constexpr HResult kErrorInLibrary = MakeHResult(0x800401F9);
constexpr HResult kNotInitialised = MakeHResult(0x800401F0);
// Self-registration of a library.
constexpr HResult kTypeLibRegistration = MakeHResult(0x80040200);
constexpr HResult kClassRegistration = MakeHResult(0x80040201);
}  // namespace hr

constexpr bool Succeeded(HResult code) {
  return code >= 0;
}
constexpr bool Failed(HResult code) {
  return code < 0;
}

// "0x80040154" and, for a code this layer names, a short English description after a
// space: "0x80040154 (class not registered)". Never fails.
std::string HResultText(HResult code);

}  // namespace tervane::component
