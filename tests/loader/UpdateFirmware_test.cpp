// The update procedure against the simulated controller with a recording
// view: the order of its clean-up and errors that leave it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "Convert.h"
#include "Loader.h"
#include "RecordingView.h"
#include "SampleImage.h"
#include "Sim.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t cProgramBytes = 0x20;  // two PIC16 blocks
constexpr std::uint8_t cModel = 2;           // single-MCU PIC16 class

mcsim::Config ModelConfig() {
  mcsim::Config Config;
  Config.modelCode = cModel;
  return Config;
}

bool FileOpenInProcess(const fs::path& File) {
  std::error_code Error;
  const fs::path Wanted = fs::weakly_canonical(File, Error);
  for (const auto& Entry : fs::directory_iterator("/proc/self/fd", Error)) {
    std::error_code LinkError;
    if (fs::read_symlink(Entry.path(), LinkError) == Wanted) return true;
  }
  return false;
}

// Notes, at the moment the controls come back, what is still open: the
// clean-up enables the controls first, then closes the file, then the port.
class OrderView : public RecordingView {
 public:
  OrderView(const fs::path& AFile, TCOMPort& APort) : File(AFile), Port(APort) {}
  void EnableAllComponent() override {
    RecordingView::EnableAllComponent();
    FileOpenAtEnable = FileOpenInProcess(File);
    PortOpenAtEnable = Port.Enabled;
  }
  fs::path File;
  TCOMPort& Port;
  bool FileOpenAtEnable = false;
  bool PortOpenAtEnable = false;
};

class UpdateFirmwareTest : public testing::Test {
 protected:
  UpdateFirmwareTest() {
    fs::create_directories(Dir);
    View.Controls.AutoSelectCOMPort = false;
    View.Controls.FileName = File.string();
  }
  ~UpdateFirmwareTest() override {
    Sim.reset();
    std::error_code Error;
    fs::remove_all(Dir, Error);
  }
  void StartSim(const mcsim::Config& Config) {
    Sim = std::make_unique<mcsim::Sim>(Config);
    Sim->Start();
    View.Controls.PortText = Sim->DevicePath();
  }

  fs::path Dir = fs::temp_directory_path() / ("quarnel-loader-update-" + std::to_string(getpid()));
  fs::path File = Dir / "fw.QRV";
  TCOMPort Port;
  OrderView View{File, Port};
  TLoader Loader{Port, View, [] { return TPortMap([](int) { return std::string(); }); }};
  std::unique_ptr<mcsim::Sim> Sim;
};

TEST_F(UpdateFirmwareTest, ControlsAreOffFromTheStartAndBackBeforeTheFileCloses) {
  StartSim(ModelConfig());
  ASSERT_TRUE(samplefw::WriteImage(File.string(), samplefw::MakeImage(cModel, cProgramBytes)));
  Loader.UpdateFirmware();
  ASSERT_GE(View.Events.size(), 4u);
  // The status line is cleared, then the controls go off before any search.
  EXPECT_EQ(View.Events[0], "prompt:");
  EXPECT_EQ(View.Events[1], "color:normal");
  EXPECT_EQ(View.Events[2], "disable");
  EXPECT_EQ(View.Events.back(), "enable");
  EXPECT_EQ(View.DisableCalls, 1);
  EXPECT_EQ(View.EnableCalls, 1);
  EXPECT_TRUE(View.FileOpenAtEnable);
  EXPECT_FALSE(FileOpenInProcess(File));
  EXPECT_FALSE(Port.Enabled);
  EXPECT_EQ(View.PromptText, "Update Complete. Turn off power.");
}

TEST_F(UpdateFirmwareTest, ConversionErrorLeavesThroughTheCleanUp) {
  mcsim::Config Config = ModelConfig();
  Config.versionReply = std::string("=031CZ2\r");
  StartSim(Config);
  ASSERT_TRUE(samplefw::WriteImage(File.string(), samplefw::MakeImage(cModel, cProgramBytes)));
  EXPECT_THROW(Loader.UpdateFirmware(), EConvertError);
  EXPECT_EQ(View.EnableCalls, 1);
  EXPECT_TRUE(View.FileOpenAtEnable);
  EXPECT_FALSE(View.PortOpenAtEnable);
  EXPECT_FALSE(FileOpenInProcess(File));
  EXPECT_FALSE(Port.Enabled);
  EXPECT_TRUE(View.Errors.empty());
}

TEST_F(UpdateFirmwareTest, FileOpenErrorComesBeforeAnySearch) {
  StartSim(ModelConfig());
  Loader.UpdateFirmware();  // no file was written
  EXPECT_EQ(View.Errors, std::vector<std::string>{"File open error."});
  EXPECT_EQ(View.EnableCalls, 1);
  EXPECT_EQ(View.ProcessMessagesCalls, 0);
  EXPECT_TRUE(Sim->GetRecord().rx.empty());
}

}  // namespace
