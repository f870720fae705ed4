// The component registry: its text form, the errors a person can act on, the entries
// libraries write, and the lookups of hosts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/common/atomic_file.h"
#include "component/component_registry.h"
#include "component/guid.h"
#include "component/registry_file.h"

namespace tervane::component {
namespace {

namespace fs = std::filesystem;

constexpr Guid kClassA = MakeGuid(0x12345678, 0x9abc, 0xdef0, 0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef);
constexpr Guid kClassB = MakeGuid(0x0badf00d, 0x0001, 0x0002, 0, 0, 0, 0, 0, 0, 0, 1);
constexpr Guid kLib = MakeGuid(0xfeedbeef, 0x1111, 0x2222, 9, 8, 7, 6, 5, 4, 3, 2);

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("tervane-registry-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    path_ = (folder_ / "tervane" / "components.ini").string();
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Write(const std::string& text) {
    fs::create_directories(fs::path(path_).parent_path());
    std::ofstream(path_, std::ios::binary) << text;
  }
  std::string Read() {
    std::string bytes;
    ReadWholeFile(path_, bytes);
    return bytes;
  }
  ClassEntry Entry(const Guid& clsid, const std::string& progId, const std::string& library) {
    ClassEntry entry;
    entry.clsid = clsid;
    entry.name = "Test class";
    entry.library = library;
    entry.progId = progId;
    return entry;
  }

  fs::path folder_;
  std::string path_;
};

TEST(GuidTest, TextFormRoundTripsAndRejectsNearMisses) {
  EXPECT_EQ(ToString(kClassA), "{12345678-9ABC-DEF0-0123-456789ABCDEF}");
  Guid parsed;
  ASSERT_TRUE(ParseGuid("{12345678-9abc-DEF0-0123-456789abcdef}", parsed));
  EXPECT_EQ(parsed, kClassA);
  ASSERT_TRUE(ParseGuid("0badf00d-0001-0002-0000-000000000001", parsed));
  EXPECT_EQ(parsed, kClassB);
  for (const char* bad : {"", "{12345678-9ABC-DEF0-0123-456789ABCDEF", "12345678-9ABC-DEF0-0123-456789ABCDEF}",
                          "{12345678-9ABC-DEF0-0123-456789ABCDEG}", "{123456789ABC-DEF0-0123-456789ABCDEF-}",
                          " 12345678-9ABC-DEF0-0123-456789ABCDE", "{12345678-9ABC-DEF0-0123-456789ABCDEF} "}) {
    Guid untouched = kClassB;
    EXPECT_FALSE(ParseGuid(bad, untouched)) << bad;
    EXPECT_EQ(untouched, kClassB) << bad;
  }
}

TEST(RegistryFileTest, MalformedTextsNameTheLine) {
  using namespace std::string_literals;
  const std::pair<std::string, std::string> cases[] = {
      {"; c\n[A]\nx=1\ngarbage\n"s, "line 4: neither a section nor a name=value line"},
      {"x=1\n"s, "line 1: value outside any section"},
      {"[A\n"s, "line 1: section header without ']'"},
      {"[ ]\n"s, "line 1: section without a valid name"},
      {"[A]\n[B]\n[A]\n"s, "line 3: section [A] named twice"},
      {"[A]\n=1\n"s, "line 2: value without a name"},
      {"[A]\nx=1\n\ny=\0\n"s, "line 4: NUL byte (binary data, not a registry text)"},
  };
  for (const auto& [text, expected] : cases) {
    RegistryFile file;
    std::string error;
    EXPECT_FALSE(file.Parse(text, &error)) << text;
    EXPECT_EQ(error, expected) << text;
    EXPECT_TRUE(file.sections().empty());
  }
}

TEST(RegistryFileTest, ReadsWhatItWritesWithCrLfAndSpacesTolerated) {
  RegistryFile file;
  ASSERT_TRUE(file.Parse("# x\r\n[Class {A}]\r\n  Library = /a b/lib.so \r\nName=\r\n"));
  ASSERT_NE(file.Find("Class {A}"), nullptr);
  EXPECT_EQ(*file.Find("Class {A}")->Find("Library"), "/a b/lib.so");
  EXPECT_EQ(*file.Find("Class {A}")->Find("Name"), "");

  RegistrySection* section = file.FindOrAdd("Other");
  ASSERT_NE(section, nullptr);
  // A line break would split the entry into lines of its own when read back.
  EXPECT_FALSE(section->Set("Library", "/tmp/x\n[Class {B}]"));
  EXPECT_FALSE(section->Set("a=b", "1"));
  EXPECT_EQ(file.FindOrAdd("bad]name"), nullptr);
  EXPECT_TRUE(section->Set("Library", "/p\xe7/lib.so"));  // Windows-1252 and UTF-8 bytes alike
  RegistryFile again;
  ASSERT_TRUE(again.Parse(file.Serialise()));
  EXPECT_EQ(again.Serialise(), file.Serialise());
  EXPECT_EQ(*again.Find("Other")->Find("Library"), "/p\xe7/lib.so");
}

TEST_F(RegistryTest, LookupsTellMissingFromUnreadable) {
  std::string library;
  std::string error;
  EXPECT_EQ(FindClassLibrary(path_, kClassA, library, &error), hr::kClassNotRegistered);
  EXPECT_FALSE(fs::exists(path_));

  Write("[Class " + ToString(kClassA) + "]\nLibrary=/x.so\nstray line\n");
  EXPECT_EQ(FindClassLibrary(path_, kClassA, library, &error), hr::kRegistryRead);
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
  Guid clsid;
  EXPECT_EQ(FindProgId(path_, "X.Y.1", clsid), hr::kRegistryRead);

  Write("[Class " + ToString(kClassA) + "]\nName=no library\n");
  EXPECT_EQ(FindClassLibrary(path_, kClassA, library), hr::kClassNotRegistered);
  // No path given: the user's registry, then the system-wide one. Without a user's
  // folder to find it in, a class found nowhere is a registry that cannot be read.
  const std::string saved[] = {std::getenv("HOME") ? std::getenv("HOME") : "",
                               std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : ""};
  ::unsetenv("HOME");
  ::unsetenv("XDG_DATA_HOME");
  ::setenv("TERVANE_SYSTEM_REGISTRY", (folder_ / "system.ini").c_str(), 1);
  EXPECT_EQ(FindClassLibrary("", kClassA, library, &error), hr::kRegistryRead);
  EXPECT_NE(error.find("neither XDG_DATA_HOME nor HOME is set"), std::string::npos) << error;
  ::unsetenv("TERVANE_SYSTEM_REGISTRY");
  if (!saved[0].empty()) ::setenv("HOME", saved[0].c_str(), 1);
  if (!saved[1].empty()) ::setenv("XDG_DATA_HOME", saved[1].c_str(), 1);
}

TEST_F(RegistryTest, MalformedFileIsNeverReplaced) {
  const std::string text = "[Class {other}]\nLibrary=/other.so\noops\n";
  Write(text);
  std::string error;
  EXPECT_FALSE(RegisterClassEntry(path_, Entry(kClassA, "A.A.1", "/a.so"), &error));
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
  EXPECT_FALSE(UnregisterClassEntry(path_, kClassA, &error));
  EXPECT_EQ(Read(), text);
}

TEST_F(RegistryTest, RegisterAndUnregisterKeepOtherEntries) {
  ASSERT_TRUE(RegisterClassEntry(path_, Entry(kClassA, "A.A.1", "/a.so"), nullptr));
  ASSERT_TRUE(RegisterClassEntry(path_, Entry(kClassB, "B.B.1", "/b.so"), nullptr));
  // Registering again replaces the entry rather than adding a second one.
  ASSERT_TRUE(RegisterClassEntry(path_, Entry(kClassA, "A.A.1", "/a2.so"), nullptr));
  std::string library;
  ASSERT_EQ(FindClassLibrary(path_, kClassA, library), hr::kOk);
  EXPECT_EQ(library, "/a2.so");
  Guid clsid;
  ASSERT_EQ(FindProgId(path_, "B.B.1", clsid), hr::kOk);
  EXPECT_EQ(clsid, kClassB);

  // A ProgID taken over by another class stays with it when the first class goes.
  ASSERT_TRUE(RegisterClassEntry(path_, Entry(kClassB, "A.A.1", "/b.so"), nullptr));
  ASSERT_TRUE(UnregisterClassEntry(path_, kClassA, nullptr));
  EXPECT_EQ(FindClassLibrary(path_, kClassA, library), hr::kClassNotRegistered);
  ASSERT_EQ(FindProgId(path_, "A.A.1", clsid), hr::kOk);
  EXPECT_EQ(clsid, kClassB);
  // Removing what is not there succeeds and leaves the file as it was.
  const std::string before = Read();
  EXPECT_TRUE(UnregisterClassEntry(path_, kClassA, nullptr));
  EXPECT_EQ(Read(), before);

  // An entry that cannot be stored fails whole: nothing of it lands in the file.
  EXPECT_FALSE(RegisterClassEntry(path_, Entry(kClassA, "A.A.1", "/a\n.so"), nullptr));
  EXPECT_EQ(Read(), before);
}

TEST_F(RegistryTest, UnregisteringFromNoFileCreatesNone) {
  EXPECT_TRUE(UnregisterTypeLib(path_, kLib, "1.0", nullptr));
  EXPECT_TRUE(UnregisterClassEntry(path_, kClassA, nullptr));
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(RegistryTest, TypeLibTakesItsInterfacesAlong) {
  TypeLibEntry lib;
  lib.libId = kLib;
  lib.version = "1.0";
  lib.name = "TestLib";
  lib.library = "/a.so";
  lib.interfaces = {{kClassA, "_DTest"}};
  ASSERT_TRUE(RegisterTypeLib(path_, lib, nullptr));
  TypeLibEntry found;
  ASSERT_EQ(FindTypeLib(path_, kLib, "1.0", found), hr::kOk);
  ASSERT_EQ(found.interfaces.size(), 1u);
  EXPECT_EQ(found.interfaces[0].second, "_DTest");
  EXPECT_EQ(FindTypeLib(path_, kLib, "2.0", found), hr::kClassNotRegistered);

  ASSERT_TRUE(UnregisterTypeLib(path_, kLib, "1.0", nullptr));
  RegistryFile file;
  ASSERT_EQ(ReadRegistryFile(path_, file), RegistryReadStatus::kRead);
  EXPECT_TRUE(file.sections().empty());
}

TEST_F(RegistryTest, ConcurrentRegistrationsLoseNothing) {
  // Each thread adds its own classes; without the lock, read-modify-write cycles
  // overlapping would drop entries.
  constexpr int kThreads = 4;
  constexpr int kEach = 15;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < kEach; ++i) {
        Guid clsid = kClassA;
        clsid.data2 = static_cast<std::uint16_t>(t);
        clsid.data3 = static_cast<std::uint16_t>(i);
        RegisterClassEntry(path_, Entry(clsid, "", "/lib.so"), nullptr);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  RegistryFile file;
  ASSERT_EQ(ReadRegistryFile(path_, file), RegistryReadStatus::kRead);
  EXPECT_EQ(file.sections().size(), static_cast<size_t>(kThreads * kEach));
}

TEST(RegistryPathTest, FollowsXdgDataHomeThenHome) {
  const char* savedData = std::getenv("XDG_DATA_HOME");
  const char* savedHome = std::getenv("HOME");
  const std::string data = savedData ? savedData : "";
  const std::string home = savedHome ? savedHome : "";
  ::setenv("XDG_DATA_HOME", "/d", 1);
  ::setenv("HOME", "/h", 1);
  EXPECT_EQ(DefaultRegistryPath(), "/d/tervane/components.ini");
  ::setenv("XDG_DATA_HOME", "relative", 1);  // ignored, as the XDG rules say
  EXPECT_EQ(DefaultRegistryPath(), "/h/.local/share/tervane/components.ini");
  ::unsetenv("XDG_DATA_HOME");
  ::unsetenv("HOME");
  EXPECT_EQ(DefaultRegistryPath(), "");
  if (savedData) ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  if (savedHome) ::setenv("HOME", home.c_str(), 1);
}

}  // namespace
}  // namespace tervane::component
