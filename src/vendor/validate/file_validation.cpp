#include "vendor/validate/file_validation.h"

#include "core/common/atomic_file.h"
#include "core/common/text.h"
#include "vendor/formats/pub_file.h"
#include "vendor/formats/signature.h"
#include "vendor/pdf417/mfd_layout.h"

namespace tervane {

int ReadPublicKeyModulus(const std::string& pubPath, std::string& modulus) {
  const vendor::FileReadResult result = vendor::ReadPublicKeyFile(pubPath, modulus);
  if (result.ok()) return kValidationOk;
  modulus.clear();
  return result.status == vendor::FileStatus::kCannotOpen ? kValidationCannotRead
                                                          : kValidationMalformed;
}

int ValidateSignedFile(const std::string& filePath, const std::string& pubPath) {
  std::string bytes;
  if (!ReadWholeFile(filePath, bytes)) return kValidationCannotRead;
  std::string modulus;
  if (const int code = ReadPublicKeyModulus(pubPath, modulus); code != kValidationOk) return code;
  if (bytes.size() <= vendor::kSignatureSize) return kValidationMalformed;
  const std::string_view all(bytes);
  const size_t signedSize = all.size() - vendor::kSignatureSize;
  return vendor::VerifyBody(all.substr(0, signedSize), all.substr(signedSize), modulus)
             ? kValidationOk
             : kValidationMismatch;
}

int ValidatePdf417File(const std::string& mfdPath, const std::string& rsaPath,
                       const std::string& pubPath) {
  std::string file, rsaText;
  if (!ReadWholeFile(mfdPath, file) || !ReadWholeFile(rsaPath, rsaText))
    return kValidationCannotRead;
  std::string modulus;
  if (const int code = ReadPublicKeyModulus(pubPath, modulus); code != kValidationOk) return code;
  std::string_view data;
  if (!Pdf417MfdData(file, data)) return kValidationMalformed;
  std::string digits;
  for (char c : rsaText)
    if (c != '\0' && c != ' ' && c != '\t' && c != '\r' && c != '\n') digits.push_back(c);
  std::string signature;
  if (digits.size() != 2 * vendor::kSignatureSize || !HexToBytes(digits, signature))
    return kValidationMalformed;
  return vendor::VerifyBody(data, signature, modulus) ? kValidationOk : kValidationMismatch;
}

}  // namespace tervane
