// "&Update" through the real window with the simulated controller attached:
// every way out, what the user sees, and the clean-up each one leaves.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "FlashCheck.h"
#include "MessageBox.h"
#include "SampleImage.h"
#include "Sim.h"
#include "TfUpdate.h"

namespace fs = std::filesystem;

namespace {

const QString cFileOpenError = "File open error.";
const QString cNotUpgradeable = "This motor controller is not user-upgradeable.";
const QString cNotSupported =
    "The motor controller is not supported by this version of firmware loader.";
const QString cNotValidFile = "Not a valid motor controller firmware file.";
const QString cWrongModel = "The firmware file is not for this motor controller.";
const QString cUpdateFailed =
    "Firmware update failed. Cycle power to motor controller and try again!";
const QString cUpdateComplete = "Update Complete. Turn off power.";

// Two PIC16 blocks: the transfer stays short at 9600 baud.
constexpr std::size_t cProgramBytes = 0x20;
constexpr std::uint8_t cModel = 2;           // single-MCU PIC16 class
constexpr std::uint8_t cUnsupported = 0x7F;  // no rule and no table row name it
constexpr std::uint8_t cBufferMarker = 0x5A;

bool FileOpenInProcess(const fs::path& File) {
  std::error_code Error;
  const fs::path Wanted = fs::weakly_canonical(File, Error);
  for (const auto& Entry : fs::directory_iterator("/proc/self/fd", Error)) {
    std::error_code LinkError;
    if (fs::read_symlink(Entry.path(), LinkError) == Wanted) return true;
  }
  return false;
}

// What the window looked like at the moment a box was shown.
struct TBoxSeen {
  QString Caption;
  QString Text;
  bool ControlsEnabled;
  QColor PromptColor;
  QString Prompt;
  bool FileOpen;
  bool PortOpen;
};

class UpdateTest : public testing::Test {
 protected:
  UpdateTest()
      : FPrevious(SetMessageBoxRunner([this](QWidget*, const TMessageBoxRequest& Box) {
          Boxes.push_back({Box.Caption, Box.Text, AnyControlEnabled(), PromptColor(),
                           W.lbPrompt->text(), FileOpenInProcess(FirmwareFile), Port.Enabled});
        })) {
    Dir = fs::temp_directory_path() / ("quarnel-update-" + std::to_string(getpid()));
    fs::create_directories(Dir);
    FirmwareFile = Dir / "fw.QRV";
  }
  ~UpdateTest() override {
    SetMessageBoxRunner(FPrevious);
    Sim.reset();
    std::error_code Error;
    fs::permissions(FirmwareFile, fs::perms::owner_all, fs::perm_options::add, Error);
    fs::remove_all(Dir, Error);
  }

  void StartSim(const mcsim::Config& Config) {
    Sim = std::make_unique<mcsim::Sim>(Config);
    Sim->Start();
  }
  static mcsim::Config AppConfig(std::uint8_t Model = cModel) {
    mcsim::Config Config;
    Config.modelCode = Model;
    return Config;
  }
  void WriteFile(const std::vector<std::uint8_t>& Image) {
    ASSERT_TRUE(samplefw::WriteImage(FirmwareFile.string(), Image));
  }
  void Press(const fs::path& File) {
    W.SetAutoSelectCOMPort(false);
    W.SetPortText(Sim ? Sim->DevicePath() : "/dev/quarnel-no-such-port");
    W.ePGMFileName->setText(QString::fromStdString(File.string()));
    ASSERT_TRUE(W.btPGMLoad->isEnabled());
    W.btPGMLoad->click();
  }

  bool AnyControlEnabled() const {
    return W.btPGMLoad->isEnabled() || W.btVersion->isEnabled() || W.btSelectPGMFile->isEnabled() ||
           W.ePGMFileName->isEnabled();
  }
  bool AllControlsEnabled() const {
    return W.btPGMLoad->isEnabled() && W.btVersion->isEnabled() && W.btSelectPGMFile->isEnabled() &&
           W.ePGMFileName->isEnabled();
  }
  QColor PromptColor() const { return W.lbPrompt->palette().color(QPalette::Window); }
  QColor NormalColor() const { return W.palette().color(QPalette::Button); }

  // Every way out leaves the controls usable, the file and the port closed.
  void ExpectCleanedUp() const {
    EXPECT_TRUE(AllControlsEnabled());
    EXPECT_FALSE(FileOpenInProcess(FirmwareFile));
    EXPECT_FALSE(Port.Enabled);
    EXPECT_FALSE(W.OperationRunning());
  }
  // One box. The procedure's own boxes show while the controls are off; the
  // box for an error that escaped it shows after its clean-up.
  void ExpectOneBox(const QString& Caption, const QString& Text) const {
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Caption, Caption);
    EXPECT_EQ(Boxes[0].Text, Text);
    EXPECT_EQ(Boxes[0].ControlsEnabled, Caption != "Error");
  }
  void ExpectImageReceived(const std::vector<std::uint8_t>& Image) const {
    EXPECT_TRUE(ImageReceived(Sim->GetRecord(), Image, cProgramBytes));
  }

  TCOMPort Port;
  std::unique_ptr<mcsim::Sim> Sim;
  TfUpdate W{Port, [] { return TPortMap([](int) { return std::string(); }); }};
  std::vector<TBoxSeen> Boxes;
  fs::path Dir;
  fs::path FirmwareFile;

 private:
  TMessageBoxRunner FPrevious;
};

// Ways out that end in success --------------------------------------------

TEST_F(UpdateTest, CompleteUpdateWritesTheFileIntoTheControllerInEitherMode) {
  const mcsim::Mode cModes[] = {mcsim::Mode::Application, mcsim::Mode::Bootloader};
  for (const mcsim::Mode Mode : cModes) {
    SCOPED_TRACE(Mode == mcsim::Mode::Application ? "application" : "bootloader");
    Boxes.clear();
    mcsim::Config Config = AppConfig();
    Config.mode = Mode;
    StartSim(Config);
    const auto Image = samplefw::MakeImage(cModel, cProgramBytes);
    WriteFile(Image);
    Press(FirmwareFile);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(W.lbPrompt->text(), cUpdateComplete);
    EXPECT_EQ(PromptColor(), QColor(0, 255, 0));
    ExpectImageReceived(Image);
    ExpectCleanedUp();
  }
}

TEST_F(UpdateTest, ReadOnlyFileIsUpdatedFrom) {
  StartSim(AppConfig());
  const auto Image = samplefw::MakeImage(cModel, cProgramBytes);
  WriteFile(Image);
  fs::permissions(FirmwareFile, fs::perms::owner_read | fs::perms::group_read);
  Press(FirmwareFile);
  EXPECT_TRUE(Boxes.empty());
  EXPECT_EQ(W.lbPrompt->text(), cUpdateComplete);
  ExpectImageReceived(Image);
  ExpectCleanedUp();
}

TEST_F(UpdateTest, NextPressClearsTheGreenStatusLineFirst) {
  StartSim(AppConfig());
  W.SetPrompt(cUpdateComplete.toStdString());
  W.SetPromptColor(TPromptColor::Success);
  Press(Dir / "missing.QRV");
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Prompt, "");
  EXPECT_EQ(Boxes[0].PromptColor, NormalColor());
}

// File open error: nothing is searched for ---------------------------------

TEST_F(UpdateTest, UnopenableFileGivesFileOpenErrorWithoutTouchingAPort) {
  fs::create_directories(Dir / "folder.QRV");
  const fs::path cNames[] = {Dir / "missing.QRV", Dir / "folder.QRV"};
  for (const fs::path& Name : cNames) {
    SCOPED_TRACE(Name.string());
    Boxes.clear();
    StartSim(AppConfig());
    Press(Name);
    ASSERT_NO_FATAL_FAILURE(ExpectOneBox("Error", cFileOpenError));
    EXPECT_FALSE(Boxes[0].PortOpen);
    EXPECT_TRUE(Sim->GetRecord().rx.empty());
    ExpectCleanedUp();
  }
}

// Ways out after the search, before the controls would have been needed ------

struct TControllerCase {
  const char* Name;
  std::optional<std::string> VersionReply;
  std::uint8_t Model;
  QString Caption;
  QString Text;
};

TEST_F(UpdateTest, ControllerThatMayNotBeUpdatedStopsWithItsMessage) {
  const TControllerCase cCases[] = {
      {"not upgradeable", "=011C02\r", cModel, "Error", cNotUpgradeable},
      // The model digits are converted before the upgradeable test.
      {"model digits not hex", "=011C0G\r", cModel, "Quarnel",
       "'$0G' is not a valid integer value."},
      {"unsupported model", std::nullopt, cUnsupported, "Error", cNotSupported},
  };
  for (const auto& Case : cCases) {
    SCOPED_TRACE(Case.Name);
    Boxes.clear();
    mcsim::Config Config = AppConfig(Case.Model);
    Config.versionReply = Case.VersionReply;
    StartSim(Config);
    W.Loader.MCUCount = 1;
    WriteFile(samplefw::MakeImage(cModel, cProgramBytes));
    Press(FirmwareFile);
    ASSERT_NO_FATAL_FAILURE(ExpectOneBox(Case.Caption, Case.Text));
    // The search has closed the port again; the file stays open until the end.
    EXPECT_EQ(Boxes[0].FileOpen, Case.Caption == "Error");
    EXPECT_FALSE(Boxes[0].PortOpen);
    EXPECT_EQ(Sim->GetRecord().Count(mcsim::EventKind::Entry), 0u);
    if (Case.Model == cUnsupported) {
      EXPECT_EQ(W.Loader.MCUCount, 0);
    }
    ExpectCleanedUp();
  }
}

// Ways out over the file, after the controller was accepted -----------------

struct TFileCase {
  const char* Name;
  std::size_t Length;
  std::uint8_t ModelByte;
  QString Text;
};

TEST_F(UpdateTest, FileThatDoesNotFitTheControllerIsRefusedUnsent) {
  const TFileCase cCases[] = {
      {"one byte short", samplefw::cImageBytes - 1, cModel, cNotValidFile},
      {"one byte long", samplefw::cImageBytes + 1, cModel, cNotValidFile},
      {"model byte of another class", samplefw::cImageBytes, cModel + 1, cWrongModel},
  };
  for (const auto& Case : cCases) {
    SCOPED_TRACE(Case.Name);
    Boxes.clear();
    StartSim(AppConfig());
    auto Image = samplefw::MakeImage(Case.ModelByte, cProgramBytes);
    Image.resize(Case.Length, samplefw::cErased);
    WriteFile(Image);
    Press(FirmwareFile);
    ASSERT_NO_FATAL_FAILURE(ExpectOneBox("Error", Case.Text));
    EXPECT_TRUE(Boxes[0].FileOpen);
    EXPECT_EQ(Sim->GetRecord().Count(mcsim::EventKind::Entry), 0u);
    ExpectCleanedUp();
  }
}

TEST_F(UpdateTest, HugeFileIsRefusedWithoutBeingRead) {
  StartSim(AppConfig());
  WriteFile(samplefw::MakeImage(cModel, cProgramBytes));
  fs::resize_file(FirmwareFile, std::uintmax_t{1} << 32);  // sparse: costs no disk
  std::fill(W.Loader.DataBuffer.begin(), W.Loader.DataBuffer.end(), cBufferMarker);
  Press(FirmwareFile);
  ASSERT_NO_FATAL_FAILURE(ExpectOneBox("Error", cNotValidFile));
  EXPECT_TRUE(std::all_of(W.Loader.DataBuffer.begin(), W.Loader.DataBuffer.end(),
                          [](std::uint8_t B) { return B == cBufferMarker; }));
  ExpectCleanedUp();
}

// A failed transfer ---------------------------------------------------------

TEST_F(UpdateTest, ChecksumFailureShowsRedThenTheBoxThenAnEmptyNormalLine) {
  mcsim::Config Config = AppConfig();
  mcsim::Fault Fault;
  Fault.kind = mcsim::FaultKind::WrongChecksum;
  Config.faults.push_back(Fault);
  StartSim(Config);
  WriteFile(samplefw::MakeImage(cModel, cProgramBytes));
  Press(FirmwareFile);
  ASSERT_NO_FATAL_FAILURE(ExpectOneBox("Error", cUpdateFailed));
  EXPECT_FALSE(Boxes[0].Prompt.isEmpty());
  EXPECT_EQ(Boxes[0].PromptColor, QColor(255, 0, 0));
  EXPECT_EQ(W.lbPrompt->text(), "");
  EXPECT_EQ(PromptColor(), NormalColor());
  ExpectCleanedUp();
}

// No second operation on the port ------------------------------------------

TEST_F(UpdateTest, PressingEitherButtonDuringTheSearchStartsNothing) {
  StartSim(AppConfig(cUnsupported));  // ends right after the search
  WriteFile(samplefw::MakeImage(cModel, cProgramBytes));
  int Updates = 0;
  int Versions = 0;
  W.UpdateOperation = [&] {
    ++Updates;
    W.Loader.UpdateFirmware();
  };
  W.VersionOperation = [&] { ++Versions; };
  bool PressedDuringSearch = false;
  QTimer::singleShot(0, &W, [&] {
    PressedDuringSearch = W.OperationRunning();
    W.btPGMLoad->click();
    W.btVersion->click();
  });
  Press(FirmwareFile);
  EXPECT_TRUE(PressedDuringSearch);
  EXPECT_EQ(Updates, 1);
  EXPECT_EQ(Versions, 0);
  ASSERT_NO_FATAL_FAILURE(ExpectOneBox("Error", cNotSupported));
  ExpectCleanedUp();
}

}  // namespace
