// The line: speed, echo, reading a stream, reopening, the link path.
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "SlavePort.h"

namespace {

using namespace mcsim_test;
using mcsim::Config;
using mcsim::Link;
using mcsim::Mode;

const std::string cVersionCmd = ":e1\r";
const std::string cVersionReply = "=031C04\r";

Config App(Link link) {
  Config c;
  c.link = link;
  c.appBaud = 9600;
  return c;
}

class EachLink : public ::testing::TestWithParam<Link> {};
INSTANTIATE_TEST_SUITE_P(Links, EachLink, ::testing::Values(Link::Plain, Link::EchoBus),
                         [](const auto& param) {
                           return param.param == Link::Plain ? "Plain" : "EchoBus";
                         });

TEST_P(EachLink, BytesAtAnotherSpeedAreNoise) {
  Bench b(App(GetParam()), B115200);
  b.port.Write(cVersionCmd);
  EXPECT_EQ(b.port.ReadFor(), "");  // neither answered nor echoed

  b.port.SetSpeed(B9600);
  b.port.Write(cVersionCmd);
  const std::string echo = GetParam() == Link::EchoBus ? cVersionCmd : "";
  EXPECT_EQ(b.port.Read(echo.size() + 8), echo + cVersionReply);

  const mcsim::Record r = b.sim.GetRecord();
  ASSERT_EQ(r.rx.size(), 8u);
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(r.rx[i].baud, i < 4 ? 115200 : 9600) << i;
    EXPECT_EQ(r.rx[i].heard, i >= 4) << i;
  }
  EXPECT_EQ(r.Received(true), cVersionCmd);
}

TEST(Link, EchoPrecedesReply) {
  struct Case {
    Mode mode;
    std::string command;
    std::string reply;
  };
  const Case cases[] = {
      {Mode::Application, cVersionCmd, cVersionReply},
      {Mode::Bootloader, "I1.", std::string("\x04.", 2)},
  };
  for (const Case& c : cases) {
    Config config = App(Link::EchoBus);
    config.mode = c.mode;
    Bench b(config);
    b.port.Write(c.command);
    EXPECT_EQ(b.port.Read(c.command.size() + c.reply.size()), c.command + c.reply);
    EXPECT_EQ(b.sim.GetRecord().Sent(), c.command + c.reply);
  }
}

TEST(Link, CommandsAreReadFromAStream) {
  const std::vector<std::vector<std::string>> cases = {
      {":e", "1\r"},       {":", "e", "1", "\r"},
      {"xx.I1", ":e1\r"},   // leftovers of other probes first
      {":e:e1\r"},          // a broken start, then the command
      {":Q17E8", ":e1\r"},  // an unfinished entry command, then the command
  };
  Bench b(App(Link::Plain));
  for (const auto& pieces : cases) {
    for (const std::string& piece : pieces) {
      b.port.Write(piece);
      std::this_thread::sleep_for(Ms{20});
    }
    EXPECT_EQ(b.port.Read(8), cVersionReply) << pieces.front();
    EXPECT_EQ(b.port.ReadFor(Ms{50}), "");
  }
}

TEST(Link, BusProbeGetsNoAnswerOfItsOwn) {
  for (Link link : {Link::Plain, Link::EchoBus}) {
    for (Mode mode : {Mode::Application, Mode::Bootloader}) {
      Config config = App(link);
      config.mode = mode;
      Bench b(config);
      b.port.Write(".");
      EXPECT_EQ(b.port.ReadFor(), link == Link::EchoBus ? "." : "");
    }
  }
}

TEST(Link, PortCanBeClosedAndReopened) {
  Bench b(App(Link::Plain));
  for (int i = 0; i < 3; ++i) {
    b.port.Reopen(B9600);
    b.port.Write(cVersionCmd);
    EXPECT_EQ(b.port.Read(8), cVersionReply);
  }
}

TEST(Link, ServesTheSlaveUnderTheLinkPath) {
  char dir[] = "/tmp/mcsim-test-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string link = std::string(dir) + "/port";
  {
    Config config = App(Link::Plain);
    config.linkPath = link;
    Bench b(config);
    EXPECT_EQ(b.sim.DevicePath(), link);
    EXPECT_NE(b.sim.SlaveName(), link);
    b.port.Write(cVersionCmd);
    EXPECT_EQ(b.port.Read(8), cVersionReply);
  }
  EXPECT_NE(access(link.c_str(), F_OK), 0);  // the link goes with the simulator
  rmdir(dir);
}

TEST(Link, WritesAreRecordedAsChunks) {
  Bench b(App(Link::Plain));
  const std::string piece(64, '0');
  for (int i = 0; i < 3; ++i) {
    b.port.Write(piece);
    std::this_thread::sleep_for(Ms{100});
  }
  const mcsim::Record r = b.sim.GetRecord();
  ASSERT_EQ(r.chunks.size(), 3u);
  for (std::size_t i = 0; i < r.chunks.size(); ++i) {
    EXPECT_EQ(r.chunks[i].bytes, piece);
    EXPECT_EQ(r.chunks[i].baud, 9600);
    if (i > 0) {
      EXPECT_GE(r.chunks[i].first - r.chunks[i - 1].last, Ms{50});
    }
  }
}

}  // namespace
