// The bootloader transfer: every MCU in turn is put into its bootloader,
// started, sent the image block by block (each block answered with the
// controller's checksum) and finished.
#include <array>
#include <string>

#include "Loader.h"
#include "TransferRules.h"
#include "TransferTiming.h"

namespace {

// The pauses and waits that the duration estimate shares are in TransferTiming.h.
constexpr std::int32_t cEntryReplyCount = 1;
constexpr std::int32_t cAutoBaudPause = 20;  // ms before the auto-baud burst
constexpr std::int32_t cStartReplyCount = 1;
constexpr float cBlockTimeOutSecs = 1.0f;
constexpr std::int32_t cNulRepairPause = 200;  // ms for the bytes a NUL displaced

const char cWaitText[] = "Wait...";
const char cChecksumErrorText[] = "Checksum error.";

// Pauses and closes the port on every way out, exceptions included.
class TClosingGuard {
 public:
  explicit TClosingGuard(TCOMPort& APort) : Port(APort) {}
  ~TClosingGuard() {
    Delay(cClosingPause);
    Port.Close();
  }
  TClosingGuard(const TClosingGuard&) = delete;
  TClosingGuard& operator=(const TClosingGuard&) = delete;

 private:
  TCOMPort& Port;
};

// One call's working values and steps.
class TTransfer {
 public:
  TTransfer(TLoader& ALoader, const TTransferParams& AModel, std::int32_t AEndAddress)
      : L(ALoader),
        Model(AModel),
        EndAddress(AEndAddress),
        BlocksTotal(BlockCount(L.Params.PGMStartAddress, AEndAddress, AModel.FlashBlockSize)) {}

  bool RunMcu(int McuNumber);

 private:
  void Send(const std::string& Cmd);
  void Enter(int McuNumber);
  bool Start(int McuNumber);
  bool SendBlock(int McuNumber, std::int32_t& BufferPointer);
  void SendFrame();
  bool ReadReply();
  bool Abort();
  void ReportProgress(int McuNumber, std::int32_t Percent);

  TLoader& L;
  const TTransferParams& Model;
  const std::int32_t EndAddress;
  const std::int32_t BlocksTotal;  // what each MCU receives, after trimming
  std::int32_t BlocksDone = 0;     // of the MCU being written
};

void TTransfer::Send(const std::string& Cmd) {
  L.PutAndSend(Cmd);
}

// Entry command, the optional auto-baud exchange, the dot, and a fresh port.
void TTransfer::Enter(int McuNumber) {
  TCOMPort& Port = L.SerialPort;
  const std::int32_t OldBaudRate = Port.BaudRate;
  if (Model.EntryAt9600) Port.BaudRate = cBootloaderBaud;
  Port.Open();
  Send(EntryCommand(McuNumber));
  if (L.WaitResponse(cEntryReplyCount, cEntryTimeOutSecs)) {
    (void)Port.Read(L.Response.data(), cEntryReplyCount);
    if (L.Params.Auto_Baud && L.Response[0] == cAutoBaudRequest) {
      Delay(cAutoBaudPause);
      (void)L.Try_Auto_Baud();
    }
  } else {
    // No answer is no failure: go on at the speed the link was found at.
    Port.Close();
    Port.BaudRate = OldBaudRate;
    Port.Open();
  }
  // After the auto-baud exchange the port is closed here, so the dot does not
  // go out; the bootloader expects it that way.
  Delay(cDotPause);
  Send(std::string(1, cDotCmd));
  Delay(cDotPause);
  Port.Close();
  Port.Open();
}

bool TTransfer::Start(int McuNumber) {
  L.View.SetPrompt(cWaitText);
  BlocksDone = 0;
  ReportProgress(McuNumber, 0);
  Send(StartCommand(McuNumber));
  if (!L.WaitResponse(cStartReplyCount, cStartTimeOutSecs)) return false;
  (void)L.SerialPort.Read(L.Response.data(), cStartReplyCount);  // any byte will do
  Delay(cAfterStartPause);
  L.SerialPort.PurgeIn();
  return true;
}

bool TTransfer::RunMcu(int McuNumber) {
  Enter(McuNumber);
  if (!Start(McuNumber)) return false;
  std::int32_t BufferPointer = L.Params.PGMStartAddress;
  // The test follows the block, so at least one block is sent.
  do {
    if (!SendBlock(McuNumber, BufferPointer)) return false;
  } while (BufferPointer < EndAddress);
  Send(std::string(1, cFinishCmd));
  return true;
}

bool TTransfer::SendBlock(int McuNumber, std::int32_t& BufferPointer) {
  L.CmdStr.clear();
  L.SerialPort.PurgeIn();
  TBlockFrame Block = BuildBlockFrame(Model, L.DataBuffer, BufferPointer);
  BufferPointer += Model.FlashBlockSize;
  L.CmdStr = std::move(Block.Frame);
  SendFrame();
  if (!L.WaitResponse(Model.ReplyLength, cBlockTimeOutSecs)) return Abort();
  if (!ReadReply()) return Abort();
  if (DecodeMCChecksum(Model.Family, L.Response.data(), L.Response.size()) != Block.Checksum) {
    L.View.SetPrompt(cChecksumErrorText);
    return Abort();
  }
  ++BlocksDone;
  ++L.LastOutcome.BlocksWritten;
  const std::int32_t Percent = ProgressPercent(BufferPointer, L.Params.PGMStartAddress, EndAddress);
  // Numbers first: a front end that draws them knows the text that follows.
  ReportProgress(McuNumber, Percent);
  L.View.SetPrompt(ProgressText(Percent, McuNumber));
  return true;
}

void TTransfer::ReportProgress(int McuNumber, std::int32_t Percent) {
  L.View.SetProgress({McuNumber, L.MCUCount, BlocksDone, BlocksTotal, Percent});
}

// CmdStr keeps the whole frame while it goes out in pieces: WaitResponse
// reckons the bus echo by its length.
void TTransfer::SendFrame() {
  if (Model.Family != TFrameFamily::STM32 || !L.View.PCDirectMode()) {
    L.SendCmd(L.CmdStr);
    return;
  }
  for (std::size_t At = 0; At < L.CmdStr.size(); At += cDirectModePiece) {
    const std::string CmdSubStr = L.CmdStr.substr(At, cDirectModePiece);
    L.SendCmd(CmdSubStr);
    Delay(cDirectModePause);
  }
}

// Reads the block reply, drops NUL bytes and, when the bytes they displaced
// come in time, puts those in the freed places. False unless it ends in ".".
bool TTransfer::ReadReply() {
  std::uint8_t* Reply = L.Response.data();
  const std::size_t Size = L.Response.size();
  (void)L.SerialPort.Read(Reply, Model.ReplyLength);
  const std::int32_t NullCharCount = RemoveNulBytes(Reply, Size, Model.ReplyLength);
  if (NullCharCount != 0) {
    Delay(cNulRepairPause);
    if (L.SerialPort.InQueCount() >= NullCharCount) {
      std::array<std::uint8_t, cResponseSize> Late{};
      const std::uint32_t Got = L.SerialPort.Read(Late.data(), NullCharCount);
      FillFreedPlaces(Reply, Size, Model.ReplyLength, NullCharCount, Late.data(), Got);
    }
  }
  return ReplyTerminated(Reply, Size, Model.ReplyLength);
}

bool TTransfer::Abort() {
  Send(std::string(1, cAbortCmd));
  return false;
}

}  // namespace

bool TLoader::WriteBufferedData() {
  const TClosingGuard Closing(SerialPort);
  // Models without a block size or frame family cannot be served: fail
  // before anything is sent.
  const TTransferParams* Model = TransferParamsFor(Params.MCUModel);
  if (Model == nullptr) return false;
  TTransfer Transfer(*this, *Model,
                     EndAddress(DataBuffer, Params.FlashSize, Model->FlashBlockSize));
  if (OnWritingBegins) OnWritingBegins();
  for (int McuNumber = 1; McuNumber <= MCUCount; ++McuNumber) {
    if (!Transfer.RunMcu(McuNumber)) return false;
  }
  return true;
}
