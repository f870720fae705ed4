#include "component/hresult.h"

#include <cstdio>

namespace tervane::component {
namespace {

const char* Describe(HResult code) {
  switch (code) {
    case hr::kOk: return "success";
    case hr::kFalse: return "success, answer no";
    case hr::kNotImplemented: return "not implemented";
    case hr::kNoInterface: return "interface not supported";
    case hr::kPointer: return "null pointer";
    case hr::kFail: return "unspecified failure";
    case hr::kUnexpected: return "unexpected failure";
    case hr::kOutOfMemory: return "out of memory";
    case hr::kInvalidArg: return "invalid argument";
    case hr::kWrongThread: return "called from another thread";
    case hr::kUnknownName: return "unknown member name";
    case hr::kMemberNotFound: return "member not found";
    case hr::kTypeMismatch: return "type mismatch";
    case hr::kBadParamCount: return "wrong number of arguments";
    case hr::kInvalidPropertyValue: return "invalid property value";
    case hr::kNoAggregation: return "class does not support aggregation";
    case hr::kClassNotAvailable: return "class not available in this library";
    case hr::kRegistryRead: return "component registry unreadable";
    case hr::kClassNotRegistered: return "class not registered";
    case hr::kLibraryNotFound: return "component library not found";
    case hr::kErrorInLibrary: return "error in the component library";
    case hr::kNotInitialised: return "window system not initialised";
    case hr::kTypeLibRegistration: return "the type library could not be registered";
    case hr::kClassRegistration: return "a class could not be registered";
    default: return nullptr;
  }
}

}  // namespace

std::string HResultText(HResult code) {
  char number[16];
  std::snprintf(number, sizeof number, "0x%08X", static_cast<unsigned>(static_cast<std::uint32_t>(code)));
  std::string text = number;
  if (const char* description = Describe(code)) {
    text += " (";
    text += description;
    text += ')';
  }
  return text;
}

}  // namespace tervane::component
