// SHA-256 (FIPS 180-4) of a firmware image, so a unit's record names exactly
// which image went into it. Our own, like the rest of the rules: no library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Fed piece by piece; HexDigest may be asked at any point and leaves the
// state as it was, so more can follow.
class TSha256 {
 public:
  TSha256();
  void Update(const std::uint8_t* Data, std::size_t Size);
  // The digest of everything fed so far: 64 lower-case hex digits.
  std::string HexDigest() const;

 private:
  static constexpr std::size_t cBlockSize = 64;
  void Compress(const std::uint8_t* Block);
  std::array<std::uint32_t, 8> FState;
  std::array<std::uint8_t, cBlockSize> FBuffer{};
  std::size_t FBuffered = 0;
  std::uint64_t FLength = 0;  // bytes fed
};

// The digest of one buffer, as TSha256 gives it.
std::string Sha256Hex(const std::uint8_t* Data, std::size_t Size);
