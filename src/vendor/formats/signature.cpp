#include "vendor/formats/signature.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>

#include <memory>
#include <utility>

namespace tervane::vendor {

namespace {

struct Free {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
  void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
  void operator()(BIO* p) const { BIO_free(p); }
  void operator()(BIGNUM* p) const { BN_free(p); }
  void operator()(OSSL_PARAM_BLD* p) const { OSSL_PARAM_BLD_free(p); }
  void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

// The RSA private key of PEM text; null when it cannot be read, is not RSA, or (with
// `bits` other than 0) is not of that size.
Owned<EVP_PKEY> ReadRsaPrivateKey(std::string_view pem, int bits) {
  Owned<BIO> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) return nullptr;
  Owned<EVP_PKEY> key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
  if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA ||
      (bits != 0 && EVP_PKEY_get_bits(key.get()) != bits))
    return nullptr;
  return key;
}

// The modulus of a key as big-endian bytes, without leading zeros; empty on failure.
std::string ModulusBytes(const EVP_PKEY* key) {
  BIGNUM* raw = nullptr;
  if (!EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_N, &raw)) return {};
  Owned<BIGNUM> n(raw);
  std::string modulus(static_cast<std::size_t>(BN_num_bytes(n.get())), '\0');
  BN_bn2bin(n.get(), reinterpret_cast<unsigned char*>(modulus.data()));
  return modulus;
}

bool SignWith(EVP_PKEY* key, std::string_view data, std::string& signature) {
  signature.clear();
  Owned<EVP_MD_CTX> md(EVP_MD_CTX_new());
  if (!key || !md || EVP_DigestSignInit(md.get(), nullptr, EVP_sha256(), nullptr, key) <= 0)
    return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  size_t size = 0;
  if (EVP_DigestSign(md.get(), nullptr, &size, bytes, data.size()) <= 0) return false;
  std::string out(size, '\0');
  if (EVP_DigestSign(md.get(), reinterpret_cast<unsigned char*>(out.data()), &size, bytes,
                     data.size()) <= 0)
    return false;
  out.resize(size);
  signature = std::move(out);
  return true;
}

Owned<EVP_PKEY> PublicKey(std::string_view modulus) {
  if (modulus.size() != kModulusSize) return nullptr;
  Owned<BIGNUM> n(BN_bin2bn(reinterpret_cast<const unsigned char*>(modulus.data()),
                            static_cast<int>(modulus.size()), nullptr));
  Owned<BIGNUM> e(BN_new());
  Owned<OSSL_PARAM_BLD> build(OSSL_PARAM_BLD_new());
  if (!n || !e || !build || !BN_set_word(e.get(), kRsaPublicExponent) ||
      !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) ||
      !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e.get()))
    return nullptr;
  Owned<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(build.get()));
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* key = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) <= 0 ||
      EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) <= 0)
    return nullptr;
  return Owned<EVP_PKEY>(key);
}

}  // namespace

bool SignRsaSha256(std::string_view privateKeyPem, std::string_view data, std::string& signature) {
  return SignWith(ReadRsaPrivateKey(privateKeyPem, 0).get(), data, signature);
}

std::string SignBody(std::string_view body, std::string_view privateKeyPem) {
  std::string signature;
  if (!SignWith(ReadRsaPrivateKey(privateKeyPem, 1024).get(), body, signature) ||
      signature.size() != kSignatureSize)
    return {};
  return signature;
}

std::string RsaModulusOf(std::string_view privateKeyPem) {
  Owned<EVP_PKEY> key = ReadRsaPrivateKey(privateKeyPem, 0);
  return key ? ModulusBytes(key.get()) : std::string();
}

std::string ModulusOfPrivateKey(std::string_view privateKeyPem) {
  Owned<EVP_PKEY> key = ReadRsaPrivateKey(privateKeyPem, 1024);
  std::string modulus = key ? ModulusBytes(key.get()) : std::string();
  return modulus.size() == kModulusSize ? modulus : std::string();
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
  modulus = ModulusBytes(key.get());
  return !modulus.empty();
}

bool VerifyBody(std::string_view body, std::string_view signature, std::string_view modulus) {
  if (signature.size() != kSignatureSize) return false;
  Owned<EVP_PKEY> key = PublicKey(modulus);
  Owned<EVP_MD_CTX> md(EVP_MD_CTX_new());
  if (!key || !md || EVP_DigestVerifyInit(md.get(), nullptr, EVP_sha256(), nullptr, key.get()) <= 0)
    return false;
  return EVP_DigestVerify(md.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                          signature.size(), reinterpret_cast<const unsigned char*>(body.data()),
                          body.size()) == 1;
}

bool VerifySignedFile(std::string_view fileBytes, std::string_view modulus) {
  if (fileBytes.size() < kSignatureSize) return false;
  const std::size_t bodySize = fileBytes.size() - kSignatureSize;
  return VerifyBody(fileBytes.substr(0, bodySize), fileBytes.substr(bodySize), modulus);
}

std::string Sha256(std::string_view bytes) {
  std::string digest(32, '\0');
  unsigned int size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), reinterpret_cast<unsigned char*>(digest.data()), &size,
                 EVP_sha256(), nullptr) != 1 ||
      size != 32)
    return {};
  return digest;
}

}  // namespace tervane::vendor
