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
#include <map>

#include "FormTable.h"
#include "TfUpdate.h"

namespace {

QFont WindowFont(int Pixels) {
  QFont Font;
  QStringList Families;
  for (const char* Family : cFontFamilies) Families << QString::fromLatin1(Family);
  Font.setFamilies(Families);
  Font.setStyleHint(QFont::SansSerif);
  Font.setPixelSize(Pixels);
  return Font;
}

QString Caption(TControlId Id) {
  return QString::fromStdString(StartCaption(ControlRow(Id)));
}

template <typename T>
T* Make(QWidget* Parent, TControlId Id) {
  auto* Control = new T(Parent);
  Control->setObjectName(QLatin1String(ControlRow(Id).Name));
  return Control;
}

// A fixed label as the layout draws it: its text at its top left, or
// centred at the top where the table says so.
QLabel* MakeLabel(QWidget* Parent, TControlId Id) {
  auto* Label = Make<QLabel>(Parent, Id);
  Label->setText(Caption(Id));
  Label->setAlignment(ControlRow(Id).CentreText ? Qt::AlignHCenter | Qt::AlignTop
                                                 : Qt::AlignLeft | Qt::AlignTop);
  return Label;
}

template <typename T>
T* MakeButton(QWidget* Parent, TControlId Id) {
  auto* Button = Make<T>(Parent, Id);
  Button->setText(Caption(Id));
  return Button;
}

}  // namespace

void TfUpdate::CreateControls() {
  using I = TControlId;
  lbPrompt = Make<QLabel>(this, I::lbPrompt);
  lbPrompt->setAlignment(Qt::AlignCenter);
  lbPrompt->setAutoFillBackground(true);

  PGMOpenDialog.DefaultExt = QString::fromLatin1(cPGMDefaultExt);
  PGMOpenDialog.Filter = QString::fromLatin1(cPGMFilter);

  Label1 = MakeLabel(this, I::Label1);
  ePGMFileName = Make<QLineEdit>(this, I::ePGMFileName);
  btSelectPGMFile = MakeButton<QPushButton>(this, I::btSelectPGMFile);
  btPGMLoad = MakeButton<QPushButton>(this, I::btPGMLoad);
  Label2 = MakeLabel(this, I::Label2);
  btVersion = MakeButton<QPushButton>(this, I::btVersion);
  cbAutoSelectCOMPort = MakeButton<QCheckBox>(this, I::cbAutoSelectCOMPort);

  cbPort = Make<QComboBox>(this, I::cbPort);
  cbPort->setEditable(true);
  // The list is fixed; a typed port is used as text, not added to it.
  cbPort->setInsertPolicy(QComboBox::NoInsert);
  for (int n = 1; n <= cPortListCount; ++n) cbPort->addItem(QString::fromStdString(PortListItem(n)));
  cbPort->setCurrentIndex(-1);
  cbPort->setEditText(Caption(I::cbPort));

  lbCOMPort = MakeLabel(this, I::lbCOMPort);
  Label4 = MakeLabel(this, I::Label4);
  cbHighSpeed = MakeButton<QCheckBox>(this, I::cbHighSpeed);
  cbPCDirectMode = MakeButton<QCheckBox>(this, I::cbPCDirectMode);

  // Start states, before any handler is connected.
  for (const TControlRow& Row : cFormControls) {
    QWidget* Widget = Control(Row.Id);
    Widget->setEnabled(Row.Enabled);
    Widget->setVisible(Row.Visible);
    if (auto* Box = qobject_cast<QCheckBox*>(Widget)) Box->setChecked(Row.Checked);
  }
}

void TfUpdate::PlaceControls() {
  for (const TControlRow& Row : cFormControls)
    Control(Row.Id)->setGeometry(Row.Left, Row.Top, Row.Width, Row.Height);
}

void TfUpdate::SetFonts() {
  setFont(WindowFont(cWindowFontPixels));
  for (const TControlRow& Row : cFormControls)
    if (Row.FontPixels != 0) Control(Row.Id)->setFont(WindowFont(Row.FontPixels));
}

void TfUpdate::FitLabelsToText() {
  for (const TControlRow& Row : cFormControls) {
    if (Row.Fit == TLabelFit::None) continue;
    QWidget* Label = Control(Row.Id);
    const QRect Place = Label->geometry();
    const QSize Text = Label->sizeHint();
    const int Width = std::max(Place.width(), Text.width());
    const int Height = std::max(Place.height(), Text.height());
    const int Left = Row.Fit == TLabelFit::KeepRightEdge ? Place.left() + Place.width() - Width : Place.left();
    Label->setGeometry(Left, Place.top(), Width, Height);
  }
}

void TfUpdate::SetTabOrder() {
  std::map<int, QWidget*> Order;
  for (const TControlRow& Row : cFormControls)
    if (Row.Tab >= 0) Order[Row.Tab] = Control(Row.Id);
  QWidget* Previous = nullptr;
  for (const auto& [Tab, Widget] : Order) {
    if (Previous != nullptr) setTabOrder(Previous, Widget);
    Previous = Widget;
  }
  // The first control of the tab order has the focus when the window opens.
  ePGMFileName->setFocus();
}

void TfUpdate::CentreOnScreen() {
  const QScreen* Screen = QGuiApplication::primaryScreen();
  if (Screen == nullptr) return;
  const QRect Desktop = Screen->availableGeometry();
  move(Desktop.center() - QPoint(cClientWidth / 2, cClientHeight / 2));
}
