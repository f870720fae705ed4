// RSA signing for the files the libraries make (the EAD line) and key pairs for tests:
// PKCS#1 v1.5 over SHA-256, public exponent 65537, any key size. Checking the printer's
// signatures is vendor/formats/signature.h.
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

// Signs `data` with the private key given as PEM text. Returns false (and leaves
// `signature` empty) when the key cannot be read or the signing fails.
bool SignRsaSha256(std::string_view privateKeyPem, std::string_view data, std::string& signature);

// Makes a new key pair of `bits` bits (exponent 65537): the private key as PEM text and
// the modulus as big-endian bytes. Returns false when OpenSSL cannot make one.
bool GenerateRsaKey(int bits, std::string& privateKeyPem, std::string& modulus);

// The modulus of a private key given as PEM text (big-endian bytes); empty on failure.
std::string RsaModulusOf(std::string_view privateKeyPem);

}  // namespace tervane
