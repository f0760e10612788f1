#include "TfUpdate.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QColor>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QTextDocument>
#include <utility>

#include "MessageBox.h"

namespace {

QColor ColorOf(TRgb Rgb) {
  return QColor(Rgb.Red, Rgb.Green, Rgb.Blue);
}

QString FromUtf8(const std::string& Text) {
  return QString::fromStdString(Text);
}

}  // namespace

TfUpdate::TfUpdate(QWidget* Parent) : TfUpdate(Comm1, SystemPortMap, Parent) {}

TfUpdate::TfUpdate(TCOMPort& Port, TPortMapSource PortMaps, QWidget* Parent)
    : QWidget(Parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      Loader(Port, *this, std::move(PortMaps)),
      VersionOperation([this] { Loader.QueryVersion(); }),
      UpdateOperation([this] { Loader.UpdateFirmware(); }),
      Runner([this](const std::string& Text) { ShowUncaughtError(Text); }, [this] { close(); }) {
  setWindowTitle(QString::fromLatin1(cAppTitle));
  setFixedSize(cClientWidth, cClientHeight);
  // The window is painted in the button-face colour, as the status line is
  // when it shows nothing special.
  QPalette Face = palette();
  Face.setColor(QPalette::Window, Face.color(QPalette::Button));
  setPalette(Face);
  CreateControls();
  PlaceControls();
  SetFonts();
  FitLabelsToText();
  SetTabOrder();
  ConnectHandlers();
  CentreOnScreen();
}

TfUpdate::~TfUpdate() = default;

void TfUpdate::ConnectHandlers() {
  connect(btSelectPGMFile, &QPushButton::clicked, this, [this] { btSelectPGMFileClick(); });
  connect(ePGMFileName, &QLineEdit::textChanged, this, [this] { ePGMFileNameChange(); });
  // toggled also fires when the program changes the state.
  for (QCheckBox* Box : {cbAutoSelectCOMPort, cbHighSpeed, cbPCDirectMode})
    connect(Box, &QCheckBox::toggled, this, [this] { cbAutoSelectCOMPortClick(); });
  connect(cbPort, &QComboBox::editTextChanged, this, [this](const QString& Text) {
    if (!FPortDeviceFor.isEmpty() && Text != FPortDeviceFor) SetPortDevice({});
  });
  connect(btVersion, &QPushButton::clicked, this, [this] { btVersionClick(); });
  connect(btPGMLoad, &QPushButton::clicked, this, [this] { btPGMLoadClick(); });
}

// Handlers ------------------------------------------------------------------

void TfUpdate::btSelectPGMFileClick() {
  Rules.btSelectPGMFileClick();
}

void TfUpdate::ePGMFileNameChange() {
  Rules.ePGMFileNameChange();
}

void TfUpdate::cbAutoSelectCOMPortClick() {
  Rules.cbAutoSelectCOMPortClick();
}

void TfUpdate::FormDblClick() {
  Rules.FormDblClick();
}

void TfUpdate::btVersionClick() {
  Runner.Run(VersionOperation);
}

void TfUpdate::btPGMLoadClick() {
  Runner.Run(UpdateOperation);
}

// Long operations and closing -------------------------------------------------

void TfUpdate::ShowUncaughtError(const std::string& Text) {
  ShowMessageBox(this, TMessageBoxRequest{QString::fromLatin1(cAppTitle), FromUtf8(Text), {}});
}

void TfUpdate::closeEvent(QCloseEvent* Event) {
  // During an operation the close waits; the runner closes the window then.
  if (!Runner.MayClose()) {
    Event->ignore();
    return;
  }
  QWidget::closeEvent(Event);
}

void TfUpdate::mouseDoubleClickEvent(QMouseEvent* Event) {
  // Only a double click on an empty spot of the client area counts; one on a
  // control (a label included) does not.
  if (Event->button() == Qt::LeftButton && childAt(Event->position().toPoint()) == nullptr)
    FormDblClick();
  QWidget::mouseDoubleClickEvent(Event);
}

// ILoaderView ---------------------------------------------------------------

void TfUpdate::SetPrompt(const std::string& Text) {
  lbPrompt->setText(FromUtf8(Text));
}

std::string TfUpdate::Prompt() const {
  return lbPrompt->text().toStdString();
}

void TfUpdate::SetPromptColor(TPromptColor Color) {
  QPalette Colors = lbPrompt->palette();
  switch (Color) {
    case TPromptColor::Normal:
      Colors.setColor(QPalette::Window, palette().color(QPalette::Button));
      break;
    case TPromptColor::Success:
      Colors.setColor(QPalette::Window, ColorOf(cPromptSuccessColor));
      break;
    case TPromptColor::Failure:
      Colors.setColor(QPalette::Window, ColorOf(cPromptFailureColor));
      break;
  }
  lbPrompt->setPalette(Colors);
}

void TfUpdate::ShowError(const std::string& Text, const std::string& Details) {
  ShowMessageBox(this, TMessageBoxRequest{QString::fromLatin1(cErrorCaption), FromUtf8(Text),
                                          FromUtf8(Details)});
}

void TfUpdate::ProcessMessages() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool TfUpdate::AutoSelectCOMPort() const {
  return cbAutoSelectCOMPort->isChecked();
}

void TfUpdate::SetAutoSelectCOMPort(bool Checked) {
  cbAutoSelectCOMPort->setChecked(Checked);
}

std::string TfUpdate::PortText() const {
  return cbPort->currentText().toStdString();
}

void TfUpdate::SetPortText(const std::string& Text) {
  cbPort->setEditText(FromUtf8(Text));
}

void TfUpdate::SetPortEnabled(bool Enabled) {
  cbPort->setEnabled(Enabled);
}

// The box is too narrow for a device path, so its tooltip names the device.
// Texts from the device go in as plain text, never as markup.
void TfUpdate::SetPortDevice(const std::string& Text) {
  const QString Device = FromUtf8(Text);
  FPortDeviceFor = Device.isEmpty() ? QString() : cbPort->currentText();
  cbPort->setToolTip(Device.isEmpty() ? QString() : Qt::convertFromPlainText(Device));
  cbPort->setAccessibleDescription(Device);
}

// The box's own visibility, whether or not the window is on screen.
bool TfUpdate::HighSpeedVisible() const {
  return !cbHighSpeed->isHidden();
}

bool TfUpdate::HighSpeedChecked() const {
  return cbHighSpeed->isChecked();
}

bool TfUpdate::PCDirectMode() const {
  return cbPCDirectMode->isChecked();
}

std::string TfUpdate::FileName() const {
  return ePGMFileName->text().toStdString();
}

void TfUpdate::DisableAllComponent() {
  Rules.DisableAllComponent();
}

void TfUpdate::EnableAllComponent() {
  Rules.EnableAllComponent();
}

// IFormControls ---------------------------------------------------------------

QWidget* TfUpdate::Control(TControlId Id) const {
  return findChild<QWidget*>(QLatin1String(ControlRow(Id).Name), Qt::FindDirectChildrenOnly);
}

std::string TfUpdate::FileNameText() const {
  return ePGMFileName->text().toStdString();
}

void TfUpdate::SetFileNameText(const std::string& Text) {
  ePGMFileName->setText(FromUtf8(Text));
}

void TfUpdate::SetControlEnabled(TControlId Id, bool Enabled) {
  Control(Id)->setEnabled(Enabled);
}

bool TfUpdate::ControlChecked(TControlId Id) const {
  const auto* Box = qobject_cast<const QCheckBox*>(Control(Id));
  return Box != nullptr && Box->isChecked();
}

bool TfUpdate::ControlVisible(TControlId Id) const {
  return !Control(Id)->isHidden();
}

void TfUpdate::SetControlVisible(TControlId Id, bool Visible) {
  Control(Id)->setHidden(!Visible);
}

bool TfUpdate::RunOpenDialog(std::string& Chosen) {
  if (!PGMOpenDialog.Execute(this)) return false;
  Chosen = PGMOpenDialog.FileName.toStdString();
  return true;
}
