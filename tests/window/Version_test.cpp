// "MC &Version" pressed on the real window with the simulator attached.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "Sim.h"
#include "WindowFixture.h"

namespace {

// A window whose port 1 is the simulator.
class VersionWindowTest : public testing::Test {
 protected:
  explicit VersionWindowTest(const mcsim::Config& Config = AppAt115200()) : Sim(Config) {
    Sim.Start();
  }
  ~VersionWindowTest() override { Sim.Stop(); }

  static mcsim::Config AppAt115200() {
    mcsim::Config C;
    C.appBaud = 115200;
    C.bootBaud = 115200;
    return C;
  }

  void Press() {
    W.show();
    ASSERT_EQ(W.btVersion->text(), "MC &Version");
    QTest::mouseClick(W.btVersion, Qt::LeftButton);
  }

  mcsim::Sim Sim;
  TCOMPort Port;
  TfUpdate W{Port, [this] {
               return TPortMap([this](int n) { return n == 1 ? Sim.DevicePath() : std::string(); });
             }};
  TBoxRecorder Recorder;
};

TEST_F(VersionWindowTest, StatusLineShowsTheVersionAndTheFoundPortIsKept) {
  Press();
  EXPECT_EQ(W.lbPrompt->text(), "3.28.04");
  EXPECT_TRUE(Recorder.Boxes.empty());
  EXPECT_EQ(W.cbPort->currentText(), "COM1");
  // The box is too narrow for the device: its tooltip names it.
  EXPECT_EQ(W.cbPort->accessibleDescription().toStdString(), "COM1: " + Sim.DevicePath());
  EXPECT_TRUE(W.cbPort->toolTip().contains(QString::fromStdString(Sim.DevicePath())));
  EXPECT_FALSE(W.cbAutoSelectCOMPort->isChecked());
  EXPECT_FALSE(W.cbPort->isEnabled());
  EXPECT_TRUE(W.btVersion->isEnabled());
  EXPECT_FALSE(Port.Enabled);
  // Another port typed: the tooltip no longer speaks of it.
  W.cbPort->setEditText("COM5");
  EXPECT_TRUE(W.cbPort->toolTip().isEmpty());
  EXPECT_TRUE(W.cbPort->accessibleDescription().isEmpty());
}

TEST_F(VersionWindowTest, TypedDevicePathFindsTheBootloader) {
  mcsim::Config Boot = AppAt115200();
  Boot.mode = mcsim::Mode::Bootloader;
  Sim.SetConfig(Boot);
  W.cbAutoSelectCOMPort->click();  // unchecking enables the box for typing
  W.cbPort->setEditText(QString::fromStdString(Sim.DevicePath()));
  Press();
  EXPECT_EQ(W.lbPrompt->text(),
            "Version information is not available, but MC is ready for updating.");
  EXPECT_EQ(W.cbPort->currentText().toStdString(), Sim.DevicePath());
  EXPECT_FALSE(W.cbPort->isEnabled());
}

TEST_F(VersionWindowTest, BadVersionDigitReachesTheUncaughtErrorBox) {
  mcsim::Config Bad = AppAt115200();
  Bad.versionReply = "=G11C04\r";
  Sim.SetConfig(Bad);
  Press();
  ASSERT_EQ(Recorder.Boxes.size(), 1u);
  EXPECT_EQ(Recorder.Boxes[0].Caption, "Quarnel");
  EXPECT_EQ(Recorder.Boxes[0].Text, "'$G1' is not a valid integer value.");
  EXPECT_EQ(W.lbPrompt->text(), "");
  EXPECT_TRUE(W.btVersion->isEnabled());
  EXPECT_FALSE(Port.Enabled);
}

}  // namespace
