// Turning a CommandRecord with its parameter values into the exact bytes of a frame:
// STX, length, ESC or FS, the command bytes, the encoded parameters, a 16-bit sum.
#pragma once

#include <cstdint>
#include <string>

#include "core/common/settings.h"
#include "core/catalogue/command_record.h"
#include "core/common/clock.h"

namespace tervane {

// Copies count bytes to the end of the buffer. Returns false (and copies nothing) when
// they would not fit in the 4096 bytes.
bool AppendBytes(FrameBuffer& buffer, const std::uint8_t* bytes, size_t count);

// Requires length >= 3. Writes STX and L = length - 1 at offsets 0-2 and appends the
// checksum (sum of the body bytes modulo 65536, low byte first). Returns false, leaving the
// buffer unchanged, when the length is below 3 or the checksum would not fit.
bool FinalizeFrame(FrameBuffer& buffer);

// Appends the bytes of every parameter to the command's frame. Returns 0, -2 (mandatory
// parameter empty) or -3 (wrong size, or the frame would pass 4096 bytes); on failure one
// message has been appended to ResultText, ExpectedReplyLength set back to
// declaredReturnSize and the frame length set back to what it was on entry. Values that
// the encoding rewrites (padding, removed separators, fresh random values) stay rewritten
// in the parameters, also on failure.
int EncodeParameters(CommandRecord& command, Clock& clock = SystemClock());

// Frame assembly: header, escape bytes, parameters, checksum; sets StatusBlockLength and
// ExpectedReplyLength (declaredReturnSize + StatusBlockLength). Returns 0, -1 (the
// command's escape text lies outside the format: its escapeError is appended to
// ResultText), -2 or -3. On failure nothing is to be sent: the frame length is 0 and
// ExpectedReplyLength equals declaredReturnSize, so the record can be framed again.
int AssembleFrame(CommandRecord& command, const ProgramSettings& settings, Clock& clock = SystemClock());

// The message appended to ResultText when the parameters would make the frame pass its
// 4096 bytes (Windows-1252).
const std::string& FrameTooLongText();

// The message appended when a record's escape byte count is outside 0-12 and it carries
// no escapeError of its own.
const std::string& InvalidEscapeText();

// True when the reply is an open one ended by 03h: declaredReturnSize -1, or a
// fiscal-memory read (first escape byte 08h) whose frame byte 17 is "R" or "r".
bool IsOpenEtxReply(const CommandRecord& command);

}  // namespace tervane
