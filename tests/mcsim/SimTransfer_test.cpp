// The bootloader transfer from the controller's side.
#include <gtest/gtest.h>

#include <thread>

#include "SlavePort.h"

namespace {

using namespace mcsim_test;
using mcsim::Config;
using mcsim::EventKind;
using mcsim::Family;
using mcsim::Mode;
using Bytes = std::vector<std::uint8_t>;

std::string Entry(int mcu) {
  return ":Q" + std::to_string(mcu) + "7E81\r";
}
std::string Start(int mcu) {
  return "P" + std::to_string(mcu) + ".";
}

Bytes WithZeros(Bytes head, std::size_t size) {
  head.resize(size, 0x00);
  return head;
}

struct FamilyCase {
  const char* name;
  Family family;
  int blockSize;
  std::uint32_t start;
  Bytes first;
  std::string firstReply;
  Bytes second;
  std::string secondReply;
};

const FamilyCase cFamilies[] = {
    {"PIC16", Family::PIC16, 16, 0x200,
     Bytes{0x12, 0x30, 0xA5, 0x0B, 0xFF, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F, 0xFF,
           0x3F},
     "66.", Bytes(16, 0x01), "10."},
    {"PIC18", Family::PIC18, 64, 0x600, WithZeros({0x12, 0x34, 0x56, 0x78}, 64), "4<44.",
     WithZeros({0xFF, 0xFF}, 64), "????."},
    {"STM32", Family::STM32, 64, 0xC00, WithZeros({0xCD, 0xAB, 0x34, 0x12}, 64), "<=:;3412.",
     WithZeros({0x01, 0, 0, 0, 0, 0, 0, 0x80}, 64), "01000080."},
};

Config ForFamily(const FamilyCase& f) {
  Config c;
  c.family = f.family;
  c.blockSize = f.blockSize;
  c.startAddress = f.start;
  c.flashSize = 0x8000;
  return c;
}

TEST(Transfer, EachFamilyFromEntryToFinish) {
  for (const FamilyCase& f : cFamilies) {
    SCOPED_TRACE(f.name);
    Bench b(ForFamily(f));
    b.port.Write(Entry(1));
    EXPECT_EQ(b.port.Read(1), ".");
    b.port.Write(".");  // the dot after the entry exchange
    b.port.Write(Start(1));
    EXPECT_EQ(b.port.Read(1), ".");
    b.port.Write(Frame(f.first));
    EXPECT_EQ(b.port.Read(f.firstReply.size()), f.firstReply);
    b.port.Write(Frame(f.second));
    EXPECT_EQ(b.port.Read(f.secondReply.size()), f.secondReply);
    b.port.Write("X");
    ASSERT_TRUE(b.sim.WaitFor(
        [](const mcsim::Record& r) { return r.Count(EventKind::Finish) == 1; }, cPrompt));
    EXPECT_EQ(b.port.ReadFor(Ms{100}), "");

    const mcsim::Record r = b.sim.GetRecord();
    const auto& image = r.mcus.at(0);
    const auto at = [&](std::uint32_t a) { return image.flash.begin() + a; };
    const std::uint32_t size = static_cast<std::uint32_t>(f.blockSize);
    EXPECT_TRUE(std::equal(f.first.begin(), f.first.end(), at(f.start)));
    EXPECT_TRUE(std::equal(f.second.begin(), f.second.end(), at(f.start + size)));
    EXPECT_EQ(image.flash[f.start - 1], 0xFF);
    EXPECT_EQ(image.flash[f.start + 2 * size], 0xFF);
    EXPECT_EQ(image.blocks, (std::vector<std::uint32_t>{f.start, f.start + size}));
    EXPECT_EQ(r.Count(EventKind::ProtocolError), 0u);
    EXPECT_EQ(b.sim.CurrentMode(), Mode::Application);  // the new firmware runs
  }
}

TEST(Transfer, TwoMcusKeepTheirOwnImages) {
  const FamilyCase& f = cFamilies[0];
  Config config = ForFamily(f);
  config.mcuCount = 2;
  Bench b(config);
  const Bytes images[] = {f.first, f.second};
  for (int mcu = 1; mcu <= 2; ++mcu) {
    b.port.Write(Entry(mcu));
    EXPECT_EQ(b.port.Read(1), ".");
    b.port.Write(Start(mcu));
    EXPECT_EQ(b.port.Read(1), ".");
    b.port.Write(Frame(images[mcu - 1]));
    EXPECT_EQ(b.port.Read(3).size(), 3u);
    b.port.Write("X");
  }
  ASSERT_TRUE(b.sim.WaitFor([](const mcsim::Record& r) { return r.Count(EventKind::Finish) == 2; },
                            cPrompt));
  const mcsim::Record r = b.sim.GetRecord();
  for (int mcu = 1; mcu <= 2; ++mcu) {
    const Bytes& sent = images[mcu - 1];
    const auto& flash = r.mcus.at(static_cast<std::size_t>(mcu - 1)).flash;
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), flash.begin() + f.start)) << mcu;
    EXPECT_EQ(r.Count(EventKind::Entry, mcu), 1u);
    EXPECT_EQ(r.Count(EventKind::Finish, mcu), 1u);
  }
}

TEST(Transfer, UnexpectedCommandsAreProtocolErrors) {
  Config config = ForFamily(cFamilies[0]);
  config.mcuCount = 2;
  config.mode = Mode::Bootloader;
  Bench b(config);
  b.port.Write(Entry(3));  // no such MCU
  b.port.Write(Start(2));  // MCU 1 holds the line
  EXPECT_EQ(b.port.ReadFor(), "");
  EXPECT_EQ(b.sim.GetRecord().Count(EventKind::ProtocolError), 2u);
}

TEST(Transfer, BadFrameCharacterIsRecordedAndStillAnswered) {
  Config config = ForFamily(cFamilies[0]);
  config.mode = Mode::Bootloader;
  Bench b(config);
  b.port.Write(Start(1));
  EXPECT_EQ(b.port.Read(1), ".");
  std::string frame = Frame(Bytes(16, 0x00));
  frame[3] = 'A';  // hexadecimal is not the frame's alphabet
  b.port.Write(frame);
  EXPECT_EQ(b.port.Read(3).size(), 3u);
  const auto errors = b.sim.GetRecord().EventsOf(EventKind::ProtocolError);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].detail.find("0x41"), std::string::npos) << errors[0].detail;
}

TEST(Transfer, BlockBeyondTheFlashIsNotWritten) {
  Config config = ForFamily(cFamilies[0]);
  config.mode = Mode::Bootloader;
  config.flashSize = 0x210;  // room for one block at 0x200
  Bench b(config);
  b.port.Write(Start(1));
  EXPECT_EQ(b.port.Read(1), ".");
  for (int i = 0; i < 2; ++i) {
    b.port.Write(Frame(Bytes(16, 0x01)));
    EXPECT_EQ(b.port.Read(3), "10.");
  }
  const mcsim::Record r = b.sim.GetRecord();
  EXPECT_EQ(r.mcus[0].blocks, std::vector<std::uint32_t>{0x200});
  EXPECT_EQ(r.Count(EventKind::ProtocolError), 1u);
}

TEST(Transfer, AbortLeavesTheBootloaderWaiting) {
  Config config = ForFamily(cFamilies[0]);
  config.mode = Mode::Bootloader;
  Bench b(config);
  b.port.Write(Start(1));
  EXPECT_EQ(b.port.Read(1), ".");
  b.port.Write("Q");
  b.port.Write("I1.");
  EXPECT_EQ(b.port.Read(2), std::string("\x04.", 2));
  EXPECT_EQ(b.sim.GetRecord().Count(EventKind::Abort, 1), 1u);
  EXPECT_EQ(b.sim.CurrentMode(), Mode::Bootloader);
}

TEST(Transfer, EntryReplyIsConfigurable) {
  for (const std::optional<char> reply : {std::optional<char>('='), std::optional<char>()}) {
    Config config;
    config.entryReply = reply;
    Bench b(config);
    b.port.Write(Entry(1));
    EXPECT_EQ(b.port.ReadFor(), reply ? std::string(1, *reply) : "");
    EXPECT_EQ(b.sim.CurrentMode(), Mode::Bootloader);
  }
}

TEST(Transfer, ApplicationHandsOverAtTheBootloadersSpeed) {
  Config config;
  config.appBaud = 38400;
  config.bootBaud = 115200;
  Bench b(config, B38400);
  b.port.Write(Entry(1));
  EXPECT_EQ(b.port.Read(1), ".");
  b.port.Write(Start(1));
  EXPECT_EQ(b.port.ReadFor(), "");
  b.port.SetSpeed(B115200);
  b.port.Write(Start(1));
  EXPECT_EQ(b.port.Read(1), ".");
}

TEST(Transfer, EntryReplyAsksForAutoBaud) {
  Config config;
  config.autoBaud = true;
  config.entryReply = '=';
  Bench b(config, B9600);
  b.port.Write(Entry(1));
  EXPECT_EQ(b.port.Read(1), "=");
  b.port.Reopen(B38400);
  for (char c : std::string("\0UU", 3)) {
    b.port.Write(std::string(1, c));
    std::this_thread::sleep_for(Ms{20});
  }
  EXPECT_EQ(b.port.Read(1), ".");
  b.port.Reopen(B38400);
  b.port.Write(Start(1));
  EXPECT_EQ(b.port.Read(1), ".");
}

TEST(Transfer, StartReplyComesAfterItsDelay) {
  Config config;
  config.mode = Mode::Bootloader;
  config.startReplyDelay = Ms{300};
  config.startReply = 'k';
  Bench b(config);
  const auto sent = Clock::now();
  b.port.Write(Start(1));
  EXPECT_EQ(b.port.Read(1), "k");
  EXPECT_GE(Clock::now() - sent, Ms{300});
}

// The tool ends one MCU with "X" and opens its port for the next at once,
// often at another speed: the "X" must still count at the speed it was
// written at.
TEST(Transfer, ByteWrittenJustBeforeASpeedChangeKeepsItsSpeed) {
  Config config = ForFamily(cFamilies[0]);
  config.mcuCount = 2;
  config.mode = Mode::Bootloader;
  config.bootBaud = 38400;
  config.appBaud = 9600;
  Bench b(config, B38400);
  constexpr int cRounds = 20;
  int mcu = 1;
  for (int round = 0; round < cRounds; ++round) {
    b.port.Write(Start(mcu));
    ASSERT_EQ(b.port.Read(1), ".") << round;
    b.port.Write(Frame(Bytes(16, 0x01)));
    ASSERT_EQ(b.port.Read(3), "10.") << round;
    b.port.Write("X");
    b.port.Reopen(B9600);
    mcu = 3 - mcu;
    b.port.Write(Entry(mcu));
    ASSERT_EQ(b.port.Read(1), ".") << round;
    b.port.Reopen(B38400);
  }
  const mcsim::Record r = b.sim.GetRecord();
  EXPECT_EQ(r.Count(EventKind::Finish), static_cast<std::size_t>(cRounds));
  EXPECT_EQ(r.Count(EventKind::ProtocolError), 0u);
}

}  // namespace
