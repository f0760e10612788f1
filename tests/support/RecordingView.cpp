#include "RecordingView.h"

namespace {
const char* Flag(bool B) {
  return B ? "1" : "0";
}
}  // namespace

const char* ColorName(TPromptColor Color) {
  switch (Color) {
    case TPromptColor::Normal:
      return "normal";
    case TPromptColor::Success:
      return "success";
    case TPromptColor::Failure:
      return "failure";
  }
  return "?";
}

bool RecordingView::ControlsIdle() const {
  const auto& C = Controls;
  return C.UpdateEnabled == !C.FileName.empty() && C.VersionEnabled && C.BrowseEnabled &&
         C.FileNameEnabled;
}

void RecordingView::SetPrompt(const std::string& Text) {
  PromptText = Text;
  Prompts.push_back(Text);
  Events.push_back("prompt:" + Text);
}

void RecordingView::SetPromptColor(TPromptColor Color) {
  PromptColor = Color;
  Colors.push_back(Color);
  Events.push_back(std::string("color:") + ColorName(Color));
}

void RecordingView::SetProgress(const TProgress& P) {
  Progress.push_back(P);
  Events.push_back("progress:" + std::to_string(P.Mcu) + "/" + std::to_string(P.McuCount) + " " +
                   std::to_string(P.BlocksDone) + "/" + std::to_string(P.BlocksTotal) + " " +
                   std::to_string(P.Percent) + "%");
}

void RecordingView::ShowError(const std::string& Text, const std::string& Details) {
  Errors.push_back(Text);
  ErrorDetails.push_back(Details);
  Events.push_back("error:" + Text);
  if (OnShowError) OnShowError(Text);
}

void RecordingView::ProcessMessages() {
  ++ProcessMessagesCalls;
  if (OnProcessMessages) OnProcessMessages();
}

void RecordingView::SetAutoSelectCOMPort(bool Checked) {
  Events.push_back(std::string("autoselect:") + Flag(Checked));
  if (Controls.AutoSelectCOMPort == Checked) return;
  Controls.AutoSelectCOMPort = Checked;
  // The check boxes' one handler, as the window runs it on every change.
  Controls.PortEnabled = !Checked;
}

void RecordingView::SetPortText(const std::string& Text) {
  Controls.PortText = Text;
  Events.push_back("port:" + Text);
}

void RecordingView::SetPortEnabled(bool Enabled) {
  Controls.PortEnabled = Enabled;
  Events.push_back(std::string("port-enabled:") + Flag(Enabled));
}

void RecordingView::SetPortDevice(const std::string& Text) {
  Controls.PortDevice = Text;
  PortDevices.push_back(Text);
}

void RecordingView::DisableAllComponent() {
  ++DisableCalls;
  Events.emplace_back("disable");
  Controls.UpdateEnabled = false;
  Controls.VersionEnabled = false;
  Controls.BrowseEnabled = false;
  Controls.FileNameEnabled = false;
}

void RecordingView::EnableAllComponent() {
  ++EnableCalls;
  Events.emplace_back("enable");
  if (!Controls.FileName.empty()) Controls.UpdateEnabled = true;
  Controls.VersionEnabled = true;
  Controls.BrowseEnabled = true;
  Controls.FileNameEnabled = true;
}
