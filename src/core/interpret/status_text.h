// Status bytes and extended error codes into Portuguese message lines.
#pragma once

#include <string>

namespace tervane {

// "COMANDO OK" when both are 0; else one "\r\n"-led line per set bit, ST1 bit 7 down to
// bit 0, then ST2 bit 7 down to bit 0. Only the low eight bits of each argument count.
// Windows-1252; never fails.
std::string StatusText(int st1, int st2);

// The message of extended code high * 256 + low: code 0 gives "\r\nCOMANDO OK\r\n",
// 1-218 their "\r\n"-led message, anything above 218 (or below 0) an empty text.
std::string ExtendedErrorText(int low, int high);

}  // namespace tervane
