// The "&Update" button: one whole firmware update, from opening the file to
// the final message, with the clean-up (controls, file, port) on every way
// out, exceptions included.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

#include "Convert.h"
#include "Loader.h"
#include "Models.h"
#include "OperationGuards.h"
#include "RangeError.h"

namespace {

const char* const cFileOpenError = "File open error.";
const char* const cNotUpgradeable = "This motor controller is not user-upgradeable.";
const char* const cNotSupported =
    "The motor controller is not supported by this version of firmware loader.";
const char* const cNotValidFile = "Not a valid motor controller firmware file.";
const char* const cWrongModel = "The firmware file is not for this motor controller.";
const char* const cUpdateFailed =
    "Firmware update failed. Cycle power to motor controller and try again!";
const char* const cUpdateComplete = "Update Complete. Turn off power.";
const char* const cAdapterGone =
    "The serial adapter disappeared during the update (%s), so the firmware is incomplete.";
const char* const cAfterAdapterGone =
    "Plug the adapter in again, cycle power to the motor controller, then update again: "
    "its bootloader takes the new firmware.";

// Positions in the application version reply.
constexpr std::size_t cUpgradeHiPos = 1;
constexpr std::size_t cUpgradeLoPos = 2;
constexpr std::size_t cModelHiPos = 5;
constexpr std::size_t cModelLoPos = 6;

// Read-only binary open of an existing regular file. A directory, a device
// or a pipe is refused here: it would open but never read as an image.
bool OpenFirmware(const std::string& FileName, std::ifstream& F) {
  if (FileName.empty()) return false;
  std::error_code Error;
  const auto Path = std::filesystem::u8path(FileName);
  if (!std::filesystem::is_regular_file(Path, Error)) return false;
  F.open(Path, std::ios::in | std::ios::binary);
  return F.is_open();
}

std::int64_t FileLength(std::ifstream& F) {
  F.seekg(0, std::ios::end);
  const std::streamoff Length = F.tellg();
  if (!F || Length < 0) throw std::runtime_error("File size could not be read");
  return Length;
}

// Reads Count bytes from the start of F into Buffer; all of them or an error.
void ReadWhole(std::ifstream& F, std::vector<std::uint8_t>& Buffer, std::int32_t Count) {
  if (Count < 0 || static_cast<std::size_t>(Count) > Buffer.size())
    RangeError();
  F.seekg(0, std::ios::beg);
  F.read(reinterpret_cast<char*>(Buffer.data()), Count);
  if (F.gcount() != Count) throw std::runtime_error("Read beyond end of file");
}

// A way out with the procedure's own message: notes how it ended first.
void Refuse(TLoader& L, TOutcome Outcome, const char* Message, const std::string& Details = {}) {
  L.LastOutcome.Outcome = Outcome;
  L.LastOutcome.Details = Details;
  L.View.ShowError(Message, Details);
}

// Why a transfer ended, when the port went away under it; empty otherwise.
std::string TransferDetails(const TCOMPort& Port) {
  if (!Port.Gone()) return {};
  const std::int32_t Code = Port.LastIOError != 0 ? Port.LastIOError : Port.LastOpenError;
  std::string Text = cAdapterGone;
  Text.replace(Text.find("%s"), 2, SystemErrorText(Code));
  return Text + '\n' + cAfterAdapterGone;
}

}  // namespace

void TLoader::UpdateFirmware() {
  LastOutcome = TOperationOutcome();
  View.SetPrompt("");
  View.SetPromptColor(TPromptColor::Normal);
  // Destroyed in reverse: controls, then file, then port.
  // The port closer is armed only once the file is open: a file that does
  // not open must leave the port untouched.
  std::optional<TPortCloser> Port;
  std::ifstream F;
  // Off for the whole procedure, so no second operation starts during the search.
  const TControlsOff Controls(View);

  if (!OpenFirmware(View.FileName(), F)) {
    Refuse(*this, TOutcome::FileNotOpened, cFileOpenError);
    return;
  }
  Port.emplace(SerialPort);
  if (!LinkToMC()) {
    LastOutcome.Outcome = TOutcome::NoController;
    return;
  }

  std::int32_t MCModel = 0;
  if (MCInBootloaderStatus) {
    MCModel = Response[0];
    LastOutcome.ModelCode = MCModel;
  } else {
    // The model code is converted first, so its error wins over the test.
    MCModel =
        HexByte(static_cast<char>(Response[cModelHiPos]), static_cast<char>(Response[cModelLoPos]));
    LastOutcome.ModelCode = MCModel;
    if (!IsUserUpgradeable(static_cast<char>(Response[cUpgradeHiPos]),
                           static_cast<char>(Response[cUpgradeLoPos]))) {
      Refuse(*this, TOutcome::NotUpgradeable, cNotUpgradeable);
      return;
    }
  }
  MCModel = NormaliseControllerCode(MCModel);
  if (!SelectModel(MCModel, MCUCount, Params)) {
    Refuse(*this, TOutcome::NotSupported, cNotSupported);
    return;
  }
  LastOutcome.McuCount = MCUCount;

  // Sized before anything is read, so a wrong file is never loaded.
  if (!FileLengthMatches(FileLength(F), Params)) {
    Refuse(*this, TOutcome::FileWrongSize, cNotValidFile);
    return;
  }
  ReadWhole(F, DataBuffer, Params.ImageSize);
  if (!FileModelMatches(DataBuffer, Params, MCModel)) {
    Refuse(*this, TOutcome::FileWrongModel, cWrongModel);
    return;
  }

  if (WriteBufferedData()) {
    View.SetPrompt(cUpdateComplete);
    View.SetPromptColor(TPromptColor::Success);
    LastOutcome.Outcome = TOutcome::Done;
    return;
  }
  if (!View.Prompt().empty()) View.SetPromptColor(TPromptColor::Failure);
  Refuse(*this, TOutcome::TransferFailed, cUpdateFailed, TransferDetails(SerialPort));
  View.SetPromptColor(TPromptColor::Normal);
  View.SetPrompt("");
}
