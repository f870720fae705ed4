// RSA PKCS#1 v1.5 signatures over SHA-256, public exponent 65537: the signature every
// downloaded binary file ends with (made with the printer's 1024-bit key, 128 bytes, most
// significant byte first, over all the bytes before it), the libraries' EAD line, and
// the key pairs the tests make.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tervane::vendor {

inline constexpr int kRsaPublicExponent = 65537;
inline constexpr std::size_t kSignatureSize = 128;
inline constexpr std::size_t kModulusSize = 128;

// Signs `data` with an RSA private key of any size given as PEM text. Returns false (and
// leaves `signature` empty) when the key cannot be read, is not an RSA key, or the signing
// fails.
bool SignRsaSha256(std::string_view privateKeyPem, std::string_view data, std::string& signature);

// Signs `body` with a PEM-encoded RSA private key. Returns the 128-byte signature, or an
// empty text when the key cannot be read or is not a 1024-bit RSA key.
std::string SignBody(std::string_view body, std::string_view privateKeyPem);

// The modulus (big-endian bytes) of an RSA private key of any size given as PEM text;
// empty on failure.
std::string RsaModulusOf(std::string_view privateKeyPem);

// The modulus (128 bytes, big-endian) of a PEM-encoded RSA private key; empty on failure
// or when the key is not a 1024-bit RSA key.
std::string ModulusOfPrivateKey(std::string_view privateKeyPem);

// Makes a new key pair of `bits` bits (exponent 65537): the private key as PEM text and
// the modulus as big-endian bytes. Returns false when OpenSSL cannot make one.
bool GenerateRsaKey(int bits, std::string& privateKeyPem, std::string& modulus);

// True when `signature` is a valid signature of `body` under the key with this modulus
// (128 bytes, big-endian) and exponent 65537. False for any other length or a bad key.
bool VerifyBody(std::string_view body, std::string_view signature, std::string_view modulus);

// Splits a signed file into body and signature and verifies it. False when the file is
// shorter than a signature or the signature does not verify.
bool VerifySignedFile(std::string_view fileBytes, std::string_view modulus);

// SHA-256 of `bytes` (32 bytes); empty when the digest cannot be made.
std::string Sha256(std::string_view bytes);

}  // namespace tervane::vendor
