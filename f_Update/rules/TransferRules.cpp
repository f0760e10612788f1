#include "TransferRules.h"

#include <stdexcept>

namespace {

using M = TMCUModel;
using F = TFrameFamily;

// Per-model transfer parameters. Columns: MCUModel, FlashBlockSize, frame
// family, block reply length, entry command at 9600 baud.
// clang-format off
const TTransferParams cTransferTable[] = {
    {M::PIC16F886,            16, F::PIC16, 3,  true},
    {M::PIC18F25K20,          64, F::PIC18, 5,  true},
    {M::PIC18F45K20,          64, F::PIC18, 5,  true},
    {M::STM32F051C8T6_1024, 1024, F::STM32, 9, false},
    {M::STM32F_512,          512, F::STM32, 9, false},
    {M::STM32F031C6T6,        64, F::STM32, 9,  true},
    {M::STM32F030F4P6,        64, F::STM32, 9,  true},
};
// clang-format on

constexpr char cNibbleBase = 0x30;
constexpr std::uint8_t cNibbleMask = 0x0F;
constexpr std::uint8_t cErasedByte = 0xFF;
constexpr std::uint8_t cPic16OddErased = 0x3F;
constexpr std::int32_t cPercent = 100;
constexpr const char* cProgressMiddle = "% of MCU ";

char DigitChar(int McuNumber) {
  return static_cast<char>('0' + McuNumber);
}

void CheckCount(std::size_t Size, std::int32_t Count) {
  if (Count < 1 || static_cast<std::size_t>(Count) > Size)
    throw std::out_of_range("reply count outside the receive buffer");
}

// Nibble digits of the checksum in a reply, by family: how many there are.
std::size_t ChecksumDigits(TFrameFamily Family) {
  switch (Family) {
    case F::PIC16:
      return 2;
    case F::PIC18:
      return 4;
    case F::STM32:
      return 8;
  }
  return 0;
}

}  // namespace

const TTransferParams* TransferParamsFor(TMCUModel Model) {
  for (const TTransferParams& Row : cTransferTable) {
    if (Row.MCUModel == Model) return &Row;
  }
  return nullptr;
}

std::string EntryCommand(int McuNumber) {
  return std::string(":Q") + DigitChar(McuNumber) + "7E81\r";
}

std::string StartCommand(int McuNumber) {
  return std::string("P") + DigitChar(McuNumber) + ".";
}

char NibbleChar(std::uint8_t Value) {
  return static_cast<char>(cNibbleBase + (Value & cNibbleMask));
}

std::uint8_t NibbleValue(std::uint8_t Code) {
  return Code & cNibbleMask;
}

std::uint8_t ApplyByteRule(TFrameFamily Family, std::vector<std::uint8_t>& DataBuffer,
                           std::int32_t Offset) {
  if (Offset < 0 || static_cast<std::size_t>(Offset) >= DataBuffer.size())
    throw std::out_of_range("image offset outside DataBuffer");
  std::uint8_t& Byte = DataBuffer[static_cast<std::size_t>(Offset)];
  if (Family == F::PIC16 && Byte == cErasedByte && (Offset % 2) == 1) Byte = cPic16OddErased;
  return Byte;
}

void TBlockChecksum::Add(std::uint8_t Byte, std::int32_t Offset) {
  switch (Family) {
    case F::PIC16:
      Acc += Byte;
      break;
    case F::PIC18:
      Acc ^= static_cast<std::uint32_t>(Byte) << (8 * (Offset & 1));
      break;
    case F::STM32:
      Acc ^= static_cast<std::uint32_t>(Byte) << (8 * (Offset & 3));
      break;
  }
}

std::uint32_t TBlockChecksum::Value() const {
  return Family == F::PIC16 ? (Acc & 0xFFu) : Acc;
}

TBlockFrame BuildBlockFrame(const TTransferParams& Params, std::vector<std::uint8_t>& DataBuffer,
                            std::int32_t Offset) {
  const std::int64_t End = static_cast<std::int64_t>(Offset) + Params.FlashBlockSize;
  if (Offset < 0 || Params.FlashBlockSize <= 0 ||
      static_cast<std::uint64_t>(End) > DataBuffer.size())
    throw std::out_of_range("block outside DataBuffer");
  TBlockFrame Result{std::string(), 0};
  Result.Frame.reserve(2 * static_cast<std::size_t>(Params.FlashBlockSize));
  TBlockChecksum Checksum(Params.Family);
  for (std::int32_t At = Offset; At < End; ++At) {
    const std::uint8_t Byte = ApplyByteRule(Params.Family, DataBuffer, At);
    Result.Frame += NibbleChar(static_cast<std::uint8_t>(Byte >> 4));
    Result.Frame += NibbleChar(Byte);
    Checksum.Add(Byte, At);
  }
  Result.Checksum = Checksum.Value();
  return Result;
}

std::int32_t RemoveNulBytes(std::uint8_t* Reply, std::size_t Size, std::int32_t Count) {
  CheckCount(Size, Count);
  const auto N = static_cast<std::size_t>(Count);
  std::size_t Kept = N;  // places 0..Kept-1 still hold bytes to examine
  std::size_t At = 0;
  while (At < Kept) {
    if (Reply[At] != 0) {
      ++At;
      continue;
    }
    // Move the rest up one place; the last place keeps its byte, so freed
    // places end up holding copies of the last byte read.
    for (std::size_t J = At; J + 1 < N; ++J) Reply[J] = Reply[J + 1];
    --Kept;
  }
  return static_cast<std::int32_t>(N - Kept);
}

std::int32_t FirstFreedPlace(std::int32_t Count, std::int32_t NulCount) {
  return Count - NulCount;
}

void FillFreedPlaces(std::uint8_t* Reply, std::size_t Size, std::int32_t Count,
                     std::int32_t NulCount, const std::uint8_t* Late, std::size_t LateCount) {
  CheckCount(Size, Count);
  if (NulCount < 0 || NulCount > Count || LateCount > static_cast<std::size_t>(NulCount))
    throw std::out_of_range("late bytes do not fit the freed places");
  const auto First = static_cast<std::size_t>(FirstFreedPlace(Count, NulCount));
  for (std::size_t I = 0; I < LateCount; ++I) Reply[First + I] = Late[I];
}

bool ReplyTerminated(const std::uint8_t* Reply, std::size_t Size, std::int32_t Count) {
  CheckCount(Size, Count);
  return Reply[Count - 1] == cReplyEnd;
}

std::uint32_t DecodeMCChecksum(TFrameFamily Family, const std::uint8_t* Reply, std::size_t Size) {
  if (Size < ChecksumDigits(Family)) throw std::out_of_range("reply shorter than its checksum");
  auto V = [Reply](std::size_t I) { return static_cast<std::uint32_t>(NibbleValue(Reply[I])); };
  switch (Family) {
    case F::PIC16:
      return V(0) << 4 | V(1);
    case F::PIC18:
      return V(0) << 12 | V(1) << 8 | V(2) << 4 | V(3);
    case F::STM32:
      // Bytes arrive least significant first, each byte high nibble first.
      return V(6) << 28 | V(7) << 24 | V(4) << 20 | V(5) << 16 | V(2) << 12 | V(3) << 8 |
             V(0) << 4 | V(1);
  }
  return 0;
}

std::int32_t EndAddress(const std::vector<std::uint8_t>& DataBuffer, std::int32_t FlashSize,
                        std::int32_t FlashBlockSize) {
  if (FlashSize < 0 || static_cast<std::size_t>(FlashSize) > DataBuffer.size() ||
      FlashBlockSize <= 0)
    throw std::out_of_range("flash region outside DataBuffer");
  std::int64_t End = FlashSize;
  while (End > 0 && DataBuffer[static_cast<std::size_t>(End - 1)] == cErasedByte) --End;
  if (End % FlashBlockSize != 0) End += FlashBlockSize - End % FlashBlockSize;
  return static_cast<std::int32_t>(End);
}

std::int32_t BlockCount(std::int32_t PGMStartAddress, std::int32_t EndAddress,
                        std::int32_t FlashBlockSize) {
  if (FlashBlockSize <= 0) throw std::out_of_range("block size not positive");
  const std::int64_t Span = static_cast<std::int64_t>(EndAddress) - PGMStartAddress;
  if (Span <= 0) return 1;
  return static_cast<std::int32_t>((Span + FlashBlockSize - 1) / FlashBlockSize);
}

std::int32_t ProgressPercent(std::int32_t BufferPointer, std::int32_t PGMStartAddress,
                             std::int32_t EndAddress) {
  const std::int64_t Den = static_cast<std::int64_t>(EndAddress) - PGMStartAddress;
  if (Den <= 0) return cPercent;
  const std::int64_t Num = (static_cast<std::int64_t>(BufferPointer) - PGMStartAddress) * cPercent;
  // Exact integer rounding, halves to the even neighbour; equal to rounding
  // the floating quotient, without depending on the FPU's rounding mode.
  std::int64_t Q = Num / Den;
  std::int64_t R = Num % Den;
  if (R < 0) {
    R += Den;
    --Q;
  }
  if (2 * R > Den || (2 * R == Den && (Q % 2) != 0)) ++Q;
  return static_cast<std::int32_t>(Q);
}

std::string ProgressText(std::int32_t Percent, int McuNumber) {
  return std::to_string(Percent) + cProgressMiddle + std::to_string(McuNumber);
}
