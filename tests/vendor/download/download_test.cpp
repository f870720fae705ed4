// Downloads against tervane-sim: every kind of file arrives whole, reads as its kind and
// verifies against the printer's public key; ranges pick what they say; a hang-up in the
// middle gives status 3 and leaves no file; refusals give 7; and the shared libraries'
// entry points work over the pseudo-terminal, the TCP bridge and the exchange files.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "core/common/atomic_file.h"
#include "support/sim_process.h"
#include "core/transport/port_factory.h"
#include "vendor/download/memory_download.h"
#include "vendor/formats/mf_file.h"
#include "vendor/formats/mfd_file.h"
#include "vendor/formats/pub_file.h"
#include "vendor/formats/sb_key_files.h"
#include "vendor/formats/signature.h"

namespace tervane::vendor {
namespace {

namespace fs = std::filesystem;

std::string SimPath() { return std::string(TERVANE_BIN_DIR) + "/tervane-sim"; }

std::string Read(const fs::path& path) {
  std::string bytes;
  ReadWholeFile(path.string(), bytes);
  return bytes;
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tervane_dl_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    sim_.Kill();
    fs::remove_all(dir_);
  }

  // Starts the simulator on a pty with `days` of history; false when it does not come up.
  bool StartSim(int days, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"--pty", "--history", std::to_string(days)};
    args.insert(args.end(), more.begin(), more.end());
    if (!sim_.Start(SimPath(), args)) return false;
    pty_ = sim_.Ready("pty", 15000);
    return !pty_.empty();
  }

  int Download(DownloadKind kind, const std::string& name, const std::string& range = "0",
               const std::string& start = "", const std::string& end = "", const std::string& user = "") {
    SystemPortFactory ports(PortContext{&settings_, &SystemClock(), nullptr});
    DownloadAsk ask{kind, range, start, end, user};
    return DownloadToFile(ports, SystemClock(), pty_, ask, (dir_ / name).string());
  }

  std::string Modulus() {
    EXPECT_EQ(Download(DownloadKind::kPublicKey, "key.pub"), kDownloadOk);
    std::string modulus;
    EXPECT_TRUE(ReadPublicKeyFile((dir_ / "key.pub").string(), modulus).ok());
    return modulus;
  }

  fs::path dir_;
  ProgramSettings settings_;
  testing::SimProcess sim_;
  std::string pty_;
};

TEST_F(DownloadTest, EveryKindArrivesReadsAndVerifies) {
  ASSERT_TRUE(StartSim(4));
  const std::string modulus = Modulus();
  ASSERT_EQ(modulus.size(), kModulusSize);
  const std::string pub = Read(dir_ / "key.pub");
  EXPECT_EQ(pub.substr(256, 2), "\r\n");
  EXPECT_NE(pub.find("\r\nKELO ZT-300 A N/S TV0100000000123\r\nFecha: "), std::string::npos);

  ASSERT_EQ(Download(DownloadKind::kMf, "a.mf"), kDownloadOk);
  ASSERT_EQ(Download(DownloadKind::kMfd, "a.mfd"), kDownloadOk);
  ASSERT_EQ(Download(DownloadKind::kSb, "a.bin"), kDownloadOk);
  ASSERT_EQ(Download(DownloadKind::kMpk, "a.mpk"), kDownloadOk);
  ASSERT_EQ(Download(DownloadKind::kMfk, "a.mfk"), kDownloadOk);
  ASSERT_EQ(Download(DownloadKind::kSbk, "a.sbk"), kDownloadOk);
  for (const char* name : {"a.mf", "a.mfd", "a.bin", "a.mpk", "a.mfk", "a.sbk"}) {
    std::string bytes = Read(dir_ / name);
    EXPECT_TRUE(VerifySignedFile(bytes, modulus)) << name;
    bytes[bytes.size() / 2] ^= 0x01;
    EXPECT_FALSE(VerifySignedFile(bytes, modulus)) << name;
  }

  // Four days, one reduction each, counters and grand total running on.
  MfContents mf;
  ASSERT_TRUE(ReadMfFile((dir_ / "a.mf").string(), mf).ok());
  EXPECT_EQ(mf.header.serial, "TV0100000000123");
  std::int64_t gt = 0;
  int crz = 0;
  for (const auto& entry : mf.entries) {
    const auto& z = std::get<MfReduction>(entry);
    EXPECT_EQ(z.crz, ++crz);
    EXPECT_EQ(z.grandTotal, gt + z.gross);
    EXPECT_GT(z.gross, 0);
    gt = z.grandTotal;
  }
  EXPECT_EQ(crz, 4);

  // The detail tape holds every document, in COO order, the reductions among them.
  const std::string mfdBytes = Read(dir_ / "a.mfd");
  EXPECT_EQ(MfdOriginMark(mfdBytes), kMfdDownloadMark);
  MfdContents mfd;
  ASSERT_TRUE(ReadMfd(mfdBytes, mfd).ok());
  int coo = 0, reductions = 0;
  for (const auto& entry : mfd.entries) {
    if (const auto* d = std::get_if<MfdDocument>(&entry)) {
      EXPECT_EQ(d->coo, ++coo);
      EXPECT_FALSE(d->lines.empty());
      if (d->kind == DocumentKind::kReductionZ) ++reductions;
    }
  }
  EXPECT_EQ(reductions, 4);
  EXPECT_EQ(mfd.header.firstCoo, 1);
  EXPECT_EQ(mfd.header.lastCoo, coo);

  // The keys cover what they say.
  KeyFile mpk, mfk, sbk;
  ASSERT_TRUE(ReadKeyFile(Read(dir_ / "a.mpk"), mpk).ok());
  ASSERT_TRUE(ReadKeyFile(Read(dir_ / "a.mfk"), mfk).ok());
  ASSERT_TRUE(ReadKeyFile(Read(dir_ / "a.sbk"), sbk).ok());
  const std::string stream = MfdStreamBytes(mfd);
  EXPECT_EQ(mpk.digest, Sha256(stream));
  SbImage image;
  ASSERT_TRUE(ReadSbImage(Read(dir_ / "a.bin"), image).ok());
  EXPECT_EQ(sbk.digest, Sha256(image.image));
  EXPECT_EQ(mfk.kind, KeyKind::kMfk);
}

TEST_F(DownloadTest, RangesPickTheirDocuments) {
  ASSERT_TRUE(StartSim(3));
  ASSERT_EQ(Download(DownloadKind::kMfd, "coo.mfd", "2", "5", "000012", "001"), kDownloadOk);
  MfdContents part;
  ASSERT_TRUE(ReadMfdFile((dir_ / "coo.mfd").string(), part).ok());
  EXPECT_EQ(part.header.range, MfdRange::kCoo);
  EXPECT_EQ(part.header.firstCoo, 5);
  EXPECT_EQ(part.header.lastCoo, 12);
  int documents = 0;
  for (const auto& e : part.entries) documents += std::holds_alternative<MfdDocument>(e) ? 1 : 0;
  EXPECT_EQ(documents, 8);

  // By date: the day before yesterday alone.
  ASSERT_EQ(Download(DownloadKind::kMfd, "all.mfd"), kDownloadOk);
  MfdContents all;
  ASSERT_TRUE(ReadMfdFile((dir_ / "all.mfd").string(), all).ok());
  const MemoryTime day = all.header.first;
  char ddmmyy[8];
  std::snprintf(ddmmyy, sizeof ddmmyy, "%02d%02d%02d", day.day, day.month, day.year % 100);
  ASSERT_EQ(Download(DownloadKind::kMfd, "day.mfd", "1", ddmmyy, ddmmyy), kDownloadOk);
  MfdContents oneDay;
  ASSERT_TRUE(ReadMfdFile((dir_ / "day.mfd").string(), oneDay).ok());
  ASSERT_FALSE(oneDay.entries.empty());
  for (const auto& e : oneDay.entries) {
    if (const auto* d = std::get_if<MfdDocument>(&e)) {
      EXPECT_EQ(d->when.DateKey(), day.DateKey());
    }
  }
  const auto& lastOfDay = std::get<MfdDocument>(oneDay.entries.back());
  EXPECT_EQ(lastOfDay.kind, DocumentKind::kReductionZ);

  // Nothing in the range, another user, or a malformed range: refused, no file.
  EXPECT_EQ(Download(DownloadKind::kMfd, "none.mfd", "2", "900000", "900001", "001"), kDownloadNotExecuted);
  EXPECT_EQ(Download(DownloadKind::kMfd, "none.mfd", "2", "1", "5", "007"), kDownloadNotExecuted);
  EXPECT_EQ(Download(DownloadKind::kMfd, "none.mfd", "1", "310299", "010399"), kDownloadNotExecuted);
  EXPECT_EQ(Download(DownloadKind::kMfd, "none.mfd", "9", "", ""), kDownloadNotExecuted);
  EXPECT_FALSE(fs::exists(dir_ / "none.mfd"));
}

TEST_F(DownloadTest, HangupMidTransferGivesThreeAndLeavesNoFile) {
  ASSERT_TRUE(StartSim(3, {"--hangup-at-block", "2"}));
  EXPECT_EQ(Download(DownloadKind::kMfd, "cut.mfd"), kDownloadLinkFailed);
  EXPECT_FALSE(fs::exists(dir_ / "cut.mfd"));
  // A file already there stays as it was.
  ASSERT_TRUE(SaveFileAtomically((dir_ / "old.mfd").string(), "previous", nullptr));
  pty_ = sim_.Ready("pty", 5000);  // the simulator offers a fresh pty after a hang-up
  ASSERT_FALSE(pty_.empty());
  EXPECT_EQ(Download(DownloadKind::kMfd, "old.mfd"), kDownloadLinkFailed);
  EXPECT_EQ(Read(dir_ / "old.mfd"), "previous");
  for (const auto& entry : fs::directory_iterator(dir_))
    EXPECT_TRUE(entry.path().filename() == "old.mfd") << entry.path();
}

TEST_F(DownloadTest, NoPrinterGivesThreeOrSeven) {
  pty_ = (dir_ / "no-such-device").string();
  EXPECT_EQ(Download(DownloadKind::kMf, "x.mf"), kDownloadNotExecuted);  // the port cannot open
  EXPECT_FALSE(fs::exists(dir_ / "x.mf"));
}

// The shared libraries, called by name as the workbench calls them.
class LibraryTest : public DownloadTest {
 protected:
  template <typename F>
  F Entry(const char* library, const char* name) {
    const std::string path = std::string(TERVANE_BIN_DIR) + "/../lib/" + library;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(handle, nullptr) << ::dlerror();
    if (!handle) return nullptr;
    handles_.push_back(handle);
    return reinterpret_cast<F>(::dlsym(handle, name));
  }
  void TearDown() override {
    for (void* h : handles_) ::dlclose(h);
    ::unsetenv("TERVANE_PRINTER_ADDRESS");
    ::unsetenv("TERVANE_EXCHANGE_DIR");
    DownloadTest::TearDown();
  }
  std::vector<void*> handles_;
};

using TwoTexts = int (*)(const char*, const char*);
using SixTexts = int (*)(const char*, const char*, const char*, const char*, const char*, const char*);

TEST_F(LibraryTest, EntryPointsOverEveryPortKind) {
  using Version = void (*)(char*);
  char one[32] = {}, two[32] = {};
  auto v1 = Entry<Version>("libKeloMFD.so", "KeloVersaoDll");
  auto v2 = Entry<Version>("libKeloMFD2.so", "KeloVersaoDll");
  ASSERT_TRUE(v1 && v2);
  v1(one);
  v2(two);
  EXPECT_STRNE(one, two);
  EXPECT_NE(std::string(one).find(','), std::string::npos);

  const fs::path files = dir_ / "exchange";
  ASSERT_TRUE(sim_.Start(SimPath(), {"--pty", "--tcp", "0", "--files", files.string(), "--history", "2"}));
  pty_ = sim_.Ready("pty", 15000);
  const std::string tcp = sim_.Ready("tcp", 5000);
  ASSERT_FALSE(sim_.Ready("files", 5000).empty());
  ASSERT_FALSE(pty_.empty());
  ASSERT_FALSE(tcp.empty());

  auto pub = Entry<TwoTexts>("libKeloMFD2.so", "KeloDownloadPublicKey");
  auto mfd = Entry<SixTexts>("libKeloMFD.so", "KeloDownloadMFD");
  ASSERT_TRUE(pub && mfd);
  const std::string key = (dir_ / "CP.pub").string();
  EXPECT_EQ(pub(pty_.c_str(), key.c_str()), 1);
  std::string modulus;
  ASSERT_TRUE(ReadPublicKeyFile(key, modulus).ok());

  ::setenv("TERVANE_PRINTER_ADDRESS", tcp.c_str(), 1);
  ::setenv("TERVANE_EXCHANGE_DIR", files.c_str(), 1);
  const std::string viaTcp = (dir_ / "tcp.mfd").string(), viaFiles = (dir_ / "files.mfd").string();
  EXPECT_EQ(mfd("SOCKET", viaTcp.c_str(), "2", "000001", "000004", ""), 1);
  EXPECT_EQ(mfd("FILE", viaFiles.c_str(), "2", "000001", "000004", ""), 1);
  EXPECT_TRUE(VerifySignedFile(Read(viaTcp), modulus));
  EXPECT_TRUE(VerifySignedFile(Read(viaFiles), modulus));
  EXPECT_EQ(mfd("USB", viaTcp.c_str(), "0", "", "", ""), 7);
  EXPECT_EQ(mfd(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 7);
}

}  // namespace
}  // namespace tervane::vendor
