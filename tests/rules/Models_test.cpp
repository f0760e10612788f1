#include "Models.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "Convert.h"
#include "TransferRules.h"

namespace {

using M = TMCUModel;

using TRanges = std::vector<std::pair<int, int>>;

bool InRanges(int Code, const TRanges& Ranges) {
  return std::any_of(Ranges.begin(), Ranges.end(),
                     [Code](const auto& R) { return Code >= R.first && Code <= R.second; });
}

TEST(NormaliseControllerCode, FoldsGroups) {
  const std::pair<int, int> Cases[] = {
      {0, 0},     {1, 1},     {2, 2},     {3, 2},     {26, 2},    {4, 4},     {164, 4},
      {5, 5},     {182, 5},   {12, 136},  {19, 136},  {136, 136}, {143, 136}, {31, 31},
      {32, 32},   {40, 32},   {47, 32},   {183, 32},  {48, 48},   {55, 48},   {56, 56},
      {63, 56},   {64, 64},   {126, 126}, {128, 128}, {135, 128}, {144, 144}, {151, 144},
      {152, 152}, {159, 152}, {160, 160}, {161, 161}, {163, 161}, {165, 165}, {170, 165},
      {180, 165}, {181, 181}, {184, 184}, {255, 255},
  };
  for (const auto& [Code, Class] : Cases) EXPECT_EQ(NormaliseControllerCode(Code), Class) << Code;
}

TEST(SelectModel, SupportsExactlyTheListedCodes) {
  for (int Code = 0; Code <= 255; ++Code) {
    const bool Unsupported =
        InRanges(Code, {{20, 25}, {27, 31}, {64, 125}, {127, 127}, {181, 181}, {184, 255}});
    TParamSet Params;
    Params.ImageSize = 77;  // sentinel: must survive an unsupported class
    Params.MCUModel = M::PIC18F46K20;
    std::uint8_t MCUCount = 9;
    const bool Supported = SelectModel(NormaliseControllerCode(Code), MCUCount, Params);
    EXPECT_EQ(Supported, !Unsupported) << Code;
    if (Unsupported) {
      EXPECT_EQ(MCUCount, 0) << Code;
      EXPECT_EQ(Params.ImageSize, 77) << Code;
      EXPECT_EQ(Params.MCUModel, M::PIC18F46K20) << Code;
    }
  }
}

// What the transfer and the update rely on, for every supported class.
TEST(SelectModel, RowsFitTransferAndBuffer) {
  for (int Code = 0; Code <= 255; ++Code) {
    std::uint8_t MCUCount = 0;
    TParamSet P;
    if (!SelectModel(NormaliseControllerCode(Code), MCUCount, P)) continue;
    SCOPED_TRACE(Code);
    EXPECT_TRUE(MCUCount == 1 || MCUCount == 2);
    EXPECT_LE(P.FlashSize, P.ImageSize);
    EXPECT_LE(P.ImageSize, 0x20000);
    EXPECT_GE(P.ModelIDAddr, 0);
    EXPECT_LT(P.ModelIDAddr, P.ImageSize);
    const TTransferParams* T = TransferParamsFor(P.MCUModel);
    ASSERT_NE(T, nullptr);
    EXPECT_EQ(P.PGMStartAddress % T->FlashBlockSize, 0);
    EXPECT_EQ(P.FlashSize % T->FlashBlockSize, 0);
    if (P.MCUModel != M::STM32F051C8T6_1024) {
      EXPECT_LT(P.ModelIDAddr, P.PGMStartAddress);
    }
  }
}

TEST(SelectModel, RowValues) {
  struct {
    int Class, MCUCount, ImageSize, FlashSize, PGMStart, ModelIDAddr;
    bool AutoBaud;
    M Model;
  } const Rows[] = {
      {0, 2, 0x5000, 0x4000, 0x200, 0x2, false, M::PIC16F886},
      {2, 1, 0x5000, 0x4000, 0x200, 0x2, false, M::PIC16F886},
      {4, 2, 0x8000, 0x8000, 0x600, 0xE, true, M::PIC18F25K20},
      {6, 1, 0x10000, 0x10000, 0x1400, 0xFFE0, false, M::STM32F051C8T6_1024},
      {8, 1, 0x10000, 0x10000, 0x2400, 0xFFE0, false, M::STM32F051C8T6_1024},
      {9, 1, 0x20000, 0x20000, 0x7000, 0x6FFC, false, M::STM32F_512},
      {11, 1, 0x4000, 0x4000, 0xC00, 0xBFC, false, M::STM32F030F4P6},
      {136, 1, 0x20000, 0x20000, 0x6000, 0x5FFC, false, M::STM32F_512},
      {160, 2, 0x8000, 0x8000, 0x600, 0xE, true, M::PIC18F25K20},
      {161, 1, 0x8000, 0x8000, 0x600, 0xE, true, M::PIC18F45K20},
      {165, 1, 0x10000, 0x10000, 0xC00, 0xBFC, false, M::STM32F_512},
  };
  for (const auto& R : Rows) {
    SCOPED_TRACE(R.Class);
    std::uint8_t MCUCount = 0;
    TParamSet P;
    ASSERT_TRUE(SelectModel(R.Class, MCUCount, P));
    EXPECT_EQ(MCUCount, R.MCUCount);
    EXPECT_EQ(P.ImageSize, R.ImageSize);
    EXPECT_EQ(P.FlashSize, R.FlashSize);
    EXPECT_EQ(P.PGMStartAddress, R.PGMStart);
    EXPECT_EQ(P.ModelIDAddr, R.ModelIDAddr);
    EXPECT_EQ(P.Auto_Baud, R.AutoBaud);
    EXPECT_EQ(P.MCUModel, R.Model);
  }
}

// The accepted file bytes of every class (last column of the model table);
// a class not listed accepts only its own value.
TEST(FileModelMatches, AcceptsExactlyTheClassBytes) {
  const std::pair<int, TRanges> Accepted[] = {
      {4, {{4, 4}, {164, 164}}},     {5, {{5, 5}, {182, 182}}}, {128, {{128, 135}}},
      {136, {{12, 19}, {136, 143}}}, {144, {{144, 151}}},       {152, {{152, 159}}},
      {161, {{161, 163}}},
  };
  std::vector<std::uint8_t> Buffer(0x40001, 0);
  for (int Code = 0; Code <= 255; ++Code) {
    const std::int32_t Class = NormaliseControllerCode(Code);
    std::uint8_t MCUCount = 0;
    TParamSet P;
    if (!SelectModel(Class, MCUCount, P)) continue;
    const auto* Row = std::find_if(std::begin(Accepted), std::end(Accepted),
                                   [Class](const auto& A) { return A.first == Class; });
    for (int Byte = 0; Byte <= 255; ++Byte) {
      Buffer[static_cast<std::size_t>(P.ModelIDAddr)] = static_cast<std::uint8_t>(Byte);
      const bool Expected = Row != std::end(Accepted) ? InRanges(Byte, Row->second) : Byte == Class;
      EXPECT_EQ(FileModelMatches(Buffer, P, Class), Expected)
          << "code " << Code << " byte " << Byte;
    }
  }
}

// Controller code and file byte together, as the update judges a file.
TEST(FileModelMatches, ControllerCodeAgainstFileByte) {
  struct {
    int Code, Byte;
    bool Accepted;
  } const Cases[] = {
      {3, 2, true},    {3, 3, false},    {3, 26, false},    {26, 26, false},   {40, 32, true},
      {40, 40, false}, {183, 32, true},  {183, 183, false}, {170, 165, true},  {170, 170, false},
      {164, 4, true},  {164, 164, true}, {164, 5, false},   {164, 182, false}, {182, 182, true},
      {12, 12, true},  {12, 19, true},   {12, 143, true},   {126, 136, false}, {136, 126, false},
      {0, 1, false},   {128, 0, false},  {160, 4, false},   {6, 7, false},     {10, 32, false},
  };
  std::vector<std::uint8_t> Buffer(0x40001, 0);
  for (const auto& C : Cases) {
    const std::int32_t Class = NormaliseControllerCode(C.Code);
    std::uint8_t MCUCount = 0;
    TParamSet P;
    ASSERT_TRUE(SelectModel(Class, MCUCount, P)) << C.Code;
    Buffer[static_cast<std::size_t>(P.ModelIDAddr)] = static_cast<std::uint8_t>(C.Byte);
    EXPECT_EQ(FileModelMatches(Buffer, P, Class), C.Accepted) << C.Code << " / " << C.Byte;
  }
}

TEST(FileModelMatches, NeverReadsOutsideTheImage) {
  TParamSet P;
  P.ImageSize = 16;
  std::vector<std::uint8_t> Small(16, 7);
  for (const std::int32_t Addr : {-1, 16, 0x7FFFFFFF}) {
    P.ModelIDAddr = Addr;
    EXPECT_FALSE(FileModelMatches(Small, P, 7)) << Addr;
  }
  P.ImageSize = 64;  // model byte inside the image but past a short buffer
  P.ModelIDAddr = 20;
  EXPECT_FALSE(FileModelMatches(Small, P, 7));
  P.ModelIDAddr = 15;
  EXPECT_TRUE(FileModelMatches(Small, P, 7));
}

TEST(FileLengthMatches, OnlyTheExactImageSize) {
  TParamSet P;
  std::uint8_t MCUCount = 0;
  ASSERT_TRUE(SelectModel(0, MCUCount, P));
  EXPECT_TRUE(FileLengthMatches(20480, P));
  for (const std::int64_t Length : {20479LL, 20481LL, 0LL, -1LL, 20480LL + 0x100000000LL})
    EXPECT_FALSE(FileLengthMatches(Length, P)) << Length;
}

TEST(IsUserUpgradeable, DecimalTwoOrMore) {
  const std::pair<const char*, bool> Cases[] = {
      {"00", false}, {"01", false}, {"-1", false}, {"$1", false},
      {"02", true},  {"10", true},  {"99", true},  {" 2", true},
  };
  for (const auto& [Text, Expected] : Cases)
    EXPECT_EQ(IsUserUpgradeable(Text[0], Text[1]), Expected) << Text;
  for (const char* Bad : {"0A", "1 ", "G0", "  "})
    EXPECT_THROW(IsUserUpgradeable(Bad[0], Bad[1]), EConvertError) << Bad;
}

}  // namespace
