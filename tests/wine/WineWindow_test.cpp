// quarnel.exe, the Win32 window, under Wine on the stage's X display: read
// and driven from another Windows process (window-probe.exe) through the
// Win32 API, against the simulated controller on a COM port.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FlashCheck.h"
#include "FormTable.h"
#include "SampleImage.h"
#include "Sim.h"
#include "SimOnCom.h"
#include "WineRun.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr int cComNumber = 14;
constexpr int cAbsentComNumber = 15;          // points at nothing that opens
constexpr std::uint8_t cModel = 2;            // single-MCU PIC16 class
constexpr std::size_t cProgramBytes = 0x100;  // 16 blocks
constexpr auto cProgramLimit = 300s;          // the window's whole life in a test
constexpr double cUpSecs = 60;                // Wine's first window may take a while
constexpr double cBoxSecs = 30;
constexpr auto cOperationLimit = 60s;
constexpr auto cPoll = 100ms;
constexpr int cHighDpi = 144;

const std::string cUpdateDone = "Update Complete. Turn off power.";

std::vector<std::string> Words(const std::string& Line) {
  std::istringstream In(Line);
  std::vector<std::string> Out;
  for (std::string W; In >> W;) Out.push_back(W);
  return Out;
}

// One control as the probe reads it.
struct TSeen {
  bool Visible = false, Enabled = false, Checked = false;
  int Left = 0, Top = 0, Width = 0, Height = 0;
  std::string Text;
};

TSeen Parse(const std::string& Line) {
  TSeen S;
  std::istringstream In(Line.substr(0, Line.find('\t')));
  In >> S.Visible >> S.Enabled >> S.Checked >> S.Left >> S.Top >> S.Width >> S.Height;
  const auto Tab = Line.find('\t');
  if (Tab != std::string::npos) S.Text = Line.substr(Tab + 1);
  return S;
}

const char* Name(TControlId Id) {
  return ControlRow(Id).Name;
}

class WineWindowTest : public TSimOnCom {
 protected:
  WineWindowTest() : TSimOnCom(cComNumber, cModel, "window") {
    Absent = std::make_unique<TComLink>(cAbsentComNumber, Dir.string());
  }
  ~WineWindowTest() override {
    if (Probe) Ask("end");
    Probe.reset();
    Window.reset();
    Absent.reset();
  }

  void OpenWindow() {
    Window = std::make_unique<TWineProgram>(WindowsProgram("app/quarnel.exe"),
                                            std::vector<std::string>{}, cProgramLimit);
    Probe = std::make_unique<TWineSession>(WindowsProgram("tests/windows/window-probe.exe"),
                                           TEnvironment{});
    ASSERT_EQ(Ask("find " + std::to_string(cUpSecs)), "ok");
  }
  std::string Ask(const std::string& Line) { return Probe->Ask(Line); }
  TSeen Seen(TControlId Id) { return Parse(Ask(std::string("control ") + Name(Id))); }
  std::string Text(TControlId Id) { return Seen(Id).Text; }
  // Polls the status line until it shows Wanted or the limit passes.
  bool PromptBecomes(const std::string& Wanted, std::chrono::seconds Limit = cOperationLimit) {
    const auto Deadline = std::chrono::steady_clock::now() + Limit;
    while (std::chrono::steady_clock::now() < Deadline) {
      if (Text(TControlId::lbPrompt) == Wanted) return true;
      std::this_thread::sleep_for(cPoll);
    }
    return false;
  }
  void UsePort(int Number) {
    if (Seen(TControlId::cbAutoSelectCOMPort).Checked) Ask("click cbAutoSelectCOMPort");
    Ask("settext cbPort COM" + std::to_string(Number));
  }
  // The caption and texts of the program's dialog; both empty when none came.
  std::pair<std::string, std::string> Box() {
    const std::string Line = Ask("box " + std::to_string(cBoxSecs));
    const auto Tab = Line.find('\t');
    if (Tab == std::string::npos) return {};
    return {Line.substr(0, Tab), Line.substr(Tab + 1)};
  }
  void ExpectFlashIs(const std::vector<std::uint8_t>& Image) {
    EXPECT_TRUE(ImageReceived(Sim->GetRecord(), Image, cProgramBytes));
  }

  std::unique_ptr<TComLink> Absent;
  std::unique_ptr<TWineProgram> Window;
  std::unique_ptr<TWineSession> Probe;
};

// Every control where the table puts it, scaled to the window's dpi, with its
// caption, font and start state; the window centred with the client size.
void ExpectLayout(const std::function<TSeen(TControlId)>& SeenOf,
                  const std::vector<std::string>& Geometry) {
  ASSERT_EQ(Geometry.size(), 11u);
  const int Dpi = std::stoi(Geometry[10]);
  const double Scale = Dpi / 96.0;
  auto Near = [](int Got, double Want) { return std::abs(Got - Want) <= 1.0; };
  EXPECT_TRUE(Near(std::stoi(Geometry[0]), cClientWidth * Scale)) << Geometry[0];
  EXPECT_TRUE(Near(std::stoi(Geometry[1]), cClientHeight * Scale)) << Geometry[1];
  // Centred on the work area.
  const int WindowMidX = (std::stoi(Geometry[2]) + std::stoi(Geometry[4])) / 2;
  const int WindowMidY = (std::stoi(Geometry[3]) + std::stoi(Geometry[5])) / 2;
  EXPECT_LE(std::abs(WindowMidX - (std::stoi(Geometry[6]) + std::stoi(Geometry[8])) / 2), 1);
  EXPECT_LE(std::abs(WindowMidY - (std::stoi(Geometry[7]) + std::stoi(Geometry[9])) / 2), 1);
  for (const TControlRow& Row : cFormControls) {
    SCOPED_TRACE(Row.Name);
    const TSeen S = SeenOf(Row.Id);
    EXPECT_EQ(S.Visible, Row.Visible);
    EXPECT_EQ(S.Enabled, Row.Enabled);
    if (Row.Kind == TControlKind::CheckBox) {
      EXPECT_EQ(S.Checked, Row.Checked);
    }
    EXPECT_EQ(S.Text, StartCaption(Row));
    // Another process cannot read a window's font, but a label sized by its
    // text shows the height of its font's line.
    const int Pixels = Row.FontPixels != 0 ? Row.FontPixels : cWindowFontPixels;
    if (Row.Fit != TLabelFit::None) {
      EXPECT_GE(S.Height, Pixels * Scale);
      EXPECT_LE(S.Height, std::max<double>(Row.Height, Pixels * 1.5) * Scale);
    }
    EXPECT_TRUE(Near(S.Top, Row.Top * Scale)) << S.Top;
    // A label takes the size of its text, from the edge the table keeps.
    const double Right = (Row.Left + Row.Width) * Scale;
    switch (Row.Fit) {
      case TLabelFit::KeepRightEdge:
        EXPECT_TRUE(Near(S.Left + S.Width, Right)) << S.Left << "+" << S.Width;
        break;
      case TLabelFit::KeepLeftEdge:
        EXPECT_TRUE(Near(S.Left, Row.Left * Scale)) << S.Left;
        break;
      case TLabelFit::None:
        EXPECT_TRUE(Near(S.Left, Row.Left * Scale)) << S.Left;
        EXPECT_TRUE(Near(S.Width, Row.Width * Scale)) << S.Width;
        // A drop-down combo box sizes its own field.
        if (Row.Kind != TControlKind::ComboBox) {
          EXPECT_TRUE(Near(S.Height, Row.Height * Scale));
        }
        break;
    }
  }
}

TEST_F(WineWindowTest, StartsAsTheTableSaysAndTabsThroughTheControlsInOrder) {
  OpenWindow();
  ExpectLayout([this](TControlId Id) { return Seen(Id); }, Words(Ask("geometry")));
  EXPECT_EQ(Words(Ask("geometry"))[10], "96");
  EXPECT_EQ(Ask("items cbPort"), "128 COM1 COM128 -1");

  // Tab order from the table, past what is disabled or hidden at start.
  std::map<int, const TControlRow*> Order;
  for (const TControlRow& Row : cFormControls)
    if (Row.Tab >= 0 && Row.Enabled && Row.Visible) Order[Row.Tab] = &Row;
  std::vector<std::string> Expected, Got;
  for (const auto& [Tab, Row] : Order) Expected.push_back(Row->Name);
  Expected.push_back(Expected.front());  // round to the start
  Got.push_back(Ask("focus"));
  for (std::size_t i = 1; i < Expected.size(); ++i) {
    Ask("tab");
    std::this_thread::sleep_for(cPoll);
    Got.push_back(Ask("focus"));
  }
  EXPECT_EQ(Got, Expected);
}

TEST_F(WineWindowTest, HandlersFollowTheWindowsRules) {
  OpenWindow();
  using I = TControlId;
  // Any text enables "&Update", a single space too.
  Ask("settext ePGMFileName  ");
  EXPECT_TRUE(Seen(I::btPGMLoad).Enabled);
  Ask("settext ePGMFileName ");
  EXPECT_FALSE(Seen(I::btPGMLoad).Enabled);

  // The port box follows automatic detection only, whichever box is clicked.
  Ask("click cbPCDirectMode");
  EXPECT_FALSE(Seen(I::cbPort).Enabled);
  EXPECT_FALSE(Seen(I::cbPCDirectMode).Checked);
  Ask("click cbAutoSelectCOMPort");
  EXPECT_TRUE(Seen(I::cbPort).Enabled);
  Ask("click cbPCDirectMode");
  EXPECT_TRUE(Seen(I::cbPort).Enabled);

  // A double click on an empty spot shows the high-speed box (still
  // checked), a second hides it; one on a label does nothing.
  const TSeen Label = Seen(I::Label1);
  Ask("dblclick " + std::to_string(Label.Left + Label.Width / 2) + " " +
      std::to_string(Label.Top + Label.Height / 2));
  EXPECT_FALSE(Seen(I::cbHighSpeed).Visible);
  for (const bool Shown : {true, false}) {
    Ask("dblclick 8 200");
    const TSeen HighSpeed = Seen(I::cbHighSpeed);
    EXPECT_EQ(HighSpeed.Visible, Shown);
    EXPECT_TRUE(HighSpeed.Checked);
  }

  // Browse (Alt+B): cancelling keeps the typed name; a name chosen without
  // an extension gets ".QRV".
  Ask("settext ePGMFileName typed.QRV");
  Ask("accel b");
  auto Dialog = Box();
  ASSERT_FALSE(Dialog.first.empty()) << "no file dialog";
  const std::string Controls = Ask("boxchildren");
  EXPECT_NE(Controls.find("Motot Controller Firmware File[*.QRV]"), std::string::npos) << Controls;
  EXPECT_EQ(Ask("boxcommand 2"), "ok");  // IDCANCEL
  EXPECT_EQ(Ask("gone 0"), "there");
  std::this_thread::sleep_for(cPoll * 5);
  EXPECT_EQ(Text(I::ePGMFileName), "typed.QRV");
  Ask("click btSelectPGMFile");
  ASSERT_FALSE(Box().first.empty());
  const std::string Chosen = WindowsPath(Dir / "chosen");
  // The file name field of the dialog: an edit (edt1) or a combo box (cmb13).
  if (Ask("boxsettext 1148 " + Chosen) != "ok") Ask("boxsettext 1152 " + Chosen);
  Ask("boxcommand 1");  // IDOK
  std::this_thread::sleep_for(cPoll * 5);
  EXPECT_EQ(Text(I::ePGMFileName), Chosen + ".QRV");
}

TEST_F(WineWindowTest, UpdatesAndShowsTheVersionThroughTheWindow) {
  StartSim(ModelConfig());
  OpenWindow();
  const auto Image = samplefw::MakeImage(cModel, cProgramBytes);
  UsePort(cComNumber);
  Ask("settext ePGMFileName " + WriteFirmware(Image));

  Ask("accel v");  // "MC &Version"
  EXPECT_TRUE(PromptBecomes("3.28.02")) << Text(TControlId::lbPrompt);
  Ask("accel u");  // "&Update"
  ASSERT_TRUE(PromptBecomes(cUpdateDone)) << Text(TControlId::lbPrompt);
  EXPECT_EQ(Ask("pixel lbPrompt"), "0 255 0");
  ExpectFlashIs(Image);
  EXPECT_TRUE(Seen(TControlId::btPGMLoad).Enabled);
  EXPECT_TRUE(Seen(TControlId::btVersion).Enabled);
  // The keyboard goes on where it left off: the control that had the focus
  // got it back when it was enabled again (disabling it took it away).
  EXPECT_NE(Ask("focus"), "-");
  EXPECT_EQ(Ask("box 0"), "none");
}

TEST_F(WineWindowTest, BoxesOfAFailedSearchAndOfAnUncaughtError) {
  mcsim::Config Bad = ModelConfig();
  Bad.versionReply = "=G11C04\r";
  StartSim(Bad);
  OpenWindow();
  struct {
    int Port;
    const char* Caption;
    const char* Text;
    const char* Detail;  // part of what the box holds besides its text
  } const cCases[] = {
      {cAbsentComNumber, "Error", "Can not connect to a motor controller.", "COM15"},
      {cComNumber, "Quarnel", "'$G1' is not a valid integer value.", nullptr},
  };
  for (const auto& Case : cCases) {
    SCOPED_TRACE(Case.Caption);
    UsePort(Case.Port);
    Ask("click btVersion");
    const auto [Caption, Texts] = Box();
    EXPECT_EQ(Caption, Case.Caption);
    EXPECT_NE(Texts.find(Case.Text), std::string::npos) << Texts;
    if (Case.Detail != nullptr) {
      EXPECT_NE(Texts.find(Case.Detail), std::string::npos) << Texts;
    }
    EXPECT_EQ(Ask("boxclick OK"), "ok");
    EXPECT_EQ(Ask("gone 0"), "there");
    std::this_thread::sleep_for(cPoll * 5);
    EXPECT_EQ(Ask("box 0"), "none");
    EXPECT_TRUE(Seen(TControlId::btVersion).Enabled);
  }
}

TEST_F(WineWindowTest, ClosingDuringAnUpdateLetsItFinishFirst) {
  mcsim::Config Slow = ModelConfig();
  Slow.replyDelay = 100ms;  // 16 blocks: the update lasts seconds
  StartSim(Slow);
  OpenWindow();
  const auto Image = samplefw::MakeImage(cModel, cProgramBytes);
  UsePort(cComNumber);
  Ask("settext ePGMFileName " + WriteFirmware(Image));
  Ask("click btPGMLoad");
  ASSERT_TRUE(Sim->WaitFor(
      [](const mcsim::Record& R) { return R.Count(mcsim::EventKind::Block) >= 2; }, 30s));
  Ask("close");
  EXPECT_EQ(Ask("gone 0.5"), "there");
  EXPECT_EQ(Window->WaitExit(cOperationLimit), 0);
  ExpectFlashIs(Image);
}

// Per-monitor aware: at 144 dpi every place, size and font is 1.5 times as large.
TEST_F(WineWindowTest, ScalesWithTheDisplaysDpi) {
  const std::string Key = "HKCU\\Control Panel\\Desktop";
  auto SetDpi = [&](int Dpi) {
    const TWineResult R = RunUnderWine(
        "reg", {"add", Key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", std::to_string(Dpi), "/f"},
        60s);
    ASSERT_EQ(R.ExitStatus, 0) << R.Err;
  };
  SetDpi(cHighDpi);
  struct TRestore {
    std::function<void()> Undo;
    ~TRestore() { Undo(); }
  } const Restore{[&] { SetDpi(96); }};
  OpenWindow();
  const auto Geometry = Words(Ask("geometry"));
  ASSERT_EQ(Geometry.size(), 11u);
  EXPECT_EQ(Geometry[10], std::to_string(cHighDpi));
  ExpectLayout([this](TControlId Id) { return Seen(Id); }, Geometry);
}

}  // namespace
