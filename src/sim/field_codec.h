// Reading parameter fields out of a frame and writing reply fields: ASCII digits, texts,
// packed BCD and the printer's texts (code page 850 letters).
#pragma once

#include <cstdint>
#include <string>

#include "sim/sim_frame.h"

namespace tervane::sim {

// The n bytes at `offset` as text. Bytes past the end are left out.
std::string FieldText(const Bytes& params, std::size_t offset, std::size_t n);

// The n bytes at `offset` read as decimal digits. Returns false (value untouched) when
// any of them is not a digit or the field runs past the end.
bool FieldDigits(const Bytes& params, std::size_t offset, std::size_t n, std::int64_t* value);

// True when every byte of the text is an ASCII digit (and there is at least one).
bool AllDigits(const std::string& text);

// Appends `value` as 2 * bytes packed BCD digits, high digit first (the value is cut to
// the digits that fit).
void PutBcd(Bytes& out, std::int64_t value, int bytes);

// Appends a text, padded with `fill` or cut to `width` bytes.
void PutText(Bytes& out, const std::string& text, std::size_t width, char fill = ' ');

// Appends a 16-bit number, low byte first.
void PutWord(Bytes& out, unsigned value);

// A UTF-8 literal turned into the printer's bytes (Windows-1252, then the 47 letters in
// code page 850).
std::string PrinterText(const std::string& utf8);

// Makes a text safe inside an open reply: control bytes other than LF become spaces, so
// the terminator (03h or 00h) can appear only at the end.
std::string OpenReplyText(const std::string& text);

}  // namespace tervane::sim
