// The loader against a simulated controller behind a line that moves bytes
// no faster than a real UART (10 bits a character, each direction on its
// own): a write must end when its bytes have left, or every wait that
// follows it starts too early.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Line.h"
#include "Loader.h"
#include "RecordingView.h"
#include "SampleImage.h"
#include "SimSearch.h"
#include "TransferFixture.h"

namespace fs = std::filesystem;
using namespace transfer_test;

namespace {

constexpr std::uint8_t cStm512Code = 10;  // class 10: STM32F_512, 512-byte blocks
constexpr std::int32_t cStm512ImageSize = 0x10000;
constexpr std::size_t cStm512ModelByteAt = 0xBFC;
constexpr std::size_t cStm512Start = 0xC00;
constexpr std::size_t cStm512Blocks = 3;
constexpr int cPieceChars = 64;  // a PC Direct Mode piece
constexpr double cPacingMs = 100;

// A code-10 firmware file with three blocks of data above the start address
// and erased flash after them.
std::vector<std::uint8_t> Stm512File() {
  std::vector<std::uint8_t> Image(cStm512ImageSize, 0xFF);
  for (std::size_t I = 0; I < cStm512Blocks * 512; ++I)
    Image[cStm512Start + I] = static_cast<std::uint8_t>(I * 13 + 5);
  Image[cStm512Start + cStm512Blocks * 512 - 1] = 0x42;  // never ends erased
  Image[cStm512ModelByteAt] = cStm512Code;
  return Image;
}

double Ms(mcsim::Clock::duration D) {
  return std::chrono::duration<double, std::milli>(D).count();
}

class LineSpeedUpdate : public testing::TestWithParam<mcsim::Link> {
 protected:
  ~LineSpeedUpdate() override {
    Sim.reset();
    std::error_code Error;
    fs::remove_all(Dir, Error);
  }

  fs::path Dir = fs::temp_directory_path() / ("quarnel-line-" + std::to_string(getpid()));
  fs::path File = Dir / "stm512.QRV";
  std::unique_ptr<mcsim::Sim> Sim;
  TCOMPort Port;
  RecordingView View;
  TLoader Loader{Port, View, [] { return TPortMap([](int) { return std::string(); }); }};
};

// The 1,030-character frames of 512-byte blocks take about 1.07 s each on a
// 9600 line; the 1 s wait for a block's reply must start once it has left.
TEST_P(LineSpeedUpdate, StmUpdateWithLongFramesAt9600Completes) {
  mcsim::Config Config = SimAt(mcsim::Mode::Application, GetParam(), 9600);
  Config.modelCode = cStm512Code;
  Config.family = mcsim::Family::STM32;
  Config.blockSize = 512;
  Config.startAddress = cStm512Start;
  Config.flashSize = cStm512ImageSize;
  Config.lineSpeed = true;
  Sim = std::make_unique<mcsim::Sim>(Config);
  Sim->Start();
  const auto Image = Stm512File();
  fs::create_directories(Dir);
  ASSERT_TRUE(samplefw::WriteImage(File.string(), Image));
  View.Controls.AutoSelectCOMPort = false;
  View.Controls.PortText = Sim->DevicePath();
  View.Controls.FileName = File.string();
  View.Controls.PCDirectMode = false;

  Loader.UpdateFirmware();

  EXPECT_EQ(View.PromptText, "Update Complete. Turn off power.");
  EXPECT_TRUE(View.Errors.empty()) << View.Errors.front();
  const mcsim::Record R = Sim->GetRecord();
  EXPECT_EQ(R.Count(mcsim::EventKind::Block), cStm512Blocks);
  EXPECT_EQ(R.Count(mcsim::EventKind::Abort), 0u);
  EXPECT_TRUE(std::equal(Image.begin() + cStm512Start, Image.end(),
                         R.mcus.at(0).flash.begin() + cStm512Start));
}

INSTANTIATE_TEST_SUITE_P(Links, LineSpeedUpdate,
                         testing::Values(mcsim::Link::Plain, mcsim::Link::EchoBus),
                         [](const auto& Info) {
                           return Info.param == mcsim::Link::Plain ? "Plain" : "EchoBus";
                         });

class LineSpeedTransfer : public TransferTest {};

// The hand controller needs 100 ms of silence on the line after each piece,
// counted from the piece's last character, not from its hand-off.
TEST_F(LineSpeedTransfer, PcDirectPiecesAreSeparatedByTheirFullPauseOnTheLine) {
  for (const int Baud : {115200, 9600}) {
    SCOPED_TRACE(Baud);
    mcsim::Config Config = SimConfig(cStm512, Baud);
    Config.lineSpeed = true;
    StartSim(Config);
    const Bytes Image = MakeImage(cStm512, 512 + 64);  // two blocks
    Arrange(cStm512, 1, Image, Baud);
    View.Controls.PCDirectMode = true;
    ASSERT_TRUE(Run());

    const mcsim::Record R = Sim->GetRecord();
    std::vector<mcsim::Chunk> Pieces;
    for (const auto& C : R.chunks)
      if (C.bytes.size() == cPieceChars) Pieces.push_back(C);
    ASSERT_EQ(Pieces.size(), 2u * 1024 / cPieceChars);
    // The gap from the end of one piece's last character to the start of
    // the next piece's first. The simulator dates a piece when its thread
    // reads it; on a loaded machine that can be late, which shortens one
    // gap and lengthens the next, so the typical gap is judged. A write
    // that returns on hand-off shortens every gap by the piece's line time.
    const auto Char = mcsim::CharTime(Baud);
    std::vector<double> Silences;
    for (std::size_t I = 1; I < Pieces.size(); ++I)
      Silences.push_back(Ms(Pieces[I].first - Char - Pieces[I - 1].last));
    std::sort(Silences.begin(), Silences.end());
    EXPECT_GE(Silences[Silences.size() / 2], cPacingMs);
    NextCase();
  }
}

// The search and the version query at every rate, on either link, with the
// line's own time (and once with a USB adapter's receive timer).
TEST(LineSpeedSearch, VersionQueryFindsTheControllerAtEveryRate) {
  struct TCase {
    int Baud;
    mcsim::Link Link;
    bool Usb;
  };
  const TCase Cases[] = {
      {115200, mcsim::Link::Plain, false},  {38400, mcsim::Link::Plain, false},
      {9600, mcsim::Link::Plain, false},    {115200, mcsim::Link::EchoBus, false},
      {38400, mcsim::Link::EchoBus, false}, {9600, mcsim::Link::EchoBus, true},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(testing::Message() << C.Baud << (C.Link == mcsim::Link::Plain ? " plain" : " bus")
                                    << (C.Usb ? " usb" : ""));
    mcsim::Config Config = SimAt(mcsim::Mode::Application, C.Link, C.Baud);
    Config.lineSpeed = true;
    Config.usbAdapter = C.Usb;
    SimSearch S(Config);
    S.Loader.QueryVersion();
    EXPECT_EQ(S.View.PromptText, "3.28.04");
    EXPECT_EQ(S.Port.BaudRate, C.Baud);
    EXPECT_EQ(S.Loader.SimpleBusMode, C.Link == mcsim::Link::EchoBus);
  }
}

// A controller that stops taking bytes: the port's buffers fill, and every
// write still returns within its time-out.
TEST(LineSpeedPort, WriteToALineThatNeverDrainsEndsAtItsTimeOut) {
  mcsim::Config Config;
  Config.lineSpeed = true;
  Config.stopReading = true;
  mcsim::Sim Sim(Config);
  Sim.Start();
  TCOMPort Port;
  Port.DeviceName = Sim.DevicePath();
  Port.BaudRate = 115200;
  ASSERT_TRUE(Port.Open());
  const std::string Chunk(1024, 'w');
  const double Bound = cWriteTotalTimeoutConstant + cWriteTotalTimeoutMultiplier * 1024.0;
  bool Refused = false;
  for (int I = 0; I < 200 && !Refused; ++I) {
    const auto Begin = TClock::now();
    const auto Written = Port.Write(Chunk.data(), static_cast<std::int32_t>(Chunk.size()));
    const double Took = Ms(TClock::now() - Begin);
    EXPECT_LT(Took, Bound + 500) << "write " << I;
    // A write the driver took whole still lasts its line time.
    if (Written == Chunk.size()) {
      EXPECT_GE(Took, Ms(mcsim::CharTime(115200) * 1024));
    }
    Refused = Written < Chunk.size();
    if (Refused) {
      EXPECT_GE(Took, Bound - 1);
    }
  }
  EXPECT_TRUE(Refused);
  Port.Close();
}

}  // namespace
