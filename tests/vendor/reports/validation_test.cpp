// Signature checks of downloaded files and of MFD files rebuilt from symbols, through the
// library's entry points, against keys made for the test.
#include <gtest/gtest.h>

#include <string>

#include "vendor/pdf417/mfd_layout.h"
#include "vendor/validate/file_validation.h"
#include "core/common/text.h"
#include "vendor/formats/signature.h"
#include "vendor/reports/vendor_test_files.h"

namespace tervane {
namespace {

using vendortest::KeloLibrary;
using vendortest::ReadBytes;
using vendortest::ScratchFolder;
using vendortest::WriteBytes;

class Validation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(vendor::GenerateRsaKey(1024, privateKey_, modulus_));
    ASSERT_EQ(modulus_.size(), 128u);
  }

  void SetUp() override {
    WriteBytes(folder_ / "key.pub", HexText(modulus_) + "\r\nline two\r\nFecha 01/02/2026\r\n");
  }

  static std::string Signed(const std::string& content) {
    std::string signature;
    EXPECT_TRUE(vendor::SignRsaSha256(privateKey_, content, signature));
    return content + signature;
  }

  int Validate(const std::string& file) {
    return validate_(file.c_str(), (folder_ / "key.pub").c_str());
  }
  int ValidatePdf417(const std::string& file, const std::string& rsa) {
    return validatePdf417_(file.c_str(), rsa.c_str(), (folder_ / "key.pub").c_str());
  }

  static inline std::string privateKey_;
  static inline std::string modulus_;
  ScratchFolder folder_;
  KeloLibrary library_;
  int (*validate_)(const char*, const char*) =
      library_.Entry<int(const char*, const char*)>("KeloValidate");
  int (*validatePdf417_)(const char*, const char*, const char*) =
      library_.Entry<int(const char*, const char*, const char*)>("KeloValidatePDF417");
};

TEST_F(Validation, SignedFileIsValidAndAnyChangedByteFails) {
  const std::string file = folder_ / "memory.mfd";
  const std::string content = Signed(std::string(5000, '\xFF') + "documents");
  WriteBytes(file, content);
  EXPECT_EQ(Validate(file), kValidationOk);

  for (size_t at : {size_t{0}, size_t{4999}, content.size() - 1}) {  // data and signature
    std::string changed = content;
    changed[at] ^= 0x01;
    WriteBytes(file, changed);
    EXPECT_EQ(Validate(file), kValidationMismatch) << at;
  }
  WriteBytes(file, content + "x");
  EXPECT_EQ(Validate(file), kValidationMismatch);
}

TEST_F(Validation, ShortFilesBadKeysAndMissingFilesGiveTheirStatus) {
  const std::string file = folder_ / "f.bin";
  WriteBytes(file, Signed("firmware"));
  WriteBytes(folder_ / "short.bin", std::string(128, 'a'));
  EXPECT_EQ(Validate(folder_ / "short.bin"), kValidationMalformed);
  EXPECT_EQ(Validate(folder_ / "missing.bin"), kValidationCannotRead);
  EXPECT_EQ(validate_(file.c_str(), (folder_ / "missing.pub").c_str()), kValidationCannotRead);
  EXPECT_EQ(validate_(nullptr, nullptr), kValidationCannotRead);

  const std::string hex = HexText(modulus_);
  const std::string badKeys[] = {hex.substr(1), hex + "0", hex.substr(0, 255) + "G", "", "\r\n"};
  for (const std::string& line1 : badKeys) {
    WriteBytes(folder_ / "key.pub", line1 + "\r\nrest\r\n");
    EXPECT_EQ(Validate(file), kValidationMalformed) << line1;
  }
  // Another printer's key: well formed, but the signature is not its.
  std::string otherKey, otherModulus;
  ASSERT_TRUE(vendor::GenerateRsaKey(1024, otherKey, otherModulus));
  WriteBytes(folder_ / "key.pub", HexText(otherModulus) + "\nKELO\nFecha: 01/01/2026\n");
  EXPECT_EQ(Validate(file), kValidationMismatch);
}

TEST_F(Validation, RebuiltMfdIsCheckedAgainstTheSignatureOfItsDataRegion) {
  const std::string data(3000, 'd');
  const std::string mfd = folder_ / "scan.mfd";
  WriteBytes(mfd, BuildPdf417MfdFile(data));
  std::string signature;
  ASSERT_TRUE(vendor::SignRsaSha256(privateKey_, data, signature));
  // As captured: the hex digits, then the zero bytes of the last symbol's padding.
  const std::string rsa = folder_ / "scan.rsa";
  WriteBytes(rsa, HexText(signature) + "\r\n" + std::string(20, '\0'));
  EXPECT_EQ(ValidatePdf417(mfd, rsa), kValidationOk);

  std::string changed = BuildPdf417MfdFile(data);
  changed[kMfdDataStart + 10] = 'x';
  WriteBytes(folder_ / "changed.mfd", changed);
  EXPECT_EQ(ValidatePdf417(folder_ / "changed.mfd", rsa), kValidationMismatch);

  // The trailing-signature form of a downloaded file is not a rebuilt MFD.
  WriteBytes(folder_ / "downloaded.mfd", Signed(data));
  EXPECT_EQ(ValidatePdf417(folder_ / "downloaded.mfd", rsa), kValidationMalformed);
  std::string badHeader = BuildPdf417MfdFile(data);
  badHeader[kMfdErasedPrefixSize + 1] = 'Q';
  WriteBytes(folder_ / "header.mfd", badHeader);
  EXPECT_EQ(ValidatePdf417(folder_ / "header.mfd", rsa), kValidationMalformed);

  WriteBytes(folder_ / "short.rsa", HexText(signature).substr(2));
  EXPECT_EQ(ValidatePdf417(mfd, folder_ / "short.rsa"), kValidationMalformed);
  WriteBytes(folder_ / "binary.rsa", signature);
  EXPECT_EQ(ValidatePdf417(mfd, folder_ / "binary.rsa"), kValidationMalformed);
  EXPECT_EQ(ValidatePdf417(mfd, folder_ / "none.rsa"), kValidationCannotRead);
}

}  // namespace
}  // namespace tervane
