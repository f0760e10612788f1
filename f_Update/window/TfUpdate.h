// The main window: its controls, the small handlers that do not talk to the
// controller, and the loader's view of the window.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "ComPort.h"
#include "Loader.h"
#include "LoaderView.h"
#include "OpenDialog.h"
#include "PortMap.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

constexpr int cClientWidth = 483;
constexpr int cClientHeight = 313;

class TfUpdate : public QWidget, public ILoaderView {
  Q_OBJECT
 public:
  // Production: the program's Comm1 and the platform's port numbering.
  explicit TfUpdate(QWidget* Parent = nullptr);
  // Tests give their own port (e.g. on a pty) and port numbering.
  TfUpdate(TCOMPort& Port, TPortMapSource PortMaps, QWidget* Parent = nullptr);
  ~TfUpdate() override;

  // The controls, in declaration order; Qt owns them as children.
  QLabel* lbPrompt = nullptr;
  TOpenDialog PGMOpenDialog;
  QLabel* Label1 = nullptr;
  QLineEdit* ePGMFileName = nullptr;
  QPushButton* btSelectPGMFile = nullptr;
  QPushButton* btPGMLoad = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* btVersion = nullptr;
  QCheckBox* cbAutoSelectCOMPort = nullptr;
  QComboBox* cbPort = nullptr;
  QLabel* lbCOMPort = nullptr;
  QLabel* Label4 = nullptr;
  QCheckBox* cbHighSpeed = nullptr;
  QCheckBox* cbPCDirectMode = nullptr;

  TLoader Loader;

  // What the two lower buttons run. They call the loader; tests may put their
  // own operation here to drive the window without a controller.
  std::function<void()> VersionOperation;
  std::function<void()> UpdateOperation;

  bool OperationRunning() const { return FOperationDepth > 0; }

  // Handlers.
  void btSelectPGMFileClick();
  void ePGMFileNameChange();
  void cbAutoSelectCOMPortClick();
  void FormDblClick();
  void btVersionClick();
  void btPGMLoadClick();

  // ILoaderView.
  void SetPrompt(const std::string& Text) override;
  std::string Prompt() const override;
  void SetPromptColor(TPromptColor Color) override;
  using ILoaderView::ShowError;
  void ShowError(const std::string& Text, const std::string& Details) override;
  void ProcessMessages() override;
  bool AutoSelectCOMPort() const override;
  void SetAutoSelectCOMPort(bool Checked) override;
  std::string PortText() const override;
  void SetPortText(const std::string& Text) override;
  void SetPortEnabled(bool Enabled) override;
  void SetPortDevice(const std::string& Text) override;
  bool HighSpeedVisible() const override;
  bool HighSpeedChecked() const override;
  bool PCDirectMode() const override;
  std::string FileName() const override;
  void DisableAllComponent() override;
  void EnableAllComponent() override;

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;

 private:
  void CreateControls();
  void PlaceControls();
  void SetFonts();
  void FitLabelsToText();
  void SetTabOrder();
  void ConnectHandlers();
  void CentreOnScreen();
  // Runs one long operation; an exception that escapes it ends the operation
  // and is shown in the uncaught-error box. A close asked for meanwhile is
  // carried out once the outermost operation is over.
  void RunOperation(const std::function<void()>& Operation);
  void ShowUncaughtError(const QString& Text);

  int FOperationDepth = 0;
  // The port text that the port box's tooltip speaks of; another text in the
  // box takes the tooltip away.
  QString FPortDeviceFor;
  bool FCloseRequested = false;
};
