// Character sets. Text inside the core is Windows-1252, one byte per character; the
// printer speaks code page 850 for 47 accented letters; the edges (Qt, terminal, XML)
// speak UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace tervane {

// Windows-1252 to UTF-8. Never fails: every byte has a meaning (the five bytes that
// Windows-1252 leaves undefined, 81h 8Dh 8Fh 90h 9Dh, map to U+0081 and so on).
std::string Cp1252ToUtf8(std::string_view text);

// UTF-8 to Windows-1252. Returns false when the input is not valid UTF-8 or holds a
// character that Windows-1252 cannot hold; `out` then holds what was converted before
// that point and `badOffset` (when given) the byte offset of the offending sequence.
bool Utf8ToCp1252(std::string_view text, std::string& out, size_t* badOffset = nullptr);

// UTF-8 to Windows-1252 for texts that come from a person at the edge (a command-line
// argument, a widget). A character Windows-1252 cannot hold becomes '?'; callers that
// must not lose text use Utf8ToCp1252 instead.
std::string Utf8ToCp1252Lossy(std::string_view text);

// A UTF-8 literal of the program's own (a message, a label) in the core's encoding.
inline std::string Cp(std::string_view utf8) { return Utf8ToCp1252Lossy(utf8); }

// True when the bytes are valid UTF-8.
bool IsValidUtf8(std::string_view text);

// Decodes the UTF-8 sequence that starts at text[i]: returns its length in bytes and
// sets `codePoint`, or returns 0 when the sequence is invalid (truncated, overlong, a
// surrogate or beyond U+10FFFF) or i is past the end.
size_t DecodeUtf8Char(std::string_view text, size_t i, char32_t& codePoint);

// The Windows-1252 byte of a code point, or -1 when Windows-1252 cannot hold it. The
// five bytes Windows-1252 leaves undefined answer for U+0081, U+008D, U+008F, U+0090
// and U+009D; the other code points U+0080..U+009F have no byte.
int Cp1252ByteOf(char32_t codePoint);

// The 47-letter conversion between Windows-1252 and code page 850, in place. Bytes
// below 80h and every other byte are left unchanged. FromPrinterCharset turns each of
// the 47 code page 850 codes back into its letter, so it undoes ToPrinterCharset for
// text made of those letters and of bytes that neither table names; a byte that is a
// code page 850 code without being one of the letters (87h, say) is still turned into
// the letter.
void ToPrinterCharset(std::string& text);
void FromPrinterCharset(std::string& text);
unsigned char ToPrinterByte(unsigned char c);
unsigned char FromPrinterByte(unsigned char c);

// Renders a received byte for display: bytes below 60h unchanged, the rest through the
// code page 850 table shown in Windows-1252 (box drawing as "_", "¦", "+", "-").
unsigned char DisplayByte(unsigned char c);

}  // namespace tervane
