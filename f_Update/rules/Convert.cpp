#include "Convert.h"

#include <cstddef>

namespace {

constexpr std::uint64_t cMaxMagnitude32 = 0xFFFFFFFFu;
constexpr std::uint64_t cMaxPositiveDecimal = 2147483647u;
constexpr std::uint64_t cMaxNegativeDecimal = 2147483648u;

int HexDigitValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// Length of a hexadecimal prefix at Pos, 0 when there is none.
std::size_t HexPrefixLength(const std::string& S, std::size_t Pos) {
  if (Pos >= S.size()) return 0;
  const char C = S[Pos];
  if (C == '$' || C == 'x' || C == 'X') return 1;
  if (C == '0' && Pos + 1 < S.size() && (S[Pos + 1] == 'x' || S[Pos + 1] == 'X')) return 2;
  return 0;
}

// Reads digits of the given base up to the end of S. Fails on no digits, on a
// character that is not a digit, or once the value passes Limit (checked per
// digit, so the accumulator never overflows).
bool ReadDigits(const std::string& S, std::size_t Pos, int Base, std::uint64_t Limit,
                std::uint64_t& Value) {
  if (Pos >= S.size()) return false;
  Value = 0;
  for (; Pos < S.size(); ++Pos) {
    const int Digit = HexDigitValue(S[Pos]);
    if (Digit < 0 || Digit >= Base) return false;
    Value = Value * static_cast<std::uint64_t>(Base) + static_cast<std::uint64_t>(Digit);
    if (Value > Limit) return false;
  }
  return true;
}

// Two's complement view of a 32-bit pattern, without implementation-defined casts.
std::int32_t FromBits(std::uint32_t Bits) {
  if (Bits <= cMaxPositiveDecimal) return static_cast<std::int32_t>(Bits);
  return static_cast<std::int32_t>(static_cast<std::int64_t>(Bits) - 0x100000000LL);
}

}  // namespace

EConvertError::EConvertError(const std::string& Text)
    : std::runtime_error("'" + Text + "' is not a valid integer value") {}

std::int32_t StrToInt(const std::string& S) {
  std::size_t Pos = 0;
  while (Pos < S.size() && S[Pos] == ' ') ++Pos;
  bool Negative = false;
  if (Pos < S.size() && (S[Pos] == '+' || S[Pos] == '-')) {
    Negative = S[Pos] == '-';
    ++Pos;
  }
  std::uint64_t Magnitude = 0;
  if (const std::size_t Prefix = HexPrefixLength(S, Pos); Prefix > 0) {
    if (!ReadDigits(S, Pos + Prefix, 16, cMaxMagnitude32, Magnitude)) throw EConvertError(S);
    const auto Bits = static_cast<std::uint32_t>(Magnitude);
    return FromBits(Negative ? 0u - Bits : Bits);
  }
  const std::uint64_t Limit = Negative ? cMaxNegativeDecimal : cMaxPositiveDecimal;
  if (!ReadDigits(S, Pos, 10, Limit, Magnitude)) throw EConvertError(S);
  const auto Signed = static_cast<std::int64_t>(Magnitude);
  return static_cast<std::int32_t>(Negative ? -Signed : Signed);
}

std::uint8_t HexByte(char Hi, char Lo) {
  return static_cast<std::uint8_t>(StrToInt(std::string{'$', Hi, Lo}));
}
