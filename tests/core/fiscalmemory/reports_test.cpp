// The operations on downloaded files: documents and databases from an MFD, the MF report
// with its digest, Type E records, PDF-417 bitmaps and the signature checks.
#include <gtest/gtest.h>

#include "core/common/string_table.h"
#include "core/fiscalmemory/memory_digest.h"
#include "core/fiscalmemory/memory_test_support.h"

namespace tervane::testing {
namespace {

int TxtByCoo(const char* mfd, const char* out, int user, int first, int last) {
  Record("TxtPorCOO", {mfd, out, std::to_string(user), std::to_string(first), std::to_string(last)});
  Touch(out);
  return Log().result;
}
int MdbByCoo(const char* mfd, const char* out, int user, int first, int last) {
  Record("MdbPorCOO", {mfd, out, std::to_string(user), std::to_string(first), std::to_string(last)});
  Touch(out);
  return Log().result;
}
void TxtByDate(const char* mfd, const char* out, const char* first, const char* last) {
  Record("TxtPorData", {mfd, out, first, last});
  Touch(out);
}
void MdbTotal(const char* mfd, const char* out) {
  Record("MdbTotal", {mfd, out});
  Touch(out);
}
int MfReport(const char* mf, const char* txt, const char* kind, const char* start, const char* end) {
  Record("RelatorioMF", {mf, txt, kind, start, end});
  std::ofstream(txt, std::ios::binary) << "abc";
  return Log().result;
}
int TypeE(const char* a1, const char* a2, const char* a3, const char* a4, const char* a5, const char* a6,
          const char* a7, const char* a8, const char* a9, const char* a10, const char* a11, const char* a12,
          const char* a13, const char* a14, const char* a15, const char* a16, const char* a17, const char* a18,
          const char* a19, const char* a20, const char* a21, const char* a22) {
  Record("TipoE", {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15, a16, a17, a18, a19, a20,
                   a21, a22});
  return Log().result;
}
void SignEad(const char* file) { Record("EAD", {file}); }
int OpenPdf(const char* mfd) {
  Record("Open", {mfd});
  Touch(mfd);
  return 0;
}
int AddBmp(const char* bmp) {
  Record("Add", {bmp});
  return 0;
}
int ClosePdf() {
  Record("Close", {});
  return 0;
}
int Validate(const char* file, const char* pub) {
  Record("Validate", {file, pub});
  return Log().result;
}
int ValidatePdf(const char* file, const char* rsa, const char* pub) {
  Record("ValidatePDF417", {file, rsa, pub});
  return Log().result;
}

using ReportTest = MemoryToolTest;

TEST_F(ReportTest, DocumentsAndDatabasesCallTheEntryOfTheRangeKind) {
  loader_.Provide(kVendorLibrary2, "KeloGeraTxtPorCOO", &TxtByCoo)
      .Provide(kVendorLibrary2, "KeloGeraMdbPorCOO", &MdbByCoo)
      .Provide(kVendorLibrary2, "KeloGeraTxtPorData", &TxtByDate)
      .Provide(kVendorLibrary2, "KeloGeraMdbTotal", &MdbTotal);
  MemoryRangeForm coo;
  coo.firstCoo = 40;
  coo.lastCoo = 1234;
  coo.user = 3;
  prompter_.QueueOpenFile(Path("in.mfd")).QueueMemoryRange(coo).QueueSaveFile(Path("a.txt")).QueueYesNo(true);
  EXPECT_TRUE(MakeFromMfd(context_, MfdProduct::kDocuments).succeeded);
  // The open dialog offers the MFD input filter, the save dialog the documents filter.
  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kOpenFile)[0].caption,
            "Arquivos de MFD(*.MFD)|*.mfd|Todos os Arquivos (*.*)|*.*||");
  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kSaveFile)[0].caption,
            "Arquivo de texto(*.TXT)|*.TXT|Todos os Arquivos (*.*)|*.*||");
  // Yes opens the file; the question names it.
  EXPECT_EQ(opened_, std::vector<std::string>{Path("a.txt")});
  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kYesNo)[0].description,
            "Arquivo criado com sucesso: \r\n" + Path("a.txt") + "\r\nGostaria de abrir o documento agora?");

  MemoryRangeForm dates;
  dates.kind = MemoryRangeForm::Kind::kDates;
  dates.firstDate = CivilTime{1999, 1, 2};
  dates.lastDate = CivilTime{2000, 11, 30};
  prompter_.QueueOpenFile(Path("in.mfd")).QueueMemoryRange(dates).QueueSaveFile(Path("b.txt")).QueueYesNo(false);
  EXPECT_TRUE(MakeFromMfd(context_, MfdProduct::kDocuments).succeeded);
  MemoryRangeForm total;
  total.kind = MemoryRangeForm::Kind::kTotal;
  prompter_.QueueOpenFile(Path("in.mfd")).QueueMemoryRange(total).QueueSaveFile(Path("c.mdb")).QueueYesNo(false);
  EXPECT_TRUE(MakeFromMfd(context_, MfdProduct::kDatabase).succeeded);
  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kSaveFile)[2].caption,
            "Arquivos de Banco de Dados (*.mdb)|*.mdb|Todos os Arquivos (*.*)|*.*||");

  EXPECT_EQ(Log().calls, (std::vector<std::string>{
                             "TxtPorCOO(" + Path("in.mfd") + "|" + Path("a.txt") + "|3|40|1234)",
                             "TxtPorData(" + Path("in.mfd") + "|" + Path("b.txt") + "|020199|301100)",
                             "MdbTotal(" + Path("in.mfd") + "|" + Path("c.mdb") + ")",
                         }));
  EXPECT_EQ(opened_.size(), 1u);  // No answers leave the files closed
  EXPECT_TRUE(Messages().empty());
}

// A product the library did not make is not announced as created.
TEST_F(ReportTest, DocumentsNotMadeAreNotReportedAsCreated) {
  loader_.Provide(kVendorLibrary2, "KeloGeraMdbPorCOO", &MdbByCoo).Provide(kVendorLibrary2, "KeloGeraTxtPorData",
                                                                           &TxtByDate);
  Log().result = 5;
  prompter_.QueueOpenFile(Path("in.mfd")).QueueMemoryRange({}).QueueSaveFile(Path("a.mdb"));
  const MemoryOutcome failed = MakeFromMfd(context_, MfdProduct::kDatabase);
  EXPECT_FALSE(failed.succeeded);
  EXPECT_EQ(failed.code, 5);
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp("Não foi possível abrir o arquivo .mdb")});
  EXPECT_TRUE(prompter_.RequestsOf(PromptKind::kYesNo).empty());

  // An entry without a result that wrote nothing; a stale file from before does not count.
  prompter_ = FakePrompter{};
  Log().writeOutput = false;
  std::ofstream(Path("old.txt")) << "from an earlier run";
  MemoryRangeForm dates;
  dates.kind = MemoryRangeForm::Kind::kDates;
  prompter_.QueueOpenFile(Path("in.mfd")).QueueMemoryRange(dates).QueueSaveFile(Path("old.txt"));
  EXPECT_FALSE(MakeFromMfd(context_, MfdProduct::kDocuments).succeeded);
  EXPECT_TRUE(prompter_.RequestsOf(PromptKind::kYesNo).empty());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find(Path("old.txt")), std::string::npos);

  // A range kind whose entry is missing ends silently after the dialogs.
  prompter_ = FakePrompter{};
  MemoryRangeForm total;
  total.kind = MemoryRangeForm::Kind::kTotal;
  prompter_.QueueOpenFile(Path("in.mfd")).QueueMemoryRange(total).QueueSaveFile(Path("t.txt"));
  EXPECT_EQ(MakeFromMfd(context_, MfdProduct::kDocuments).stage, MemoryStage::kEntryMissing);
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(loader_.loaded, 0);
}

TEST_F(ReportTest, MfReportKindsAndItsDigest) {
  loader_.Provide(kVendorLibrary1, "KeloRelatorioMFTxt", &MfReport);
  SetModel("ZT-300 A", 1024);
  Log().result = 0;
  MfReportForm crz;
  crz.firstReduction = 1;
  crz.lastReduction = 25;
  MfReportForm simplifiedDates;
  simplifiedDates.byReductions = false;
  simplifiedDates.simplified = true;
  simplifiedDates.firstDate = CivilTime{2024, 2, 29};
  simplifiedDates.lastDate = CivilTime{2025, 1, 1};
  prompter_.QueueOpenFile(Path("m.mf")).QueueMfReport(crz).QueueSaveFile(Path("rel.txt")).QueueYesNo(false);
  const MemoryOutcome outcome = MakeMfReport(context_);
  prompter_.QueueOpenFile(Path("m.mf")).QueueMfReport(simplifiedDates).QueueSaveFile(Path("s.txt")).QueueYesNo(false);
  MakeMfReport(context_);
  EXPECT_EQ(Log().calls, (std::vector<std::string>{
                             "RelatorioMF(" + Path("m.mf") + "|" + Path("rel.txt") + "|C|000001|000025)",
                             "RelatorioMF(" + Path("m.mf") + "|" + Path("s.txt") + "|d|290224|010125)",
                         }));
  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kOpenFile)[0].title, Cp("Arquivo de Memória Fiscal"));

  // The digest: the report's name, " MD5: " and the MD5 of "abc", without a line end.
  EXPECT_TRUE(outcome.succeeded);
  EXPECT_EQ(outcome.digest, Path("rel_MD5.txt"));
  EXPECT_EQ(ReadAll(Path("rel_MD5.txt")), "rel.txt MD5: 900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kYesNo).size(), 2u);

  // A failing report: its status message, no digest, no success prompt.
  prompter_ = FakePrompter{};
  Log().result = 6;
  prompter_.QueueOpenFile(Path("m.mf")).QueueMfReport(crz).QueueSaveFile(Path("bad.txt"));
  EXPECT_FALSE(MakeMfReport(context_).succeeded);
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp("Arquivos sem dados válidos.")});
  EXPECT_FALSE(std::filesystem::exists(Path("bad_MD5.txt")));
  EXPECT_TRUE(prompter_.RequestsOf(PromptKind::kYesNo).empty());
}

TEST_F(ReportTest, DigestPathAndUnreadableReport) {
  EXPECT_EQ(ReportDigestPath("/a/b/relatorio.txt"), "/a/b/relatorio_MD5.txt");
  EXPECT_EQ(ReportDigestPath("r.txt"), "r_MD5.txt");
  EXPECT_EQ(ReportDigestPath("abcd"), "abcd_MD5.txt");  // not longer than 4: nothing cut
  EXPECT_EQ(ReportDigestPath("x"), "x_MD5.txt");
  std::string hex;
  EXPECT_FALSE(Md5OfFile(Path("missing.txt"), hex));
  EXPECT_TRUE(hex.empty());
  EXPECT_FALSE(WriteReportDigest(Path("missing.txt")));
  EXPECT_FALSE(std::filesystem::exists(Path("missing_MD5.txt")));
  std::ofstream(Path("empty.txt")).close();
  ASSERT_TRUE(Md5OfFile(Path("empty.txt"), hex));
  EXPECT_EQ(hex, "d41d8cd98f00b204e9800998ecf8427e");
}

TEST_F(ReportTest, TypeERecordsPassTwentyTwoTextsAndSignTheOutput) {
  loader_.Provide(kVendorLibrary2, "KeloGeraRegistrosParciaisTipoE", &TypeE)
      .Provide(kVendorLibrary2, "KeloDLLGeraRegistroEAD", &SignEad);
  SetModel("ZT-400 A            ", 16384);
  Log().result = 0;
  TypeERecordsForm form;
  form.record = TypeERecordsForm::Record::kRz;
  form.period = TypeERecordsForm::Period::kDates;
  form.firstDate = CivilTime{2023, 6, 1};
  form.lastDate = CivilTime{2023, 6, 30};
  prompter_.QueueTypeE(form).QueueOpenFile(Path("in.rz")).QueueSaveFile(Path("e.txt")).QueueYesNo(false);
  EXPECT_TRUE(MakeTypeERecords(context_).succeeded);
  const std::string empties = "|||||||||||||";  // 13 empty texts after the record type
  ASSERT_EQ(Log().calls.size(), 2u);
  EXPECT_EQ(Log().calls[0], "TipoE(" + Path("in.rz") + "|" + Path("e.txt") + "|1|010623|300623|||ZT-400 A            |3" +
                                empties + ")");
  EXPECT_EQ(Log().calls[1], "EAD(" + Path("e.txt") + ")");
  const auto open = prompter_.RequestsOf(PromptKind::kOpenFile)[0];
  EXPECT_EQ(open.caption, "Arquivos de MFD(*.MFD)|*.mfd|Todos os Arquivos (*.*)|*.*||");
  EXPECT_EQ(open.start2, "*.rz");

  // A failure: the status message, and the signature line all the same.
  prompter_ = FakePrompter{};
  Log().calls.clear();
  Log().result = 7;
  form.record = TypeERecordsForm::Record::kMf;
  form.period = TypeERecordsForm::Period::kReductions;
  form.firstReduction = 3;
  form.lastReduction = 4;
  prompter_.QueueTypeE(form).QueueOpenFile(Path("in.mf")).QueueSaveFile(Path("e.txt"));
  EXPECT_FALSE(MakeTypeERecords(context_).succeeded);
  EXPECT_EQ(Messages(), std::vector<std::string>{Cp("Comando não executado.")});
  ASSERT_EQ(Log().calls.size(), 2u);
  EXPECT_NE(Log().calls[0].find("|0|000003|000004|"), std::string::npos);
  EXPECT_NE(Log().calls[0].find("|0" + empties + ")"), std::string::npos);
  EXPECT_EQ(prompter_.RequestsOf(PromptKind::kOpenFile)[0].start2, "*.mf");
}

TEST_F(ReportTest, Pdf417BitmapsInSelectionOrderWithWhateverEntriesExist) {
  loader_.Provide(kVendorLibrary2, "KeloOpenPdf417ToMfd", &OpenPdf)
      .Provide(kVendorLibrary2, "KeloAddBmpFile", &AddBmp)
      .Provide(kVendorLibrary2, "KeloClosePdf417ToMfd", &ClosePdf);
  prompter_.QueueOpenFiles({"/b/2.bmp", "/a/1.bmp"}).QueueSaveFile(Path("p.mfd")).QueueYesNo(false);
  EXPECT_TRUE(DecodePdf417Bitmaps(context_).succeeded);
  EXPECT_EQ(Log().calls, (std::vector<std::string>{"Open(" + Path("p.mfd") + ")", "Add(/b/2.bmp)", "Add(/a/1.bmp)",
                                                   "Close()"}));
  const auto pick = prompter_.RequestsOf(PromptKind::kOpenFiles)[0];
  EXPECT_EQ(pick.title, "Selecione os Arquivos");
  EXPECT_EQ(pick.caption, "Arquivos de Bitmap (*.bmp)|*.bmp|Todos os Arquivos (*.*)|*.*||");

  // Only the add entry: the bitmaps are still handed over.
  FakeVendorLoader addOnly;
  addOnly.Provide(kVendorLibrary2, "KeloAddBmpFile", &AddBmp);
  context_.loader = &addOnly;
  Log().calls.clear();
  prompter_.QueueOpenFiles({"/c.bmp"}).QueueSaveFile(Path("q.mfd"));
  DecodePdf417Bitmaps(context_);
  EXPECT_EQ(Log().calls, std::vector<std::string>{"Add(/c.bmp)"});

  // None of the three: silent end before any dialog.
  FakeVendorLoader none;
  none.Present(kVendorLibrary2);
  context_.loader = &none;
  prompter_ = FakePrompter{};
  EXPECT_EQ(DecodePdf417Bitmaps(context_).stage, MemoryStage::kEntryMissing);
  EXPECT_TRUE(prompter_.Requests().empty());
}

TEST_F(ReportTest, ValidationOnlyForSecondLibraryModels) {
  loader_.Provide(kVendorLibrary2, "KeloValidate", &Validate).Provide(kVendorLibrary2, "KeloValidatePDF417",
                                                                    &ValidatePdf);
  for (std::uint32_t mask : {1u, 2048u, 8192u}) {
    prompter_ = FakePrompter{};
    SetModel("", mask);
    EXPECT_EQ(ValidateKeyFile(context_).stage, MemoryStage::kNotAvailable);
    EXPECT_EQ(ValidatePdf417(context_).stage, MemoryStage::kNotAvailable);
    EXPECT_EQ(Messages(), std::vector<std::string>(2, Cp("Função não disponível.")));
  }
  EXPECT_TRUE(loader_.loads.empty());

  SetModel("", 65536);
  Log().result = 0;
  prompter_ = FakePrompter{};
  prompter_.QueueOpenFile("/f.mfd").QueueOpenFile("/k.pub");
  EXPECT_TRUE(ValidateKeyFile(context_).succeeded);
  Log().result = 1;
  prompter_.QueueOpenFile("/f.mfd").QueueOpenFile("/f.rsa").QueueOpenFile("/k.pub");
  EXPECT_FALSE(ValidatePdf417(context_).succeeded);
  EXPECT_EQ(Log().calls, (std::vector<std::string>{"Validate(/f.mfd|/k.pub)", "ValidatePDF417(/f.mfd|/f.rsa|/k.pub)"}));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Arquivo validado", Cp("Arquivo NÃO validado")}));
  const auto opens = prompter_.RequestsOf(PromptKind::kOpenFile);
  ASSERT_EQ(opens.size(), 5u);
  EXPECT_EQ(opens[0].caption, "Arquivos a ser validado (*.*)|*.*|Todos os Arquivos (*.*)|*.*||");
  EXPECT_EQ(opens[1].caption, Cp("Arquivos de chave pública (*.pub)|*.pub|Todos os Arquivos (*.*)|*.*||"));
  EXPECT_EQ(opens[3].caption, "RSA (*.*)|*.*|Todos os Arquivos (*.*)|*.*||");
  EXPECT_EQ(loader_.loads, (std::vector<std::string>{kVendorLibrary2, kVendorLibrary2}));

  // The key dialog cancelled: nothing called, nothing shown.
  prompter_ = FakePrompter{};
  Log().calls.clear();
  prompter_.QueueOpenFile("/f.mfd").QueueCancel(PromptKind::kOpenFile);
  EXPECT_EQ(ValidateKeyFile(context_).stage, MemoryStage::kDialogCancelled);
  EXPECT_TRUE(Log().calls.empty());
  EXPECT_TRUE(Messages().empty());
}

}  // namespace
}  // namespace tervane::testing
