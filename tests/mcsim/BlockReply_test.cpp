// The controller's checksum replies on the worked examples of the protocol.
#include "BlockReply.h"

#include <gtest/gtest.h>

#include "SlavePort.h"

namespace {

using mcsim::Family;
using Bytes = std::vector<std::uint8_t>;

Bytes WithZeros(Bytes head, std::size_t size) {
  head.resize(size, 0x00);
  return head;
}

// The PIC16 example block at 0x200 as the tool sends it (odd 0xFF already 0x3F).
const Bytes cPic16Example = {0x12, 0x30, 0xA5, 0x0B, 0xFF, 0x3F, 0xFF, 0x3F,
                             0xFF, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F};

struct ReplyCase {
  const char* name;
  Family family;
  Bytes block;
  std::string reply;
};

TEST(BlockReply, RepliesToBlocks) {
  const ReplyCase cases[] = {
      {"PIC16 example at 0x200", Family::PIC16, cPic16Example, "66."},
      {"PIC16 sum keeps its low byte", Family::PIC16, Bytes(16, 0xFF), "?0."},
      {"PIC18 example", Family::PIC18, WithZeros({0x12, 0x34, 0x56, 0x78}, 64), "4<44."},
      {"PIC18 words are little-endian", Family::PIC18, WithZeros({0x00, 0xA0}, 64), ":000."},
      {"STM32 0x1234ABCD", Family::STM32, WithZeros({0xCD, 0xAB, 0x34, 0x12}, 64), "<=:;3412."},
      {"STM32 words XOR", Family::STM32,
       WithZeros({0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80}, 64), "01000080."},
  };
  for (const ReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string reply =
        mcsim::ChecksumReply(c.family, mcsim::BlockChecksum(c.family, c.block));
    EXPECT_EQ(reply, c.reply);
    EXPECT_EQ(reply.size(), mcsim::ReplyLength(c.family));
  }
}

TEST(BlockReply, DecodesTheExampleFrame) {
  const std::string frame = "1230:50;??3???3???3???3???3???3?";
  EXPECT_EQ(mcsim::DecodeFrame(frame), cPic16Example);
  EXPECT_EQ(mcsim_test::Frame(cPic16Example), frame);
}

TEST(BlockReply, NibbleCharactersAreNotHex) {
  EXPECT_TRUE(mcsim::IsNibbleChar('0'));
  EXPECT_TRUE(mcsim::IsNibbleChar('?'));
  EXPECT_FALSE(mcsim::IsNibbleChar('A'));
  EXPECT_FALSE(mcsim::IsNibbleChar('/'));
  EXPECT_FALSE(mcsim::IsNibbleChar('@'));
}

}  // namespace
