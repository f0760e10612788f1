#include "BlockReply.h"

namespace mcsim {
namespace {

constexpr std::uint8_t cNibbleBase = 0x30;
constexpr char cReplyEnd = '.';

std::uint32_t ByteSum(const std::vector<std::uint8_t>& block) {
  std::uint32_t sum = 0;
  for (std::uint8_t b : block) sum += b;
  return sum & 0xFFu;
}

// XOR of little-endian words of `width` bytes; a short tail counts as a
// word padded with zeros.
std::uint32_t WordXor(const std::vector<std::uint8_t>& block, std::size_t width) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < block.size(); i += width) {
    std::uint32_t word = 0;
    for (std::size_t k = 0; k < width && i + k < block.size(); ++k) {
      word |= static_cast<std::uint32_t>(block[i + k]) << (8 * k);
    }
    sum ^= word;
  }
  return sum;
}

void AppendByte(std::string& out, std::uint32_t byte) {
  out += NibbleChar(byte >> 4);
  out += NibbleChar(byte);
}

}  // namespace

bool IsNibbleChar(std::uint8_t c) {
  return c >= cNibbleBase && c <= cNibbleBase + 0x0F;
}

char NibbleChar(unsigned value) {
  return static_cast<char>(cNibbleBase + (value & 0x0Fu));
}

std::vector<std::uint8_t> DecodeFrame(const std::string& frame) {
  std::vector<std::uint8_t> bytes(frame.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto high = static_cast<unsigned>(static_cast<std::uint8_t>(frame[2 * i]) & 0x0Fu);
    const auto low = static_cast<unsigned>(static_cast<std::uint8_t>(frame[2 * i + 1]) & 0x0Fu);
    bytes[i] = static_cast<std::uint8_t>((high << 4) | low);
  }
  return bytes;
}

std::uint32_t BlockChecksum(Family family, const std::vector<std::uint8_t>& block) {
  switch (family) {
    case Family::PIC16:
      return ByteSum(block);
    case Family::PIC18:
      return WordXor(block, 2);
    case Family::STM32:
      return WordXor(block, 4);
  }
  return 0;
}

std::string ChecksumReply(Family family, std::uint32_t checksum) {
  std::string reply;
  switch (family) {
    case Family::PIC16:
      AppendByte(reply, checksum & 0xFFu);
      break;
    case Family::PIC18:
      AppendByte(reply, (checksum >> 8) & 0xFFu);
      AppendByte(reply, checksum & 0xFFu);
      break;
    case Family::STM32:
      for (int k = 0; k < 4; ++k) AppendByte(reply, (checksum >> (8 * k)) & 0xFFu);
      break;
  }
  reply += cReplyEnd;
  return reply;
}

std::size_t ReplyLength(Family family) {
  switch (family) {
    case Family::PIC16:
      return 3;
    case Family::PIC18:
      return 5;
    case Family::STM32:
      return 9;
  }
  return 0;
}

}  // namespace mcsim
