// The signature every downloaded binary file ends with: RSA PKCS#1 v1.5 over the SHA-256
// digest of all the bytes before it, made with the printer's 1024-bit key (public
// exponent 65537), 128 bytes, most significant byte first.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tervane::vendor {

inline constexpr std::size_t kSignatureSize = 128;
inline constexpr std::size_t kModulusSize = 128;

// Signs `body` with a PEM-encoded RSA private key. Returns the 128-byte signature, or an
// empty text when the key cannot be read or is not a 1024-bit RSA key.
std::string SignBody(std::string_view body, std::string_view privateKeyPem);

// The modulus (128 bytes, big-endian) of a PEM-encoded RSA private key; empty on failure.
std::string ModulusOfPrivateKey(std::string_view privateKeyPem);

// True when `signature` is a valid signature of `body` under the key with this modulus
// (128 bytes, big-endian) and exponent 65537. False for any other length or a bad key.
bool VerifyBody(std::string_view body, std::string_view signature, std::string_view modulus);

// Splits a signed file into body and signature and verifies it. False when the file is
// shorter than a signature or the signature does not verify.
bool VerifySignedFile(std::string_view fileBytes, std::string_view modulus);

// SHA-256 of `bytes` (32 bytes); empty when the digest cannot be made.
std::string Sha256(std::string_view bytes);

}  // namespace tervane::vendor
