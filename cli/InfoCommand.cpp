#include "InfoCommand.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "CliRun.h"
#include "Models.h"
#include "TextOut.h"
#include "TransferEstimate.h"
#include "TransferTiming.h"

namespace {

namespace fs = std::filesystem;

constexpr int cByteValues = 256;  // model codes and classes are bytes
// The rates a search tries, from slow to fast.
constexpr std::int32_t cRates[] = {9600, 38400, 115200};
// A file says nothing of how fast its controller answers: a prompt
// bootloader is assumed, and no erase time before the start reply, so the
// figures stay a floor.
constexpr double cAssumedReplyMs = 1;
constexpr double cAssumedEraseMs = 0;
constexpr double cMsPerSec = 1000;
constexpr int cRateColumn = 8;
constexpr int cLabelColumn = 13;

const char* const cEntryNote =
    "the entry command goes out at 9600: a bootloader that answers it runs the\n"
    "    whole transfer at 9600";


struct TCodeRun {
  int First;
  int Last;
};

// One model class the file fits, and what the transfer would send.
struct TFit {
  std::int32_t Class = 0;
  std::uint8_t MCUCount = 0;
  TParamSet Params;
  const TTransferParams* Transfer = nullptr;  // none: no transfer serves the MCU
  std::int32_t SentEnd = 0;                   // exclusive end of the last block sent
  std::int32_t Blocks = 0;
};

struct TInfo {
  TOutcome Outcome = TOutcome::Done;
  std::int64_t Size = -1;  // unknown until the file is found
  std::vector<TFit> Fits;
  std::string Message;  // why the file fits nothing
};

// Every row of the model table, as the update would select it.
std::vector<TFit> ModelRows() {
  std::vector<TFit> Rows;
  for (int Class = 0; Class < cByteValues; ++Class) {
    TFit Row;
    Row.Class = Class;
    if (SelectModel(Class, Row.MCUCount, Row.Params)) Rows.push_back(Row);
  }
  return Rows;
}

// The controller codes that the update normalises to Class, in runs.
std::vector<TCodeRun> CodeRuns(std::int32_t Class) {
  std::vector<TCodeRun> Runs;
  for (int Code = 0; Code < cByteValues; ++Code) {
    if (NormaliseControllerCode(Code) != Class) continue;
    if (!Runs.empty() && Runs.back().Last == Code - 1) {
      Runs.back().Last = Code;
    } else {
      Runs.push_back({Code, Code});
    }
  }
  return Runs;
}

// "2, 3, 26" or "32..47, 183".
std::string CodesText(const std::vector<TCodeRun>& Runs) {
  std::string Text;
  for (const TCodeRun& R : Runs) {
    if (!Text.empty()) Text += ", ";
    Text += std::to_string(R.First);
    if (R.Last == R.First + 1) Text += ", " + std::to_string(R.Last);
    if (R.Last > R.First + 1) Text += ".." + std::to_string(R.Last);
  }
  return Text;
}

std::string Hex(std::int64_t Value) {
  std::ostringstream Out;
  Out << "0x" << std::uppercase << std::hex << Value;
  return Out.str();
}

// The path and size of a regular file; an empty text, or why it cannot be
// used.
std::string FindFile(const std::string& FileName, fs::path& Path, std::int64_t& Size) {
  if (FileName.empty()) return "no file name";
  try {
    Path = fs::u8path(FileName);
  } catch (const std::exception&) {
    return "not a valid file name";
  }
  std::error_code Error;
  const fs::file_status Status = fs::status(Path, Error);
  if (Error && Error != std::errc::no_such_file_or_directory) return Error.message();
  if (!fs::exists(Status)) return "no such file";
  // A directory, a device or a pipe would open but never read as an image.
  if (!fs::is_regular_file(Status)) return "not a regular file";
  const std::uintmax_t Bytes = fs::file_size(Path, Error);
  if (Error) return Error.message();
  Size = static_cast<std::int64_t>(std::min<std::uintmax_t>(Bytes, INT64_MAX));
  return {};
}

// Size bytes from the start of the file, all of them; an empty text, or why
// not.
std::string ReadImage(const fs::path& Path, std::int64_t Size, std::vector<std::uint8_t>& Image) {
  std::ifstream F(Path, std::ios::in | std::ios::binary);
  if (!F.is_open()) return "it cannot be read (no permission?)";
  Image.assign(static_cast<std::size_t>(Size), 0);
  F.read(reinterpret_cast<char*>(Image.data()), static_cast<std::streamsize>(Size));
  return F.gcount() == Size ? "" : "it could not be read whole";
}

// What the transfer would send of Image to the model of Fit.
void AddTransfer(const std::vector<std::uint8_t>& Image, TFit& Fit) {
  Fit.Transfer = TransferParamsFor(Fit.Params.MCUModel);
  if (Fit.Transfer == nullptr) return;
  const std::int32_t BlockSize = Fit.Transfer->FlashBlockSize;
  const std::int32_t End = EndAddress(Image, Fit.Params.FlashSize, BlockSize);
  Fit.Blocks = BlockCount(Fit.Params.PGMStartAddress, End, BlockSize);
  Fit.SentEnd = Fit.Params.PGMStartAddress + Fit.Blocks * BlockSize;
}

std::string SizesText(const std::vector<TFit>& Rows) {
  std::vector<std::int32_t> Sizes;
  for (const TFit& R : Rows) Sizes.push_back(R.Params.ImageSize);
  std::sort(Sizes.begin(), Sizes.end());
  Sizes.erase(std::unique(Sizes.begin(), Sizes.end()), Sizes.end());
  std::string Text;
  for (std::size_t I = 0; I < Sizes.size(); ++I)
    Text += (I == 0 ? "" : I + 1 == Sizes.size() ? " or " : ", ") + std::to_string(Sizes[I]);
  return Text;
}

// "byte 0x21 at 0xBFC, byte 0x33 at 0xFFE0": what the file says where the
// classes of its size look for their model byte.
std::string ModelBytesText(const std::vector<TFit>& Candidates,
                           const std::vector<std::uint8_t>& Image) {
  std::vector<std::int32_t> Offsets;
  for (const TFit& C : Candidates) Offsets.push_back(C.Params.ModelIDAddr);
  std::sort(Offsets.begin(), Offsets.end());
  Offsets.erase(std::unique(Offsets.begin(), Offsets.end()), Offsets.end());
  std::string Text;
  for (const std::int32_t At : Offsets) {
    if (At < 0 || static_cast<std::size_t>(At) >= Image.size()) continue;
    Text += (Text.empty() ? "" : ", ") + std::string("byte ") + Hex(Image[At]) + " at " + Hex(At);
  }
  return Text;
}

void Refuse(TInfo& Info, TOutcome Outcome, const std::string& Message) {
  Info.Outcome = Outcome;
  Info.Message = Message;
}

// The classes of the file's size whose model byte it carries. Only a file of
// some model's exact size is read, so a huge one costs nothing.
TInfo Examine(const std::string& FileName) {
  TInfo Info;
  fs::path Path;
  const std::string Why = FindFile(FileName, Path, Info.Size);
  if (!Why.empty()) {
    Refuse(Info, TOutcome::FileNotOpened, "cannot be opened: " + Why + ".");
    return Info;
  }
  const std::vector<TFit> Rows = ModelRows();
  std::vector<TFit> Candidates;
  for (const TFit& R : Rows)
    if (FileLengthMatches(Info.Size, R.Params)) Candidates.push_back(R);
  if (Candidates.empty()) {
    Refuse(Info, TOutcome::FileWrongSize,
           "fits no controller model: " + std::to_string(Info.Size) +
               " bytes is not the size of a firmware file (" + SizesText(Rows) + " bytes).");
    return Info;
  }
  std::vector<std::uint8_t> Image;
  const std::string ReadWhy = ReadImage(Path, Info.Size, Image);
  if (!ReadWhy.empty()) {
    Refuse(Info, TOutcome::FileNotOpened, "cannot be opened: " + ReadWhy + ".");
    return Info;
  }
  for (TFit& C : Candidates) {
    if (!FileModelMatches(Image, C.Params, C.Class)) continue;
    AddTransfer(Image, C);
    Info.Fits.push_back(C);
  }
  if (Info.Fits.empty())
    Refuse(Info, TOutcome::FileWrongModel,
           "fits no controller model: no model with files of " + std::to_string(Info.Size) +
               " bytes takes its model byte (" + ModelBytesText(Candidates, Image) + ").");
  return Info;
}

int EstimateMs(const TFit& Fit, std::int32_t Rate, bool PCDirectMode) {
  const TTransferCase Case{Rate, PCDirectMode, Fit.Blocks, Fit.MCUCount};
  const TReplyDelays Delays{cAssumedReplyMs, cAssumedEraseMs};
  return static_cast<int>(TransferFloorMs(*Fit.Transfer, Case, Delays) + 0.5);
}

std::string Seconds(int Ms) {
  std::ostringstream Out;
  Out << std::fixed << std::setprecision(1) << Ms / cMsPerSec;
  return Out.str();
}

void WriteEstimateRow(const TFit& Fit, const char* Label, bool PCDirectMode, std::ostream& Out) {
  Out << "  " << std::left << std::setw(cLabelColumn) << Label << std::right;
  for (const std::int32_t Rate : cRates)
    Out << std::setw(cRateColumn) << Seconds(EstimateMs(Fit, Rate, PCDirectMode));
  Out << '\n';
}

void WriteFitText(const TFit& Fit, std::ostream& Out) {
  Out << "Class " << Fit.Class << " (model codes " << CodesText(CodeRuns(Fit.Class))
      << "): " << static_cast<int>(Fit.MCUCount) << " x " << McuModelName(Fit.Params.MCUModel) << '\n';
  if (Fit.Transfer == nullptr) {
    Out << "  no transfer serves this MCU\n";
    return;
  }
  Out << "  blocks per MCU: " << Fit.Blocks << " of " << Fit.Transfer->FlashBlockSize << " bytes, "
      << Hex(Fit.Params.PGMStartAddress) << " to " << Hex(Fit.SentEnd) << '\n';
  Out << "  " << std::left << std::setw(cLabelColumn) << "seconds at" << std::right;
  for (const std::int32_t Rate : cRates) Out << std::setw(cRateColumn) << Rate;
  Out << '\n';
  WriteEstimateRow(Fit, "plain", false, Out);
  WriteEstimateRow(Fit, "PC Direct", true, Out);
  if (Fit.Transfer->EntryAt9600) Out << "  " << cEntryNote << '\n';
}

std::vector<TJsonObject> CodesJson(std::int32_t Class) {
  std::vector<TJsonObject> Items;
  for (const TCodeRun& R : CodeRuns(Class))
    Items.push_back(TJsonObject().Add("first", R.First).Add("last", R.Last));
  return Items;
}

std::vector<TJsonObject> EstimatesJson(const TFit& Fit) {
  std::vector<TJsonObject> Items;
  for (const std::int32_t Rate : cRates)
    Items.push_back(TJsonObject()
                        .Add("baud", static_cast<int>(Rate))
                        .Add("ms", EstimateMs(Fit, Rate, false))
                        .Add("pc_direct_ms", EstimateMs(Fit, Rate, true)));
  return Items;
}

TJsonObject FitJson(const TFit& Fit) {
  TJsonObject Item;
  Item.Add("class", static_cast<int>(Fit.Class))
      .Add("codes", CodesJson(Fit.Class))
      .Add("mcus", static_cast<int>(Fit.MCUCount))
      .Add("mcu", McuModelName(Fit.Params.MCUModel));
  if (Fit.Transfer == nullptr) return Item;
  return Item.Add("start", static_cast<int>(Fit.Params.PGMStartAddress))
      .Add("end", static_cast<int>(Fit.SentEnd))
      .Add("block_size", static_cast<int>(Fit.Transfer->FlashBlockSize))
      .Add("blocks_per_mcu", static_cast<int>(Fit.Blocks))
      .Add("entry_at_9600", Fit.Transfer->EntryAt9600)
      .Add("estimates", EstimatesJson(Fit));
}

void WriteJson(const std::string& FileName, const TInfo& Info, std::ostream& Out) {
  TJsonObject Result;
  Result.Add("event", "result")
      .Add("command", "info")
      .Add("outcome", OutcomeName(Info.Outcome))
      .Add("status", ExitStatus(Info.Outcome))
      .Add("file", FileName);
  if (Info.Size >= 0 && Info.Size <= INT_MAX) {
    Result.Add("size", static_cast<int>(Info.Size));
  } else {
    Result.AddNull("size");
  }
  std::vector<TJsonObject> Fits;
  for (const TFit& Fit : Info.Fits) Fits.push_back(FitJson(Fit));
  Result.Add("fits", Fits).Add("assumed_reply_ms", static_cast<int>(cAssumedReplyMs));
  if (!Info.Message.empty()) Result.Add("message", Info.Message);
  Out << Result.Text() << '\n';
}

void WriteFloorNote(std::ostream& Out) {
  Out << "Estimates are floors for a plain link: the fixed pauses, the line time of every\n"
         "character, "
      << cAssumedReplyMs << " ms for each controller reply and nothing for the flash erase before\n"
      << "the start reply (up to " << cStartTimeOutSecs
      << " s). A USB adapter's receive timer adds more.\n";
}

void WriteText(const std::string& FileName, const TInfo& Info, std::ostream& Out) {
  Out << PrintableText(FileName) << ": " << Info.Size << " bytes\n";
  for (const TFit& Fit : Info.Fits) WriteFitText(Fit, Out);
  WriteFloorNote(Out);
}

}  // namespace

int RunInfo(const std::string& FileName, bool Json, std::ostream& Out, std::ostream& Err) {
  const TInfo Info = Examine(FileName);
  if (!Info.Message.empty()) Err << PrintableText(FileName) << ": " << Info.Message << '\n';
  if (Json) {
    WriteJson(FileName, Info, Out);
  } else if (Info.Outcome == TOutcome::Done) {
    WriteText(FileName, Info, Out);
  }
  Out << std::flush;
  return ExitStatus(Info.Outcome);
}
