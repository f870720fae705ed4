// Checking the printer's signatures on downloaded files and on MFD files rebuilt from
// PDF-417 symbols.
//
// A downloaded file (.mf, .mfd, .mpk, .mfk, .sbk, .bin) ends with a 128-byte signature of
// every byte before it. An MFD file rebuilt from symbols carries no signature of its own:
// the printer prints a second set of symbols whose data is the signature of the MFD data
// region as 256 hexadecimal digits, captured into an .rsa file (a text file; blanks and
// line ends around the digits are ignored, and so are the zero bytes a capture may leave).
// The public key is line 1 of a .pub file: the modulus as 256 hexadecimal digits.
#pragma once

#include <string>

namespace tervane {

enum ValidationStatus : int {
  kValidationOk = 0,
  kValidationMismatch = 1,     // well formed, but the signature does not match
  kValidationCannotRead = 4,   // a file cannot be read
  kValidationMalformed = 6,    // a file is too short or not laid out as expected
};

// Reads the modulus from line 1 of a .pub file (256 hexadecimal digits of a 1024-bit key;
// lines 2 and 3 must be present). Returns kValidationOk, kValidationCannotRead, or
// kValidationMalformed (with `modulus` empty).
int ReadPublicKeyModulus(const std::string& pubPath, std::string& modulus);

// Checks a downloaded file's trailing signature. Returns a ValidationStatus: Ok only for a
// valid signature; Malformed for a file of 128 bytes or less or a bad .pub.
int ValidateSignedFile(const std::string& filePath, const std::string& pubPath);

// Checks an MFD file rebuilt from symbols against the signature in `rsaPath`. Returns a
// ValidationStatus: Ok only for a valid signature; Malformed when the MFD file is not laid
// out as a rebuilt one, the .rsa does not hold 256 hexadecimal digits, or the .pub is bad.
int ValidatePdf417File(const std::string& mfdPath, const std::string& rsaPath,
                       const std::string& pubPath);

}  // namespace tervane
