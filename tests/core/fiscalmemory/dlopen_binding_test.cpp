// The binding through the real dynamic loader, with a small library built for the tests
// that exports only some entry points: loading by bare name through the program's
// RUNPATH, from a given folder, the unload after each operation, and a missing entry.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "core/fiscalmemory/memory_test_support.h"

namespace tervane::testing {
namespace {

class DlopenBindingTest : public MemoryToolTest {
 protected:
  void SetUp() override {
    MemoryToolTest::SetUp();
    // The stub stands in for both libraries in a folder of its own.
    for (const char* name : {kVendorLibrary1, kVendorLibrary2}) {
      std::filesystem::create_symlink(TERVANE_STUB_LIBRARY, dir_ / name);
    }
    folderLoader_ = std::make_unique<DlopenVendorLoader>(dir_.string());
    context_.loader = folderLoader_.get();
  }
  bool StillLoaded(const char* name) {
    void* handle = dlopen((dir_ / name).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
  }
  std::unique_ptr<DlopenVendorLoader> folderLoader_;
};

TEST_F(DlopenBindingTest, BareNameIsFoundBesideTheProgram) {
  // The test program, like tervane and tervane-cli, carries RUNPATH $ORIGIN/../lib.
  DlopenVendorLoader bare;
  std::string error;
  const std::string name = std::filesystem::path(TERVANE_STUB_LIBRARY).filename().string();
  std::unique_ptr<VendorLibrary> library = bare.Load(name, &error);
  ASSERT_TRUE(library) << error;
  EXPECT_NE(library->Find("KeloDownloadSB"), nullptr);
  EXPECT_EQ(library->Find("KeloDownloadMF"), nullptr);

  EXPECT_FALSE(bare.Load("libKeloNoSuchLibrary.so", &error));
  EXPECT_NE(error.find("libKeloNoSuchLibrary.so"), std::string::npos);
}

TEST_F(DlopenBindingTest, OperationsRunAndUnloadTheLibrary) {
  prompter_.QueueSaveFile(Path("sb.bin"));
  const MemoryOutcome sb = DownloadMemory(context_, MemoryDownload::kSb);
  EXPECT_TRUE(sb.succeeded);
  EXPECT_EQ(ReadAll(Path("sb.bin")), "/dev/ttyFAKE");
  EXPECT_FALSE(StillLoaded(kVendorLibrary2));

  // Status 3 from the library: its message.
  prompter_.QueueSaveFile(Path("k.mfk"));
  EXPECT_EQ(DownloadMemory(context_, MemoryDownload::kMfk).code, 3);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Falha no envio do comando"});

  // The entry points the stub lacks: silent ends, library unloaded.
  prompter_ = FakePrompter{};
  EXPECT_EQ(DownloadMemory(context_, MemoryDownload::kMf).stage, MemoryStage::kEntryMissing);
  EXPECT_EQ(MakeTypeERecords(context_).stage, MemoryStage::kEntryMissing);
  EXPECT_TRUE(prompter_.Requests().empty());
  EXPECT_FALSE(StillLoaded(kVendorLibrary2));

  prompter_.QueueOpenFile(Path("sb.bin")).QueueOpenFile(Path("any.pub"));
  EXPECT_TRUE(ValidateKeyFile(context_).succeeded);
}

TEST_F(DlopenBindingTest, VersionTextAndMissingLibrary) {
  std::string version;
  EXPECT_TRUE(ReadVendorVersion(*folderLoader_, 1, version));
  EXPECT_EQ(version, "9.8.7.6");
  EXPECT_FALSE(StillLoaded(kVendorLibrary1));

  std::filesystem::remove(dir_ / kVendorLibrary1);
  EXPECT_FALSE(ReadVendorVersion(*folderLoader_, 1, version));
  EXPECT_TRUE(version.empty());
  prompter_.QueueSaveFile(Path("sb.bin"));
  SetModel("", 1);
  EXPECT_EQ(DownloadMemory(context_, MemoryDownload::kSb).stage, MemoryStage::kLibraryMissing);
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp("Não foi possível carregar a DLL")});
}

}  // namespace
}  // namespace tervane::testing
