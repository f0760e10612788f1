// A search that finds nothing, through the window: the real message box, its
// caption as the system's title bar gets it, its text word for word and the
// details of what was tried.
#include <qpa/qplatformwindow.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "WindowFixture.h"

namespace {

constexpr int cPollMs = 10;
const char* const cNoSuchDevice = "/dev/quarnel-no-such-port";

// The toolkit's own making of the title the system shows: it appends the
// application's display name to a title that does not end with it.
struct TSystemTitle : QPlatformWindow {
  using QPlatformWindow::formatWindowTitle;
};
const QString cTitleSeparator = QString::fromUtf8(" \xE2\x80\x94 ");  // as on X11

// The first message box as it was shown; OK is pressed on it at once.
struct TShownBox {
  bool Seen = false;
  std::string Title;
  std::string SystemTitle;
  std::string Text;
  std::string Details;
  QMessageBox::Icon Icon = QMessageBox::NoIcon;
  bool OkAndDetails = false;  // OK, and the button that shows the details
};

class TBoxReader {
 public:
  TBoxReader() {
    QObject::connect(&FPoll, &QTimer::timeout, [this] {
      auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (Box == nullptr || Shown.Seen) return;
      Shown = {true,
               Box->windowTitle().toStdString(),
               TSystemTitle::formatWindowTitle(Box->windowTitle(), cTitleSeparator).toStdString(),
               Box->text().toStdString(),
               Box->detailedText().toStdString(),
               Box->icon(),
               Box->buttons().size() == 2 && Box->button(QMessageBox::Ok) != nullptr};
      Box->button(QMessageBox::Ok)->click();
    });
    FPoll.start(cPollMs);
  }
  TShownBox Shown;

 private:
  QTimer FPoll;
};

TEST(NotFoundWindowTest, TheRealBoxKeepsItsTextAndAddsWhatWasTried) {
  struct TCase {
    const char* Name;
    const char* Typed;  // nullptr: automatic detection over a system without ports
    const char* Details;
  } const cCases[] = {
      {"typed path that does not exist", cNoSuchDevice,
       "/dev/quarnel-no-such-port\n"
       "  Not present: the system has no such device.\n"
       "Check that the adapter is plugged in and that the name is right."},
      {"no serial device at all", nullptr,
       "No serial device is present: the system lists none as /dev/ttyUSB*, /dev/ttyACM* or "
       "/dev/ttyS*.\n"
       "Plug in the USB-serial adapter. If it is plugged in and still not listed, the system log "
       "(sudo dmesg) shows whether the system saw it, and whether a service took it over."},
  };
  for (const TCase& C : cCases) {
    SCOPED_TRACE(C.Name);
    TCOMPort Port;
    TfUpdate W{Port, [] { return TPortMap([](int) { return std::string(); }); }};
    W.show();
    if (C.Typed != nullptr) {
      W.cbAutoSelectCOMPort->click();
      W.cbPort->setEditText(QString::fromUtf8(C.Typed));
    }
    TBoxReader Reader;
    W.btVersion->click();
    const TShownBox& Box = Reader.Shown;
    ASSERT_TRUE(Box.Seen);
    EXPECT_EQ(Box.Title, "Error");
    EXPECT_EQ(Box.SystemTitle, "Error");
    EXPECT_EQ(Box.Text, "Can not connect to a motor controller.");
    EXPECT_EQ(Box.Details, C.Details);
    EXPECT_EQ(Box.Icon, QMessageBox::Critical);
    EXPECT_TRUE(Box.OkAndDetails);
    EXPECT_TRUE(W.cbPort->toolTip().isEmpty());
  }
}

}  // namespace
