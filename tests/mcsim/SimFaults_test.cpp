// Faults injected into block replies.
#include <gtest/gtest.h>

#include "SlavePort.h"

namespace {

using namespace mcsim_test;
using mcsim::Config;
using mcsim::EventKind;
using mcsim::Fault;
using mcsim::FaultKind;
using Bytes = std::vector<std::uint8_t>;

const std::string cBlock = Frame(Bytes(16, 0x01));
const std::string cReply = "10.";

Config Pic16Bootloader(std::vector<Fault> faults, int mcus = 1) {
  Config c;
  c.mode = mcsim::Mode::Bootloader;
  c.mcuCount = mcus;
  c.faults = std::move(faults);
  return c;
}

Fault At(FaultKind kind, int block, int mcu = 1) {
  Fault f;
  f.kind = kind;
  f.block = block;
  f.mcu = mcu;
  return f;
}

void Begin(Bench& b, int mcu) {
  b.port.Write(":Q" + std::to_string(mcu) + "7E81\r");
  ASSERT_EQ(b.port.Read(1), ".");
  b.port.Write("P" + std::to_string(mcu) + ".");
  ASSERT_EQ(b.port.Read(1), ".");
}

struct FaultCase {
  const char* name;
  Fault fault;
  std::string reply;  // what arrives for the struck block
  bool lasting;       // the controller does not recover
};

Fault Garbage(std::string bytes) {
  Fault f = At(FaultKind::Garbage, 1);
  f.bytes = std::move(bytes);
  return f;
}

TEST(Faults, StrikeTheChosenBlockOnly) {
  const FaultCase cases[] = {
      {"wrong checksum", At(FaultKind::WrongChecksum, 1), "11.", false},
      {"no reply", At(FaultKind::NoReply, 1), "", false},
      {"NUL, byte never sent", At(FaultKind::NulNever, 1),
       std::string("1\0"
                   "0",
                   3),
       false},
      {"bad end", At(FaultKind::BadEnd, 1), "10#", false},
      {"garbage", Garbage("zz"), "zz", false},
      {"default garbage", Garbage(""), "\xA5\xA5\xA5", false},
      {"silence", At(FaultKind::Silence, 1), "", true},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b(Pic16Bootloader({c.fault}));
    b.port.Write("P1.");
    ASSERT_EQ(b.port.Read(1), ".");
    b.port.Write(cBlock);
    EXPECT_EQ(b.port.Read(3), cReply);  // block 0 is sound
    b.port.Write(cBlock);
    EXPECT_EQ(b.port.ReadFor(), c.reply);
    b.port.Write(cBlock);
    EXPECT_EQ(b.port.ReadFor(), c.lasting ? "" : cReply);

    const mcsim::Record r = b.sim.GetRecord();
    const auto struck = r.EventsOf(EventKind::Fault);
    ASSERT_EQ(struck.size(), 1u);
    EXPECT_EQ(struck[0].address, 0x210u);
  }
}

TEST(Faults, NulWithTheLastByteLate) {
  Fault fault = At(FaultKind::NulLate, 0);
  fault.delay = Ms{150};
  fault.nulAt = 0;
  Bench b(Pic16Bootloader({fault}));
  b.port.Write("P1.");
  ASSERT_EQ(b.port.Read(1), ".");
  b.port.Write(cBlock);
  EXPECT_EQ(b.port.Read(3), std::string("\0"
                                        "10",
                                        3));
  const auto first = Clock::now();
  EXPECT_EQ(b.port.Read(1), ".");
  // The late byte was due 150 ms after the reply's first part.
  EXPECT_GE(Clock::now() - first, Ms{100});
}

TEST(Faults, DisconnectHangsUpTheLine) {
  Bench b(Pic16Bootloader({At(FaultKind::Disconnect, 0)}));
  b.port.Write("P1.");
  ASSERT_EQ(b.port.Read(1), ".");
  b.port.Write(cBlock);
  EXPECT_TRUE(b.port.HungUp());
  EXPECT_TRUE(b.sim.WaitFor(
      [](const mcsim::Record& r) { return r.Count(EventKind::Disconnect) == 1; }, cPrompt));
}

TEST(Faults, AreCountedPerMcu) {
  struct Case {
    int faultMcu;
    std::string replies[2];  // block 0 of MCU 1, block 0 of MCU 2
  };
  const Case cases[] = {
      {1, {"11.", cReply}},
      {2, {cReply, "11."}},
      {0, {"11.", "11."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.faultMcu);
    Bench b(Pic16Bootloader({At(FaultKind::WrongChecksum, 0, c.faultMcu)}, 2));
    for (int mcu = 1; mcu <= 2; ++mcu) {
      Begin(b, mcu);
      b.port.Write(cBlock);
      EXPECT_EQ(b.port.Read(3), c.replies[mcu - 1]) << mcu;
      b.port.Write("X");
    }
  }
}

TEST(Faults, ReplyDelayAppliesToBlockReplies) {
  Config config = Pic16Bootloader({});
  config.replyDelay = Ms{120};
  Bench b(config);
  b.port.Write("P1.");
  ASSERT_EQ(b.port.Read(1), ".");
  const auto sent = Clock::now();
  b.port.Write(cBlock);
  EXPECT_EQ(b.port.Read(3), cReply);
  EXPECT_GE(Clock::now() - sent, Ms{120});
}

}  // namespace
