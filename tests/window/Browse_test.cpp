// "&Browse" and the file-open dialog.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <utility>

#include "WindowFixture.h"

TEST_F(WindowTest, BrowsePutsTheChosenNameInTheBoxAndCancelLeavesItAlone) {
  TDialogAnswer Dialog;
  Dialog.Choice = "/fw/first.QRV";
  W.btSelectPGMFile->click();
  EXPECT_EQ(W.FileName(), "/fw/first.QRV");
  EXPECT_TRUE(W.btPGMLoad->isEnabled());

  W.ePGMFileName->setText("typed.QRV");
  Dialog.Choice.reset();
  W.btSelectPGMFile->click();
  EXPECT_EQ(W.FileName(), "typed.QRV");

  W.ePGMFileName->clear();
  W.btSelectPGMFile->click();
  EXPECT_EQ(W.FileName(), "");
  EXPECT_FALSE(W.btPGMLoad->isEnabled());

  ASSERT_EQ(Dialog.Seen.size(), 3u);
  EXPECT_EQ(Dialog.Seen[0].DefaultExt, "QRV");
  EXPECT_EQ(Dialog.Seen[0].Filter, "Motot Controller Firmware File[*.QRV]|*.QRV");
  EXPECT_EQ(Dialog.Seen[0].FileName, "");
  EXPECT_EQ(Dialog.Seen[2].FileName, "/fw/first.QRV");  // the dialog keeps the last choice
}

TEST(NameFilters, DescriptionAndPatternPairsBecomeQtFilters) {
  EXPECT_EQ(QtNameFilters("Motot Controller Firmware File[*.QRV]|*.QRV"),
            QStringList{"Motot Controller Firmware File[*.QRV] (*.QRV)"});
  EXPECT_EQ(QtNameFilters("A|*.a;*.b|All|*"), (QStringList{"A (*.a *.b)", "All (*)"}));
  EXPECT_EQ(QtNameFilters("Dangling"), QStringList{});
}

namespace {

constexpr int cPollMs = 10;
constexpr int cHangMs = 10000;

// Answers the real dialog once it is up; if it is still up after the
// deadline, the test fails instead of hanging.
class TWhenDialogShows {
 public:
  explicit TWhenDialogShows(std::function<void(QFileDialog&)> Answer) : FAnswer(std::move(Answer)) {
    QObject::connect(&FPoll, &QTimer::timeout, [this] {
      if (auto* Dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
        FPoll.stop();
        FAnswer(*Dialog);
      }
    });
    FPoll.start(cPollMs);
    // Past the deadline, reject whatever modal dialog is up (a warning box
    // over the file dialog included) until the file dialog is gone.
    QObject::connect(&FHang, &QTimer::timeout, [this] {
      FHang.setInterval(cPollMs);
      if (auto* Dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        Dialog->reject();
    });
    FHang.start(cHangMs);
  }

 private:
  std::function<void(QFileDialog&)> FAnswer;
  QTimer FPoll, FHang;
};

}  // namespace

TEST(RealFileDialog, AcceptsAMissingFileAndAddsTheDefaultExtension) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  TOpenDialog Dialog{"QRV", "Motot Controller Firmware File[*.QRV]|*.QRV", ""};
  QStringList Filters;
  {
    TWhenDialogShows Chooser([&](QFileDialog& Box) {
      Filters = Box.nameFilters();
      Box.selectFile(Folder.filePath("missing"));
      static_cast<QDialog&>(Box).accept();  // QFileDialog's own check runs
    });
    ASSERT_TRUE(RunFileDialog(nullptr, Dialog));
  }
  EXPECT_EQ(QDir::cleanPath(Dialog.FileName), QDir::cleanPath(Folder.filePath("missing.QRV")));
  EXPECT_EQ(Filters, QStringList{"Motot Controller Firmware File[*.QRV] (*.QRV)"});

  TWhenDialogShows Canceller([](QFileDialog& Box) { Box.reject(); });
  EXPECT_FALSE(RunFileDialog(nullptr, Dialog));
  EXPECT_EQ(QDir::cleanPath(Dialog.FileName), QDir::cleanPath(Folder.filePath("missing.QRV")));
}
