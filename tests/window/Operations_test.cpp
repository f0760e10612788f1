// The two long operations: the uncaught-error box, closing while one runs,
// and the loader's view of the window.
#include <QApplication>
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
  // '?' and '/' sort after '.'; '!', ')', '-' and ' ' before it.
  const std::pair<const char*, const char*> cCases[] = {
      {"Port lost", "Port lost."},
      {"Range check error 5", "Range check error 5."},
      {"Done.", "Done."},
      {"Why?", "Why?."},
      {"dir/", "dir/."},
      {"Stop!", "Stop!"},
      {"(x)", "(x)"},
      {"a-", "a-"},
      {"end ", "end "},
      {"", ""},
      {"caf\xC3\xA9", "caf\xC3\xA9."}};
  for (const auto& [In, Out] : cCases) EXPECT_EQ(UncaughtErrorText(In), Out) << In;
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
  QObject::connect(&Hang, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  Hang.start(cHangMs);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(VisibleAtBox);
  ASSERT_EQ(Recorder.Boxes.size(), 1u);
  EXPECT_EQ(Recorder.Boxes[0].Caption, "Error");
  EXPECT_EQ(Recorder.Boxes[0].Text, "No controller found");
  EXPECT_FALSE(W.isVisible());
  EXPECT_EQ(LastClosed.count(), 1);
}

TEST_F(WindowTest, ViewProcessesPostedEventsAndSeesControlsOfAHiddenWindow) {
  bool Posted = false;
  QMetaObject::invokeMethod(
      qApp, [&] { Posted = true; }, Qt::QueuedConnection);
  W.ProcessMessages();
  EXPECT_TRUE(Posted);
  // The high-speed box counts by its own visibility, window shown or not.
  EXPECT_FALSE(W.HighSpeedVisible());
  W.FormDblClick();
  EXPECT_TRUE(W.HighSpeedVisible());
  W.ePGMFileName->setText(QString::fromUtf8("/fw/M\xC3\xBCller.QRV"));
  EXPECT_EQ(W.FileName(), "/fw/M\xC3\xBCller.QRV");
}
