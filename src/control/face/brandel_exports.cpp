// The entry points of libbrandel.so, with C linkage; every other symbol of the library
// is hidden. DllRegisterServer writes the type library, then the control and property
// page classes into the user's component registry (the system-wide one when the loader
// asks for it, see RegistrationTargetPath); DllUnregisterServer removes them.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <string>

#include "component/component_registry.h"
#include "component/module_lock.h"
#include "component/registry_file.h"
#include "component/simple_class_factory.h"
#include "control/face/brandel_ctrl.h"
#include "control/face/brandel_ids.h"
#include "control/face/brandel_prop_page.h"
#include "control/logo_strings.h"

using tervane::component::Guid;
using tervane::component::HResult;
namespace hr = tervane::component::hr;
namespace brandel = tervane::brandel;
namespace component = tervane::component;

#define BRANDEL_EXPORT extern "C" __attribute__((visibility("default")))

BRANDEL_EXPORT HResult DllRegisterServer();
BRANDEL_EXPORT HResult DllUnregisterServer();
BRANDEL_EXPORT HResult DllGetClassObject(const Guid& clsid, const Guid& iid, void** object);
BRANDEL_EXPORT HResult DllCanUnloadNow();

namespace {

// The absolute path this library was loaded from; empty when it cannot be told.
std::string ThisLibraryPath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  if (!::realpath(info.dli_fname, resolved)) return {};
  return resolved;
}

HResult CreateControl(const Guid& iid, void** object) {
  return brandel::CBrandelCtrl::Create(iid, object);
}

HResult CreatePropertyPage(const Guid& iid, void** object) {
  return brandel::CBrandelPropPage::Create(iid, object);
}

}  // namespace

HResult DllRegisterServer() {
  const std::string library = ThisLibraryPath();
  const std::string registry = component::RegistrationTargetPath();
  if (library.empty()) return hr::kTypeLibRegistration;

  component::TypeLibEntry typeLib;
  typeLib.libId = brandel::kLibidBrandel;
  typeLib.version = brandel::kTypeLibVersion;
  typeLib.name = brandel::kTypeLibName;
  typeLib.description = brandel::kTypeLibDescription;
  typeLib.helpFile = brandel::kTypeLibHelpFile;
  typeLib.library = library;
  typeLib.interfaces = {{brandel::kDiidDBrandel, brandel::kDispatchName},
                        {brandel::kDiidDBrandelEvents, brandel::kEventsName}};
  if (!component::RegisterTypeLib(registry, typeLib, nullptr)) return hr::kTypeLibRegistration;

  component::ClassEntry control;
  control.clsid = brandel::kClsidBrandelCtrl;
  control.name = tervane::LogoString(1, tervane::LogoLanguage::kEnglish);
  control.library = library;
  control.progId = brandel::kProgIdBrandelCtrl;
  control.control = true;
  control.miscStatus = brandel::kMiscStatus;
  control.typeLib = brandel::kLibidBrandel;
  control.version = brandel::kTypeLibVersion;
  if (!component::RegisterClassEntry(registry, control, nullptr)) return hr::kClassRegistration;

  component::ClassEntry page;
  page.clsid = brandel::kClsidBrandelPropPage;
  page.name = tervane::LogoString(2, tervane::LogoLanguage::kEnglish);
  page.library = library;
  page.progId = brandel::kProgIdBrandelPropPage;
  if (!component::RegisterClassEntry(registry, page, nullptr)) return hr::kClassRegistration;
  return hr::kOk;
}

HResult DllUnregisterServer() {
  const std::string registry = component::RegistrationTargetPath();
  if (!component::UnregisterTypeLib(registry, brandel::kLibidBrandel, brandel::kTypeLibVersion, nullptr)) {
    return hr::kTypeLibRegistration;
  }
  if (!component::UnregisterClassEntry(registry, brandel::kClsidBrandelCtrl, nullptr) ||
      !component::UnregisterClassEntry(registry, brandel::kClsidBrandelPropPage, nullptr)) {
    return hr::kClassRegistration;
  }
  return hr::kOk;
}

HResult DllGetClassObject(const Guid& clsid, const Guid& iid, void** object) {
  if (!object) return hr::kPointer;
  *object = nullptr;
  if (clsid == brandel::kClsidBrandelCtrl) return component::GetSimpleClassFactory(CreateControl, iid, object);
  if (clsid == brandel::kClsidBrandelPropPage) {
    return component::GetSimpleClassFactory(CreatePropertyPage, iid, object);
  }
  return hr::kClassNotAvailable;
}

HResult DllCanUnloadNow() {
  return component::CanUnloadModule();
}
