#include "Sha256.h"

#include <algorithm>
#include <cstring>

namespace {

// The first 32 bits of the fractional parts of the square roots of the
// first 8 primes: the starting state.
constexpr std::array<std::uint32_t, 8> cInitialState = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// The same of the cube roots of the first 64 primes: one per round.
constexpr std::uint32_t cRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint8_t cPadStart = 0x80;
constexpr std::size_t cLengthSize = 8;  // the message length in bits, big-endian, ends the padding

std::uint32_t Rotr(std::uint32_t X, int N) {
  return (X >> N) | (X << (32 - N));
}

std::uint32_t BigEndian32(const std::uint8_t* P) {
  return (std::uint32_t{P[0]} << 24) | (std::uint32_t{P[1]} << 16) | (std::uint32_t{P[2]} << 8) |
         std::uint32_t{P[3]};
}

}  // namespace

TSha256::TSha256() : FState(cInitialState) {}

void TSha256::Compress(const std::uint8_t* Block) {
  std::uint32_t W[64];
  for (int I = 0; I < 16; ++I) W[I] = BigEndian32(Block + 4 * I);
  for (int I = 16; I < 64; ++I) {
    const std::uint32_t S0 = Rotr(W[I - 15], 7) ^ Rotr(W[I - 15], 18) ^ (W[I - 15] >> 3);
    const std::uint32_t S1 = Rotr(W[I - 2], 17) ^ Rotr(W[I - 2], 19) ^ (W[I - 2] >> 10);
    W[I] = W[I - 16] + S0 + W[I - 7] + S1;
  }
  std::array<std::uint32_t, 8> V = FState;  // a b c d e f g h
  for (int I = 0; I < 64; ++I) {
    const std::uint32_t S1 = Rotr(V[4], 6) ^ Rotr(V[4], 11) ^ Rotr(V[4], 25);
    const std::uint32_t Choose = (V[4] & V[5]) ^ (~V[4] & V[6]);
    const std::uint32_t T1 = V[7] + S1 + Choose + cRoundConstants[I] + W[I];
    const std::uint32_t S0 = Rotr(V[0], 2) ^ Rotr(V[0], 13) ^ Rotr(V[0], 22);
    const std::uint32_t Majority = (V[0] & V[1]) ^ (V[0] & V[2]) ^ (V[1] & V[2]);
    for (int J = 7; J > 0; --J) V[J] = V[J - 1];
    V[4] += T1;
    V[0] = T1 + S0 + Majority;
  }
  for (int I = 0; I < 8; ++I) FState[I] += V[I];
}

void TSha256::Update(const std::uint8_t* Data, std::size_t Size) {
  FLength += Size;
  while (Size > 0) {
    const std::size_t Take = std::min(Size, cBlockSize - FBuffered);
    std::memcpy(FBuffer.data() + FBuffered, Data, Take);
    FBuffered += Take;
    Data += Take;
    Size -= Take;
    if (FBuffered == cBlockSize) {
      Compress(FBuffer.data());
      FBuffered = 0;
    }
  }
}

std::string TSha256::HexDigest() const {
  TSha256 Last = *this;
  const std::uint64_t Bits = FLength * 8;
  const std::uint8_t Pad = cPadStart;
  Last.Update(&Pad, 1);
  const std::uint8_t Zero = 0;
  while (Last.FBuffered != cBlockSize - cLengthSize) Last.Update(&Zero, 1);
  std::uint8_t Length[cLengthSize];
  for (std::size_t I = 0; I < cLengthSize; ++I)
    Length[I] = static_cast<std::uint8_t>(Bits >> (8 * (cLengthSize - 1 - I)));
  Last.Update(Length, cLengthSize);
  static constexpr char cHexDigits[] = "0123456789abcdef";
  std::string Hex;
  for (const std::uint32_t Word : Last.FState)
    for (int Shift = 28; Shift >= 0; Shift -= 4) Hex += cHexDigits[(Word >> Shift) & 0xF];
  return Hex;
}

std::string Sha256Hex(const std::uint8_t* Data, std::size_t Size) {
  TSha256 Hash;
  Hash.Update(Data, Size);
  return Hash.HexDigest();
}
