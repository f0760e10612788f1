// Shared set-up of the transfer tests: a simulated controller on a pty, the
// loader pointed at it with the state the search and the model table would
// have left, and the expectations computed independently of the loader.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Loader.h"
#include "RecordingView.h"
#include "Sim.h"

namespace transfer_test {

using Bytes = std::vector<std::uint8_t>;
using Ms = std::chrono::milliseconds;
using TClock = std::chrono::steady_clock;

constexpr Ms cSettle{3000};  // generous bound for the simulator to catch up

struct TModelCase {
  const char* Name;
  TMCUModel MCUModel;
  std::int32_t FlashSize;
  std::int32_t PGMStartAddress;
  std::int32_t BlockSize;
  mcsim::Family Family;
};

// Parameters as the model table has them for one class of each kind.
extern const TModelCase cPic16;    // class 0, PIC16F886
extern const TModelCase cPic18;    // class 161, PIC18F45K20
extern const TModelCase cStm1024;  // class 6, STM32F051C8T6_1024
extern const TModelCase cStm512;   // class 10, STM32F_512
extern const TModelCase cStm64;    // class 11, STM32F030F4P6

std::string Entry(int Mcu);
std::string Start(int Mcu);
// Nibble characters, high nibble first, written out by hand.
std::string Nibbles(const Bytes& Data);

// An image of 0xFF with Length bytes of data from the start address: a
// pattern that has 0xFF at odd and at even offsets and never ends in 0xFF.
// Bytes below the start address are data too (they must never be sent).
Bytes MakeImage(const TModelCase& Model, std::int32_t Length);
// What the controller must receive from the start address on: trimmed,
// rounded up to a whole block, PIC16 0xFF at odd offsets sent as 0x3F.
Bytes ExpectedSent(const TModelCase& Model, const Bytes& Image);
// The frames of ExpectedSent, one per block.
std::vector<std::string> ExpectedFrames(const TModelCase& Model, const Bytes& Image);

class TransferTest : public ::testing::Test {
 protected:
  void TearDown() override;
  // Between the cases of a table: a fresh window and loader state.
  void NextCase();

  // Config for the model, one MCU, at Baud on both firmwares.
  static mcsim::Config SimConfig(const TModelCase& Model, int Baud);
  void StartSim(const mcsim::Config& Config);
  // Loader state as the search and the model table leave it.
  void Arrange(const TModelCase& Model, std::uint8_t McuCount, const Bytes& Image,
               std::int32_t BaudRate, bool AutoBaud = false);
  bool Run();  // WriteBufferedData, timed
  // Waits until the simulator has read Count bytes, then returns the record.
  mcsim::Record RecordAfter(std::size_t Count);
  // The bytes the controller heard, once at least Count have come.
  std::string Heard(std::size_t Count);
  // Flash of an MCU from the start address, as long as Expected.
  Bytes Received(const mcsim::Record& R, int Mcu, std::int32_t From, std::size_t Length) const;

  std::unique_ptr<mcsim::Sim> Sim;
  TCOMPort Port;
  RecordingView View;
  TLoader Loader{Port, View, [] { return PortMapFromList({}); }};
  double ElapsedMs = 0;
};

}  // namespace transfer_test
