// "&Browse" and the file-open dialog.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

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

  ASSERT_EQ(Dialog.Seen.size(), 2u);
  EXPECT_EQ(Dialog.Seen[0].DefaultExt, "QRV");
  EXPECT_EQ(Dialog.Seen[0].Filter, "Motot Controller Firmware File[*.QRV]|*.QRV");
  EXPECT_EQ(Dialog.Seen[0].FileName, "");
  EXPECT_EQ(Dialog.Seen[1].FileName, "/fw/first.QRV");  // the dialog keeps the last choice
}

namespace {

constexpr int cPollMs = 10;
constexpr int cHangMs = 10000;

// Runs the real dialog and answers it once it is up. Past the deadline every
// modal dialog (a warning box over it included) is rejected, so a dialog that
// refuses the answer fails the test instead of hanging it.
bool RunAnswered(TOpenDialog& Dialog, const std::function<void(QFileDialog&)>& Answer) {
  QTimer Poll, Hang;
  QObject::connect(&Poll, &QTimer::timeout, [&] {
    if (auto* Box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      Poll.stop();
      Answer(*Box);
    }
  });
  QObject::connect(&Hang, &QTimer::timeout, [&] {
    Hang.setInterval(cPollMs);
    if (auto* Modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) Modal->reject();
  });
  Poll.start(cPollMs);
  Hang.start(cHangMs);
  return RunFileDialog(nullptr, Dialog);
}

}  // namespace

TEST(RealFileDialog, AcceptsAMissingFileAndAddsTheDefaultExtension) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  TOpenDialog Dialog{"QRV", "Motot Controller Firmware File[*.QRV]|*.QRV", ""};
  QStringList Filters;
  ASSERT_TRUE(RunAnswered(Dialog, [&](QFileDialog& Box) {
    Filters = Box.nameFilters();
    // selectFile leaves the name field alone while it has the focus.
    if (QWidget* Focus = QApplication::focusWidget()) Focus->clearFocus();
    Box.selectFile(Folder.filePath("missing"));
    static_cast<QDialog&>(Box).accept();  // QFileDialog's own check runs
  }));
  const QString Chosen = QDir::cleanPath(Folder.filePath("missing.QRV"));
  EXPECT_EQ(QDir::cleanPath(Dialog.FileName), Chosen);
  EXPECT_EQ(Filters, QStringList{"Motot Controller Firmware File[*.QRV] (*.QRV)"});

  EXPECT_FALSE(RunAnswered(Dialog, [](QFileDialog& Box) { Box.reject(); }));
  EXPECT_EQ(QDir::cleanPath(Dialog.FileName), Chosen);
}
