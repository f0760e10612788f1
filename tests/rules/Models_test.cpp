#include "Models.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "Convert.h"
#include "TransferRules.h"

namespace {

using M = TMCUModel;

TEST(NormaliseControllerCode, FoldsGroups) {
  const std::pair<int, int> Cases[] = {
      // clang-format off
      {0, 0}, {1, 1}, {2, 2}, {3, 2}, {26, 2}, {4, 4}, {164, 4}, {5, 5}, {182, 5}, {12, 136},
      {19, 136}, {143, 136}, {31, 31}, {32, 32}, {40, 32}, {47, 32}, {183, 32}, {55, 48},
      {56, 56}, {63, 56}, {64, 64}, {126, 126}, {135, 128}, {151, 144}, {152, 152}, {159, 152},
      {160, 160}, {163, 161}, {170, 165}, {180, 165}, {181, 181}, {184, 184}, {255, 255},
      // clang-format on
  };
  for (const auto& [Code, Class] : Cases) EXPECT_EQ(NormaliseControllerCode(Code), Class) << Code;
}

bool ListedUnsupported(int C) {
  return (C >= 20 && C <= 25) || (C >= 27 && C <= 31) || (C >= 64 && C <= 125) || C == 127 ||
         C == 181 || C >= 184;
}

// Every code 0..255: supported exactly when not listed as unsupported; an
// unsupported class leaves the parameter set alone; a supported row fits the
// transfer's blocks and the image buffer.
TEST(SelectModel, EveryModelCode) {
  for (int Code = 0; Code <= 255; ++Code) {
    SCOPED_TRACE(Code);
    TParamSet P;
    P.ImageSize = 77;  // sentinel
    std::uint8_t MCUCount = 9;
    const bool Supported = SelectModel(NormaliseControllerCode(Code), MCUCount, P);
    ASSERT_EQ(Supported, !ListedUnsupported(Code));
    if (!Supported) {
      EXPECT_EQ(MCUCount, 0);
      EXPECT_EQ(P.ImageSize, 77);
      continue;
    }
    EXPECT_TRUE(MCUCount == 1 || MCUCount == 2);
    EXPECT_TRUE(P.FlashSize <= P.ImageSize && P.ImageSize <= 0x20000);
    EXPECT_TRUE(P.ModelIDAddr >= 0 && P.ModelIDAddr < P.ImageSize);
    const TTransferParams* T = TransferParamsFor(P.MCUModel);
    ASSERT_NE(T, nullptr);
    EXPECT_EQ(P.PGMStartAddress % T->FlashBlockSize, 0);
    EXPECT_EQ(P.FlashSize % T->FlashBlockSize, 0);
  }
  std::uint8_t MCUCount = 0;
  TParamSet P;
  ASSERT_TRUE(SelectModel(NormaliseControllerCode(12), MCUCount, P));
  EXPECT_EQ(P.ImageSize, 0x20000);
  EXPECT_EQ(P.MCUModel, M::STM32F_512);
  ASSERT_TRUE(SelectModel(NormaliseControllerCode(164), MCUCount, P));
  EXPECT_EQ(MCUCount, 2);
  EXPECT_TRUE(P.Auto_Baud);
  EXPECT_EQ(P.MCUModel, M::PIC18F25K20);
}

// Controller code and file byte together, as the update judges a file;
// classes with equal rows stay distinct.
TEST(FileModelMatches, ControllerCodeAgainstFileByte) {
  struct {
    int Code, Byte;
    bool Accepted;
  } const Cases[] = {
      // clang-format off
      {3, 2, true}, {3, 3, false}, {3, 26, false}, {26, 26, false}, {40, 32, true},
      {40, 40, false}, {183, 32, true}, {183, 183, false}, {170, 165, true}, {170, 170, false},
      {164, 4, true}, {164, 164, true}, {164, 5, false}, {164, 182, false}, {182, 182, true},
      {12, 12, true}, {12, 19, true}, {12, 143, true}, {136, 12, true}, {126, 136, false},
      {136, 126, false}, {0, 1, false}, {128, 0, false}, {130, 135, true}, {160, 4, false},
      {6, 7, false}, {10, 32, false}, {161, 163, true}, {48, 49, false},
      // clang-format on
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
  const std::vector<std::uint8_t> Small(16, 7);
  TParamSet P;
  P.ImageSize = 64;
  for (const std::int32_t Addr : {-1, 16, 63, 64, INT32_MAX}) {
    P.ModelIDAddr = Addr;
    EXPECT_FALSE(FileModelMatches(Small, P, 7)) << Addr;
  }
  P.ModelIDAddr = 15;
  EXPECT_TRUE(FileModelMatches(Small, P, 7));
}

TEST(FileLengthMatches, OnlyTheExactImageSize) {
  TParamSet P;
  std::uint8_t MCUCount = 0;
  ASSERT_TRUE(SelectModel(0, MCUCount, P));
  EXPECT_TRUE(FileLengthMatches(20480, P));
  for (const std::int64_t Length : {20479LL, 20481LL, 0LL, 20480LL + 0x100000000LL})
    EXPECT_FALSE(FileLengthMatches(Length, P)) << Length;
}

TEST(IsUserUpgradeable, DecimalTwoOrMore) {
  const std::pair<const char*, bool> Cases[] = {{"00", false}, {"01", false}, {"-1", false},
                                                {"02", true},  {"10", true},  {"99", true}};
  for (const auto& [Text, Expected] : Cases)
    EXPECT_EQ(IsUserUpgradeable(Text[0], Text[1]), Expected) << Text;
  for (const char* Bad : {"0A", "1 ", "  "})
    EXPECT_THROW(IsUserUpgradeable(Bad[0], Bad[1]), EConvertError) << Bad;
}

}  // namespace
