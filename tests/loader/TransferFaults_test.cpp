// How WriteBufferedData ends on each fault the controller can show: the
// abort after a failed block, the status line, and nothing sent afterwards.
#include <gtest/gtest.h>

#include "TransferFixture.h"

namespace transfer_test {
namespace {

using mcsim::EventKind;
using mcsim::FaultKind;

constexpr double cStartTimeOutMs = 15000;

struct TFaultCase {
  const char* Name;
  mcsim::Fault Fault;
  bool Accepted;           // the transfer still succeeds
  const char* LastPrompt;  // when it does not
  double MinMs;            // extra time the fault costs at least
};

mcsim::Fault Make(FaultKind Kind, Ms Delay = Ms{50}) {
  mcsim::Fault F;
  F.kind = Kind;
  F.mcu = 1;
  F.block = 1;  // the second block of the first MCU
  F.delay = Delay;
  F.nulAt = 1;
  return F;
}

const TFaultCase cFaultCases[] = {
    {"wrong checksum", Make(FaultKind::WrongChecksum), false, "Checksum error.", 0},
    {"no reply", Make(FaultKind::NoReply), false, "33% of MCU 1", 1000},
    {"NUL repaired", Make(FaultKind::NulLate, Ms{50}), true, nullptr, 200},
    {"NUL not repaired", Make(FaultKind::NulNever), false, "33% of MCU 1", 200},
    {"NUL repaired too late", Make(FaultKind::NulLate, Ms{600}), false, "33% of MCU 1", 200},
    {"bad terminator", Make(FaultKind::BadEnd), false, "33% of MCU 1", 0},
};

// PIC16 with two MCUs and three blocks: a fault in the first MCU's second
// block must leave the second MCU untouched.
TEST_F(TransferTest, BlockFaultsEndAsTheFailureTableSays) {
  for (const TFaultCase& C : cFaultCases) {
    SCOPED_TRACE(C.Name);
    mcsim::Config Config = SimConfig(cPic16, 9600);
    Config.mcuCount = 2;
    Config.faults = {C.Fault};
    StartSim(Config);
    const Bytes Image = MakeImage(cPic16, 0x26);
    Arrange(cPic16, 2, Image, 9600);
    const std::vector<std::string> Frames = ExpectedFrames(cPic16, Image);
    ASSERT_EQ(Frames.size(), 3u);

    const bool Result = Run();
    EXPECT_EQ(Result, C.Accepted);
    std::string Expected;
    if (C.Accepted) {
      for (int Mcu = 1; Mcu <= 2; ++Mcu) {
        Expected += Entry(Mcu) + "." + Start(Mcu);
        for (const std::string& F : Frames) Expected += F;
        Expected += "X";
      }
    } else {
      Expected = Entry(1) + "." + Start(1) + Frames[0] + Frames[1] + "Q";
      EXPECT_EQ(View.Prompts.back(), C.LastPrompt);
    }
    const mcsim::Record R = RecordAfter(Expected.size());
    // Nothing after the "Q": no further block, no finish, no second MCU.
    EXPECT_EQ(R.Received(false), Expected);
    EXPECT_EQ(R.Count(EventKind::Abort), C.Accepted ? 0u : 1u);
    EXPECT_EQ(R.Count(EventKind::Entry, 2), C.Accepted ? 1u : 0u);
    if (C.Accepted) {
      const Bytes Sent = ExpectedSent(cPic16, Image);
      EXPECT_EQ(Received(R, 2, cPic16.PGMStartAddress, Sent.size()), Sent);
    }
    EXPECT_GE(ElapsedMs, 200 + 200 + 500 + C.MinMs);
    EXPECT_FALSE(Port.Enabled);
    NextCase();
  }
}

// The NUL may sit anywhere in the reply, the end included: the late byte
// fills the last place either way.
TEST_F(TransferTest, RepairedNulAnywhereInTheReply) {
  for (const std::size_t At : {0, 4, 8}) {
    SCOPED_TRACE(At);
    mcsim::Config Config = SimConfig(cStm64, 9600);
    mcsim::Fault F = Make(FaultKind::NulLate, Ms{20});
    F.block = 0;
    F.nulAt = At;
    Config.faults = {F};
    StartSim(Config);
    Arrange(cStm64, 1, MakeImage(cStm64, 0x20), 9600);
    View.Controls.PCDirectMode = false;
    EXPECT_TRUE(Run());
    EXPECT_EQ(View.Prompts.back(), "100% of MCU 1");
    NextCase();
  }
}

// The one slow case: the bootloader never answers the start command.
TEST_F(TransferTest, MissingStartReplyFailsAfterFifteenSeconds) {
  mcsim::Config Config = SimConfig(cStm1024, 115200);
  Config.bootBaud = 38400;  // the bootloader hears nothing the tool sends
  StartSim(Config);
  Arrange(cStm1024, 1, MakeImage(cStm1024, 0x10), 115200);
  EXPECT_FALSE(Run());
  const std::string Expected = Entry(1) + "." + Start(1);
  const mcsim::Record R = RecordAfter(Expected.size());
  EXPECT_EQ(R.Received(false), Expected);
  EXPECT_EQ(R.Count(EventKind::Entry), 1u);
  EXPECT_EQ(View.Prompts, std::vector<std::string>{"Wait..."});
  EXPECT_GE(ElapsedMs, cStartTimeOutMs);
  EXPECT_FALSE(Port.Enabled);
}

}  // namespace
}  // namespace transfer_test
