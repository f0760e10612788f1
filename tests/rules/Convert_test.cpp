#include "Convert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "VersionText.h"

namespace {

using namespace std::string_literals;

// The text of the EConvertError thrown by F, or "" when none is thrown.
template <typename TFn>
std::string ErrorText(TFn F) {
  try {
    F();
  } catch (const EConvertError& E) {
    return E.what();
  }
  return "";
}

TEST(StrToInt, AcceptedForms) {
  constexpr std::int32_t cMin = INT32_MIN, cMax = INT32_MAX;
  const std::pair<const char*, std::int32_t> Cases[] = {
      // clang-format off
      {"0", 0}, {"12", 12}, {"   12", 12}, {"+5", 5}, {" -7", -7}, {"00012", 12},
      {"$FF", 255}, {"$ff", 255}, {"x1F", 31}, {"X1f", 31}, {"0x10", 16}, {"0X10", 16},
      {"-0x10", -16}, {"-$1", -1}, {"$FFFFFFFF", -1}, {"$7FFFFFFF", cMax}, {"$80000000", cMin},
      {"-$80000000", cMin}, {"$000000001", 1}, {"2147483647", cMax}, {"-2147483648", cMin},
      // clang-format on
  };
  for (const auto& [Text, Value] : Cases) EXPECT_EQ(StrToInt(Text), Value) << Text;
}

TEST(StrToInt, RefusedForms) {
  const std::string Cases[] = {
      // clang-format off
      "", " ", "+", "-", "$", "0x", "x", "12 ", "1 2", "- 1", "+-1", "$-1", "0x-1", "$G1",
      "12a", "1.0", "\t1", "00x1", "$ 1", "2147483648", "-2147483649", "$100000000",
      "99999999999999999999", "1\0"s, "$1\0"s,
      // clang-format on
  };
  for (const std::string& Text : Cases) {
    const std::string Expected = "'" + Text + "' is not a valid integer value";
    EXPECT_EQ(ErrorText([&] { StrToInt(Text); }), Expected.c_str());  // what() ends at a NUL
  }
}

TEST(HexByte, ReadsTwoReplyCharacters) {
  const std::pair<const char*, int> Cases[] = {
      {"03", 3}, {"1C", 28}, {"1c", 28}, {"0A", 10}, {"FF", 255}};
  for (const auto& [Pair, Value] : Cases) EXPECT_EQ(HexByte(Pair[0], Pair[1]), Value) << Pair;
  for (const char* Bad : {"G1", " 1", "1 ", "-1", "0x"})
    EXPECT_THROW(HexByte(Bad[0], Bad[1]), EConvertError) << Bad;
  EXPECT_EQ(ErrorText([] { HexByte('z', '9'); }), "'$z9' is not a valid integer value");
}

TEST(VersionText, DecodesTheApplicationReply) {
  const std::uint8_t Example[] = {0x3D, 0x30, 0x33, 0x31, 0x43, 0x30, 0x34, 0x0D};
  EXPECT_EQ(VersionText(Example, sizeof Example), "3.28.04");
  std::uint8_t Other[] = {'X', '1', 'c', '0', 'A', '0', 'A', 'Z'};  // R0, R7 not looked at
  EXPECT_EQ(VersionText(Other, sizeof Other), "28.10.0A");
  Other[1] = 'G';
  Other[3] = 'H';  // both pairs bad: the first pair's error wins
  EXPECT_EQ(ErrorText([&] { VersionText(Other, sizeof Other); }),
            "'$Gc' is not a valid integer value");
  EXPECT_THROW(VersionText(Example, 6), std::out_of_range);
}

}  // namespace
