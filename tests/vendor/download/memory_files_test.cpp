// The memory files: what is written reads back the same, and damaged files give the
// right status at the right place without ever being read out of bounds.
#include <gtest/gtest.h>

#include "core/common/text.h"
#include "sim/printer_key.h"
#include "vendor/formats/crc16.h"
#include "vendor/formats/mf_file.h"
#include "vendor/formats/mfd_file.h"
#include "vendor/formats/pub_file.h"
#include "vendor/formats/sb_key_files.h"
#include "vendor/formats/signature.h"

namespace tervane::vendor {
namespace {

// Changes one byte of the record that starts at `record` and recomputes the record's
// check, so that the reader's own rules (not the check) must catch the change.
void Patch(std::string& file, std::size_t record, std::size_t at, char value) {
  file[at] = value;
  std::uint32_t size = 0;
  for (int i = 4; i >= 1; --i) size = (size << 8) | static_cast<unsigned char>(file[record + i]);
  const std::uint16_t check = Crc16(std::string_view(file).substr(record, 5 + size));
  file[record + 5 + size] = static_cast<char>(check & 0xFF);
  file[record + 6 + size] = static_cast<char>(check >> 8);
}

MemoryTime At(int d, int mo, int h = 10, int mi = 0) { return MemoryTime{2026, mo, d, h, mi, 0}; }

MfdContents SampleMfd() {
  MfdContents c;
  c.header = {"TV0100000000123", "KELO", "ZT-300 A", 1, MfdRange::kTotal, 1, 3, At(1, 12), At(2, 12)};
  c.entries.emplace_back(MfdDocument{1, 1, At(1, 12), DocumentKind::kSale, {"CUPOM FISCAL", "\xC1GUA 1,00"}});
  c.entries.emplace_back(MfdMarker{MarkerKind::kPowerFailure, At(1, 12, 11), 1, 1});
  c.entries.emplace_back(MfdDocument{2, 1, At(1, 12, 12), DocumentKind::kReductionZ, {}});
  c.entries.emplace_back(MfdMarker{MarkerKind::kUserChange, At(2, 12, 8), 2, 2});
  c.entries.emplace_back(MfdDocument{1, 2, At(2, 12), DocumentKind::kManagementReport, {"", "X"}});
  return c;
}

MfContents SampleMf() {
  MfContents c;
  c.header = {"TV0100000000123", "KELO", "ZT-300 A", 2, "11.111.111/0001-11", "111.111.111.111", At(7, 12)};
  MfReduction z;
  z.crz = 1;
  z.coo = 10;
  z.cro = 1;
  z.when = At(2, 12, 0, 5);
  z.movement = At(1, 12, 0);
  z.grandTotal = 12345;
  z.gross = 12345;
  z.discounts = 5;
  z.rates = {{"1800", false, 10000}, {"0500", true, 2345}};
  c.entries.emplace_back(z);
  c.entries.emplace_back(MfUserChange{2, "22.222.222/0001-22", "222", At(3, 12), 1, 1});
  return c;
}

TEST(MemoryFiles, MfdRoundTripsThroughBothFrames) {
  const MfdContents written = SampleMfd();
  const std::string stream = MfdStreamBytes(written);
  for (const char* mark : {kMfdDownloadMark, kMfdCaptureMark}) {
    const std::string file = MfdFrameBytes(stream, mark);
    EXPECT_EQ(file.size(), kMfdDataOffset + stream.size() + kMfdTailSize);
    MfdContents read;
    ASSERT_TRUE(ReadMfd(file, read).ok()) << mark;
    EXPECT_EQ(read, written);
    EXPECT_EQ(MfdOriginMark(file), mark);
    // A signature may follow; anything else may not.
    ASSERT_TRUE(ReadMfd(file + std::string(kSignatureSize, 'S'), read).ok());
    EXPECT_EQ(ReadMfd(file + "x", read).status, FileStatus::kTruncated);
    EXPECT_EQ(ReadMfd(file + std::string(kSignatureSize + 1, 'S'), read).status, FileStatus::kCorrupt);
  }
}

TEST(MemoryFiles, MfdDamageGivesStatusAndKeepsWhatCameBefore) {
  const std::string stream = MfdStreamBytes(SampleMfd());
  const std::string file = MfdFrameBytes(stream);
  MfdContents read;

  // Cut anywhere: never ok, never a crash; cut inside the stream keeps earlier entries.
  for (std::size_t cut = 0; cut < file.size(); cut += (cut < kMfdLeadSize ? 4099 : 1)) {
    const auto r = ReadMfd(std::string_view(file).substr(0, cut), read);
    ASSERT_FALSE(r.ok()) << cut;
    EXPECT_NE(KeloStatusFor(r.status), 0);
  }
  const std::size_t secondRecord = kMfdDataOffset + stream.size() / 3;
  const auto cut = ReadMfd(std::string_view(file).substr(0, secondRecord + 40), read);
  EXPECT_EQ(cut.status, FileStatus::kTruncated);
  EXPECT_EQ(read.header.serial, "TV0100000000123");

  // A length that claims more than the file holds.
  std::string big = file;
  big[kMfdDataOffset + 1] = '\xFF';
  big[kMfdDataOffset + 4] = '\x7F';
  EXPECT_EQ(ReadMfd(big, read).status, FileStatus::kTruncated);

  // A document whose line count runs past its own record.
  MfdContents one;
  one.header = SampleMfd().header;
  one.entries.emplace_back(MfdDocument{1, 1, At(1, 12), DocumentKind::kSale, {"A"}});
  std::string lying = MfdFrameBytes(MfdStreamBytes(one));
  // Header record: 5 bytes of type and length, then 59 bytes of payload for this header.
  const std::size_t headerPayload = 1 + (2 + 15) + (2 + 4) + (2 + 8) + 2 + 1 + 4 + 4 + 7 + 7;
  const std::size_t doc = kMfdDataOffset + 5 + headerPayload + 2;
  Patch(lying, doc, doc + 5 + 4 + 2 + 7 + 1, '\x50');
  const auto r = ReadMfd(lying, read);
  EXPECT_EQ(r.status, FileStatus::kCorrupt);
  EXPECT_EQ(r.offset, doc);

  // A broken frame, an impossible date, a wrong end count.
  std::string frame = file;
  frame[100] = 0;
  EXPECT_EQ(ReadMfd(frame, read).status, FileStatus::kWrongFormat);
  std::string date = file;
  Patch(date, kMfdDataOffset, kMfdDataOffset + 5 + 1 + 17 + 6 + 10 + 2 + 1 + 4 + 4 + 2, 13);  // month
  EXPECT_EQ(ReadMfd(date, read).status, FileStatus::kCorrupt);
  std::string count = file;
  const std::size_t end = kMfdDataOffset + stream.size() - 11;
  Patch(count, end, end + 5, static_cast<char>(count[end + 5] ^ 1));
  EXPECT_EQ(ReadMfd(count, read).status, FileStatus::kCorrupt);
  std::string flipped = file;  // any changed byte breaks its record's check
  flipped[doc + 20] ^= 0x10;
  const auto bad = ReadMfd(flipped, read);
  EXPECT_EQ(bad.status, FileStatus::kCorrupt);
  EXPECT_EQ(bad.offset, doc);
}

TEST(MemoryFiles, MissingSerialIsStatusTwo) {
  MfdContents c = SampleMfd();
  c.header.serial.clear();
  MfdContents read;
  const auto r = ReadMfd(MfdFrameBytes(MfdStreamBytes(c)), read);
  EXPECT_EQ(r.status, FileStatus::kNoSerial);
  EXPECT_EQ(KeloStatusFor(r.status), 2);
  EXPECT_EQ(read.entries.size(), c.entries.size());

  MfContents m = SampleMf();
  m.header.serial.clear();
  MfContents mread;
  EXPECT_EQ(KeloStatusFor(ReadMf(MfFileBytes(m), mread).status), 2);
}

TEST(MemoryFiles, MfRoundTripAndDamage) {
  const MfContents written = SampleMf();
  const std::string file = MfFileBytes(written);
  MfContents read;
  ASSERT_TRUE(ReadMf(file, read).ok());
  EXPECT_EQ(read, written);
  EXPECT_EQ(MfBodySize(file + std::string(128, 'S')), file.size());
  for (std::size_t cut = 0; cut < file.size(); ++cut)
    ASSERT_FALSE(ReadMf(std::string_view(file).substr(0, cut), read).ok()) << cut;

  std::string rate = file;
  Patch(rate, 4 + 5 + (2 + 15) + (2 + 4) + (2 + 8) + 2 + (2 + 18) + (2 + 15) + 7 + 2, rate.find("1800"), 'X');
  EXPECT_EQ(ReadMf(rate, read).status, FileStatus::kCorrupt);
  EXPECT_EQ(read.entries.size(), 0u);
}

TEST(MemoryFiles, ImageAndKeyFilesRoundTrip) {
  const SbImage image{"010014", "ZT-300 A", "TV01", std::string("\0\1\2firmware", 11)};
  SbImage readImage;
  const std::string bin = SbImageBytes(image);
  ASSERT_TRUE(ReadSbImage(bin + std::string(128, 'S'), readImage).ok());
  EXPECT_EQ(readImage, image);
  EXPECT_EQ(ReadSbImage(bin.substr(0, bin.size() - 1), readImage).status, FileStatus::kTruncated);

  const KeyFile key{KeyKind::kMpk, "TV01", At(7, 12), std::string(32, 'd'), "2", "000001", "000009", "001"};
  KeyFile readKey;
  const std::string kf = KeyFileBytes(key);
  ASSERT_TRUE(ReadKeyFile(kf, readKey).ok());
  EXPECT_EQ(readKey, key);
  std::string kind = kf;
  kind[4] = 9;
  EXPECT_EQ(ReadKeyFile(kind, readKey).status, FileStatus::kCorrupt);
}

TEST(MemoryFiles, SignatureVerifiesAgainstThePublicKeyFile) {
  const std::string pem = sim::PrinterKeyPem();
  const std::string modulus = ModulusOfPrivateKey(pem);
  ASSERT_EQ(modulus.size(), kModulusSize);

  PublicKeyFile pub{modulus, "KELO", "ZT-300 A", "TV0100000000123", At(7, 12)};
  const std::string text = PublicKeyFileText(pub);
  std::string readModulus, line2, line3;
  ASSERT_TRUE(ReadPublicKeyText(text, readModulus, &line2, &line3).ok());
  EXPECT_EQ(readModulus, modulus);
  EXPECT_EQ(line2, "KELO ZT-300 A N/S TV0100000000123");
  EXPECT_EQ(line3, "Fecha: 07/12/2026");
  EXPECT_EQ(text.substr(0, 256), HexText(modulus));
  EXPECT_EQ(text.substr(0, 256).find_first_of("abcdef"), std::string::npos);

  const std::string body = MfFileBytes(SampleMf());
  const std::string signature = SignBody(body, pem);
  ASSERT_EQ(signature.size(), kSignatureSize);
  EXPECT_TRUE(VerifySignedFile(body + signature, readModulus));
  std::string changed = body + signature;
  changed[7] ^= 0x01;
  EXPECT_FALSE(VerifySignedFile(changed, readModulus));
  std::string otherKey = readModulus;
  otherKey[127] ^= 0x02;
  EXPECT_FALSE(VerifySignedFile(body + signature, otherKey));
  EXPECT_FALSE(VerifySignedFile("short", readModulus));
}

TEST(MemoryFiles, PublicKeyTextRefusals) {
  std::string m;
  const std::string key(256, 'A');
  EXPECT_TRUE(ReadPublicKeyText(key + "\nL2\nL3", m).ok());  // LF only, no final line end
  EXPECT_EQ(ReadPublicKeyText(key + "\r\nL2\r\n", m).status, FileStatus::kTruncated);
  EXPECT_EQ(ReadPublicKeyText(key.substr(1) + "\r\nL2\r\nL3\r\n", m).status, FileStatus::kWrongFormat);
  EXPECT_EQ(ReadPublicKeyText("7" + key.substr(1) + "\r\nL2\r\nL3\r\n", m).status, FileStatus::kWrongFormat);
  const FileReadResult notHex = ReadPublicKeyText(key.substr(0, 255) + "G\r\nL2\r\nL3\r\n", m);
  EXPECT_EQ(notHex.status, FileStatus::kWrongFormat);
  EXPECT_EQ(notHex.offset, 254u);  // the digit pair that holds it
  EXPECT_TRUE(m.empty());
}

TEST(MemoryFiles, PrinterSignaturesNeedA1024BitKeyOtherSignaturesDoNot) {
  std::string pem, modulus;
  ASSERT_TRUE(GenerateRsaKey(2048, pem, modulus));
  EXPECT_EQ(modulus.size(), 256u);
  EXPECT_EQ(RsaModulusOf(pem), modulus);
  EXPECT_TRUE(ModulusOfPrivateKey(pem).empty());
  EXPECT_TRUE(SignBody("body", pem).empty());
  std::string signature;
  ASSERT_TRUE(SignRsaSha256(pem, "body", signature));
  EXPECT_EQ(signature.size(), 256u);
  EXPECT_FALSE(SignRsaSha256("not a key", "body", signature));
  EXPECT_TRUE(signature.empty());
}

}  // namespace
}  // namespace tervane::vendor
