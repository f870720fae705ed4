// Type E records and the EAD line: the records of each type and period, the status of
// bad requests, and a signature line that verifies, renews and fails on any change.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vendor/reports/ead_signature.h"
#include "vendor/reports/sample_memories.h"
#include "vendor/reports/vendor_test_files.h"

namespace tervane {
namespace {

using namespace vendortest;

std::vector<std::string> Records(const std::string& text, const std::string& type) {
  std::vector<std::string> found;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    if (text.compare(start, 3, type) == 0) found.push_back(text.substr(start, end - start));
  return found;
}

class TypeE : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(mf_, vendor::MfFileBytes(SampleMf()));
    vendor::MfdContents tape = SampleMfd();
    // A second day closed by CRZ 2, so that periods by reduction have two days to pick.
    tape.entries.push_back(Document(3, 2, At(2, 12, 19), vendor::DocumentKind::kReductionZ,
                                    {Cp("       REDUÇÃO Z        "),
                                     "MOVIMENTO DO DIA: 02/12/2026", "CRZ: 0002   CRO: 0001",
                                     Cp("VENDA BRUTA DIÁRIA:                        12,00"),
                                     "GRANDE TOTAL:                            1283,40"}));
    WriteBytes(mfd_, MfdFile(tape));
  }

  int Make(const std::string& in, const char* type, const char* kind, const char* start,
           const char* end) {
    const char* e = "";
    return entry_(in.c_str(), out_.c_str(), kind, start, end, e, e, "ZT-310 A", type, e, e, e,
                  e, e, e, e, e, e, e, e, e, e);
  }

  ScratchFolder folder_;
  const std::string mf_ = folder_ / "memory.mf";
  const std::string mfd_ = folder_ / "tape.mfd";
  const std::string out_ = folder_ / "records.txt";
  KeloLibrary library_;
  using Entry = int(const char*, const char*, const char*, const char*, const char*, const char*,
                    const char*, const char*, const char*, const char*, const char*, const char*,
                    const char*, const char*, const char*, const char*, const char*, const char*,
                    const char*, const char*, const char*, const char*);
  Entry* entry_ = library_.Entry<Entry>("KeloGeraRegistrosParciaisTipoE");
  void (*ead_)(const char*) = library_.Entry<void(const char*)>("KeloDLLGeraRegistroEAD");
};

TEST_F(TypeE, FiscalMemoryGivesItsReductionsAndTotalisersInThePeriod) {
  ASSERT_EQ(Make(mf_, "0", "0", "000002", "000004"), 0);
  const std::string text = ReadBytes(out_);
  const auto e01 = Records(text, "E01");
  ASSERT_EQ(e01.size(), 1u);
  EXPECT_EQ(e01[0].substr(3, 20), "QV010000000000000123");
  EXPECT_EQ(e01[0].substr(63, 20), "ZT-310 A            ");
  EXPECT_EQ(Records(text, "E02"),
            (std::vector<std::string>{"E02QV01000000000000012300211222333000181123456789     "}));
  const auto e12 = Records(text, "E12");
  ASSERT_EQ(e12.size(), 3u);
  // User 1 before the change, 2 after; CRZ, COO, CRO; movement, date, time; GT; gross...
  EXPECT_EQ(e12[0], "E12QV010000000000000123" "001" "000002" "000000020" "000001" "20261202"
                    "20261202" "180000" "000000000000350050" "00000000250050" "00000000000100"
                    "00000000000050" "00000000000025");
  EXPECT_EQ(e12[2].substr(23, 9), "002000004");
  EXPECT_EQ(Records(text, "E13").size(), 3u * 8);  // two rates and six fixed totalisers
  EXPECT_NE(text.find("E13QV010000000000000123000002" "02S05000000000000125"), std::string::npos);

  ASSERT_EQ(Make(mf_, "0", "1", "041226", "061226"), 0);  // by day of movement
  EXPECT_EQ(Records(ReadBytes(out_), "E12").size(), 3u);
}

TEST_F(TypeE, DetailTapeGivesCouponsItemsOtherDocumentsAndMarkers) {
  ASSERT_EQ(Make(mfd_, "1", "0", "000000", "999999"), 0);
  std::string text = ReadBytes(out_);
  const auto e14 = Records(text, "E14");
  ASSERT_EQ(e14.size(), 3u);
  // Coupon 1: 21,50 + (16,50 - 1,50), item 3 cancelled.
  EXPECT_EQ(e14[0], "E14QV010000000000000123" "001" "000000001" "20261201" "090000" "00000000003650");
  const auto e15 = Records(text, "E15");
  ASSERT_EQ(e15.size(), 5u);
  EXPECT_EQ(e15[1].substr(35, 17), "0027891000200200 ");
  EXPECT_EQ(e15[1].substr(52, 40), std::string("FEIJAO 1KG") + std::string(30, ' '));
  EXPECT_EQ(e15[1].substr(92), "T01    00000000016500000000000150N");
  EXPECT_EQ(e15[2].back(), 'S');
  EXPECT_EQ(Records(text, "E16").size(), 5u);  // vouchers, reductions, report
  EXPECT_TRUE(Records(text, "E17").empty());

  ASSERT_EQ(Make(mfd_, "2", "0", "000002", "000002"), 0);  // TDM, the day closed by CRZ 2
  text = ReadBytes(out_);
  EXPECT_EQ(Records(text, "E17"),
            (std::vector<std::string>{"E17QV010000000000000123" "2" "20261202" "080000" "002" "000000005"}));
  EXPECT_EQ(Records(text, "E14").size(), 1u);
  EXPECT_EQ(Records(text, "E16").size(), 2u);

  ASSERT_EQ(Make(mfd_, "3", "1", "021226", "021226"), 0);  // reductions recovered
  const auto rz = Records(ReadBytes(out_), "E12");
  ASSERT_EQ(rz.size(), 1u);
  EXPECT_EQ(rz[0].substr(23, 21), "002000002000000003000");
  EXPECT_EQ(rz[0].substr(41, 28), "000001" "20261202" "20261202" "190000");
  EXPECT_EQ(rz[0].substr(69, 18), "000000000000128340");
  EXPECT_EQ(rz[0].substr(87, 14), "00000000001200");
}

TEST_F(TypeE, BadRequestsAndInputsGiveTheirStatusAndWriteNothing) {
  EXPECT_EQ(Make(mf_, "4", "0", "1", "2"), 7);
  EXPECT_EQ(Make(mf_, "0", "2", "1", "2"), 7);
  EXPECT_EQ(Make(mf_, "0", "0", "", "2"), 7);
  EXPECT_EQ(Make(mf_, "0", "1", "321226", "011226"), 7);
  EXPECT_EQ(Make(mf_, "0", "0", "000100", "000200"), 6);
  EXPECT_EQ(Make(mfd_, "0", "0", "1", "5"), 6);  // an .mfd given as MF
  EXPECT_EQ(Make(mf_, "1", "0", "1", "5"), 6);   // and the other way round
  vendor::MfContents noSerial = SampleMf();
  noSerial.header.serial.clear();
  WriteBytes(folder_ / "noserial.mf", vendor::MfFileBytes(noSerial));
  EXPECT_EQ(Make(folder_ / "noserial.mf", "0", "0", "1", "5"), 2);
  EXPECT_FALSE(Exists(out_));
  const char* e = "";
  EXPECT_EQ(entry_(mf_.c_str(), (folder_ / "no/out.txt").c_str(), "0", "1", "5", e, e, e, "0",
                   e, e, e, e, e, e, e, e, e, e, e, e, e),
            4);
}

TEST_F(TypeE, EadLineSignsTheFileAndIsRenewedNotRepeated) {
  ASSERT_EQ(Make(mf_, "0", "0", "000000", "999999"), 0);
  const std::string before = ReadBytes(out_);
  ead_(out_.c_str());
  const std::string once = ReadBytes(out_);
  ASSERT_EQ(once.size(), before.size() + 3 + 256 + 2);
  EXPECT_EQ(once.compare(0, before.size(), before), 0);
  EXPECT_EQ(once.compare(before.size(), 3, "EAD"), 0);
  EXPECT_TRUE(HasValidEadLine(once));
  EXPECT_EQ(EadPublicModulus().size(), 128u);

  ead_(out_.c_str());  // signing again renews the one line
  EXPECT_EQ(ReadBytes(out_), once);

  std::string changed = once;
  changed[10] ^= 1;
  EXPECT_FALSE(HasValidEadLine(changed));
  EXPECT_FALSE(HasValidEadLine(before));
  EXPECT_TRUE(HasValidEadLine(WithEadLine("no line end")));
  EXPECT_EQ(WithEadLine("no line end").compare(0, 13, "no line end\r\n"), 0);

  ead_((folder_ / "missing.txt").c_str());  // called after a failure: creates nothing
  EXPECT_FALSE(Exists(folder_ / "missing.txt"));
  ead_(nullptr);
}

}  // namespace
}  // namespace tervane
