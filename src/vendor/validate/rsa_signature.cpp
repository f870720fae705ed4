#include "vendor/validate/rsa_signature.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>
#include <vector>

namespace tervane {
namespace {

struct Free {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
  void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
  void operator()(BIGNUM* p) const { BN_free(p); }
  void operator()(BIO* p) const { BIO_free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

Owned<EVP_PKEY> PrivateKey(std::string_view pem) {
  Owned<BIO> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) return nullptr;
  return Owned<EVP_PKEY>(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
}

std::string ModulusOf(const EVP_PKEY* key) {
  BIGNUM* n = nullptr;
  if (!EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_N, &n)) return {};
  Owned<BIGNUM> owned(n);
  std::string bytes(static_cast<size_t>(BN_num_bytes(n)), '\0');
  BN_bn2bin(n, reinterpret_cast<unsigned char*>(bytes.data()));
  return bytes;
}

}  // namespace

bool HexToBytes(std::string_view hex, std::string& bytes) {
  bytes.clear();
  if (hex.size() % 2 != 0) return false;
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexValue(hex[i]);
    const int low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<char>(high * 16 + low));
  }
  bytes = std::move(out);
  return true;
}

std::string BytesToHex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 15]);
  }
  return hex;
}

bool SignRsaSha256(std::string_view privateKeyPem, std::string_view data, std::string& signature) {
  signature.clear();
  Owned<EVP_PKEY> key = PrivateKey(privateKeyPem);
  Owned<EVP_MD_CTX> context(EVP_MD_CTX_new());
  if (!key || !context ||
      EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) <= 0)
    return false;
  size_t size = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  if (EVP_DigestSign(context.get(), nullptr, &size, bytes, data.size()) <= 0) return false;
  std::string out(size, '\0');
  if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(out.data()), &size, bytes,
                     data.size()) <= 0)
    return false;
  out.resize(size);
  signature = std::move(out);
  return true;
}

bool GenerateRsaKey(int bits, std::string& privateKeyPem, std::string& modulus) {
  privateKeyPem.clear();
  modulus.clear();
  Owned<EVP_PKEY> key(EVP_RSA_gen(static_cast<unsigned>(bits)));
  if (!key) return false;
  Owned<BIO> bio(BIO_new(BIO_s_mem()));
  if (!bio || !PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr))
    return false;
  char* text = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &text);
  privateKeyPem.assign(text, static_cast<size_t>(size));
  modulus = ModulusOf(key.get());
  return !modulus.empty();
}

std::string RsaModulusOf(std::string_view privateKeyPem) {
  Owned<EVP_PKEY> key = PrivateKey(privateKeyPem);
  return key ? ModulusOf(key.get()) : std::string();
}

}  // namespace tervane
