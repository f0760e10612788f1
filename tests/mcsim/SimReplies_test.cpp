// What each firmware answers to the probes, and the auto-baud burst.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "SlavePort.h"

namespace {

using namespace mcsim_test;
using mcsim::Config;
using mcsim::EventKind;
using mcsim::Mode;

struct ProbeCase {
  const char* name;
  std::function<void(Config&)> setup;
  std::string command;
  std::string reply;
};

TEST(Replies, ProbesGetTheirFirmwaresAnswer) {
  auto boot = [](Config& c) { c.mode = Mode::Bootloader; };
  const ProbeCase cases[] = {
      {"application version", [](Config&) {}, ":e1\r", "=031C04\r"},
      {"application ignores I1.", [](Config&) {}, "I1.", ""},
      {"bootloader identifies", boot, "I1.", std::string("\x04.", 2)},
      {"bootloader ignores :e1", boot, ":e1\r", ""},
      {"model code 0 is a NUL byte",
       [&](Config& c) {
         boot(c);
         c.modelCode = 0;
       },
       "I1.", std::string("\0.", 2)},
      {"configured digits",
       [](Config& c) {
         c.versionFirst = "0A";
         c.versionSecond = "1c";
         c.modelCode = 0xB7;
         c.versionLead = '#';
       },
       ":e1\r", "#0A1cB7\r"},
      {"raw 7-byte version reply", [](Config& c) { c.versionReply = "=031C04"; }, ":e1\r",
       "=031C04"},
      {"raw unterminated version reply", [](Config& c) { c.versionReply = "=031C04X"; }, ":e1\r",
       "=031C04X"},
      {"raw identification reply",
       [&](Config& c) {
         boot(c);
         c.idReply = "\x04!";
       },
       "I1.", "\x04!"},
  };
  for (const ProbeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Config config;
    c.setup(config);
    Bench b(config);
    b.port.Write(c.command);
    EXPECT_EQ(b.port.ReadFor(), c.reply);
  }
}

TEST(Replies, ListenOnlyAtTheirSpeed) {
  Config config;
  config.appBaud = 38400;
  Bench b(config, B38400);
  b.port.Write(":e1\r");
  EXPECT_EQ(b.port.Read(8), "=031C04\r");
  b.port.SetSpeed(B9600);
  b.port.Write(":e1\r");
  EXPECT_EQ(b.port.ReadFor(), "");
}

TEST(Replies, ReplyDelayHoldsBackEveryReply) {
  Config config;
  config.replyDelay = Ms{150};
  Bench b(config);
  const auto sent = Clock::now();
  b.port.Write(":e1\r");
  EXPECT_EQ(b.port.Read(8), "=031C04\r");
  EXPECT_GE(Clock::now() - sent, Ms{150});
}

// The burst as the tool sends it: each byte on its own, 20 ms apart.
void SendBurst(SlavePort& port, const std::string& bytes) {
  for (char c : bytes) {
    port.Write(std::string(1, c));
    std::this_thread::sleep_for(Ms{20});
  }
}

struct BurstCase {
  const char* name;
  Mode mode;
  bool autoBaud;
  bool withoutNul;
  std::string burst;
  std::string answer;
};

TEST(AutoBaud, AnswersTheBurstOnlyWhenConfigured) {
  const BurstCase cases[] = {
      {"measuring bootloader", Mode::Bootloader, true, false, std::string("\0UU", 3), "."},
      {"bare U U is no burst", Mode::Bootloader, true, false, "UU", ""},
      {"bare U U when allowed", Mode::Bootloader, true, true, "UU", "."},
      {"U U after noise", Mode::Bootloader, true, false, std::string("\0xUU", 4), ""},
      {"bootloader without auto-baud", Mode::Bootloader, false, false, std::string("\0UU", 3), ""},
      {"application", Mode::Application, true, false, std::string("\0UU", 3), ""},
  };
  for (const BurstCase& c : cases) {
    SCOPED_TRACE(c.name);
    Config config;
    config.mode = c.mode;
    config.autoBaud = c.autoBaud;
    config.autoBaudWithoutNul = c.withoutNul;
    Bench b(config, B38400);
    SendBurst(b.port, c.burst);
    EXPECT_EQ(b.port.ReadFor(), c.answer);
  }
}

TEST(AutoBaud, LocksToTheSpeedOfTheBurst) {
  Config config;
  config.mode = Mode::Bootloader;
  config.autoBaud = true;
  config.bootBaud = 9600;  // not used: the burst decides
  Bench b(config, B38400);
  EXPECT_EQ(b.sim.ListeningBaud(), 0);
  b.port.Write("I1.");
  EXPECT_EQ(b.port.ReadFor(), "");  // no speed yet: nothing is understood

  SendBurst(b.port, std::string("\0UU", 3));
  EXPECT_EQ(b.port.Read(1), ".");
  EXPECT_EQ(b.sim.ListeningBaud(), 38400);
  b.port.Write("I1.");
  EXPECT_EQ(b.port.Read(2), std::string("\x04.", 2));
  b.port.SetSpeed(B9600);
  b.port.Write("I1.");
  EXPECT_EQ(b.port.ReadFor(), "");

  const auto locks = b.sim.GetRecord().EventsOf(EventKind::AutoBaudLock);
  ASSERT_EQ(locks.size(), 1u);
  EXPECT_EQ(locks[0].baud, 38400);
}

TEST(AutoBaud, BurstSpreadOverTwoSpeedsIsNotTaken) {
  Config config;
  config.mode = Mode::Bootloader;
  config.autoBaud = true;
  Bench b(config, B38400);
  SendBurst(b.port, std::string("\0U", 2));
  b.port.SetSpeed(B9600);
  SendBurst(b.port, "U");
  EXPECT_EQ(b.port.ReadFor(), "");
}

}  // namespace
