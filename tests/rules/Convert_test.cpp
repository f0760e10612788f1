#include "Convert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "VersionText.h"

namespace {

constexpr std::int32_t cMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t cMax = std::numeric_limits<std::int32_t>::max();

struct TAccepted {
  const char* Text;
  std::int32_t Value;
};

TEST(StrToInt, AcceptedForms) {
  const TAccepted Cases[] = {
      {"0", 0},
      {"12", 12},
      {"   12", 12},
      {"+5", 5},
      {" -7", -7},
      {"00012", 12},
      {"$FF", 255},
      {"$ff", 255},
      {"x1F", 31},
      {"X1f", 31},
      {"0x10", 16},
      {"0X10", 16},
      {"-0x10", -16},
      {"-$1", -1},
      {"$FFFFFFFF", -1},
      {"$7FFFFFFF", cMax},
      {"$80000000", cMin},
      {"-$80000000", cMin},
      {"$000000001", 1},
      {"2147483647", cMax},
      {"-2147483648", cMin},
      {"+2147483647", cMax},
  };
  for (const TAccepted& C : Cases) {
    SCOPED_TRACE(C.Text);
    EXPECT_EQ(StrToInt(C.Text), C.Value);
  }
}

TEST(StrToInt, RefusedForms) {
  const std::string Cases[] = {
      "",
      " ",
      "+",
      "-",
      "$",
      "0x",
      "x",
      "12 ",
      "1 2",
      "- 1",
      "+-1",
      "$-1",
      "0x-1",
      "$G1",
      "12a",
      "1.0",
      "\t1",
      "00x1",
      "$ 1",
      "2147483648",
      "-2147483649",
      "$100000000",
      "99999999999999999999",
      std::string("1\0", 2),
      std::string("$1\0", 3),
  };
  for (const std::string& Text : Cases) {
    SCOPED_TRACE(Text);
    EXPECT_THROW(StrToInt(Text), EConvertError);
  }
}

TEST(StrToInt, ErrorNamesTheText) {
  try {
    StrToInt("$G1");
    FAIL() << "no error";
  } catch (const EConvertError& E) {
    EXPECT_STREQ(E.what(), "'$G1' is not a valid integer value");
  }
  try {
    HexByte('z', '9');
    FAIL() << "no error";
  } catch (const EConvertError& E) {
    EXPECT_STREQ(E.what(), "'$z9' is not a valid integer value");
  }
}

TEST(HexByte, ReadsTwoReplyCharacters) {
  struct {
    char Hi, Lo;
    int Value;
  } const Cases[] = {
      {'0', '3', 3}, {'1', 'C', 28}, {'1', 'c', 28}, {'0', 'A', 10}, {'F', 'F', 255}};
  for (const auto& C : Cases) EXPECT_EQ(HexByte(C.Hi, C.Lo), C.Value) << C.Hi << C.Lo;

  const char Bad[][2] = {{'G', '1'}, {' ', '1'}, {'1', ' '}, {'-', '1'}, {'0', 'x'}, {'\0', '1'}};
  for (const auto& B : Bad) EXPECT_THROW(HexByte(B[0], B[1]), EConvertError);
}

TEST(VersionText, DecodesTheApplicationReply) {
  const std::uint8_t Example[] = {0x3D, 0x30, 0x33, 0x31, 0x43, 0x30, 0x34, 0x0D};
  EXPECT_EQ(VersionText(Example, sizeof Example), "3.28.04");

  std::uint8_t Other[] = {'X', '1', 'c', '0', 'A', '0', 'A', 'Z'};  // R0, R7 ignored
  EXPECT_EQ(VersionText(Other, sizeof Other), "28.10.0A");

  Other[1] = 'G';
  Other[3] = 'H';  // both pairs bad: the first pair's error comes first
  EXPECT_THROW(
      {
        try {
          VersionText(Other, sizeof Other);
        } catch (const EConvertError& E) {
          EXPECT_STREQ(E.what(), "'$Gc' is not a valid integer value");
          throw;
        }
      },
      EConvertError);
  EXPECT_THROW(VersionText(Example, 6), std::out_of_range);
}

}  // namespace
