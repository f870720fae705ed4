#include "core/fiscalmemory/memory_digest.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/common/atomic_file.h"
#include "core/common/text.h"

namespace tervane {
namespace {

constexpr size_t kSuffixCut = 4;  // ".txt" or any other 4 characters
constexpr size_t kChunk = 64 * 1024;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
struct DigestFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

}  // namespace

std::string ReportDigestPath(const std::string& reportPath) {
  std::string base = reportPath;
  if (base.size() > kSuffixCut) base.resize(base.size() - kSuffixCut);
  return base + "_MD5.txt";
}

bool Md5OfFile(const std::string& path, std::string& hex, std::string* error) {
  hex.clear();
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    if (error) *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  std::unique_ptr<EVP_MD_CTX, DigestFree> context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) {
    if (error) *error = "MD5 is not available";
    return false;
  }
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunk]);
  size_t n = 0;
  while ((n = std::fread(buffer.get(), 1, kChunk, file.get())) > 0) {
    EVP_DigestUpdate(context.get(), buffer.get(), n);
  }
  if (std::ferror(file.get())) {
    if (error) *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) {
    if (error) *error = "MD5 failed";
    return false;
  }
  hex = HexText(std::string_view(reinterpret_cast<const char*>(digest), length), HexCase::kLower);
  return true;
}

bool WriteReportDigest(const std::string& reportPath, std::string* digestPath, std::string* error) {
  const std::string target = ReportDigestPath(reportPath);
  if (digestPath) *digestPath = target;
  std::string hex;
  if (!Md5OfFile(reportPath, hex, error)) return false;
  const size_t slash = reportPath.find_last_of('/');
  const std::string name = slash == std::string::npos ? reportPath : reportPath.substr(slash + 1);
  return SaveFileAtomically(target, name + " MD5: " + hex, error);
}

}  // namespace tervane
