// The loader: the state and the operations that talk to the controller. The
// window owns one; it reaches the window only through ILoaderView.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ComPort.h"
#include "LoaderView.h"
#include "Models.h"
#include "Outcome.h"
#include "PortMap.h"

constexpr std::size_t cResponseSize = 128;
constexpr std::size_t cDataBufferSize = 0x40001;  // byte indices 0 to 0x40000

class TLoader {
 public:
  TLoader(TCOMPort& Port, ILoaderView& View, TPortMapSource PortMaps = SystemPortMap);

  // Loader state, shared by the command channel, the search and the update.
  std::string CmdStr;                                  // command or block frame being sent
  std::array<std::uint8_t, cResponseSize> Response{};  // receive buffer
  bool SimpleBusMode = false;                          // the link echoes every byte sent
  bool MCInBootloaderStatus = false;                   // found answering from its bootloader
  std::uint8_t MCUCount = 0;                           // MCUs to program
  std::vector<std::uint8_t> DataBuffer;                // the image, cDataBufferSize bytes
  TParamSet Params;                                    // chosen by the model table
  // How the last QueryVersion or UpdateFirmware ended; reset when one starts.
  TOperationOutcome LastOutcome;
  // Called once per update, just before the first command that changes the
  // controller (the entry into its bootloader): from then on an update cut
  // off leaves it without firmware, before it nothing was written. A front
  // end uses it to choose between stopping at once and running to the end.
  std::function<void()> OnWritingBegins;

  // Command channel.
  void SendCmd(const std::string& ACmdStr);
  // Puts Cmd in CmdStr, then sends it: the way every command goes out, so
  // that the echo WaitResponse expects is the command's.
  void PutAndSend(const std::string& Cmd);
  bool WaitResponse(std::int32_t InQueCount, float TimeOutInSecs);
  // Takes an echo of EchoCount bytes out of the receive queue: its first
  // bytes into Response (never more than its size), the rest dropped.
  void DrainEcho(std::int32_t EchoCount);

  // Finding the controller.
  bool LinkToMC();
  bool Try_Auto_Baud();

  // Reads the bytes waiting in the port into Response, never more than its
  // 128: with DrainAll false at most 128 of them (the rest stays queued);
  // with DrainAll true every byte counted as waiting is taken out and
  // Response keeps the last chunk read. Returns the bytes now in Response
  // (0 when the port is closed).
  std::int32_t ReadWaitingIntoResponse(bool DrainAll = false);

  // The two long operations started from the window's buttons.
  void QueryVersion();    // "MC &Version"
  void UpdateFirmware();  // "&Update"

  // Bootloader transfer of DataBuffer into every MCU.
  bool WriteBufferedData();

  // The port every operation uses: the program's Comm1, or a test's own.
  TCOMPort& SerialPort;
  ILoaderView& View;
  TPortMapSource PortMaps;
};

// Blocks the calling thread; window messages are not processed meanwhile.
// Throws std::out_of_range for a negative value.
void Delay(std::int32_t mS);
