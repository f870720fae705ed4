#include "vendor/validate/file_validation.h"

#include "common/atomic_file.h"
#include "vendor/pdf417/mfd_layout.h"
#include "vendor/validate/rsa_signature.h"

namespace tervane {

int ReadPublicKeyModulus(const std::string& pubPath, std::string& modulus) {
  modulus.clear();
  std::string text;
  if (!ReadWholeFile(pubPath, text)) return kValidationCannotRead;
  std::string_view line(text);
  line = line.substr(0, line.find('\n'));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() != kPrinterModulusHexDigits || !HexToBytes(line, modulus)) {
    modulus.clear();
    return kValidationMalformed;
  }
  return kValidationOk;
}

int ValidateSignedFile(const std::string& filePath, const std::string& pubPath) {
  std::string bytes;
  if (!ReadWholeFile(filePath, bytes)) return kValidationCannotRead;
  std::string modulus;
  if (const int code = ReadPublicKeyModulus(pubPath, modulus); code != kValidationOk) return code;
  if (bytes.size() <= kPrinterSignatureSize) return kValidationMalformed;
  const std::string_view all(bytes);
  const size_t signedSize = all.size() - kPrinterSignatureSize;
  return VerifyRsaSha256(modulus, all.substr(0, signedSize), all.substr(signedSize))
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
  if (digits.size() != 2 * kPrinterSignatureSize || !HexToBytes(digits, signature))
    return kValidationMalformed;
  return VerifyRsaSha256(modulus, data, signature) ? kValidationOk : kValidationMismatch;
}

}  // namespace tervane
