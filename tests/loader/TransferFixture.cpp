#include "TransferFixture.h"

#include <algorithm>

#include "Pty.h"

namespace transfer_test {

using mcsim::Family;

const TModelCase cPic16{"PIC16", TMCUModel::PIC16F886, 0x4000, 0x200, 16, Family::PIC16};
const TModelCase cPic18{"PIC18", TMCUModel::PIC18F45K20, 0x8000, 0x600, 64, Family::PIC18};
const TModelCase cStm1024{"STM32 1024", TMCUModel::STM32F051C8T6_1024, 0x10000, 0x1400, 1024,
                          Family::STM32};
const TModelCase cStm512{"STM32 512", TMCUModel::STM32F_512, 0x10000, 0xC00, 512, Family::STM32};
const TModelCase cStm64{"STM32 64", TMCUModel::STM32F030F4P6, 0x4000, 0xC00, 64, Family::STM32};

std::string Entry(int Mcu) {
  return ":Q" + std::to_string(Mcu) + "7E81\r";
}

std::string Start(int Mcu) {
  return "P" + std::to_string(Mcu) + ".";
}

std::string Nibbles(const Bytes& Data) {
  static const char cDigits[] = "0123456789:;<=>?";
  std::string Out;
  for (std::uint8_t B : Data) {
    Out += cDigits[B >> 4];
    Out += cDigits[B & 0x0F];
  }
  return Out;
}

Bytes MakeImage(const TModelCase& Model, std::int32_t Length) {
  Bytes Image(cDataBufferSize, 0xFF);
  const auto Start = static_cast<std::size_t>(Model.PGMStartAddress);
  for (std::size_t I = 0; I < Start; ++I) Image[I] = 0x5A;
  for (std::size_t I = 0; I < static_cast<std::size_t>(Length); ++I)
    Image[Start + I] = (I % 5 == 3 || I % 7 == 2) ? 0xFF : static_cast<std::uint8_t>(I * 37 + 1);
  Image[Start + static_cast<std::size_t>(Length) - 1] = 0x42;
  return Image;
}

Bytes ExpectedSent(const TModelCase& Model, const Bytes& Image) {
  std::size_t End = static_cast<std::size_t>(Model.FlashSize);
  while (End > 0 && Image[End - 1] == 0xFF) --End;
  const auto Block = static_cast<std::size_t>(Model.BlockSize);
  End = (End + Block - 1) / Block * Block;
  const auto Start = static_cast<std::size_t>(Model.PGMStartAddress);
  Bytes Sent(Image.begin() + static_cast<long>(Start),
             Image.begin() + static_cast<long>(std::max(End, Start + Block)));
  if (Model.Family == Family::PIC16) {
    for (std::size_t I = 0; I < Sent.size(); ++I)
      if ((Start + I) % 2 == 1 && Sent[I] == 0xFF) Sent[I] = 0x3F;
  }
  return Sent;
}

std::vector<std::string> ExpectedFrames(const TModelCase& Model, const Bytes& Image) {
  const Bytes Sent = ExpectedSent(Model, Image);
  std::vector<std::string> Frames;
  const auto Block = static_cast<std::size_t>(Model.BlockSize);
  for (std::size_t At = 0; At < Sent.size(); At += Block)
    Frames.push_back(Nibbles(
        Bytes(Sent.begin() + static_cast<long>(At), Sent.begin() + static_cast<long>(At + Block))));
  return Frames;
}

void TransferTest::TearDown() {
  Port.Close();
  if (Sim) Sim->Stop();
}

void TransferTest::NextCase() {
  TearDown();
  Sim.reset();
  View = RecordingView();
  Loader.SimpleBusMode = false;
  Loader.Params = TParamSet();
}

mcsim::Config TransferTest::SimConfig(const TModelCase& Model, int Baud) {
  mcsim::Config C;
  C.family = Model.Family;
  C.blockSize = Model.BlockSize;
  C.startAddress = static_cast<std::uint32_t>(Model.PGMStartAddress);
  C.flashSize = static_cast<std::uint32_t>(Model.FlashSize);
  C.appBaud = Baud;
  C.bootBaud = Baud;
  return C;
}

void TransferTest::StartSim(const mcsim::Config& Config) {
  Sim = std::make_unique<mcsim::Sim>(Config);
  Sim->Start();
  Port.DeviceName = Sim->DevicePath();
}

void TransferTest::Arrange(const TModelCase& Model, std::uint8_t McuCount, const Bytes& Image,
                           std::int32_t BaudRate, bool AutoBaud) {
  Loader.MCUCount = McuCount;
  Loader.DataBuffer = Image;
  Loader.Params.FlashSize = Model.FlashSize;
  Loader.Params.ImageSize = Model.FlashSize;
  Loader.Params.PGMStartAddress = Model.PGMStartAddress;
  Loader.Params.MCUModel = Model.MCUModel;
  Loader.Params.Auto_Baud = AutoBaud;
  Port.BaudRate = BaudRate;
}

bool TransferTest::Run() {
  const auto Begin = TClock::now();
  const bool Result = Loader.WriteBufferedData();
  ElapsedMs = MsSince(Begin);
  return Result;
}

mcsim::Record TransferTest::RecordAfter(std::size_t Count) {
  (void)Sim->WaitFor([Count](const mcsim::Record& R) { return R.rx.size() >= Count; }, cSettle);
  return Sim->GetRecord();
}

std::string TransferTest::Heard(std::size_t Count) {
  return RecordAfter(Count).Received(true);
}

Bytes TransferTest::Received(const mcsim::Record& R, int Mcu, std::int32_t From,
                             std::size_t Length) const {
  const Bytes& Flash = R.mcus.at(static_cast<std::size_t>(Mcu - 1)).flash;
  const auto Begin = Flash.begin() + From;
  return Bytes(Begin, Begin + static_cast<long>(Length));
}

}  // namespace transfer_test
