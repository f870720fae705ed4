// A host of the logo control: registers libbrandel.so with tervane-regsvr into a
// temporary registry, creates the control by class ID and drives it by DISPID, as the
// workbench and any other container do.
#ifdef TERVANE_HAVE_BRANDEL

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <QWidget>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "core/common/atomic_file.h"
#include "core/common/charset.h"
#include "component/class_factory.h"
#include "component/component_registry.h"
#include "component/create_instance.h"
#include "component/dispatch.h"
#include "component/persist.h"
#include "component/property_pages.h"
#include "component/ref.h"
#include "component/test_application.h"
#include "component/registry_file.h"
#include "component/regsvr_run.h"
#include "component/server_exports.h"
#include "component/windowed_control.h"
#include "control/face/brandel_ids.h"

namespace tervane::component {
namespace {

namespace fs = std::filesystem;
using brandel::kClsidBrandelCtrl;

void EnsureApplication() {
  testing::TestApplication::Ensure();
}

// Shows `host` and waits (at most two seconds) until its window is exposed, so that
// drawing requests reach the widgets.
bool ShowExposed(QWidget& host) {
  host.show();
  for (int i = 0; i < 200; ++i) {
    QCoreApplication::processEvents();
    if (host.windowHandle() && host.windowHandle()->isExposed()) return true;
    QThread::msleep(10);
  }
  return false;
}

Ref<IDispatch> NewControl() {
  Ref<IDispatch> control;
  std::string error;
  const HResult result = CreateInstance(kClsidBrandelCtrl, kIidDispatch, control.Out(), &error);
  EXPECT_EQ(result, hr::kOk) << error;
  return control;
}

Variant Get(IDispatch& control, DispId id) {
  Variant value;
  EXPECT_EQ(GetProperty(control, id, value), hr::kOk) << id;
  return value;
}

HResult CanUnloadNow() {
  void* handle = ::dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return hr::kUnexpected;
  auto function = reinterpret_cast<DllCanUnloadNowFunction>(::dlsym(handle, kDllCanUnloadNow));
  const HResult result = function ? function() : hr::kUnexpected;
  ::dlclose(handle);  // drops only the reference RTLD_NOLOAD took
  return result;
}

class BrandelHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* saved = std::getenv("XDG_DATA_HOME");
    if (saved) savedDataHome_ = new std::string(saved);
    folder_ = new fs::path(fs::temp_directory_path() / ("tervane-brandel-host-" + std::to_string(::getpid())));
    fs::remove_all(*folder_);
    fs::create_directories(*folder_);
    ::setenv("XDG_DATA_HOME", folder_->c_str(), 1);
    // A system-wide registry of this machine must not answer for the tests' own.
    ::setenv("TERVANE_SYSTEM_REGISTRY", (*folder_ / "system" / "components.ini").c_str(), 1);
    registered_ = RunRegsvr("'" + LibraryPath() + "'").status == 0;
  }
  static void TearDownTestSuite() {
    RunRegsvr("-u '" + LibraryPath() + "'");
    fs::remove_all(*folder_);
    delete folder_;
    ::unsetenv("TERVANE_SYSTEM_REGISTRY");
    if (savedDataHome_) {
      ::setenv("XDG_DATA_HOME", savedDataHome_->c_str(), 1);
      delete savedDataHome_;
    } else {
      ::unsetenv("XDG_DATA_HOME");
    }
  }
  void SetUp() override { ASSERT_TRUE(registered_) << "tervane-regsvr could not register " << LibraryPath(); }

  static inline fs::path* folder_ = nullptr;
  static inline std::string* savedDataHome_ = nullptr;
  static inline bool registered_ = false;
};

TEST_F(BrandelHostTest, RegistrationRecordsTheControlsIdentity) {
  const std::string registry = DefaultRegistryPath();
  ClassEntry entry;
  ASSERT_EQ(FindClassEntry(registry, kClsidBrandelCtrl, entry), hr::kOk);
  EXPECT_EQ(entry.library, LibraryPath());
  EXPECT_EQ(entry.name, "Brandel Control");
  EXPECT_EQ(entry.progId, "BRANDEL.BrandelCtrl.1");
  EXPECT_EQ(entry.threading, "Apartment");
  EXPECT_EQ(entry.miscStatus, 131473u);
  EXPECT_EQ(entry.typeLib, brandel::kLibidBrandel);
  Guid clsid;
  ASSERT_EQ(ClassIdFromProgId("BRANDEL.BrandelPropPage.1", clsid), hr::kOk);
  EXPECT_EQ(clsid, brandel::kClsidBrandelPropPage);
  ASSERT_EQ(FindClassEntry(registry, clsid, entry), hr::kOk);
  EXPECT_EQ(entry.name, "Brandel Property Page");

  TypeLibEntry lib;
  ASSERT_EQ(FindTypeLib(registry, brandel::kLibidBrandel, "1.0", lib), hr::kOk);
  EXPECT_EQ(lib.name, "BrandelLib");
  EXPECT_EQ(lib.helpFile, "Brandel.hlp");
  EXPECT_EQ(lib.description, "Brandel ActiveX Control module");
  ASSERT_EQ(lib.interfaces.size(), 2u);
}

TEST_F(BrandelHostTest, PropertiesByDispId) {
  Ref<IDispatch> control = NewControl();
  ASSERT_TRUE(control);
  DispId id = 0;
  ASSERT_EQ(control->GetIdOfName("portname", &id), hr::kOk);
  EXPECT_EQ(id, 1);
  ASSERT_EQ(control->GetIdOfName("FreeMove", &id), hr::kOk);
  EXPECT_EQ(id, 2);
  EXPECT_EQ(control->GetIdOfName("Port", &id), hr::kUnknownName);

  EXPECT_EQ(Get(*control, 1), Variant::Text("COM1"));
  EXPECT_EQ(Get(*control, 2), Variant::Bool(false));
  ASSERT_EQ(PutProperty(*control, 1, Variant::Text("COM3:")), hr::kOk);
  ASSERT_EQ(PutProperty(*control, 2, Variant::Bool(true)), hr::kOk);
  EXPECT_EQ(Get(*control, 1), Variant::Text("COM3:"));
  EXPECT_EQ(Get(*control, 2), Variant::Bool(true));
  // Texts are Windows-1252 both ways.
  const std::string accented = Utf8ToCp1252Lossy("/dev/ttyçã");
  ASSERT_EQ(PutProperty(*control, 1, Variant::Text(accented)), hr::kOk);
  EXPECT_EQ(Get(*control, 1).text(), accented);

  ASSERT_EQ(PutProperty(*control, dispid::kBorderStyle, Variant::Short(1)), hr::kOk);
  EXPECT_EQ(Get(*control, dispid::kBorderStyle), Variant::Short(1));
  ASSERT_EQ(PutProperty(*control, dispid::kBackColor, Variant::ColourValue(RgbColour(1, 2, 3))), hr::kOk);
  EXPECT_EQ(Get(*control, dispid::kBackColor).colour(), 0x030201u);

  // Refused values leave the property as it was.
  EXPECT_EQ(PutProperty(*control, 1, Variant::Bool(true)), hr::kTypeMismatch);
  EXPECT_EQ(PutProperty(*control, 2, Variant::Text("true")), hr::kTypeMismatch);
  EXPECT_EQ(PutProperty(*control, dispid::kBorderStyle, Variant::Short(2)), hr::kInvalidPropertyValue);
  EXPECT_EQ(PutProperty(*control, dispid::kBackColor, Variant::ColourValue(0x12000000)),
            hr::kInvalidPropertyValue);
  EXPECT_EQ(Get(*control, 1).text(), accented);
  EXPECT_EQ(Get(*control, dispid::kBorderStyle), Variant::Short(1));
  EXPECT_EQ(Get(*control, dispid::kBackColor).colour(), 0x030201u);

  EXPECT_EQ(control->Invoke(99, InvokeKind::kPropertyGet, {}, nullptr), hr::kPointer);
  Variant value;
  EXPECT_EQ(GetProperty(*control, 99, value), hr::kMemberNotFound);
  EXPECT_EQ(control->Invoke(1, InvokeKind::kPropertyPut, {}, nullptr), hr::kBadParamCount);
  EXPECT_EQ(GetProperty(*control, dispid::kAboutBox, value), hr::kMemberNotFound);
  const Variant one = Variant::Short(1);
  EXPECT_EQ(control->Invoke(dispid::kAboutBox, InvokeKind::kMethod, std::span(&one, 1), nullptr),
            hr::kBadParamCount);
}

TEST_F(BrandelHostTest, NewInstancesStartWithCom1AndNoFreeMove) {
  Ref<IDispatch> first = NewControl();
  ASSERT_EQ(PutProperty(*first, 1, Variant::Text("COM7:")), hr::kOk);
  ASSERT_EQ(PutProperty(*first, 2, Variant::Bool(true)), hr::kOk);
  Ref<IDispatch> second = NewControl();  // while the first still lives
  EXPECT_EQ(Get(*second, 1), Variant::Text("COM1"));
  EXPECT_EQ(Get(*second, 2), Variant::Bool(false));
  first.Reset();
  Ref<IDispatch> third = NewControl();  // after it is gone
  EXPECT_EQ(Get(*third, 1), Variant::Text("COM1"));
  EXPECT_EQ(Get(*third, 2), Variant::Bool(false));
}

TEST_F(BrandelHostTest, PersistsTheVersionAndStockPropertiesOnly) {
  Ref<IDispatch> control = NewControl();
  Ref<IPersistPropertyBag> persist = control.Query<IPersistPropertyBag>(kIidPersistPropertyBag);
  ASSERT_TRUE(persist);
  EXPECT_EQ(persist->IsDirty(), hr::kFalse);
  ASSERT_EQ(PutProperty(*control, 1, Variant::Text("COM4:")), hr::kOk);
  ASSERT_EQ(PutProperty(*control, 2, Variant::Bool(true)), hr::kOk);
  ASSERT_EQ(PutProperty(*control, dispid::kBorderStyle, Variant::Short(1)), hr::kOk);
  EXPECT_EQ(persist->IsDirty(), hr::kOk);
  PropertyBag bag;
  ASSERT_EQ(persist->Save(bag), hr::kOk);
  EXPECT_EQ(persist->IsDirty(), hr::kFalse);
  const PropertyBag expected = {{"_Version", Variant::Text("1.0")},
                                {"BackColor", Variant::ColourValue(0x8000000F)},
                                {"BorderStyle", Variant::Short(1)}};
  EXPECT_EQ(bag, expected);

  Ref<IDispatch> other = NewControl();
  Ref<IPersistPropertyBag> otherPersist = other.Query<IPersistPropertyBag>(kIidPersistPropertyBag);
  bag["PortName"] = Variant::Text("COM4:");  // a container's stray entry is not read
  ASSERT_EQ(otherPersist->Load(bag), hr::kOk);
  EXPECT_EQ(Get(*other, dispid::kBorderStyle), Variant::Short(1));
  EXPECT_EQ(Get(*other, 1), Variant::Text("COM1"));

  // A bag this version cannot read changes nothing.
  PropertyBag newer = {{"_Version", Variant::Text("2.0")}, {"BorderStyle", Variant::Short(0)}};
  EXPECT_EQ(otherPersist->Load(newer), hr::kInvalidArg);
  PropertyBag wrongType = {{"BackColor", Variant::ColourValue(0)}, {"BorderStyle", Variant::Text("0")}};
  EXPECT_EQ(otherPersist->Load(wrongType), hr::kTypeMismatch);
  EXPECT_EQ(Get(*other, dispid::kBorderStyle), Variant::Short(1));
  EXPECT_EQ(Get(*other, dispid::kBackColor).colour(), 0x8000000Fu);
}

TEST_F(BrandelHostTest, FreeMoveSwitchesTheAlignmentButtonsThroughTheWindow) {
  EnsureApplication();
  Ref<IDispatch> control = NewControl();
  Ref<IWindowedControl> windowed = control.Query<IWindowedControl>(kIidWindowedControl);
  ASSERT_TRUE(windowed);
  int width = 0, height = 0;
  ASSERT_EQ(windowed->GetExtent(&width, &height), hr::kOk);
  EXPECT_GT(width, 230);  // at least the 230 x 140 preview
  EXPECT_GT(height, 140);
  std::uint32_t misc = 0;
  ASSERT_EQ(windowed->GetMiscStatus(&misc), hr::kOk);
  EXPECT_EQ(misc, 0x20191u);

  QWidget host;
  WindowHandle handle = nullptr;
  ASSERT_EQ(windowed->CreateControlWindow(static_cast<QWidget*>(&host), &handle), hr::kOk);
  EXPECT_EQ(windowed->CreateControlWindow(static_cast<QWidget*>(&host), &handle), hr::kUnexpected);
  QPointer<QWidget> window = static_cast<QWidget*>(handle);
  EXPECT_EQ(window->parentWidget(), &host);
  EXPECT_EQ(window->size(), QSize(width, height));
  EXPECT_EQ(window->findChild<QWidget*>(QStringLiteral("logoDialog")), nullptr) << "made before the first drawing";

  // Set before the first drawing: the dialog must start with free move on.
  ASSERT_EQ(PutProperty(*control, 2, Variant::Bool(true)), hr::kOk);
  host.resize(800, 600);
  ASSERT_TRUE(ShowExposed(host));
  window->repaint();
  QPointer<QWidget> dialog = window->findChild<QWidget*>(QStringLiteral("logoDialog"));
  ASSERT_TRUE(dialog);
  EXPECT_TRUE(dialog->isVisible());
  auto* left = dialog->findChild<QRadioButton*>(QStringLiteral("leftButton"));
  auto* center = dialog->findChild<QRadioButton*>(QStringLiteral("centerButton"));
  ASSERT_TRUE(left && center);
  EXPECT_FALSE(left->isEnabled());
  EXPECT_FALSE(center->isEnabled());
  ASSERT_EQ(PutProperty(*control, 2, Variant::Bool(false)), hr::kOk);
  EXPECT_TRUE(left->isEnabled());
  EXPECT_TRUE(center->isEnabled());
  ASSERT_EQ(PutProperty(*control, 2, Variant::Bool(true)), hr::kOk);
  EXPECT_FALSE(left->isEnabled());
  EXPECT_FALSE(center->isEnabled());
  // Drawing again makes no second dialog.
  window->repaint();
  EXPECT_EQ(window->findChildren<QWidget*>(QStringLiteral("logoDialog")).size(), 1);

  // The window and the dialog in it go with the control.
  windowed.Reset();
  control.Reset();
  EXPECT_FALSE(window);
  EXPECT_FALSE(dialog);
}

TEST_F(BrandelHostTest, PropertyPageAndAboutBox) {
  EnsureApplication();
  Ref<IDispatch> control = NewControl();
  Ref<ISpecifyPropertyPages> specify = control.Query<ISpecifyPropertyPages>(kIidSpecifyPropertyPages);
  ASSERT_TRUE(specify);
  std::vector<Guid> pages;
  ASSERT_EQ(specify->GetPages(&pages), hr::kOk);
  ASSERT_EQ(pages, std::vector<Guid>{brandel::kClsidBrandelPropPage});
  Ref<IPropertyPage> page;
  ASSERT_EQ(CreateInstance(pages[0], kIidPropertyPage, page.Out()), hr::kOk);
  std::string title;
  ASSERT_EQ(page->GetTitle(&title), hr::kOk);
  EXPECT_EQ(title, "General");
  QWidget sheet;
  WindowHandle window = nullptr;
  ASSERT_EQ(page->CreatePageWindow(static_cast<QWidget*>(&sheet), &window), hr::kOk);
  EXPECT_EQ(static_cast<QWidget*>(window)->parentWidget(), &sheet);

  QString shownTitle, shownText;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return;
    shownTitle = box->windowTitle();
    if (auto* text = box->findChild<QLabel*>(QStringLiteral("text"))) shownText = text->text();
    box->close();
  });
  Variant result = Variant::Text("stale");
  ASSERT_EQ(control->Invoke(dispid::kAboutBox, InvokeKind::kMethod, {}, &result), hr::kOk);
  EXPECT_TRUE(result.IsEmpty());
  EXPECT_EQ(shownTitle, QStringLiteral("About Brandel Control"));
  EXPECT_EQ(shownText, QStringLiteral("Brandel Control, Version 1.0"));
}

TEST_F(BrandelHostTest, LibraryReportsWhenItMayBeUnloaded) {
  Ref<IDispatch> control = NewControl();
  EXPECT_EQ(CanUnloadNow(), hr::kFalse);
  control.Reset();
  EXPECT_EQ(CanUnloadNow(), hr::kOk);

  // A locked factory keeps the library in use; an unmatched unlock is refused.
  void* handle = ::dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(handle, nullptr);
  auto getClassObject = reinterpret_cast<DllGetClassObjectFunction>(::dlsym(handle, kDllGetClassObject));
  ASSERT_NE(getClassObject, nullptr);
  Ref<IClassFactory> factory;
  ASSERT_EQ(getClassObject(kClsidBrandelCtrl, kIidClassFactory, factory.Out()), hr::kOk);
  EXPECT_EQ(factory->LockServer(false), hr::kUnexpected);
  ASSERT_EQ(factory->LockServer(true), hr::kOk);
  EXPECT_EQ(CanUnloadNow(), hr::kFalse);
  ASSERT_EQ(factory->LockServer(false), hr::kOk);
  EXPECT_EQ(CanUnloadNow(), hr::kOk);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject(brandel::kLibidBrandel, kIidClassFactory, &object), hr::kClassNotAvailable);
  EXPECT_EQ(object, nullptr);
  factory.Reset();
  ::dlclose(handle);
}

TEST_F(BrandelHostTest, IdleLibraryIsUnloadedAndLoadedAgainOnDemand) {
  Ref<IDispatch> control = NewControl();
  ASSERT_EQ(LoadedLibraryCount(), 1u);
  EXPECT_EQ(FreeUnusedLibraries(), 0u) << "unloaded while an object lives";
  control.Reset();
  EXPECT_EQ(FreeUnusedLibraries(), 1u);
  EXPECT_EQ(LoadedLibraryCount(), 0u);
  control = NewControl();
  ASSERT_TRUE(control);
  EXPECT_EQ(Get(*control, 1), Variant::Text("COM1"));
}

TEST_F(BrandelHostTest, UnregisteredClassCannotBeCreated) {
  ASSERT_EQ(RunRegsvr("-u '" + LibraryPath() + "'").status, 0);
  Ref<IDispatch> control;
  EXPECT_EQ(CreateInstance(kClsidBrandelCtrl, kIidDispatch, control.Out()), hr::kClassNotRegistered);
  EXPECT_FALSE(control);
  Guid clsid;
  EXPECT_EQ(ClassIdFromProgId("BRANDEL.BrandelCtrl.1", clsid), hr::kClassNotRegistered);
  // Unregistering twice is no error.
  EXPECT_EQ(RunRegsvr("-u '" + LibraryPath() + "'").status, 0);
  ASSERT_EQ(RunRegsvr("'" + LibraryPath() + "'").status, 0);
  EXPECT_TRUE(NewControl());
}

TEST_F(BrandelHostTest, BrokenRegistrationsFailWithTheirOwnCodes) {
  const std::string registry = DefaultRegistryPath();
  const Guid unknown = MakeGuid(0x11111111, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11);
  ClassEntry entry;
  entry.clsid = unknown;
  entry.name = "Nowhere";
  std::string error;
  Ref<IUnknown> object;

  entry.library = (*folder_ / "missing.so").string();
  ASSERT_TRUE(RegisterClassEntry(registry, entry, nullptr));
  EXPECT_EQ(CreateInstance(unknown, kIidUnknown, object.Out(), &error), hr::kLibraryNotFound);
  EXPECT_NE(error.find("missing.so"), std::string::npos);

  entry.library = registry;  // a file, but no library
  ASSERT_TRUE(RegisterClassEntry(registry, entry, nullptr));
  EXPECT_EQ(CreateInstance(unknown, kIidUnknown, object.Out(), &error), hr::kErrorInLibrary);

  entry.library = LibraryPath();  // the library, which does not serve that class
  ASSERT_TRUE(RegisterClassEntry(registry, entry, nullptr));
  EXPECT_EQ(CreateInstance(unknown, kIidUnknown, object.Out(), &error), hr::kClassNotAvailable);
  ASSERT_TRUE(UnregisterClassEntry(registry, unknown, nullptr));

  // An interface the control lacks.
  EXPECT_EQ(CreateInstance(kClsidBrandelCtrl, kIidClassFactory, object.Out()), hr::kNoInterface);
  EXPECT_FALSE(object);
}

TEST_F(BrandelHostTest, TheToolReportsFailures) {
  EXPECT_EQ(RunRegsvr("").status, 1);
  EXPECT_EQ(RunRegsvr("'" + (*folder_ / "none.so").string() + "'").status, 3);
  EXPECT_EQ(RunRegsvr("'" + std::string(TERVANE_BIN_DIR) + "/tervane-regsvr'").status, 3);  // not a library

  // A registry a person broke is neither read nor overwritten by registration.
  const std::string registry = DefaultRegistryPath();
  std::string before;
  ASSERT_TRUE(ReadWholeFile(registry, before));
  const std::string broken = before + "\nthis line is not an entry\n";
  ASSERT_TRUE(SaveFileAtomically(registry, broken, nullptr));
  EXPECT_EQ(RunRegsvr("'" + LibraryPath() + "'").status, 5);
  EXPECT_EQ(RunRegsvr("-u '" + LibraryPath() + "'").status, 5);
  std::string after;
  ASSERT_TRUE(ReadWholeFile(registry, after));
  EXPECT_EQ(after, broken);
  Ref<IDispatch> control;
  EXPECT_EQ(CreateInstance(kClsidBrandelCtrl, kIidDispatch, control.Out()), hr::kRegistryRead);
  ASSERT_TRUE(SaveFileAtomically(registry, before, nullptr));
}

}  // namespace
}  // namespace tervane::component

#endif  // TERVANE_HAVE_BRANDEL
