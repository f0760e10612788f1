#include "TransferRules.h"

#include <gtest/gtest.h>

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

TEST(TransferParams, PerModel) {
  struct {
    M Model;
    int BlockSize;
    F Family;
    int ReplyLength;
    bool At9600;
  } const Rows[] = {
      {M::PIC16F886, 16, F::PIC16, 3, true},     {M::PIC18F25K20, 64, F::PIC18, 5, true},
      {M::PIC18F45K20, 64, F::PIC18, 5, true},   {M::STM32F051C8T6_1024, 1024, F::STM32, 9, false},
      {M::STM32F_512, 512, F::STM32, 9, false},  {M::STM32F031C6T6, 64, F::STM32, 9, true},
      {M::STM32F030F4P6, 64, F::STM32, 9, true},
  };
  for (const auto& R : Rows) {
    const TTransferParams* P = TransferParamsFor(R.Model);
    ASSERT_NE(P, nullptr) << static_cast<int>(R.Model);
    EXPECT_EQ(P->FlashBlockSize, R.BlockSize);
    EXPECT_EQ(P->Family, R.Family);
    EXPECT_EQ(P->ReplyLength, R.ReplyLength);
    EXPECT_EQ(P->EntryAt9600, R.At9600);
  }
  EXPECT_EQ(TransferParamsFor(M::NOT_VALID), nullptr);
  EXPECT_EQ(TransferParamsFor(M::PIC18F46K20), nullptr);
}

TEST(Commands, CarryTheMcuDigit) {
  EXPECT_EQ(EntryCommand(1), ":Q17E81\r");
  EXPECT_EQ(EntryCommand(2), ":Q27E81\r");
  EXPECT_EQ(StartCommand(2), "P2.");
}

TEST(Nibbles, CharactersAreNotHexadecimal) {
  std::string All;
  for (std::uint8_t V = 0; V < 16; ++V) All += NibbleChar(V);
  EXPECT_EQ(All, "0123456789:;<=>?");
  EXPECT_EQ(NibbleValue('?'), 15);
  EXPECT_EQ(NibbleValue('A'), 1);  // a letter is read by its code, not as hexadecimal
  EXPECT_EQ(NibbleValue(0x00), 0);
}

// The PIC16 block at 0x200 from the transfer's worked example.
TEST(BuildBlockFrame, Pic16WorkedExample) {
  TBytes Image(cDataBufferSize, 0);
  const TBytes Block = {0x12, 0x30, 0xA5, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF,
                        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  std::copy(Block.begin(), Block.end(), Image.begin() + 0x200);
  const TTransferParams& P = *TransferParamsFor(M::PIC16F886);

  const TBlockFrame Frame = BuildBlockFrame(P, Image, 0x200);
  EXPECT_EQ(Frame.Frame, "1230:50;??3???3???3???3???3???3?");
  EXPECT_EQ(Frame.Checksum, 0x66u);
  const TBytes After = {0x12, 0x30, 0xA5, 0x0B, 0xFF, 0x3F, 0xFF, 0x3F,
                        0xFF, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F};
  EXPECT_TRUE(std::equal(After.begin(), After.end(), Image.begin() + 0x200));

  const TBytes Reply = Bytes("66.");
  EXPECT_TRUE(ReplyTerminated(Reply.data(), Reply.size(), P.ReplyLength));
  EXPECT_EQ(DecodeMCChecksum(F::PIC16, Reply.data(), Reply.size()), Frame.Checksum);

  // A second MCU receives the same frame from the changed image.
  const TBlockFrame Again = BuildBlockFrame(P, Image, 0x200);
  EXPECT_EQ(Again.Frame, Frame.Frame);
  EXPECT_EQ(Again.Checksum, Frame.Checksum);
}

TEST(BuildBlockFrame, Pic18WorkedExample) {
  TBytes Image(cDataBufferSize, 0xFF);
  std::fill(Image.begin() + 0x600, Image.begin() + 0x640, 0x00);
  const TBytes Head = {0x12, 0x34, 0x56, 0x78};
  std::copy(Head.begin(), Head.end(), Image.begin() + 0x600);
  const TBlockFrame Frame = BuildBlockFrame(*TransferParamsFor(M::PIC18F25K20), Image, 0x600);
  EXPECT_EQ(Frame.Checksum, 0x4C44u);
  EXPECT_EQ(Frame.Frame.substr(0, 10), "1234567800");
  EXPECT_EQ(Frame.Frame.size(), 128u);
  const TBytes Reply = {0x34, 0x3C, 0x34, 0x34, 0x2E};
  EXPECT_EQ(DecodeMCChecksum(F::PIC18, Reply.data(), Reply.size()), 0x4C44u);
  EXPECT_EQ(Image[0x641], 0xFF);  // only PIC16 rewrites odd 0xFF bytes
}

TEST(BuildBlockFrame, Stm32XorsLittleEndianWords) {
  TBytes Image(cDataBufferSize, 0);
  const TBytes Words = {0xCD, 0xAB, 0x34, 0x12, 0x01, 0x00, 0x00, 0x80};
  std::copy(Words.begin(), Words.end(), Image.begin() + 0x1400);
  Image[0x1400 + 1023] = 0xFF;  // last byte of the block: high byte of its last word
  const TBlockFrame Frame =
      BuildBlockFrame(*TransferParamsFor(M::STM32F051C8T6_1024), Image, 0x1400);
  EXPECT_EQ(Frame.Checksum, 0x1234ABCDu ^ 0x80000001u ^ 0xFF000000u);
  EXPECT_EQ(Frame.Frame.size(), 2048u);
  EXPECT_EQ(Frame.Frame.substr(2046), "??");  // 0xFF at an odd offset is sent as is
  EXPECT_EQ(Image[0x1400 + 1023], 0xFF);

  const TBytes Reply = Bytes("<=:;3412.");
  EXPECT_EQ(DecodeMCChecksum(F::STM32, Reply.data(), Reply.size()), 0x1234ABCDu);
}

TEST(BuildBlockFrame, RefusesBlocksOutsideTheBuffer) {
  TBytes Image(64, 0xFF);
  const TTransferParams& P = *TransferParamsFor(M::PIC16F886);
  for (const std::int32_t Offset : {-1, 49, 64, 0x7FFFFFF8}) {
    EXPECT_THROW(BuildBlockFrame(P, Image, Offset), std::out_of_range) << Offset;
  }
  EXPECT_EQ(Image, TBytes(64, 0xFF));  // nothing rewritten by a refused block
  EXPECT_NO_THROW(BuildBlockFrame(P, Image, 48));
}

// A checksum encoded the way each family's controller sends it decodes back.
TEST(DecodeMCChecksum, RoundTripsTheReplyLayouts) {
  for (const std::uint32_t Value : {0x00000000u, 0xFFFFFFFFu, 0x89ABCDEFu, 0x0F1E2D3Cu}) {
    std::string Pic16, Pic18, Stm32;
    for (int Shift = 4; Shift >= 0; Shift -= 4) Pic16 += NibbleChar((Value >> Shift) & 0xF);
    for (int Shift = 12; Shift >= 0; Shift -= 4) Pic18 += NibbleChar((Value >> Shift) & 0xF);
    for (int Byte = 0; Byte < 4; ++Byte) {
      Stm32 += NibbleChar((Value >> (8 * Byte + 4)) & 0xF);
      Stm32 += NibbleChar((Value >> (8 * Byte)) & 0xF);
    }
    const TBytes R16 = Bytes(Pic16), R18 = Bytes(Pic18), R32 = Bytes(Stm32);
    EXPECT_EQ(DecodeMCChecksum(F::PIC16, R16.data(), R16.size()), Value & 0xFFu);
    EXPECT_EQ(DecodeMCChecksum(F::PIC18, R18.data(), R18.size()), Value & 0xFFFFu);
    EXPECT_EQ(DecodeMCChecksum(F::STM32, R32.data(), R32.size()), Value);
    EXPECT_THROW(DecodeMCChecksum(F::STM32, R32.data(), 7), std::out_of_range);
  }
}

TEST(BlockReply, NulRemovalAndLateBytes) {
  struct {
    std::string Read;     // the bytes read, ReplyLength of them
    std::string Removed;  // after NUL removal
    int NulCount;
    std::string Late;  // bytes waiting after the pause
    std::string Final;
    bool Terminated;
  } const Cases[] = {
      {"66."s, "66."s, 0, ""s, "66."s, true},
      {"6\0006"s, "666"s, 1, "."s, "66."s, true},    // one NUL inside
      {"\0\0006"s, "666"s, 2, "6."s, "66."s, true},  // two in a row
      {"66\0"s, "66\0"s, 1, "."s, "66."s, true},     // NUL at the end
      {"66\0"s, "66\0"s, 1, ""s, "66\0"s, false},    // never made up
      {"6\000."s, "6.."s, 1, ""s, "6.."s, true},     // judged on what it holds
      {"4\0<4\0"s, "4<4\0\0"s, 2, "4."s, "4<44."s, true},
      {"\0\0\0"s, "\0\0\0"s, 3, "66."s, "66."s, true},
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
}

TEST(BlockReply, BoundsAreChecked) {
  std::array<std::uint8_t, 9> Small{};
  EXPECT_THROW(RemoveNulBytes(Small.data(), Small.size(), 10), std::out_of_range);
  EXPECT_THROW(RemoveNulBytes(Small.data(), Small.size(), 0), std::out_of_range);
  EXPECT_THROW(ReplyTerminated(Small.data(), Small.size(), 10), std::out_of_range);
  const std::uint8_t Late[2] = {'6', '.'};
  EXPECT_THROW(FillFreedPlaces(Small.data(), Small.size(), 9, 1, Late, 2), std::out_of_range);
  EXPECT_THROW(FillFreedPlaces(Small.data(), Small.size(), 9, 10, Late, 2), std::out_of_range);
}

TEST(EndAddress, TrimsErasedTailAndRoundsUp) {
  struct {
    const char* Name;
    std::int32_t LastData;  // offset of the last byte that is not 0xFF, -1 for none
    std::int32_t FlashSize, BlockSize, Expected;
  } const Cases[] = {
      {"all erased", -1, 0x4000, 16, 0},
      {"mid block", 0x1233, 0x4000, 16, 0x1240},
      {"already a multiple", 0x123F, 0x4000, 16, 0x1240},
      {"full flash", 0x3FFF, 0x4000, 16, 0x4000},
      {"first byte only", 0, 0x4000, 16, 16},
      {"counted from offset 0", 0x7001, 0x20000, 512, 0x7200},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TBytes Image(cDataBufferSize, 0xFF);
    Image[static_cast<std::size_t>(C.FlashSize)] = 0x00;  // beyond the flash: ignored
    if (C.LastData >= 0) {
      Image[static_cast<std::size_t>(C.LastData)] = 0x00;
      if (C.LastData >= 0x10) Image[0x10] = 0x00;  // 0xFF runs before data are kept
    }
    EXPECT_EQ(EndAddress(Image, C.FlashSize, C.BlockSize), C.Expected);
  }
  TBytes Short(16, 0);
  EXPECT_THROW(EndAddress(Short, 17, 16), std::out_of_range);
  EXPECT_THROW(EndAddress(Short, 16, 0), std::out_of_range);
}

TEST(BlockCount, AtLeastOneBlock) {
  struct {
    std::int32_t Start, End, BlockSize, Expected;
  } const Cases[] = {
      {0x200, 0x4000, 16, 0x3E0}, {0x200, 0x210, 16, 1}, {0x200, 0x200, 16, 1},
      {0x200, 0, 16, 1},          {0, 17, 16, 2},        {0x1400, 0x10000, 1024, 59},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(BlockCount(C.Start, C.End, C.BlockSize), C.Expected) << C.Start << ".." << C.End;
}

TEST(Progress, RoundsHalvesToEven) {
  struct {
    std::int32_t Pointer, Start, End, Expected;
  } const Cases[] = {
      {1, 0, 8, 12},
      {3, 0, 8, 38},
      {5, 0, 8, 62},
      {7, 0, 8, 88},
      {1, 0, 200, 0},
      {3, 0, 200, 2},
      {5, 0, 200, 2},
      {199, 0, 200, 100},
      {1, 0, 3, 33},
      {2, 0, 3, 67},
      {0x210, 0x200, 0x4000, 0},
      {0x4000, 0x200, 0x4000, 100},
      {0x20000, 0x7000, 0x20000, 100},
      {0x210, 0x200, 0x200, 100},
      {0x210, 0x200, 0, 100},  // nothing above the start
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(ProgressPercent(C.Pointer, C.Start, C.End), C.Expected)
        << C.Pointer << " in " << C.Start << ".." << C.End;
  }
  EXPECT_EQ(ProgressText(45, 2), "45% of MCU 2");
  EXPECT_EQ(ProgressText(100, 1), "100% of MCU 1");
}

}  // namespace
