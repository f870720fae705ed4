// Small text helpers shared by every subsystem. Texts are Windows-1252 bytes.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace tervane {

// Reads a decimal integer by the rules of the C library's atoi: leading white space
// skipped, an optional sign, digits up to the first non-digit, 0 when there are none.
// Values beyond the int range saturate instead of being undefined.
int Atoi(std::string_view text);

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);

// Replaces every occurrence of `from` (non-empty) by `to`.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to);

// Removes every occurrence of the character c.
void RemoveAll(std::string& text, char c);

// Pads on the left (right) with `fill` up to `width` characters; longer texts are kept.
std::string PadLeft(std::string_view text, size_t width, char fill);
std::string PadRight(std::string_view text, size_t width, char fill);

// Which letters hexadecimal text is written with.
enum class HexCase { kUpper, kLower };

// Two hexadecimal digits a byte, most significant first: "0A1B" (or "0a1b").
std::string HexText(std::string_view bytes, HexCase letters = HexCase::kUpper);

// Upper-case two-digit hexadecimal of a byte, e.g. "0A".
std::string HexByte(unsigned char b);

// The value of a hexadecimal digit of either case, or -1 for any other character.
int HexDigitValue(char c);

// Decodes a run of hexadecimal digits (either case) into bytes. Returns false (and
// leaves `bytes` empty) for an odd count or any other character.
bool HexToBytes(std::string_view hex, std::string& bytes);

// The nibble rule of the printer protocol: a character's low four bits, plus 9 when it
// lies between 3Ah and 46h, so "0"-"9" and "A"-"F" read as hexadecimal and lower-case
// letters do not.
unsigned char HexNibble(unsigned char c);

// The text without the white space (isspace) at either end.
std::string_view TrimBlanks(std::string_view text);

// The text without the spaces at either end: fixed-width fields pad with spaces.
std::string TrimSpaces(std::string_view text);

// The text without its trailing spaces: the printer pads names to their field's width.
std::string Unpadded(std::string_view text);

// ASCII letters lowered; other bytes (Windows-1252 accents) unchanged.
std::string ToLowerAscii(std::string text);

// Orders "ttyS2" before "ttyS10": names compare by their text before the trailing digits,
// then by the digits as a number (at most nine of them are read, so none overflows).
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace tervane
