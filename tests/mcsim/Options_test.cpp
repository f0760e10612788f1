// mcsim-run's command line.
#include "Options.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using mcsim::ParseOptions;

TEST(Options, SetTheConfiguration) {
  const mcsim::RunOptions o = ParseOptions(
      {"--mode",        "boot",      "--bus",     "--auto-baud", "--boot-baud", "38400",
       "--model",       "0xA4",      "--mcus",    "2",           "--family",    "pic18",
       "--block",       "64",        "--start",   "0x600",       "--flash",     "0x8000",
       "--entry-reply", "=",         "--version", "0A.1c",       "--fault",     "nul-late:3:2:80",
       "--fault",       "silence:0", "--save",    "/tmp/img"});
  const mcsim::Config& c = o.config;
  EXPECT_EQ(c.mode, mcsim::Mode::Bootloader);
  EXPECT_EQ(c.link, mcsim::Link::EchoBus);
  EXPECT_TRUE(c.autoBaud);
  EXPECT_EQ(c.bootBaud, 38400);
  EXPECT_EQ(c.modelCode, 0xA4);
  EXPECT_EQ(c.mcuCount, 2);
  EXPECT_EQ(c.family, mcsim::Family::PIC18);
  EXPECT_EQ(c.startAddress, 0x600u);
  EXPECT_EQ(c.entryReply, '=');
  EXPECT_EQ(c.versionFirst + c.versionSecond, "0A1c");
  ASSERT_EQ(c.faults.size(), 2u);
  EXPECT_EQ(c.faults[0].kind, mcsim::FaultKind::NulLate);
  EXPECT_EQ(c.faults[0].block, 3);
  EXPECT_EQ(c.faults[0].mcu, 2);
  EXPECT_EQ(c.faults[0].delay, mcsim::Ms{80});
  EXPECT_EQ(c.faults[1].mcu, 1);
  EXPECT_EQ(o.savePrefix, "/tmp/img");
}

TEST(Options, RefuseWhatCannotWork) {
  const std::vector<std::vector<std::string>> cases = {
      {"--frobnicate"},
      {"--model"},
      {"--model", "256"},
      {"--mcus", "3"},
      {"--family", "avr"},
      {"--fault", "melt:1"},
      {"--fault", "checksum"},
      {"--version", "1.2"},
      {"--family", "stm32", "--block", "30"},  // not whole 32-bit words
      {"--start", "0x4000"},                   // at the end of the default flash
  };
  for (const auto& args : cases) {
    EXPECT_THROW(ParseOptions(args), std::invalid_argument) << args.front();
  }
}

}  // namespace
