// RSA signatures of the memory files: PKCS#1 v1.5 over SHA-256, public exponent 65537.
// Printers sign with 1024-bit keys; nothing here depends on the size beyond the checks
// that a signature is as long as the modulus.
#pragma once

#include <string>
#include <string_view>

namespace tervane {

constexpr int kRsaPublicExponent = 65537;
constexpr size_t kPrinterSignatureSize = 128;        // bytes, for a 1024-bit key
constexpr size_t kPrinterModulusHexDigits = 256;     // line 1 of a .pub file

// Decodes a run of hexadecimal digits (either case) into bytes. Returns false (and
// leaves `bytes` empty) for an odd count or any other character.
bool HexToBytes(std::string_view hex, std::string& bytes);

// The bytes as upper-case hexadecimal digits.
std::string BytesToHex(std::string_view bytes);

// Checks `signature` over `data` against the public key (`modulus` big-endian bytes,
// exponent 65537). Returns true only for a valid signature; a malformed key or a
// signature of the wrong length is simply not valid.
bool VerifyRsaSha256(std::string_view modulus, std::string_view data, std::string_view signature);

// Signs `data` with the private key given as PEM text. Returns false (and leaves
// `signature` empty) when the key cannot be read or the signing fails.
bool SignRsaSha256(std::string_view privateKeyPem, std::string_view data, std::string& signature);

// Makes a new key pair of `bits` bits (exponent 65537): the private key as PEM text and
// the modulus as big-endian bytes. Returns false when OpenSSL cannot make one.
bool GenerateRsaKey(int bits, std::string& privateKeyPem, std::string& modulus);

// The modulus of a private key given as PEM text (big-endian bytes); empty on failure.
std::string RsaModulusOf(std::string_view privateKeyPem);

}  // namespace tervane
