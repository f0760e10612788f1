#include "VersionText.h"

#include <stdexcept>

#include "Convert.h"

namespace {
constexpr std::size_t cVersionBytesUsed = 7;  // R0..R6

char At(const std::uint8_t* Reply, std::size_t I) {
  return static_cast<char>(Reply[I]);
}
}  // namespace

std::string VersionText(const std::uint8_t* Reply, std::size_t Size) {
  if (Size < cVersionBytesUsed) throw std::out_of_range("version reply too short");
  const int Major = HexByte(At(Reply, 1), At(Reply, 2));
  const int Minor = HexByte(At(Reply, 3), At(Reply, 4));
  return std::to_string(Major) + "." + std::to_string(Minor) + "." + At(Reply, 5) + At(Reply, 6);
}
