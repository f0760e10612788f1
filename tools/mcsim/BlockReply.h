// The controller's side of a block: nibble characters in, checksum reply out.
// Written from the controller's point of view; shares nothing with the tool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Config.h"

namespace mcsim {

// Nibble characters are 0x30 plus a 4-bit value: "0".."9" then ":;<=>?".
bool IsNibbleChar(std::uint8_t c);
char NibbleChar(unsigned value);  // value is taken modulo 16

// Decodes a frame of nibble characters, two per byte, high nibble first. A
// character outside "0".."?" contributes its low four bits, as the
// controller's receive loop would; the caller reports it.
std::vector<std::uint8_t> DecodeFrame(const std::string& frame);

// Checksum of one block: PIC16 the low byte of the byte sum, PIC18 the XOR of
// little-endian 16-bit words, STM32 the XOR of little-endian 32-bit words.
std::uint32_t BlockChecksum(Family family, const std::vector<std::uint8_t>& block);

// The reply carrying a checksum: PIC16 two nibble characters, PIC18 four
// (most significant first), STM32 eight (bytes from least to most
// significant, each high nibble first); then ".".
std::string ChecksumReply(Family family, std::uint32_t checksum);

// 3, 5 or 9.
std::size_t ReplyLength(Family family);

}  // namespace mcsim
