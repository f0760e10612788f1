// "MC &Version": find the controller and show its firmware version.
#include <string>

#include "Loader.h"
#include "OperationGuards.h"
#include "VersionText.h"

namespace {

constexpr float cVersionTimeOutSecs = 0.5f;
const std::string cInBootloaderText =
    "Version information is not available, but MC is ready for updating.";

// Asks the running application for its version; empty when it does not answer.
std::string AskVersion(TLoader& L) {
  const TPortCloser Closer(L.SerialPort);
  (void)L.SerialPort.Open();
  L.PutAndSend(cVersionCommand);
  if (!L.WaitResponse(cVersionReplySize, cVersionTimeOutSecs)) return {};
  (void)L.SerialPort.Read(L.Response.data(), cVersionReplySize);
  return VersionText(L.Response.data(), static_cast<std::size_t>(cVersionReplySize));
}

}  // namespace

void TLoader::QueryVersion() {
  LastOutcome = TOperationOutcome();
  const TControlsOff Controls(View);
  View.SetPromptColor(TPromptColor::Normal);
  View.SetPrompt("");
  if (!LinkToMC()) {
    LastOutcome.Outcome = TOutcome::NoController;
    return;
  }
  const std::string VerStr = MCInBootloaderStatus ? cInBootloaderText : AskVersion(*this);
  if (!MCInBootloaderStatus) LastOutcome.VersionText = VerStr;
  LastOutcome.Outcome =
      MCInBootloaderStatus || !VerStr.empty() ? TOutcome::Done : TOutcome::NoVersionReply;
  View.SetPrompt(VerStr);
}
