// The control bytes of the printer's frames and replies, for every part of the program
// that builds, reads or decodes them. (The simulator keeps its own, so that it checks
// our frames with values not shared with the code that builds them.)
#pragma once

#include <cstdint>

namespace tervane {

inline constexpr std::uint8_t kStx = 0x02;  // a frame starts
inline constexpr std::uint8_t kEtx = 0x03;  // an open reply ends
inline constexpr std::uint8_t kAck = 0x06;  // the printer took the frame
inline constexpr std::uint8_t kNak = 0x15;  // the printer refused the frame (length or sum)
inline constexpr std::uint8_t kEsc = 0x1B;  // a command in the normal set
inline constexpr std::uint8_t kFs = 0x1C;   // a command in the extended set

}  // namespace tervane
