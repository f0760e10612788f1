#include "RecordUnit.h"

#include <chrono>
#include <cstdint>
#include <fstream>
#include <vector>

#include "CliRun.h"
#include "PortSurvey.h"
#include "RecordFile.h"
#include "Sha256.h"
#include "UnitRecord.h"

namespace {

// Files beyond this get their size but no hash: no model's image comes
// near it, and hashing gigabytes would hold up the run's end.
constexpr std::int64_t cMaxHashedBytes = 16 * 1024 * 1024;
constexpr std::size_t cHashChunk = 64 * 1024;

// The file's size and SHA-256, as far as they can be had.
void DescribeFile(const std::string& Name, TUnitRecord& Record) {
  std::ifstream F(Name, std::ios::binary);
  if (!F) return;
  F.seekg(0, std::ios::end);
  const std::streamoff Size = F.tellg();
  if (!F || Size < 0) return;
  Record.FileSize = Size;
  if (Size > cMaxHashedBytes) return;
  F.seekg(0, std::ios::beg);
  TSha256 Hash;
  std::vector<char> Chunk(cHashChunk);
  std::int64_t Read = 0;
  while (F.read(Chunk.data(), static_cast<std::streamsize>(Chunk.size())) || F.gcount() > 0) {
    Hash.Update(reinterpret_cast<const std::uint8_t*>(Chunk.data()),
                static_cast<std::size_t>(F.gcount()));
    Read += F.gcount();
  }
  // A file that changed meanwhile gets no hash rather than a wrong one.
  if (Read == Size) Record.FileSha256 = Hash.HexDigest();
}

}  // namespace

std::string RecordUnit(const TCliOptions& Options, const std::string& Port, const TLoader& Loader,
                       double Seconds, int Status) {
  const TOperationOutcome& End = Loader.LastOutcome;
  TUnitRecord Record;
  Record.End = std::chrono::system_clock::now();
  Record.Host = HostName();
  Record.Command = Options.Command == TCliCommand::Update ? "update" : "version";
  Record.Port = Port.empty() ? End.PortText : Port;
  Record.Device = End.DeviceName;
  if (!End.DeviceName.empty()) Record.UsbSerial = UsbSerialNumber(End.DeviceName);
  Record.ModelCode = End.ModelCode;
  Record.McuCount = End.McuCount;
  if (Options.Command == TCliCommand::Update) {
    Record.FileName = Options.FileName;
    DescribeFile(Options.FileName, Record);
  }
  Record.BaudRate = End.BaudRate;
  Record.Bus = End.Bus;
  Record.PcDirectMode = Options.PCDirectMode;
  Record.BlocksWritten = End.BlocksWritten;
  Record.DurationMs = static_cast<std::int64_t>(Seconds * 1000.0 + 0.5);
  Record.Outcome = OutcomeName(End.Outcome);
  Record.ExitStatus = Status;
  std::string Error;
  if (AppendRecordLine(Options.RecordFile, RecordLine(Record), Error)) return {};
  return "the record could not be written: " + Error;
}
