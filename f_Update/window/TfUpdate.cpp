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
#include <exception>
#include <utility>

#include "ErrorText.h"
#include "MessageBox.h"

namespace {

const QString cAppTitle = QStringLiteral("Quarnel");
const QString cErrorCaption = QStringLiteral("Error");
// Shown when something that is not a standard exception escapes an operation.
const std::string cUnknownError = "Unknown error";

const QColor cPromptSuccess(0, 255, 0);
const QColor cPromptFailure(255, 0, 0);

// Counts the operations running, nested ones included, for as long as it lives.
class TOperationGuard {
 public:
  explicit TOperationGuard(int& Depth) : FDepth(Depth) { ++FDepth; }
  ~TOperationGuard() { --FDepth; }
  TOperationGuard(const TOperationGuard&) = delete;
  TOperationGuard& operator=(const TOperationGuard&) = delete;

 private:
  int& FDepth;
};

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
      UpdateOperation([this] { Loader.UpdateFirmware(); }) {
  setWindowTitle(cAppTitle);
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
  // A cancelled dialog leaves the name box as it was.
  if (PGMOpenDialog.Execute(this)) ePGMFileName->setText(PGMOpenDialog.FileName);
}

void TfUpdate::ePGMFileNameChange() {
  btPGMLoad->setEnabled(!ePGMFileName->text().isEmpty());
}

void TfUpdate::cbAutoSelectCOMPortClick() {
  cbPort->setEnabled(!cbAutoSelectCOMPort->isChecked());
}

void TfUpdate::FormDblClick() {
  cbHighSpeed->setHidden(!cbHighSpeed->isHidden());
}

void TfUpdate::btVersionClick() {
  RunOperation(VersionOperation);
}

void TfUpdate::btPGMLoadClick() {
  RunOperation(UpdateOperation);
}

// Long operations and closing -------------------------------------------------

void TfUpdate::RunOperation(const std::function<void()>& Operation) {
  {
    const TOperationGuard Running(FOperationDepth);
    try {
      if (Operation) Operation();
    } catch (const std::exception& Error) {
      ShowUncaughtError(FromUtf8(UncaughtErrorText(Error.what())));
    } catch (...) {
      ShowUncaughtError(FromUtf8(UncaughtErrorText(cUnknownError)));
    }
  }
  if (!OperationRunning() && FCloseRequested) close();
}

void TfUpdate::ShowUncaughtError(const QString& Text) {
  ShowMessageBox(this, TMessageBoxRequest{cAppTitle, Text, {}});
}

void TfUpdate::closeEvent(QCloseEvent* Event) {
  if (OperationRunning()) {
    // The operation runs to its end; RunOperation closes the window then.
    FCloseRequested = true;
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
      Colors.setColor(QPalette::Window, cPromptSuccess);
      break;
    case TPromptColor::Failure:
      Colors.setColor(QPalette::Window, cPromptFailure);
      break;
  }
  lbPrompt->setPalette(Colors);
}

void TfUpdate::ShowError(const std::string& Text, const std::string& Details) {
  ShowMessageBox(this, TMessageBoxRequest{cErrorCaption, FromUtf8(Text), FromUtf8(Details)});
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
  btPGMLoad->setEnabled(false);
  btVersion->setEnabled(false);
  btSelectPGMFile->setEnabled(false);
  ePGMFileName->setEnabled(false);
}

void TfUpdate::EnableAllComponent() {
  if (!ePGMFileName->text().isEmpty()) btPGMLoad->setEnabled(true);
  btVersion->setEnabled(true);
  btSelectPGMFile->setEnabled(true);
  ePGMFileName->setEnabled(true);
}
