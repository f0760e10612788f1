// The two long operations: the uncaught-error box, closing while one runs,
// and the loader's view of the window.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <stdexcept>

#include "ErrorText.h"
#include "WindowFixture.h"

namespace {
constexpr int cHangMs = 10000;
}

TEST(UncaughtErrorText, DotIsAppendedWhenTheLastCharacterSortsAfterIt) {
  const struct {
    const char* In;
    const char* Out;
  } cCases[] = {
      {"Port lost", "Port lost."},
      {"'' is not a valid integer value", "'' is not a valid integer value."},
      {"Range check error 5", "Range check error 5."},
      {"Done.", "Done."},
      {"Why?", "Why?."},  // '?' sorts after '.'
      {"dir/", "dir/."},
      {"Stop!", "Stop!"},  // '!', ')', '-' and ' ' sort before it
      {"(x)", "(x)"},
      {"a-", "a-"},
      {"trailing ", "trailing "},
      {"", ""},
      {"caf\xC3\xA9", "caf\xC3\xA9."},
  };
  for (const auto& C : cCases) EXPECT_EQ(UncaughtErrorText(C.In), C.Out) << C.In;
}

TEST_F(WindowTest, AnEscapingErrorShowsTheBoxAndTheWindowGoesOn) {
  W.show();
  int Runs = 0;
  W.VersionOperation = [&] {
    ++Runs;
    throw std::out_of_range("Range check error");
  };
  W.UpdateOperation = [] { throw 42; };
  W.ePGMFileName->setText("fw.QRV");
  W.btVersion->click();
  W.btPGMLoad->click();
  W.btVersion->click();
  ASSERT_EQ(Recorder.Boxes.size(), 3u);
  EXPECT_EQ(Recorder.Boxes[0].Caption, "Quarnel");
  EXPECT_EQ(Recorder.Boxes[0].Text, "Range check error.");
  EXPECT_EQ(Recorder.Boxes[1].Text, "Unknown error.");
  EXPECT_EQ(Runs, 2);
  EXPECT_FALSE(W.OperationRunning());
  EXPECT_TRUE(W.isVisible());
}

TEST_F(WindowTest, ClosingDuringAnOperationWaitsForItsEndThenEndsTheApplication) {
  W.show();
  bool VisibleAtBox = false;
  W.VersionOperation = [&] {
    W.close();  // the user closes the window while messages are processed
    W.ProcessMessages();
    W.ShowError("No controller found");
    VisibleAtBox = W.isVisible();
  };
  QSignalSpy LastClosed(qApp, &QGuiApplication::lastWindowClosed);
  QTimer::singleShot(0, W.btVersion, &QPushButton::click);
  QTimer Hang;  // fail instead of hanging
  Hang.setSingleShot(true);
  QObject::connect(&Hang, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  Hang.start(cHangMs);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(VisibleAtBox);
  ASSERT_EQ(Recorder.Boxes.size(), 1u);
  EXPECT_EQ(Recorder.Boxes[0].Caption, "Error");
  EXPECT_FALSE(W.isVisible());
  EXPECT_EQ(LastClosed.count(), 1);
}

TEST_F(WindowTest, ViewReadsAndWritesTheControls) {
  bool Posted = false;
  QMetaObject::invokeMethod(
      qApp, [&] { Posted = true; }, Qt::QueuedConnection);
  W.ProcessMessages();
  EXPECT_TRUE(Posted);

  W.SetPortText("/dev/ttyUSB0");
  EXPECT_EQ(W.PortText(), "/dev/ttyUSB0");
  W.ePGMFileName->setText(QString::fromUtf8("/fw/M\xC3\xBCller.QRV"));
  EXPECT_EQ(W.FileName(), "/fw/M\xC3\xBCller.QRV");
  W.SetPrompt("Update 100%");
  EXPECT_EQ(W.lbPrompt->text(), "Update 100%");
  // The high-speed box counts by its own visibility, shown window or not.
  EXPECT_FALSE(W.HighSpeedVisible());
  W.FormDblClick();
  EXPECT_TRUE(W.HighSpeedVisible());
  EXPECT_TRUE(W.PCDirectMode());
  W.ShowError("File open error.");
  ASSERT_EQ(Recorder.Boxes.size(), 1u);
  EXPECT_EQ(Recorder.Boxes[0].Caption, "Error");
  EXPECT_EQ(Recorder.Boxes[0].Text, "File open error.");
}
