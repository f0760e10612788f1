#include "TransferRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using M = TMCUModel;
using F = TFrameFamily;
using TBytes = std::vector<std::uint8_t>;
using namespace std::string_literals;

constexpr std::size_t cDataBufferSize = 0x40001;

TBytes Bytes(const std::string& S) {
  return TBytes(S.begin(), S.end());
}

TEST(BuildBlockFrame, Pic16WorkedExample) {
  TBytes Image(cDataBufferSize, 0xFF);
  const TBytes Head = {0x12, 0x30, 0xA5, 0x0B};
  std::copy(Head.begin(), Head.end(), Image.begin() + 0x200);
  const TTransferParams& P = *TransferParamsFor(M::PIC16F886);

  const TBlockFrame Frame = BuildBlockFrame(P, Image, 0x200);
  EXPECT_EQ(Frame.Frame, "1230:50;??3???3???3???3???3???3?");
  EXPECT_EQ(Frame.Checksum, 0x66u);
  const TBytes After = {0x12, 0x30, 0xA5, 0x0B, 0xFF, 0x3F, 0xFF, 0x3F,
                        0xFF, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F};
  EXPECT_TRUE(std::equal(After.begin(), After.end(), Image.begin() + 0x200));
  EXPECT_EQ(Image[0x211], 0xFF);  // the next block is untouched

  const TBytes Reply = Bytes("66.");
  EXPECT_TRUE(ReplyTerminated(Reply.data(), Reply.size(), P.ReplyLength));
  EXPECT_EQ(DecodeMCChecksum(F::PIC16, Reply.data(), Reply.size()), Frame.Checksum);
  // A second MCU gets the same frame from the rewritten image.
  EXPECT_EQ(BuildBlockFrame(P, Image, 0x200).Frame, Frame.Frame);
}

TEST(BuildBlockFrame, Pic18AndStm32WorkedExamples) {
  TBytes Image(cDataBufferSize, 0);
  const TBytes Head = {0x12, 0x34, 0x56, 0x78};
  std::copy(Head.begin(), Head.end(), Image.begin() + 0x600);
  const TTransferParams& P18 = *TransferParamsFor(M::PIC18F25K20);
  const TBlockFrame Pic18 = BuildBlockFrame(P18, Image, 0x600);
  EXPECT_EQ(Pic18.Checksum, 0x4C44u);
  EXPECT_EQ(Pic18.Frame, "12345678" + std::string(120, '0'));
  Image[0x63F] = 0xFF;  // only PIC16 rewrites an odd 0xFF
  const TBlockFrame Odd = BuildBlockFrame(P18, Image, 0x600);
  EXPECT_EQ(Odd.Checksum, 0x4C44u ^ 0xFF00u);
  EXPECT_EQ(Odd.Frame.substr(126), "??");
  const TBytes Reply18 = {0x34, 0x3C, 0x34, 0x34, 0x2E};
  EXPECT_EQ(DecodeMCChecksum(F::PIC18, Reply18.data(), Reply18.size()), 0x4C44u);

  const TBytes Words = {0xCD, 0xAB, 0x34, 0x12, 0x01, 0x00, 0x00, 0x80};
  std::copy(Words.begin(), Words.end(), Image.begin() + 0x1400);
  const TBlockFrame Stm = BuildBlockFrame(*TransferParamsFor(M::STM32F051C8T6_1024), Image, 0x1400);
  EXPECT_EQ(Stm.Checksum, 0x1234ABCDu ^ 0x80000001u);
  EXPECT_EQ(Stm.Frame.size(), 2048u);
  EXPECT_EQ(Stm.Frame.substr(0, 8), "<=:;3412");  // bytes in offset order, high nibble first
  const TBytes Reply32 = Bytes("<=:;3412.");
  EXPECT_EQ(DecodeMCChecksum(F::STM32, Reply32.data(), Reply32.size()), 0x1234ABCDu);
  EXPECT_THROW(DecodeMCChecksum(F::STM32, Reply32.data(), 7), std::out_of_range);
}

TEST(BuildBlockFrame, RefusesBlocksOutsideTheBuffer) {
  TBytes Image(64, 0xFF);
  const TTransferParams& P = *TransferParamsFor(M::PIC16F886);
  for (const std::int32_t Offset : {-1, 49, 64, INT32_MAX - 8})
    EXPECT_THROW(BuildBlockFrame(P, Image, Offset), std::out_of_range) << Offset;
  EXPECT_EQ(Image, TBytes(64, 0xFF));  // a refused block rewrites nothing
  EXPECT_NO_THROW(BuildBlockFrame(P, Image, 48));
  EXPECT_EQ(TransferParamsFor(M::NOT_VALID), nullptr);  // no frame family at all
  EXPECT_EQ(TransferParamsFor(M::PIC18F46K20), nullptr);
}

TEST(BlockReply, NulRemovalAndLateBytes) {
  struct {
    std::string Read, Removed;  // the bytes read; after NUL removal
    int NulCount;
    std::string Late, Final;  // bytes waiting after the pause; the reply judged
    bool Terminated;
  } const Cases[] = {
      {"66."s, "66."s, 0, ""s, "66."s, true},
      {"6\0006"s, "666"s, 1, "."s, "66."s, true},    // one NUL inside
      {"\0\0006"s, "666"s, 2, "6."s, "66."s, true},  // two in a row
      {"66\0"s, "66\0"s, 1, "."s, "66."s, true},     // NUL at the end
      {"66\0"s, "66\0"s, 1, ""s, "66\0"s, false},    // never made up
      {"6\000."s, "6.."s, 1, ""s, "6.."s, true},     // judged on what it holds
      {"4\0<4\0"s, "4<4\0\0"s, 2, "4."s, "4<44."s, true},
      {"66\0"s, "66\0"s, 1, "\0"s, "66\0"s, false},  // late bytes not re-examined
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(::testing::PrintToString(C.Read));
    std::array<std::uint8_t, 128> Response{};
    std::copy(C.Read.begin(), C.Read.end(), Response.begin());
    const auto Count = static_cast<std::int32_t>(C.Read.size());
    const std::int32_t Nuls = RemoveNulBytes(Response.data(), Response.size(), Count);
    EXPECT_EQ(Nuls, C.NulCount);
    EXPECT_EQ(std::string(Response.begin(), Response.begin() + Count), C.Removed);
    const TBytes Late = Bytes(C.Late);
    FillFreedPlaces(Response.data(), Response.size(), Count, Nuls, Late.data(), Late.size());
    EXPECT_EQ(std::string(Response.begin(), Response.begin() + Count), C.Final);
    EXPECT_EQ(ReplyTerminated(Response.data(), Response.size(), Count), C.Terminated);
  }
  std::array<std::uint8_t, 9> Small{};
  const std::uint8_t Late[2] = {'6', '.'};
  EXPECT_THROW(RemoveNulBytes(Small.data(), Small.size(), 10), std::out_of_range);
  EXPECT_THROW(ReplyTerminated(Small.data(), Small.size(), 0), std::out_of_range);
  EXPECT_THROW(FillFreedPlaces(Small.data(), Small.size(), 9, 1, Late, 2), std::out_of_range);
}

TEST(EndAddress, TrimsErasedTailAndRoundsUp) {
  struct {
    std::int32_t LastData;                           // last byte that is not 0xFF, -1 for none
    std::int32_t FlashSize, BlockSize, End, Blocks;  // Blocks from PGMStartAddress 0x200
  } const Cases[] = {
      {-1, 0x4000, 16, 0, 1},             // all erased: one block still goes
      {0x1233, 0x4000, 16, 0x1240, 260},  // raised to the block's end
      {0x123F, 0x4000, 16, 0x1240, 260},  // already a multiple: not raised
      {0x3FFF, 0x4000, 16, 0x4000, 992},
      {0x7001, 0x20000, 512, 0x7200, 56},  // multiples counted from offset 0
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.LastData);
    TBytes Image(cDataBufferSize, 0xFF);
    Image[static_cast<std::size_t>(C.FlashSize)] = 0x00;  // beyond the flash: ignored
    if (C.LastData >= 0) {
      Image[0x10] = 0x00;  // the 0xFF run between data bytes is kept
      Image[static_cast<std::size_t>(C.LastData)] = 0x00;
    }
    const std::int32_t End = EndAddress(Image, C.FlashSize, C.BlockSize);
    EXPECT_EQ(End, C.End);
    EXPECT_EQ(BlockCount(0x200, End, C.BlockSize), C.Blocks);
  }
  const TBytes Short(16, 0);
  EXPECT_THROW(EndAddress(Short, 17, 16), std::out_of_range);
}

TEST(Progress, RoundsHalvesToEven) {
  struct {
    std::int32_t Pointer, Start, End, Percent;
  } const Cases[] = {
      // clang-format off
      {1, 0, 8, 12}, {3, 0, 8, 38}, {5, 0, 8, 62}, {7, 0, 8, 88}, {1, 0, 200, 0}, {3, 0, 200, 2},
      {5, 0, 200, 2}, {199, 0, 200, 100}, {2, 0, 3, 67}, {0x210, 0x200, 0x4000, 0},
      {0x20000, 0x7000, 0x20000, 100},
      {0x210, 0x200, 0x200, 100}, {0x210, 0x200, 0, 100},  // nothing above the start
      // clang-format on
  };
  for (const auto& C : Cases)
    EXPECT_EQ(ProgressPercent(C.Pointer, C.Start, C.End), C.Percent) << C.Pointer << "/" << C.End;
  EXPECT_EQ(ProgressText(45, 2), "45% of MCU 2");
}

}  // namespace
