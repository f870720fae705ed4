// The system-wide registry beside the user's: look-ups read the user's first, a broken
// file hides nothing found in the other, and tervane-regsvr --system registers into it
// and unregisters from it, even a library whose file is already gone.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "component/component_registry.h"
#include "component/create_instance.h"
#include "component/guid.h"
#include "component/registry_file.h"
#include "core/common/atomic_file.h"
#include "core/common/version.h"
#include "support/scoped_env.h"

#ifdef TERVANE_HAVE_BRANDEL
#include "component/dispatch.h"
#include "component/ref.h"
#include "component/test_application.h"
#include "control/face/brandel_ids.h"
#include "component/regsvr_run.h"
#endif

namespace tervane::component {
namespace {

namespace fs = std::filesystem;

constexpr Guid kSystemClassA = MakeGuid(0x5e5e0001, 0x1111, 0x2222, 1, 2, 3, 4, 5, 6, 7, 8);
constexpr Guid kSystemClassB = MakeGuid(0x5e5e0002, 0x1111, 0x2222, 1, 2, 3, 4, 5, 6, 7, 8);
constexpr Guid kSystemLib = MakeGuid(0x5e5e0003, 0x1111, 0x2222, 1, 2, 3, 4, 5, 6, 7, 8);
constexpr Guid kInterface = MakeGuid(0x5e5e0004, 0x1111, 0x2222, 1, 2, 3, 4, 5, 6, 7, 8);

using tervane::testing::ScopedEnv;

// A user's data folder and a system registry, both in a fresh temporary folder.
class SystemRegistryTest : public ::testing::Test {
 protected:
  SystemRegistryTest()
      : folder_(fs::temp_directory_path() / ("tervane-sysreg-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name())),
        dataHome_("XDG_DATA_HOME", (folder_ / "home").string()),
        system_("TERVANE_SYSTEM_REGISTRY", (folder_ / "etc" / "components.ini").string()),
        target_("TERVANE_REGISTRY_TARGET", "user") {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  ~SystemRegistryTest() override { fs::remove_all(folder_); }

  static ClassEntry Entry(const Guid& clsid, const std::string& progId, const std::string& library) {
    ClassEntry entry;
    entry.clsid = clsid;
    entry.name = "Test class";
    entry.library = library;
    entry.progId = progId;
    return entry;
  }
  static void Write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }

  fs::path folder_;
  ScopedEnv dataHome_;
  ScopedEnv system_;
  ScopedEnv target_;
};

TEST_F(SystemRegistryTest, PathsFollowTheEnvironment) {
  EXPECT_EQ(SystemRegistryPath(), (folder_ / "etc" / "components.ini").string());
  EXPECT_EQ(RegistrationTargetPath(), DefaultRegistryPath());
  {
    ScopedEnv target("TERVANE_REGISTRY_TARGET", "system");
    EXPECT_EQ(RegistrationTargetPath(), SystemRegistryPath());
  }
  ScopedEnv relative("TERVANE_SYSTEM_REGISTRY", "etc/components.ini");  // not absolute: ignored
  EXPECT_EQ(SystemRegistryPath(), "/etc/tervane/components.ini");
}

TEST_F(SystemRegistryTest, UserEntriesOverrideSystemOnesAndSystemOnlyOnesAreFound) {
  const std::string user = DefaultRegistryPath();
  const std::string system = SystemRegistryPath();
  ASSERT_TRUE(RegisterClassEntry(system, Entry(kSystemClassA, "Test.A", "/usr/lib/a.so"), nullptr));
  ASSERT_TRUE(RegisterClassEntry(system, Entry(kSystemClassB, "Test.B", "/usr/lib/b.so"), nullptr));
  TypeLibEntry lib;
  lib.libId = kSystemLib;
  lib.version = "1.0";
  lib.name = "TestLib";
  lib.library = "/usr/lib/b.so";
  lib.interfaces = {{kInterface, "_DTest"}};
  ASSERT_TRUE(RegisterTypeLib(system, lib, nullptr));
  ASSERT_TRUE(RegisterClassEntry(user, Entry(kSystemClassA, "Test.A", "/home/me/a.so"), nullptr));

  std::string library, error;
  ASSERT_EQ(FindClassLibrary("", kSystemClassA, library, &error), hr::kOk) << error;
  EXPECT_EQ(library, "/home/me/a.so");
  ASSERT_EQ(FindClassLibrary("", kSystemClassB, library, &error), hr::kOk) << error;
  EXPECT_EQ(library, "/usr/lib/b.so");
  Guid clsid;
  ASSERT_EQ(ClassIdFromProgId("Test.B", clsid, &error), hr::kOk) << error;
  EXPECT_EQ(clsid, kSystemClassB);
  TypeLibEntry found;
  ASSERT_EQ(FindTypeLib("", kSystemLib, "1.0", found, &error), hr::kOk) << error;
  EXPECT_EQ(found.name, "TestLib");
  ASSERT_EQ(found.interfaces.size(), 1u);
  // A registry named explicitly is read alone.
  ASSERT_EQ(FindClassLibrary(system, kSystemClassA, library), hr::kOk);
  EXPECT_EQ(library, "/usr/lib/a.so");
  EXPECT_EQ(FindClassLibrary(user, kSystemClassB, library), hr::kClassNotRegistered);

  const Guid nowhere = MakeGuid(0x5e5e00ff, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(FindClassLibrary("", nowhere, library, &error), hr::kClassNotRegistered);
  EXPECT_NE(error.find(user), std::string::npos) << error;
  EXPECT_NE(error.find(system), std::string::npos) << error;
}

TEST_F(SystemRegistryTest, BrokenRegistryHidesNothingAndIsNamedWhenNothingIsFound) {
  const std::string user = DefaultRegistryPath();
  const std::string system = SystemRegistryPath();
  ASSERT_TRUE(RegisterClassEntry(user, Entry(kSystemClassA, "Test.A", "/home/me/a.so"), nullptr));
  Write(system, "[Class x]\nthis line is not an entry\n");

  std::string library, error;
  ASSERT_EQ(FindClassLibrary("", kSystemClassA, library, &error), hr::kOk) << error;
  EXPECT_EQ(library, "/home/me/a.so");
  Guid clsid;
  EXPECT_EQ(ClassIdFromProgId("Test.A", clsid), hr::kOk);
  EXPECT_EQ(FindClassLibrary("", kSystemClassB, library, &error), hr::kRegistryRead);
  EXPECT_NE(error.find(system + ", line 2: neither a section nor a name=value line"), std::string::npos) << error;
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CreateInstance(kSystemClassB, kSystemClassB, &object, &error), hr::kRegistryRead);
  EXPECT_EQ(object, nullptr);
  EXPECT_NE(error.find(system), std::string::npos) << error;

  // Unreadable (here: a folder where the file should be) is reported the same way.
  fs::remove(system);
  fs::create_directories(system);
  EXPECT_EQ(FindClassLibrary("", kSystemClassB, library, &error), hr::kRegistryRead);
  EXPECT_NE(error.find("cannot read " + system), std::string::npos) << error;
  fs::remove(system);

  // And the other way round: a broken user registry does not hide a system entry.
  ASSERT_TRUE(RegisterClassEntry(system, Entry(kSystemClassB, "Test.B", "/usr/lib/b.so"), nullptr));
  Write(user, "garbage\n");
  ASSERT_EQ(FindClassLibrary("", kSystemClassB, library, &error), hr::kOk) << error;
  EXPECT_EQ(library, "/usr/lib/b.so");
  EXPECT_EQ(FindClassLibrary("", kSystemClassA, library, &error), hr::kRegistryRead);
  EXPECT_NE(error.find(user + ", line 1"), std::string::npos) << error;
}

#ifdef TERVANE_HAVE_BRANDEL

TEST_F(SystemRegistryTest, ToolRegistersSystemWideForEveryUser) {
  const ToolRun version = RunRegsvr("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, std::string("tervane-regsvr ") + kVersion + "\n");
  EXPECT_EQ(RunRegsvr("--help").status, 0);
  EXPECT_EQ(RunRegsvr("--systemwide '" + LibraryPath() + "'").status, 1);

  const ToolRun registered = RunRegsvr("--system '" + LibraryPath() + "'");
  ASSERT_EQ(registered.status, 0) << registered.output;
  EXPECT_FALSE(fs::exists(DefaultRegistryPath()));  // the user's registry is not touched
  ClassEntry entry;
  ASSERT_EQ(FindClassEntry(SystemRegistryPath(), brandel::kClsidBrandelCtrl, entry), hr::kOk);
  EXPECT_EQ(entry.library, LibraryPath());

  // A user with an empty registry of their own creates the control by its class ID.
  Write(DefaultRegistryPath(), "; nothing registered by this user\n");
  testing::TestApplication::Ensure();
  {
    Ref<IDispatch> control;
    std::string error;
    ASSERT_EQ(CreateInstance(brandel::kClsidBrandelCtrl, kIidDispatch, control.Out(), &error), hr::kOk) << error;
    EXPECT_TRUE(control);
  }
  FreeUnusedLibraries();

  // A normal user cannot change the system registry, and is told which file it is.
  if (::geteuid() == 0 && fs::exists("/usr/bin/setpriv")) {
    fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    std::string before;
    ASSERT_TRUE(ReadWholeFile(SystemRegistryPath(), before));
    const ToolRun refused =
        RunRegsvr("--system -u '" + LibraryPath() + "'", "setpriv --reuid=65534 --regid=65534 --clear-groups ");
    EXPECT_EQ(refused.status, 5) << refused.output;
    EXPECT_NE(refused.output.find(SystemRegistryPath() + ".lock: Permission denied"), std::string::npos)
        << refused.output;
    std::string after;
    ASSERT_TRUE(ReadWholeFile(SystemRegistryPath(), after));
    EXPECT_EQ(after, before);
  }
}

TEST_F(SystemRegistryTest, UnregisteringALibraryWhoseFileIsGoneRemovesItsEntries) {
  const fs::path copy = folder_ / "lib" / "libbrandel.so";
  fs::create_directories(copy.parent_path());
  fs::copy_file(LibraryPath(), copy);
  const std::string system = SystemRegistryPath();
  ASSERT_TRUE(RegisterClassEntry(system, Entry(kSystemClassA, "Other.A", "/usr/lib/other.so"), nullptr));
  const ToolRun registered = RunRegsvr("--system '" + copy.string() + "'");
  ASSERT_EQ(registered.status, 0) << registered.output;
  std::string library;
  ASSERT_EQ(FindClassLibrary("", brandel::kClsidBrandelCtrl, library), hr::kOk);
  ASSERT_EQ(library, copy.string());

  fs::remove(copy);
  const ToolRun removed = RunRegsvr("--system -u '" + copy.string() + "'");
  EXPECT_EQ(removed.status, 0) << removed.output;
  EXPECT_NE(removed.output.find("removed 3 entries registered with " + copy.string()), std::string::npos)
      << removed.output;
  RegistryFile file;
  ASSERT_EQ(ReadRegistryFile(system, file), RegistryReadStatus::kRead);
  ASSERT_EQ(file.sections().size(), 2u);  // only the other library's class and ProgID stay
  EXPECT_NE(file.Find(ClassSectionName(kSystemClassA)), nullptr);
  EXPECT_NE(file.Find(ProgIdSectionName("Other.A")), nullptr);
  Guid clsid;
  EXPECT_EQ(ClassIdFromProgId(brandel::kProgIdBrandelCtrl, clsid), hr::kClassNotRegistered);
  // Again, with nothing left to remove: still no failure.
  EXPECT_EQ(RunRegsvr("--system -u '" + copy.string() + "'").status, 0);
}

#endif  // TERVANE_HAVE_BRANDEL

}  // namespace
}  // namespace tervane::component
