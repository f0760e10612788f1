// The window's controls: creation, captions, start states, places, fonts and
// tab order. Layout values are pixels at 96 dpi.
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <iterator>

#include "QuarnelVersion.h"
#include "TfUpdate.h"

namespace {

constexpr int cPortCount = 128;  // the list offers COM1 to COM128

// Columns: control, left, top, width, height (relative to the client area).
struct TControlPlace {
  const char* Name;
  int Left, Top, Width, Height;
};
const TControlPlace cControlPlaces[] = {
    {"lbPrompt", 0, 256, 483, 21},        {"Label1", 32, 80, 64, 13},
    {"ePGMFileName", 98, 76, 291, 21},    {"btSelectPGMFile", 394, 74, 69, 25},
    {"btPGMLoad", 152, 222, 75, 25},      {"Label2", 116, 10, 290, 25},
    {"btVersion", 258, 222, 75, 25},      {"cbAutoSelectCOMPort", 98, 126, 131, 17},
    {"cbPort", 310, 123, 79, 21},         {"lbCOMPort", 258, 126, 46, 13},
    {"Label4", 214, 40, 79, 25},          {"cbHighSpeed", 160, 283, 173, 17},
    {"cbPCDirectMode", 98, 150, 291, 17},
};

// Character heights in pixels: every control uses the window's font except
// these.
constexpr int cWindowFontPixels = 11;
struct TControlFont {
  const char* Name;
  int Pixels;
};
const TControlFont cControlFonts[] = {
    {"lbPrompt", 13},
    {"Label2", 21},
    {"Label4", 21},
};

// Sans-serif faces close in width to the one the layout was drawn with,
// best first; the style hint picks any sans-serif face when none is present.
const QStringList cFontFamilies = {"Microsoft Sans Serif", "Liberation Sans", "Arial", "Helvetica",
                                   "Nimbus Sans",          "DejaVu Sans"};

QFont WindowFont(int Pixels) {
  QFont Font;
  Font.setFamilies(cFontFamilies);
  Font.setStyleHint(QFont::SansSerif);
  Font.setPixelSize(Pixels);
  return Font;
}

// Fixed labels take the size of their text. Their places were drawn for a
// narrower font, so a label whose text needs more room grows: a caption in
// front of a control grows to the left, so that it never runs under the
// control; the others grow to the right and down.
// Columns: label, keeps its right edge.
struct TAutoSizeLabel {
  const char* Name;
  bool KeepRightEdge;
};
const TAutoSizeLabel cAutoSizeLabels[] = {
    {"Label1", true},
    {"Label2", false},
    {"lbCOMPort", true},
    {"Label4", false},
};

template <typename T>
T* Make(QWidget* Parent, const char* Name) {
  auto* Control = new T(Parent);
  Control->setObjectName(QLatin1String(Name));
  return Control;
}

// A fixed label as the layout draws it: text at its top left.
QLabel* MakeLabel(QWidget* Parent, const char* Name, const QString& Caption) {
  auto* Label = Make<QLabel>(Parent, Name);
  Label->setText(Caption);
  Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return Label;
}

}  // namespace

void TfUpdate::CreateControls() {
  lbPrompt = Make<QLabel>(this, "lbPrompt");
  lbPrompt->setAlignment(Qt::AlignCenter);
  lbPrompt->setAutoFillBackground(true);

  PGMOpenDialog.DefaultExt = QStringLiteral("QRV");
  PGMOpenDialog.Filter = QStringLiteral("Motot Controller Firmware File[*.QRV]|*.QRV");

  Label1 = MakeLabel(this, "Label1", QStringLiteral("Firmware File:"));
  ePGMFileName = Make<QLineEdit>(this, "ePGMFileName");
  btSelectPGMFile = Make<QPushButton>(this, "btSelectPGMFile");
  btSelectPGMFile->setText(QStringLiteral("&Browse"));
  btPGMLoad = Make<QPushButton>(this, "btPGMLoad");
  btPGMLoad->setText(QStringLiteral("&Update"));
  btPGMLoad->setEnabled(false);
  Label2 = MakeLabel(this, "Label2", QStringLiteral("Quarnel"));
  // The title's box was drawn for a longer title; centred in it, the title
  // stays over the version line as drawn.
  Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  btVersion = Make<QPushButton>(this, "btVersion");
  btVersion->setText(QStringLiteral("MC &Version"));

  cbAutoSelectCOMPort = Make<QCheckBox>(this, "cbAutoSelectCOMPort");
  cbAutoSelectCOMPort->setText(QStringLiteral("Auto-detect COM Port"));
  cbAutoSelectCOMPort->setChecked(true);

  cbPort = Make<QComboBox>(this, "cbPort");
  cbPort->setEditable(true);
  // The list is fixed; a typed port is used as text, not added to it.
  cbPort->setInsertPolicy(QComboBox::NoInsert);
  for (int n = 1; n <= cPortCount; ++n) cbPort->addItem(QStringLiteral("COM%1").arg(n));
  cbPort->setCurrentIndex(-1);
  cbPort->setEditText(QStringLiteral("COM1"));
  cbPort->setEnabled(false);

  lbCOMPort = MakeLabel(this, "lbCOMPort", QStringLiteral("COM Port"));
  Label4 =
      MakeLabel(this, "Label4", QStringLiteral("Ver. ") + QString::fromLatin1(cQuarnelVersion));

  cbHighSpeed = Make<QCheckBox>(this, "cbHighSpeed");
  cbHighSpeed->setText(QStringLiteral("High Speed Direct Connection"));
  cbHighSpeed->setChecked(true);
  cbHighSpeed->setVisible(false);

  cbPCDirectMode = Make<QCheckBox>(this, "cbPCDirectMode");
  cbPCDirectMode->setText(QStringLiteral("Using Corvex Hand Controller's PC Direct Mode"));
  cbPCDirectMode->setChecked(true);
}

void TfUpdate::PlaceControls() {
  for (const TControlPlace& Place : cControlPlaces) {
    auto* Control = findChild<QWidget*>(QLatin1String(Place.Name), Qt::FindDirectChildrenOnly);
    Control->setGeometry(Place.Left, Place.Top, Place.Width, Place.Height);
  }
}

void TfUpdate::SetFonts() {
  setFont(WindowFont(cWindowFontPixels));
  for (const TControlFont& Entry : cControlFonts) {
    auto* Control = findChild<QWidget*>(QLatin1String(Entry.Name), Qt::FindDirectChildrenOnly);
    Control->setFont(WindowFont(Entry.Pixels));
  }
}

void TfUpdate::FitLabelsToText() {
  for (const TAutoSizeLabel& Entry : cAutoSizeLabels) {
    auto* Label = findChild<QLabel*>(QLatin1String(Entry.Name), Qt::FindDirectChildrenOnly);
    const QRect Place = Label->geometry();
    const QSize Text = Label->sizeHint();
    const int Width = std::max(Place.width(), Text.width());
    const int Height = std::max(Place.height(), Text.height());
    const int Left = Entry.KeepRightEdge ? Place.left() + Place.width() - Width : Place.left();
    Label->setGeometry(Left, Place.top(), Width, Height);
  }
}

void TfUpdate::SetTabOrder() {
  QWidget* const Order[] = {ePGMFileName,   btSelectPGMFile, cbAutoSelectCOMPort, cbPort,
                            cbPCDirectMode, btPGMLoad,       btVersion,           cbHighSpeed};
  for (std::size_t i = 0; i + 1 < std::size(Order); ++i) setTabOrder(Order[i], Order[i + 1]);
  // The first control of the tab order has the focus when the window opens.
  ePGMFileName->setFocus();
}

void TfUpdate::CentreOnScreen() {
  const QScreen* Screen = QGuiApplication::primaryScreen();
  if (Screen == nullptr) return;
  const QRect Desktop = Screen->availableGeometry();
  move(Desktop.center() - QPoint(cClientWidth / 2, cClientHeight / 2));
}
