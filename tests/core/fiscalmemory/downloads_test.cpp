// The download operations: which library each loads, the dialogs and the texts handed
// to the library, the status messages, and the ways an operation ends early.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/common/string_table.h"
#include "core/fiscalmemory/memory_test_support.h"

namespace tervane::testing {
namespace {

int RangeDownload(const char* port, const char* file, const char* kind, const char* start, const char* end,
                  const char* user) {
  Record("Range", {port, file, kind, start, end, user});
  return Log().result;
}
int PlainDownload(const char* port, const char* file) {
  Record("Plain", {port, file});
  return Log().result;
}
int UserDownload(const char* port, const char* file, const char* user) {
  Record("FiscalII", {port, file, user});
  return Log().result;
}

// Records the link settings the library finds in its environment.
int LinkSettingsDownload(const char* port, const char*) {
  const char* address = std::getenv(kPrinterAddressVariable);
  const char* folder = std::getenv(kExchangeDirVariable);
  Record("Link", {port, address ? address : "-", folder ? folder : "-"});
  return 1;
}

const char* const kEntries[] = {"KeloDownloadMF", "KeloDownloadSB", "KeloDownloadMFK", "KeloDownloadSBK",
                                "KeloDownloadPublicKey"};

class DownloadTest : public MemoryToolTest {
 protected:
  void ProvideAll(const std::string& library) {
    for (const char* entry : kEntries) loader_.Provide(library, entry, &PlainDownload);
    loader_.Provide(library, "KeloDownloadMFD", &RangeDownload).Provide(library, "KeloDownloadMPK", &RangeDownload);
    loader_.Provide(library, "KeloDownloadMFFiscalII", &UserDownload);
  }
};

TEST_F(DownloadTest, LibraryFollowsTheModelExceptForSbkAndPublicKey) {
  ProvideAll(kVendorLibrary1);
  ProvideAll(kVendorLibrary2);
  struct Case {
    std::uint32_t mask;
    MemoryDownload what;
    const char* library;
  } cases[] = {
      {1, MemoryDownload::kSb, kVendorLibrary1},       {2048, MemoryDownload::kMfk, kVendorLibrary1},
      {8192, MemoryDownload::kMf, kVendorLibrary1},    {4096, MemoryDownload::kSb, kVendorLibrary2},
      {16384, MemoryDownload::kMf, kVendorLibrary2},   {kAllModelsMask, MemoryDownload::kMfk, kVendorLibrary2},
      {1, MemoryDownload::kSbk, kVendorLibrary2},      {8192, MemoryDownload::kPublicKey, kVendorLibrary2},
  };
  for (const Case& c : cases) {
    loader_.loads.clear();
    SetModel("", c.mask);
    prompter_.QueueSaveFile(Path("out"));
    const MemoryOutcome outcome = DownloadMemory(context_, c.what);
    EXPECT_EQ(outcome.stage, MemoryStage::kCompleted);
    ASSERT_EQ(loader_.loads.size(), 1u);
    EXPECT_EQ(loader_.loads[0], c.library) << "mask " << c.mask;
  }
  EXPECT_EQ(loader_.loaded, 0);
}

TEST_F(DownloadTest, MfdRangeTextsGoToTheLibraryInOrder) {
  ProvideAll(kVendorLibrary2);
  MemoryRangeForm coo;
  coo.kind = MemoryRangeForm::Kind::kCoo;
  coo.firstCoo = 12;
  coo.lastCoo = 999999;
  coo.user = 7;
  MemoryRangeForm dates;
  dates.kind = MemoryRangeForm::Kind::kDates;
  dates.firstDate = CivilTime{2007, 3, 5};
  dates.lastDate = CivilTime{2010, 12, 31};
  MemoryRangeForm total;
  total.kind = MemoryRangeForm::Kind::kTotal;
  total.firstCoo = 5;  // ignored for a total range
  for (const MemoryRangeForm& form : {coo, dates, total}) {
    prompter_.QueueMemoryRange(form).QueueSaveFile(Path("a.mfd"));
    EXPECT_TRUE(DownloadMemory(context_, MemoryDownload::kMfd).succeeded);
  }
  const std::string file = Path("a.mfd");
  EXPECT_EQ(Log().calls, (std::vector<std::string>{
                             "Range(/dev/ttyFAKE|" + file + "|2|000012|999999|007)",
                             "Range(/dev/ttyFAKE|" + file + "|1|050307|311210|)",
                             "Range(/dev/ttyFAKE|" + file + "|0|||)",
                         }));
  // The range is asked before the file; the save dialog offers the MFD download filter.
  const auto& requests = prompter_.Requests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[0].kind, PromptKind::kMemoryRange);
  EXPECT_EQ(requests[1].kind, PromptKind::kSaveFile);
  EXPECT_EQ(requests[1].caption, "Arquivos de MFD (*.mfd)|*.mfd|Todos os Arquivos (*.*)|*.*||");
  EXPECT_EQ(requests[1].start2, "*.mfd");
  EXPECT_EQ(wait_.lastText, LoadString(32964));
  EXPECT_FALSE(wait_.visible);
}

TEST_F(DownloadTest, StatusCodesShowTheirWarningsAndOthersNothing) {
  ProvideAll(kVendorLibrary2);
  const std::vector<std::pair<int, std::string>> cases = {
      {2, Cp("Arquivo mfd sem número de série.")},      {3, "Falha no envio do comando"},
      {4, Cp("Não foi possível abrir o arquivo .txt")}, {5, Cp("Não foi possível abrir o arquivo .mdb")},
      {6, Cp("Arquivos sem dados válidos.")},           {7, Cp("Comando não executado.")},
      {0, ""}, {1, ""}, {8, ""}, {-1, ""},
  };
  for (const auto& [code, text] : cases) {
    prompter_ = FakePrompter{};
    Log().result = code;
    prompter_.QueueSaveFile(Path("sb.bin"));
    const MemoryOutcome outcome = DownloadMemory(context_, MemoryDownload::kSb);
    EXPECT_EQ(outcome.code, code);
    EXPECT_EQ(outcome.succeeded, code == 0 || code == 1) << code;
    if (text.empty()) {
      EXPECT_TRUE(Messages().empty()) << code;
    } else {
      EXPECT_EQ(Messages(), std::vector<std::string>{text}) << code;
    }
  }
}

TEST_F(DownloadTest, MissingLibraryOrEntryOrCancelledDialogEndsEarly) {
  // No library: the message, and no dialog.
  prompter_.QueueSaveFile(Path("x"));
  EXPECT_EQ(DownloadMemory(context_, MemoryDownload::kSb).stage, MemoryStage::kLibraryMissing);
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp("Não foi possível carregar a DLL")});
  EXPECT_TRUE(prompter_.RequestsOf(PromptKind::kSaveFile).empty());

  // The library without the entry point: silent, unloaded, no dialog.
  prompter_ = FakePrompter{};
  loader_.Provide(kVendorLibrary2, "KeloDownloadMF", &PlainDownload);
  EXPECT_EQ(DownloadMemory(context_, MemoryDownload::kSb).stage, MemoryStage::kEntryMissing);
  EXPECT_TRUE(prompter_.Requests().empty());
  EXPECT_EQ(loader_.loaded, 0);

  // Cancelled range or file dialog: nothing is called, nothing shown.
  ProvideAll(kVendorLibrary2);
  prompter_.QueueCancel(PromptKind::kMemoryRange);
  EXPECT_EQ(DownloadMemory(context_, MemoryDownload::kMpk).stage, MemoryStage::kDialogCancelled);
  prompter_.QueueMemoryRange({}).QueueCancel(PromptKind::kSaveFile);
  EXPECT_EQ(DownloadMemory(context_, MemoryDownload::kMpk).stage, MemoryStage::kDialogCancelled);
  EXPECT_TRUE(Log().calls.empty());
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(loader_.loaded, 0);
}

// The user number is asked of the printer with escape "35 1" and handed to the first
// library's KeloDownloadMFFiscalII.
TEST_F(DownloadTest, MfOfUserNumberModelsAsksThePrinterFirst) {
  ProvideAll(kVendorLibrary1);
  ProvideAll(kVendorLibrary2);
  SetModel("ZK-140 B            ", 16);
  FakePortScript script;
  script.reply = {Bytes({0x06, 0x00, 0x05, 0x00, 0x00})};
  ports_.Script("/dev/ttyFAKE", script);
  prompter_.QueueSaveFile(Path("m.mf"));
  const MemoryOutcome outcome = DownloadMemory(context_, MemoryDownload::kMf);
  EXPECT_EQ(outcome.stage, MemoryStage::kCompleted);
  ASSERT_EQ(ports_.records.size(), 1u);
  const std::vector<std::uint8_t>& sent = ports_.records[0]->sent;
  ASSERT_GE(sent.size(), 6u);
  EXPECT_EQ(sent[3], 0x1B);
  EXPECT_EQ(sent[4], 35);
  EXPECT_EQ(sent[5], 1);
  EXPECT_EQ(Log().calls, std::vector<std::string>{"FiscalII(/dev/ttyFAKE|" + Path("m.mf") + "|0005)"});
  EXPECT_EQ(loader_.loads, std::vector<std::string>{kVendorLibrary1});

  // A send failure: "Falha no envio do comando", no library, no dialog.
  Log().calls.clear();
  loader_.loads.clear();
  FakePortScript dead;
  dead.openOk = false;
  ports_.Script("/dev/ttyFAKE", dead);
  prompter_ = FakePrompter{};
  EXPECT_EQ(DownloadMemory(context_, MemoryDownload::kMf).stage, MemoryStage::kCommandFailed);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Falha no envio do comando"});
  EXPECT_TRUE(loader_.loads.empty());
  EXPECT_TRUE(prompter_.RequestsOf(PromptKind::kSaveFile).empty());
}

TEST_F(DownloadTest, UserNumberModelsMatchByPrefix) {
  EXPECT_TRUE(ModelKeepsUserNumber("ZK-110 B            "));
  EXPECT_TRUE(ModelKeepsUserNumber("ZB-140 B"));
  EXPECT_FALSE(ModelKeepsUserNumber("ZK-110 A            "));
  EXPECT_FALSE(ModelKeepsUserNumber("ZK-110"));
  EXPECT_FALSE(ModelKeepsUserNumber(""));

  // Other models download without any printer command.
  ProvideAll(kVendorLibrary1);
  SetModel("ZK-110 A            ", 1);
  prompter_.QueueSaveFile(Path("m.mf"));
  DownloadMemory(context_, MemoryDownload::kMf);
  EXPECT_TRUE(ports_.records.empty());
  EXPECT_EQ(Log().calls, std::vector<std::string>{"Plain(/dev/ttyFAKE|" + Path("m.mf") + ")"});
  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kSaveFile)[0].caption,
            Cp("Arquivos de Memória Fiscal (*.mf)|*.mf|Todos os Arquivos (*.*)|*.*||"));
}

// The library opens "SOCKET" and "FILE" itself: the address and the exchange folder of the
// settings reach it through the environment.
TEST_F(DownloadTest, SocketAddressAndExchangeFolderReachTheLibrary) {
  loader_.Provide(kVendorLibrary2, "KeloDownloadSB", &LinkSettingsDownload);
  settings_.g_portName = "SOCKET";
  settings_.g_printerAddress = "10.1.2.3:2121";
  settings_.g_exchangeDir = "troca";
  prompter_.QueueSaveFile(Path("sb.bin"));
  DownloadMemory(context_, MemoryDownload::kSb);
  EXPECT_EQ(Log().calls, std::vector<std::string>{"Link(SOCKET|10.1.2.3:2121|" + Path("troca") + ")"});
  ::unsetenv(kPrinterAddressVariable);
  ::unsetenv(kExchangeDirVariable);
}

}  // namespace
}  // namespace tervane::testing
