// "&Browse" and the file-open dialog.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

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

// Answers the real dialog once it is up: Answer gets it, then the timer stops.
void WhenDialogShows(const std::function<void(QFileDialog&)>& Answer) {
  auto* Poll = new QTimer(qApp);
  QObject::connect(Poll, &QTimer::timeout, [Poll, Answer] {
    if (auto* Dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      Poll->stop();
      Poll->deleteLater();
      Answer(*Dialog);
    }
  });
  Poll->start(10);
}

}  // namespace

TEST(RealFileDialog, AcceptsAMissingFileAndAddsTheDefaultExtension) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  TOpenDialog Dialog{"QRV", "Motot Controller Firmware File[*.QRV]|*.QRV", ""};
  QStringList Filters;
  WhenDialogShows([&](QFileDialog& Box) {
    Filters = Box.nameFilters();
    Box.selectFile(Folder.filePath("missing"));
    static_cast<QDialog&>(Box).accept();  // QFileDialog's own check runs
  });
  ASSERT_TRUE(RunFileDialog(nullptr, Dialog));
  EXPECT_EQ(QDir::cleanPath(Dialog.FileName), QDir::cleanPath(Folder.filePath("missing.QRV")));
  EXPECT_EQ(Filters, QStringList{"Motot Controller Firmware File[*.QRV] (*.QRV)"});

  WhenDialogShows([](QFileDialog& Box) { Box.reject(); });
  EXPECT_FALSE(RunFileDialog(nullptr, Dialog));
  EXPECT_EQ(QDir::cleanPath(Dialog.FileName), QDir::cleanPath(Folder.filePath("missing.QRV")));
}
