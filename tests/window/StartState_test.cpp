// The window as it opens: places, captions, states, fonts, tab order.
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cstring>
#include <utility>

#include "WindowFixture.h"

namespace {

// Columns: control, place, caption, start state (E enabled, H hidden,
// C checked), font pixels.
struct TExpected {
  const char* Name;
  QRect Place;
  const char* Caption;
  const char* State;
  int FontPixels;
};
// clang-format off
const TExpected cControls[] = {
    {"lbPrompt",            {0, 256, 483, 21},   "",                     "E",   13},
    {"Label1",              {32, 80, 64, 13},    "Firmware File:",       "E",   11},
    {"ePGMFileName",        {98, 76, 291, 21},   "",                     "E",   11},
    {"btSelectPGMFile",     {394, 74, 69, 25},   "&Browse",              "E",   11},
    {"btPGMLoad",           {152, 222, 75, 25},  "&Update",              "",    11},
    {"Label2",              {116, 10, 290, 25},  "Quarnel",              "E",   21},
    {"btVersion",           {258, 222, 75, 25},  "MC &Version",          "E",   11},
    {"cbAutoSelectCOMPort", {98, 126, 131, 17},  "Auto-detect COM Port", "EC",  11},
    {"cbPort",              {310, 123, 79, 21},  "COM1",                 "",    11},
    {"lbCOMPort",           {258, 126, 46, 13},  "COM Port",             "E",   11},
    {"Label4",              {214, 40, 79, 25},   "Ver. 1.78",            "E",   21},
    {"cbHighSpeed",         {160, 283, 173, 17}, "High Speed Direct Connection", "EHC", 11},
    {"cbPCDirectMode",      {98, 150, 291, 17},
     "Using Corvex Hand Controller's PC Direct Mode",                    "EC",  11},
};
// clang-format on

QString Caption(QWidget* Control) {
  if (auto* L = qobject_cast<QLabel*>(Control)) return L->text();
  if (auto* B = qobject_cast<QAbstractButton*>(Control)) return B->text();
  if (auto* E = qobject_cast<QLineEdit*>(Control)) return E->text();
  return qobject_cast<QComboBox*>(Control)->currentText();
}

bool Has(const char* State, char Flag) {
  return std::strchr(State, Flag) != nullptr;
}

}  // namespace

TEST_F(WindowTest, EveryControlStartsAsDrawn) {
  W.show();  // places as the user sees them, not only as set
  for (const TExpected& E : cControls) {
    SCOPED_TRACE(E.Name);
    auto* Control = W.findChild<QWidget*>(E.Name);
    ASSERT_NE(Control, nullptr);
    EXPECT_EQ(Caption(Control), QString::fromUtf8(E.Caption));
    EXPECT_EQ(Control->isEnabled(), Has(E.State, 'E'));
    EXPECT_EQ(Control->isHidden(), Has(E.State, 'H'));
    auto* Box = qobject_cast<QCheckBox*>(Control);
    EXPECT_EQ(Box != nullptr && Box->isChecked(), Has(E.State, 'C'));
    EXPECT_EQ(Control->font().pixelSize(), E.FontPixels);
    EXPECT_EQ(Control->font().styleHint(), QFont::SansSerif);
    auto* Label = qobject_cast<QLabel*>(Control);
    if (Label == nullptr || Label == W.lbPrompt) {
      EXPECT_EQ(Control->geometry(), E.Place);
      continue;
    }
    // A fixed label takes its text's size where the font needs more room than
    // drawn; a caption keeps its right edge so it never runs under its control.
    const QRect Place = Label->geometry();
    EXPECT_EQ(Place.top(), E.Place.top());
    EXPECT_GE(Place.width(), Label->sizeHint().width());
    EXPECT_GE(Place.height(), Label->sizeHint().height());
    if (Label == W.Label1 || Label == W.lbCOMPort) {
      EXPECT_EQ(Place.right(), E.Place.right());
    } else {
      EXPECT_EQ(Place.left(), E.Place.left());
    }
  }
}

TEST_F(WindowTest, WindowIsFixedCentredAndWithoutMaximise) {
  EXPECT_EQ(W.windowTitle(), "Quarnel");
  EXPECT_EQ(W.size(), QSize(483, 313));
  EXPECT_EQ(W.minimumSize(), W.maximumSize());
  const Qt::WindowFlags Flags = W.windowFlags();
  EXPECT_FALSE(Flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(Flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(Flags & Qt::WindowCloseButtonHint);
  EXPECT_EQ(W.font().pixelSize(), 11);
  const QPoint Centre = QGuiApplication::primaryScreen()->availableGeometry().center();
  EXPECT_LE((W.geometry().center() - Centre).manhattanLength(), 2);
}

TEST_F(WindowTest, PortListOffersCom1ToCom128WithNoneSelected) {
  ASSERT_EQ(W.cbPort->count(), 128);
  for (int i = 0; i < 128; ++i)
    EXPECT_EQ(W.cbPort->itemText(i), QStringLiteral("COM%1").arg(i + 1));
  EXPECT_EQ(W.cbPort->currentIndex(), -1);
  EXPECT_TRUE(W.cbPort->isEditable());
  EXPECT_EQ(W.PortText(), "COM1");
}

TEST_F(WindowTest, StatusLinePaintsItsThreeBackgrounds) {
  const std::pair<TPromptColor, QColor> cCases[] = {
      {TPromptColor::Success, QColor(0, 255, 0)},
      {TPromptColor::Failure, QColor(255, 0, 0)},
      {TPromptColor::Normal, W.palette().color(QPalette::Button)}};
  for (const auto& [Color, Painted] : cCases) {
    W.SetPromptColor(Color);
    const QImage Shot = W.grab().toImage();
    EXPECT_EQ(Shot.pixelColor(W.lbPrompt->geometry().topLeft() + QPoint(2, 2)), Painted);
  }
  EXPECT_TRUE(W.lbPrompt->alignment() & Qt::AlignHCenter);
}

TEST_F(WindowTest, TabOrderAndAccessLetters) {
  W.show();
  W.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&W));
  EXPECT_EQ(QApplication::focusWidget(), W.ePGMFileName);
  // Make every control reachable, then walk the order once round.
  W.ePGMFileName->setText("a.QRV");
  W.cbAutoSelectCOMPort->setChecked(false);
  W.FormDblClick();
  for (QWidget* Expected : std::initializer_list<QWidget*>{
           W.ePGMFileName, W.btSelectPGMFile, W.cbAutoSelectCOMPort, W.cbPort, W.cbPCDirectMode,
           W.btPGMLoad, W.btVersion, W.cbHighSpeed, W.ePGMFileName}) {
    QWidget* Focus = QApplication::focusWidget();
    EXPECT_TRUE(Focus == Expected || Expected->isAncestorOf(Focus))
        << Expected->objectName().toStdString() << " vs " << Focus->objectName().toStdString();
    QTest::keyClick(Focus, Qt::Key_Tab);
  }
  int Versions = 0, Updates = 0;
  W.VersionOperation = [&] { ++Versions; };
  W.UpdateOperation = [&] { ++Updates; };
  TDialogAnswer Dialog;
  // A button's access letter clicks it after a short animation.
  for (Qt::Key Letter : {Qt::Key_V, Qt::Key_U, Qt::Key_B})
    QTest::keyClick(QApplication::focusWidget(), Letter, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Versions + Updates + Dialog.Seen.size() == 3; }));
  EXPECT_EQ(Versions, 1);
  EXPECT_EQ(Updates, 1);
  EXPECT_EQ(Dialog.Seen.size(), 1u);
}
