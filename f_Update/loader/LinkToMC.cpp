// The search for the controller: every port of the range, three rates on
// each, and at each rate the bus, bootloader and application probes.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Convert.h"
#include "Loader.h"
#include "OperationGuards.h"
#include "SearchRecord.h"
#include "VersionText.h"

namespace {

constexpr std::array<std::int32_t, 3> cSearchRates = {115200, 38400, 9600};
constexpr int cBusProbeTries = 2;
constexpr float cProbeTimeOutSecs = 0.1f;
constexpr std::int32_t cProbePause = 100;  // ms after an unanswered bus probe and before "I1."
constexpr std::int32_t cIdReplySize = 2;
constexpr std::size_t cTypedPrefixSize = 3;  // "COM" or whatever stands in its place

const std::string cBusProbe = ".";
const std::string cBootloaderProbe = "I1.";
const std::string cPortPrefix = "COM";
const std::string cSearchingText = "Trying to connect to a motor controller ...";
const std::string cNotFoundText = "Can not connect to a motor controller.";
constexpr char cDevicePathStart = '/';
constexpr std::uint8_t cIdReplyEnd = '.';
constexpr std::uint8_t cVersionReplyEnd = '\r';

enum class TProbeResult { None, Bootloader, Application };

// The ports one search tries; empty when First > Last. A device path typed
// into the box is tried alone, under its own name.
struct TPortRange {
  std::int64_t First = 1;  // wide, so a range ending at the largest number ends
  std::int64_t Last = 0;
  std::string DevicePath;
};

TPortRange ChooseRange(const ILoaderView& View) {
  if (View.AutoSelectCOMPort()) return {cFirstAutoPort, cLastAutoPort, {}};
  const std::string Text = View.PortText();
  if (!Text.empty() && Text.front() == cDevicePathStart) return {1, 1, Text};
  const std::string Number = Text.size() > cTypedPrefixSize ? Text.substr(cTypedPrefixSize) : "";
  try {
    const std::int32_t n = StrToInt(Number);
    return {n, n, {}};
  } catch (const EConvertError&) {
    return {};  // nothing to try
  }
}

// Reads exactly Count reply bytes into Response once WaitResponse saw them.
void ReadReply(TLoader& L, std::int32_t Count) {
  (void)L.SerialPort.Read(L.Response.data(), Count);
}

// Finds out whether the link echoes: an echoing bus returns the "." itself.
void BusProbe(TLoader& L) {
  for (int Try = 0; Try < cBusProbeTries; ++Try) {
    L.SerialPort.PurgeIn();
    L.PutAndSend(cBusProbe);
    if (L.WaitResponse(static_cast<std::int32_t>(L.CmdStr.size()), cProbeTimeOutSecs)) {
      const std::int32_t Count = L.ReadWaitingIntoResponse();
      L.SimpleBusMode = Count > 0 && L.Response[0] == cBusProbe.front();
    }
    if (L.SimpleBusMode) return;
    Delay(cProbePause);
    (void)L.ReadWaitingIntoResponse();  // whatever answered is of no use
  }
}

TProbeResult ProbeRate(TLoader& L) {
  L.SimpleBusMode = false;
  BusProbe(L);
  Delay(cProbePause);
  L.SerialPort.PurgeIn();

  L.PutAndSend(cBootloaderProbe);
  if (L.WaitResponse(cIdReplySize, cProbeTimeOutSecs)) {
    ReadReply(L, cIdReplySize);
    return L.Response[1] == cIdReplyEnd ? TProbeResult::Bootloader : TProbeResult::None;
  }

  L.SerialPort.PurgeIn();
  L.PutAndSend(cVersionCommand);
  if (!L.WaitResponse(cVersionReplySize, cProbeTimeOutSecs)) return TProbeResult::None;
  ReadReply(L, cVersionReplySize);
  return L.Response[cVersionReplySize - 1] == cVersionReplyEnd ? TProbeResult::Application
                                                               : TProbeResult::None;
}

// Tries the rates on the port named in SerialPort until one answers; notes each
// rate at which the port opened.
TProbeResult ProbePort(TLoader& L, std::vector<std::int32_t>& RatesProbed) {
  for (const std::int32_t Rate : cSearchRates) {
    L.SerialPort.BaudRate = Rate;
    const TPortCloser Closer(L.SerialPort);
    // A port that no longer opens cannot answer; its queue count (-1) must
    // never become a read count.
    if (!L.SerialPort.Open()) continue;
    RatesProbed.push_back(Rate);
    const TProbeResult Result = ProbeRate(L);
    if (Result != TProbeResult::None || L.SerialPort.Gone()) return Result;
  }
  return TProbeResult::None;
}

void ShowFound(TLoader& L, const TPortTried& Port, TProbeResult Result) {
  const std::string& PortText = Port.Report.PortText;
  L.View.SetPortText(PortText);
  L.View.SetPortDevice(PortDeviceText(Port.Report));
  // Unchecking runs the box's handler, which enables cbPort: disable after it.
  L.View.SetAutoSelectCOMPort(false);
  L.View.SetPortEnabled(false);
  L.MCInBootloaderStatus = Result == TProbeResult::Bootloader;
  L.LastOutcome.PortText = PortText;
  L.LastOutcome.DeviceName = L.SerialPort.DeviceName;
  L.LastOutcome.InBootloader = L.MCInBootloaderStatus;
  L.LastOutcome.BaudRate = L.SerialPort.BaudRate;
  L.LastOutcome.Bus = L.SimpleBusMode;
}

}  // namespace

bool TLoader::LinkToMC() {
  Params.MCUModel = TMCUModel::NOT_VALID;
  Params.Auto_Baud = false;
  View.SetPrompt(cSearchingText);
  const bool Typed = !View.AutoSelectCOMPort();
  const TPortRange Range = ChooseRange(View);
  const TPortMap Map = Range.DevicePath.empty() ? PortMaps() : TPortMap{};
  const TPortCloser Closer(SerialPort);
  // Only notes what the search does anyway; it sends and waits as before.
  TSearchRecord& Record = LastOutcome.Search;
  Record = TSearchRecord();
  Record.Typed = Typed;
  if (Range.First > Range.Last) Record.TypedText = View.PortText();

  bool Found = false;
  for (std::int64_t n = Range.First; n <= Range.Last && !Found; ++n) {
    SerialPort.Close();
    const std::string PortText =
        Range.DevicePath.empty() ? cPortPrefix + std::to_string(n) : Range.DevicePath;
    const std::string Device =
        Range.DevicePath.empty() ? Map(static_cast<int>(n)) : Range.DevicePath;
    if (!Device.empty()) SerialPort.DeviceName = Device;
    View.SetPortText(PortText);
    // A number of an automatic search that names no device is no port.
    TPortTried* Port = Device.empty() && !Typed ? nullptr : &NotePort(Record, PortText, Device);
    View.SetPortDevice(Port != nullptr ? PortDeviceText(Port->Report) : std::string());
    View.ProcessMessages();
    if (Device.empty()) continue;  // no such port
    if (!SerialPort.Open()) {           // not ours to open: say why afterwards
      NoteOpenFailure(*Port, SerialPort.LastOpenError);
      continue;
    }
    SerialPort.Close();
    (void)Try_Auto_Baud();
    Port->Outcome = TPortOutcome::NoAnswer;
    const TProbeResult Result = ProbePort(*this, Port->RatesProbed);
    // It went away while being asked: say so, not that it stayed silent.
    if (Result == TProbeResult::None && SerialPort.Gone()) NoteOpenFailure(*Port, cPortGoneError);
    if (Result != TProbeResult::None) {
      Port->Outcome = TPortOutcome::Found;
      ShowFound(*this, *Port, Result);
      Found = true;
    }
  }

  View.SetPrompt("");
  View.ProcessMessages();
  if (Found) return true;
  if (View.AutoSelectCOMPort()) View.SetPortText(cPortPrefix + "1");
  View.SetPortDevice("");
  GatherFacts(Record);
  View.ShowError(cNotFoundText, SearchDetails(Record));
  return false;
}
