// The digest written beside a fiscal-memory report: "<report name> MD5: <32 hex digits>".
#pragma once

#include <string>

namespace tervane {

// The digest file of a report: the report's path without its last 4 characters (only
// when the path is longer than 4), followed by "_MD5.txt".
std::string ReportDigestPath(const std::string& reportPath);

// The MD5 digest (RFC 1321) of a file's bytes as 32 lower-case hexadecimal digits.
// Returns false, with `error` (when given) saying why, when the file cannot be read;
// `hex` is then empty.
bool Md5OfFile(const std::string& path, std::string& hex, std::string* error = nullptr);

// Writes the digest file of `reportPath`: the report's file name without its folder,
// " MD5: " and its digest, with no line end; saved atomically. Returns false, with
// `error` saying why, when the report cannot be read or the digest cannot be saved (no
// digest file is then left behind by this call). `digestPath` (when given) receives the
// digest file's path either way.
bool WriteReportDigest(const std::string& reportPath, std::string* digestPath = nullptr,
                       std::string* error = nullptr);

}  // namespace tervane
