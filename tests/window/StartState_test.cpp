// The window as it opens: places, captions, states, fonts, tab order.
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "WindowFixture.h"

namespace {

struct TExpected {
  const char* Name;
  QRect Place;
  const char* Caption;
  bool Enabled, Hidden, Checked;
  int FontPixels;
};
// From the window's control table. Labels: their text may need more room than
// drawn, see LabelsFitTheirText.
const TExpected cControls[] = {
    {"lbPrompt", {0, 256, 483, 21}, "", true, false, false, 13},
    {"Label1", {32, 80, 64, 13}, "Firmware File:", true, false, false, 11},
    {"ePGMFileName", {98, 76, 291, 21}, "", true, false, false, 11},
    {"btSelectPGMFile", {394, 74, 69, 25}, "&Browse", true, false, false, 11},
    {"btPGMLoad", {152, 222, 75, 25}, "&Update", false, false, false, 11},
    {"Label2", {116, 10, 290, 25}, "Quarnel", true, false, false, 21},
    {"btVersion", {258, 222, 75, 25}, "MC &Version", true, false, false, 11},
    {"cbAutoSelectCOMPort", {98, 126, 131, 17}, "Auto-detect COM Port", true, false, true, 11},
    {"cbPort", {310, 123, 79, 21}, "COM1", false, false, false, 11},
    {"lbCOMPort", {258, 126, 46, 13}, "COM Port", true, false, false, 11},
    {"Label4", {214, 40, 79, 25}, "Ver. 1.78", true, false, false, 21},
    {"cbHighSpeed", {160, 283, 173, 17}, "High Speed Direct Connection", true, true, true, 11},
    {"cbPCDirectMode",
     {98, 150, 291, 17},
     "Using Corvex Hand Controller's PC Direct Mode",
     true,
     false,
     true,
     11},
};

QString Caption(QWidget* Control) {
  if (auto* L = qobject_cast<QLabel*>(Control)) return L->text();
  if (auto* B = qobject_cast<QAbstractButton*>(Control)) return B->text();
  if (auto* E = qobject_cast<QLineEdit*>(Control)) return E->text();
  return qobject_cast<QComboBox*>(Control)->currentText();
}

}  // namespace

TEST_F(WindowTest, EveryControlStartsAsDrawn) {
  for (const TExpected& E : cControls) {
    SCOPED_TRACE(E.Name);
    auto* Control = W.findChild<QWidget*>(E.Name);
    ASSERT_NE(Control, nullptr);
    if (!qobject_cast<QLabel*>(Control) || qstrcmp(E.Name, "lbPrompt") == 0) {
      EXPECT_EQ(Control->geometry(), E.Place);
    }
    EXPECT_EQ(Caption(Control), QString::fromUtf8(E.Caption));
    EXPECT_EQ(Control->isEnabled(), E.Enabled);
    EXPECT_EQ(Control->isHidden(), E.Hidden);
    if (auto* Box = qobject_cast<QCheckBox*>(Control)) {
      EXPECT_EQ(Box->isChecked(), E.Checked);
    }
    EXPECT_EQ(Control->font().pixelSize(), E.FontPixels);
    EXPECT_EQ(Control->font().styleHint(), QFont::SansSerif);
  }
}

TEST_F(WindowTest, LabelsFitTheirTextWithoutRunningUnderControls) {
  for (const TExpected& E : cControls) {
    auto* Label = qobject_cast<QLabel*>(W.findChild<QWidget*>(E.Name));
    if (Label == nullptr || Label == W.lbPrompt) continue;
    SCOPED_TRACE(E.Name);
    const QRect Place = Label->geometry();
    EXPECT_EQ(Place.top(), E.Place.top());
    EXPECT_GE(Place.width(), Label->sizeHint().width());
    EXPECT_GE(Place.height(), Label->sizeHint().height());
  }
  EXPECT_EQ(W.Label1->geometry().right(), 95);  // captions keep their right edge
  EXPECT_EQ(W.lbCOMPort->geometry().right(), 303);
  EXPECT_EQ(W.Label2->geometry().left(), 116);
  EXPECT_EQ(W.Label4->geometry().left(), 214);
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
  W.SetPrompt("Searching COM5");
  const QColor Face = W.palette().color(QPalette::Button);
  const struct {
    TPromptColor Color;
    QColor Painted;
  } cCases[] = {{TPromptColor::Success, QColor(0, 255, 0)},
                {TPromptColor::Failure, QColor(255, 0, 0)},
                {TPromptColor::Normal, Face}};
  for (const auto& C : cCases) {
    W.SetPromptColor(C.Color);
    const QImage Shot = W.grab().toImage();
    EXPECT_EQ(Shot.pixelColor(W.lbPrompt->geometry().topLeft() + QPoint(2, 2)), C.Painted);
  }
  EXPECT_TRUE(W.lbPrompt->alignment() & Qt::AlignHCenter);
  EXPECT_EQ(W.Prompt(), "Searching COM5");
}

TEST_F(WindowTest, TabOrderAndAccessLetters) {
  W.show();
  W.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&W));
  EXPECT_EQ(QApplication::focusWidget(), W.ePGMFileName);
  // Make every control reachable, then walk the order twice round.
  W.ePGMFileName->setText("a.QRV");
  W.cbAutoSelectCOMPort->setChecked(false);
  W.FormDblClick();
  const std::vector<QWidget*> Order = {W.ePGMFileName, W.btSelectPGMFile, W.cbAutoSelectCOMPort,
                                       W.cbPort,       W.cbPCDirectMode,  W.btPGMLoad,
                                       W.btVersion,    W.cbHighSpeed,     W.ePGMFileName};
  for (QWidget* Expected : Order) {
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
