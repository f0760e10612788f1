// "MC &Version": find the controller and show its firmware version.
#include <string>

#include "Loader.h"
#include "PortCloser.h"
#include "VersionText.h"

namespace {

constexpr float cVersionTimeOutSecs = 0.5f;
constexpr std::int32_t cVersionReplySize = 8;
const std::string cVersionCmd = ":e1\r";
const std::string cInBootloaderText =
    "Version information is not available, but MC is ready for updating.";

// Enables the controls again when the query ends, however it ends.
class TControlsEnabler {
 public:
  explicit TControlsEnabler(ILoaderView& View) : FView(View) {}
  ~TControlsEnabler() { FView.EnableAllComponent(); }
  TControlsEnabler(const TControlsEnabler&) = delete;
  TControlsEnabler& operator=(const TControlsEnabler&) = delete;

 private:
  ILoaderView& FView;
};

// Asks the running application for its version; empty when it does not answer.
std::string AskVersion(TLoader& L) {
  const TPortCloser Closer(L.Comm1);
  (void)L.Comm1.Open();
  L.CmdStr = cVersionCmd;
  L.SendCmd(L.CmdStr);
  if (!L.WaitResponse(cVersionReplySize, cVersionTimeOutSecs)) return {};
  (void)L.Comm1.Read(L.Response.data(), cVersionReplySize);
  return VersionText(L.Response.data(), static_cast<std::size_t>(cVersionReplySize));
}

}  // namespace

void TLoader::QueryVersion() {
  View.DisableAllComponent();
  View.SetPromptColor(TPromptColor::Normal);
  const TControlsEnabler Enabler(View);
  View.SetPrompt("");
  if (!LinkToMC()) return;
  const std::string VerStr = MCInBootloaderStatus ? cInBootloaderText : AskVersion(*this);
  View.SetPrompt(VerStr);
}
