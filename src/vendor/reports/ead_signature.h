// The EAD line: the digital signature the libraries append to a text file they generated.
//
// The line is "EAD" followed by the signature as 256 upper-case hexadecimal digits and
// CR LF. The signature is RSA PKCS#1 v1.5 over the SHA-256 digest of every byte of the
// file before the EAD line (the file's text always ends with CR LF before it), made with
// the libraries' own 1024-bit key (public exponent 65537). The key identifies these
// libraries, not a printer, and is not secret: its modulus is EadPublicModulus() and is
// published in docs/fiscal-memory-reports.md so that anyone can check a file.
#pragma once

#include <string>
#include <string_view>

namespace tervane {

// The libraries' public modulus (128 bytes, big-endian).
std::string EadPublicModulus();

// The text with its EAD line: an EAD line already ending the text is replaced (so signing
// twice gives one line), a text not ending with CR LF gets one first. Returns an empty
// string when the signature cannot be made.
std::string WithEadLine(std::string_view text);

// True when `text` ends with an EAD line that signs everything before it under `modulus`.
bool HasValidEadLine(std::string_view text, const std::string& modulus = EadPublicModulus());

// Appends (or renews) the EAD line of the file at `path`, replacing it atomically. Returns
// false, leaving the file untouched, when it cannot be read (a file that does not exist is
// not created), signed or written.
bool SignFileWithEad(const std::string& path);

}  // namespace tervane
