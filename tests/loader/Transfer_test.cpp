// WriteBufferedData against the simulated controller: whole transfers per
// family, PC Direct Mode pacing, the echoing bus and the entry exchange.
#include <gtest/gtest.h>

#include "TransferFixture.h"

namespace transfer_test {
namespace {

using mcsim::EventKind;

constexpr double cPieceGapMs = 80;  // a piece waits 100 ms; the pty may blur it a little

// The bytes the controller must hear from one MCU's complete turn.
std::string McuTurn(int Mcu, const std::vector<std::string>& Frames, bool WithDot = true) {
  std::string S = Entry(Mcu) + (WithDot ? "." : "") + Start(Mcu);
  for (const std::string& F : Frames) S += F;
  return S + "X";
}

// The status texts and progress numbers of one MCU's turn, in order: 0
// blocks after "Wait...", then for each block the numbers before the text
// with the same percent.
std::vector<std::string> ProgressEvents(int Mcu, int McuCount, std::size_t Blocks) {
  const std::string Of = "progress:" + std::to_string(Mcu) + "/" + std::to_string(McuCount) + " ";
  const std::string Total = "/" + std::to_string(Blocks) + " ";
  std::vector<std::string> Events{"prompt:Wait...", Of + "0" + Total + "0%"};
  for (std::size_t I = 1; I <= Blocks; ++I) {
    const double P = 100.0 * static_cast<double>(I) / static_cast<double>(Blocks);
    const std::string Percent = std::to_string(static_cast<int>(P + 0.5)) + "%";
    Events.push_back(Of + std::to_string(I) + Total + Percent);
    Events.push_back("prompt:" + Percent + " of MCU " + std::to_string(Mcu));
  }
  return Events;
}

std::vector<std::string> PromptAndProgressEvents(const RecordingView& View) {
  std::vector<std::string> Shown;
  for (const std::string& E : View.Events)
    if (E.rfind("prompt:", 0) == 0 || E.rfind("progress:", 0) == 0) Shown.push_back(E);
  return Shown;
}

// ---- A complete transfer per family ----

struct TFamilyCase {
  const TModelCase* Model;
  std::uint8_t McuCount;
  std::int32_t DataLength;  // bytes of data from the start address
  std::int32_t Baud;        // where the search found the controller
  std::int32_t EntryBaud;   // 9600 for the models that force it
  std::size_t Blocks;
};

const TFamilyCase cFamilyCases[] = {
    {&cPic16, 2, 0x26, 38400, 9600, 3},  // last block rounded up over 0xFF bytes
    {&cPic18, 1, 0x80, 38400, 9600, 2},  // already a whole number of blocks
    {&cStm1024, 1, 0x500, 115200, 115200, 2}, {&cStm512, 1, 0x201, 115200, 115200, 2},
    {&cStm64, 1, 0x41, 38400, 9600, 2},
};

TEST_F(TransferTest, EachFamilyWritesTheImageIntoEveryMcu) {
  for (const TFamilyCase& C : cFamilyCases) {
    SCOPED_TRACE(C.Model->Name);
    mcsim::Config Config = SimConfig(*C.Model, C.EntryBaud);
    Config.mcuCount = C.McuCount;
    StartSim(Config);
    View.Controls.PCDirectMode = false;
    const Bytes Image = MakeImage(*C.Model, C.DataLength);
    Arrange(*C.Model, C.McuCount, Image, C.Baud);

    ASSERT_TRUE(Run());
    const Bytes Expected = ExpectedSent(*C.Model, Image);
    const std::vector<std::string> Frames = ExpectedFrames(*C.Model, Image);
    ASSERT_EQ(Frames.size(), C.Blocks);
    std::string Turns;
    for (int Mcu = 1; Mcu <= C.McuCount; ++Mcu) Turns += McuTurn(Mcu, Frames);
    const mcsim::Record R = RecordAfter(Turns.size());
    // Progress counts the blocks the controller really got, MCU by MCU.
    std::vector<std::string> Shown;
    for (int Mcu = 1; Mcu <= C.McuCount; ++Mcu) {
      std::size_t Got = 0;
      for (const mcsim::Event& E : R.EventsOf(EventKind::Block)) Got += E.mcu == Mcu ? 1 : 0;
      for (const std::string& E : ProgressEvents(Mcu, C.McuCount, Got)) Shown.push_back(E);
    }
    EXPECT_EQ(PromptAndProgressEvents(View), Shown);
    EXPECT_EQ(R.Received(true), Turns);
    for (int Mcu = 1; Mcu <= C.McuCount; ++Mcu) {
      EXPECT_EQ(Received(R, Mcu, C.Model->PGMStartAddress, Expected.size()), Expected) << Mcu;
      // Nothing below the start address and nothing past the rounded end.
      const Bytes& Flash = R.mcus[static_cast<std::size_t>(Mcu - 1)].flash;
      EXPECT_EQ(Flash[static_cast<std::size_t>(C.Model->PGMStartAddress) - 1], 0xFF);
      EXPECT_EQ(Flash[static_cast<std::size_t>(C.Model->PGMStartAddress) + Expected.size()], 0xFF);
    }
    for (const mcsim::Event& E : R.EventsOf(EventKind::Entry)) EXPECT_EQ(E.baud, C.EntryBaud);
    EXPECT_EQ(R.Count(EventKind::ProtocolError), 0u);
    EXPECT_EQ(Port.BaudRate, C.EntryBaud);  // the speed the entry left
    EXPECT_FALSE(Port.Enabled);
    NextCase();
  }
}

TEST_F(TransferTest, Pic16KeepsItsByteRuleInTheBuffer) {
  StartSim(SimConfig(cPic16, 9600));
  Bytes Image(cDataBufferSize, 0xFF);
  const Bytes Block{0x12, 0x30, 0xA5, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF,
                    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
  std::copy(Block.begin(), Block.end(), Image.begin() + 0x200);
  Arrange(cPic16, 1, Image, 9600);
  ASSERT_TRUE(Run());
  const std::string Sent = Heard(8 + 1 + 3 + 32 + 1);
  EXPECT_NE(Sent.find("1230:50;??3???3???3???3???3???00X"), std::string::npos) << Sent;
  EXPECT_EQ(Loader.DataBuffer[0x205], 0x3F);
  EXPECT_EQ(Loader.DataBuffer[0x204], 0xFF);
}

TEST_F(TransferTest, McuCountZeroSendsNothingAndSucceeds) {
  StartSim(SimConfig(cPic16, 9600));
  Arrange(cPic16, 0, MakeImage(cPic16, 0x10), 9600);
  ASSERT_TRUE(Port.Open());
  EXPECT_TRUE(Run());
  EXPECT_FALSE(Port.Enabled);
  EXPECT_GE(ElapsedMs, 95);  // the closing pause
  EXPECT_TRUE(View.Prompts.empty());
  EXPECT_TRUE(Sim->GetRecord().rx.empty());
}

// Models the transfer knows no block for: refused before anything is sent.
TEST_F(TransferTest, ModelWithoutBlockParametersFailsCleanly) {
  for (const TMCUModel M : {TMCUModel::NOT_VALID, TMCUModel::PIC18F46K20}) {
    SCOPED_TRACE(static_cast<int>(M));
    StartSim(SimConfig(cPic18, 9600));
    Arrange(cPic18, 1, MakeImage(cPic18, 0x40), 9600);
    Loader.Params.MCUModel = M;
    ASSERT_TRUE(Port.Open());
    EXPECT_FALSE(Run());
    EXPECT_FALSE(Port.Enabled);
    EXPECT_TRUE(Sim->GetRecord().rx.empty());
    NextCase();
  }
}

TEST_F(TransferTest, ImageWithNothingAboveTheStartStillSendsOneBlock) {
  StartSim(SimConfig(cStm64, 9600));
  Bytes Image(cDataBufferSize, 0xFF);
  Image[0x10] = 0x01;  // below the start address: trims to an end under it
  Arrange(cStm64, 1, Image, 9600);
  View.Controls.PCDirectMode = false;
  ASSERT_TRUE(Run());
  const std::string Frame(128, '?');
  EXPECT_EQ(Heard(8 + 1 + 3 + 128 + 1), Entry(1) + "." + Start(1) + Frame + "X");
  EXPECT_EQ(PromptAndProgressEvents(View), ProgressEvents(1, 1, 1));
}

TEST_F(TransferTest, BlockOutsideTheBufferThrowsAndStillClosesThePort) {
  StartSim(SimConfig(cStm64, 9600));
  Arrange(cStm64, 1, MakeImage(cStm64, 0x40), 9600);
  Loader.Params.PGMStartAddress = static_cast<std::int32_t>(cDataBufferSize) - 0x20;
  View.Controls.PCDirectMode = false;
  EXPECT_THROW(Run(), std::out_of_range);
  EXPECT_FALSE(Port.Enabled);
  EXPECT_EQ(Heard(12), Entry(1) + "." + Start(1));  // no frame, no "Q"
}

// ---- PC Direct Mode ----

struct TDirectCase {
  const TModelCase* Model;
  std::int32_t DataLength;
  bool DirectMode;
  std::size_t Pieces;  // writes per frame
};

const TDirectCase cDirectCases[] = {
    {&cStm64, 0x41, true, 2},                                  // two 64-byte blocks
    {&cStm64, 0x41, false, 1},   {&cStm1024, 0x10, true, 32},  // one 1024-byte block
    {&cStm1024, 0x10, false, 1}, {&cStm512, 0x10, true, 16},
    {&cPic18, 0x41, true, 1},  // the box matters to STM32 only
};

// Where the controller's reads begin, as offsets into everything it read,
// with the time of each: pieces written with pauses between them start
// reads of their own; bytes of one write never do.
struct TReadStart {
  std::size_t At;
  TClock::time_point Time;
};

std::vector<TReadStart> ReadStarts(const mcsim::Record& R, std::size_t From, std::size_t To) {
  std::vector<TReadStart> Starts;
  std::size_t At = 0;
  for (const mcsim::Chunk& C : R.chunks) {
    if (At >= From && At < To) Starts.push_back({At - From, C.first});
    At += C.bytes.size();
  }
  return Starts;
}

TEST_F(TransferTest, DirectModeWritesStm32FramesInPacedPieces) {
  for (const TDirectCase& C : cDirectCases) {
    SCOPED_TRACE(std::string(C.Model->Name) + (C.DirectMode ? " direct" : " whole"));
    StartSim(SimConfig(*C.Model, 9600));
    const Bytes Image = MakeImage(*C.Model, C.DataLength);
    Arrange(*C.Model, 1, Image, 9600);
    View.Controls.PCDirectMode = C.DirectMode;
    ASSERT_TRUE(Run());
    const std::vector<std::string> Frames = ExpectedFrames(*C.Model, Image);
    const std::string Turn = McuTurn(1, Frames);
    const mcsim::Record R = RecordAfter(Turn.size());
    ASSERT_EQ(R.Received(false), Turn);

    const std::size_t FrameSize = Frames[0].size();
    const std::size_t PieceSize = FrameSize / C.Pieces;
    const std::size_t FramesAt = Entry(1).size() + 1 + Start(1).size();
    const std::vector<TReadStart> Starts =
        ReadStarts(R, FramesAt, FramesAt + FrameSize * Frames.size());
    ASSERT_FALSE(Starts.empty());
    EXPECT_EQ(Starts[0].At, 0u);
    for (const TReadStart& S : Starts) EXPECT_EQ(S.At % PieceSize, 0u) << S.At;
    if (C.Pieces == 1) {
      NextCase();
      continue;  // whole frames: a reply may merge with the next read, so no count
    }
    ASSERT_EQ(Starts.size(), C.Pieces * Frames.size());
    for (std::size_t I = 1; I < Starts.size(); ++I) {
      const double GapMs =
          std::chrono::duration<double, std::milli>(Starts[I].Time - Starts[I - 1].Time).count();
      EXPECT_GE(GapMs, cPieceGapMs) << I;
    }
    // The last piece is followed by its pause too, before the reply counts.
    const double PausesMs = 100.0 * static_cast<double>(C.Pieces * Frames.size());
    EXPECT_GE(ElapsedMs, PausesMs + 200 + 200 + 500 + 100);
    NextCase();
  }
}

// ---- The echoing bus ----

TEST_F(TransferTest, EchoingBusCountsTheWholeFrameEcho) {
  for (const bool DirectMode : {false, true}) {
    SCOPED_TRACE(DirectMode ? "direct" : "whole");
    mcsim::Config Config = SimConfig(cStm1024, 115200);
    Config.link = mcsim::Link::EchoBus;
    StartSim(Config);
    const Bytes Image = MakeImage(cStm1024, DirectMode ? 0x10 : 0x500);
    Arrange(cStm1024, 1, Image, 115200);
    Loader.SimpleBusMode = true;
    View.Controls.PCDirectMode = DirectMode;
    ASSERT_TRUE(Run());
    const std::vector<std::string> Frames = ExpectedFrames(cStm1024, Image);
    const std::string Turn = McuTurn(1, Frames);
    const mcsim::Record R = RecordAfter(Turn.size());
    EXPECT_EQ(R.Received(true), Turn);
    const Bytes Expected = ExpectedSent(cStm1024, Image);
    EXPECT_EQ(Received(R, 1, cStm1024.PGMStartAddress, Expected.size()), Expected);
    EXPECT_EQ(View.Prompts.back(), "100% of MCU 1");
    EXPECT_FALSE(Port.Enabled);
    NextCase();
  }
}

// ---- The entry exchange ----

struct TEntryCase {
  const char* Name;
  bool AutoBaud;           // the model's Auto_Baud
  char Reply;              // the bootloader's answer to the entry command
  bool HighSpeed;          // the high-speed box visible and checked
  std::int32_t StartBaud;  // the speed the start command goes out at
};

const TEntryCase cEntryCases[] = {
    {"= ignored without Auto_Baud", false, '=', false, 9600},
    {"other reply with Auto_Baud", true, '.', false, 9600},
    {"= with Auto_Baud", true, '=', false, 9600},
    {"= with Auto_Baud, high speed", true, '=', true, 38400},
};

TEST_F(TransferTest, EntryReplyAsksForAutoBaudOnlyWhenTheModelHonoursIt) {
  for (const TEntryCase& C : cEntryCases) {
    SCOPED_TRACE(C.Name);
    const bool Burst = C.AutoBaud && C.Reply == '=';
    mcsim::Config Config = SimConfig(cPic18, 9600);
    Config.entryReply = C.Reply;
    Config.autoBaud = Burst;
    StartSim(Config);
    View.Controls.HighSpeedVisible = C.HighSpeed;
    View.Controls.HighSpeedChecked = C.HighSpeed;
    const Bytes Image = MakeImage(cPic18, 0x40);
    Arrange(cPic18, 1, Image, 115200, C.AutoBaud);
    ASSERT_TRUE(Run());

    const std::vector<std::string> Frames = ExpectedFrames(cPic18, Image);
    // With the burst: "U" "U", then 0x00 "U" "U" locks the speed; the port is
    // closed afterwards, so no dot follows.
    std::string Expected = Entry(1);
    Expected += Burst ? std::string("UU\0UU", 5) : std::string(".");
    Expected += Start(1);
    for (const std::string& F : Frames) Expected += F;
    Expected += "X";
    const mcsim::Record R = RecordAfter(Expected.size());
    EXPECT_EQ(R.Received(true), Expected);
    EXPECT_EQ(R.Count(EventKind::AutoBaudLock), Burst ? 1u : 0u);
    const std::vector<mcsim::Event> Starts = R.EventsOf(EventKind::Start);
    ASSERT_EQ(Starts.size(), 1u);
    EXPECT_EQ(Starts[0].baud, C.StartBaud);
    EXPECT_EQ(Port.BaudRate, C.StartBaud);
    NextCase();
  }
}

// The search found the controller at 38400; its bootloader ignores the
// entry command at 9600, so the transfer goes back to 38400.
TEST_F(TransferTest, UnansweredEntryGoesOnAtTheOldSpeed) {
  mcsim::Config Config = SimConfig(cPic16, 38400);
  Config.mode = mcsim::Mode::Bootloader;
  Config.entryReply.reset();
  StartSim(Config);
  const Bytes Image = MakeImage(cPic16, 0x10);
  Arrange(cPic16, 1, Image, 38400);
  ASSERT_TRUE(Run());
  const std::string Turn = McuTurn(1, ExpectedFrames(cPic16, Image));
  const mcsim::Record R = RecordAfter(Turn.size());
  EXPECT_EQ(R.Received(false), Turn);
  EXPECT_EQ(R.rx.front().baud, 9600);  // the entry command
  EXPECT_EQ(R.Count(EventKind::Entry), 0u);
  const std::vector<mcsim::Event> Starts = R.EventsOf(EventKind::Start);
  ASSERT_EQ(Starts.size(), 1u);
  EXPECT_EQ(Starts[0].baud, 38400);
  EXPECT_EQ(Port.BaudRate, 38400);
  EXPECT_GE(ElapsedMs, 500 + 200 + 200 + 500);
}

}  // namespace
}  // namespace transfer_test
